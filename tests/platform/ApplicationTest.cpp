// The application object of the window framework: when its idle handler runs, and the language
// of Qt's own dialogs beside the program's Japanese texts.
#include "platform/dplay/AddressDialog.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

void RunLoop(int Ms) {
    QEventLoop loop;
    QTimer::singleShot(Ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs Dialog, which is modal, and returns the texts of the buttons of the modal window it
// shows, which is then closed.
QStringList ButtonsOf(const std::function<void()>& Dialog) {
    QStringList texts;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        look.stop();
        for (const QAbstractButton* b : modal->findChildren<QAbstractButton*>())
            if (!b->text().isEmpty())
                texts << b->text();
        modal->close();
    });
    look.start(10);
    Dialog();
    return texts;
}

} // namespace

TEST(ApplicationIdle, AHandlerThatIsDoneSleepsUntilAMessageOrItsWakeUp) {
    struct TCase {
        bool Done;
        std::uint32_t Wake;
        int MinCalls, MaxCalls; // in 500 ms
    };
    const TCase cases[] = {
        {false, 0, 100, 600}, // more at once: about every millisecond
        {true, 0, 1, 3},      // nothing more to do: only the loop's own message wakes it
        {true, 100, 4, 8},    // something due every 100 ms
    };
    for (const TCase& c : cases) {
        int calls = 0;
        vcl::Application->SetOnIdle([&](bool& Done) {
            ++calls;
            Done = c.Done;
            if (c.Wake > 0)
                vcl::Application->WakeIdleAfter(c.Wake);
        });
        RunLoop(500);
        vcl::Application->SetOnIdle(nullptr);
        EXPECT_GE(calls, c.MinCalls) << c.Done << " " << c.Wake;
        EXPECT_LE(calls, c.MaxCalls) << c.Done << " " << c.Wake;
    }
}

TEST(StandardDialogs, SpeakJapanese) {
    vcl::TOpenPictureDialog picture;
    picture.Filter = "ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp";
    const QStringList file = ButtonsOf([&] { EXPECT_FALSE(picture.Execute()); });
    EXPECT_TRUE(file.contains(QString::fromUtf8("開く(&O)"))) << file.join('|').toStdString();
    EXPECT_TRUE(file.contains(QString::fromUtf8("キャンセル"))) << file.join('|').toStdString();

    std::string address;
    const QStringList prompt = ButtonsOf([&] { EXPECT_FALSE(dplay::AskHostAddress(address)); });
    EXPECT_TRUE(prompt.contains(QString::fromUtf8("キャンセル"))) << prompt.join('|').toStdString();
}
