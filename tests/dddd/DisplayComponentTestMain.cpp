// The display component on its forms needs the framework application object too (message
// boxes, termination): one for the whole run.
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
