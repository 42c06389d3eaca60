// For suites that show windows or follow the foreground window: one framework application for
// the whole run, offscreen unless told otherwise (test discovery runs them outside CTest too).
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
    QApplication qt(argc, argv);
    return RUN_ALL_TESTS();
}
