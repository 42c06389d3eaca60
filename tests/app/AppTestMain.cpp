// The window tests need one framework application for the whole run.
#include "platform/vcl/Forms.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // Window tests never need a display; test discovery runs them outside CTest too.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
    vcl::TFrameworkApp qt(argc, argv);
    vcl::TApplication application;
    application.SetTitle("Marevo");
    return RUN_ALL_TESTS();
}
