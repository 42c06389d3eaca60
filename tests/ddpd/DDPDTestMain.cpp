// The component's tests need one framework application: the receiving thread hands its work to
// the GUI thread's event loop, and the dialog is a window.
#include "platform/vcl/Forms.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    vcl::TFrameworkApp qt(argc, argv);
    vcl::TApplication application;
    application.SetTitle("Marevo");
    return RUN_ALL_TESTS();
}
