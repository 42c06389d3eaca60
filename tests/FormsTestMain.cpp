// For suites of forms and the components on them, which also need the application object
// (message boxes, idle handling, termination, the receiving thread's hand-over to the GUI
// thread): one of each for the whole run, offscreen unless told otherwise.
#include "platform/vcl/Forms.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
    vcl::TFrameworkApp qt(argc, argv);
    vcl::TApplication application;
    application.SetTitle("Marevo");
    return RUN_ALL_TESTS();
}
