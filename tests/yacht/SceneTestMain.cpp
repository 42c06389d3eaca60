// The scene sits on a display component placed on a window: one framework application for
// the whole run.
#include "platform/vcl/Forms.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
    vcl::TFrameworkApp qt(argc, argv);
    vcl::TApplication application;
    return RUN_ALL_TESTS();
}
