// The game started as the player starts it, with each of its windows open at once: the main
// window, the connection dialog of "接続(&C)", the chat window and the about box. For a test
// that reads the captions as the window system shows them.
//
// Prints one line "<window> <native window id>" for MAIN, CONNECT, CHAT and ABOUT, then
// "READY", and runs until it is killed (at most a minute).
#include "app/AboutBox.h"
#include "app/Form1.h"
#include "app/Form2.h"
#include "platform/vcl/Forms.h"
#include "platform/winmm/TimeGetTime.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Say(const char* Window, const QWidget* Widget) {
    std::printf("%s %llu\n", Window, static_cast<unsigned long long>(Widget->winId()));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    vcl::TFrameworkApp qt(argc, argv);
    vcl::TApplication application;
    application.Initialize();
    application.SetTitle("Marevo");
    application.SetHelpFile("Marevop1.hlp");
    TSystemClock clock;
    TForm1 form(clock);
    Form1 = &form;
    form.show();

    Form2 = new TForm2(*form.DDPD1, &form);
    Form2->show();
    TAboutBox about;
    about.show();

    // The connection dialog is modal: its command runs until the process ends.
    QTimer::singleShot(0, &form, [&] { form.C1->trigger(); });
    QTimer lookForDialog;
    QObject::connect(&lookForDialog, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->isVisible())
            return;
        lookForDialog.stop();
        Say("MAIN", &form);
        Say("CONNECT", dialog);
        Say("CHAT", Form2);
        Say("ABOUT", &about);
        std::printf("READY\n");
        std::fflush(stdout);
    });
    lookForDialog.start(20);
    QTimer::singleShot(60000, [] { std::_Exit(1); });
    application.Run();
    return 0;
}
