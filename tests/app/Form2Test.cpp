// The chat window offscreen: its layout, and what sending does, over a loopback session.
#include "app/Form2.h"
#include "tests/ddpd/DDPDTestSupport.h"

#include <QApplication>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

using namespace ddpdtest;

namespace {

class ChatWindow : public ::testing::Test {
protected:
    void SetUp() override {
        UsePrivateQueryPort();
        Host = LoadedComponent();
        Guest = LoadedComponent();
        ASSERT_EQ(Host->SelectConnection(kLoopbackProvider), 0);
        ASSERT_EQ(Host->CreateSession("race", "anna", "アンナ"), 0);
        ASSERT_EQ(Guest->SelectConnection(kLoopbackProvider), 0);
        ASSERT_EQ(Guest->Sessions->Count(), 1);
        Guest->OnArriveMessage = [this](ddpd::TDDPD*, ddpd::TDDPDPlayer*, void* Data,
                                        std::int32_t Size) {
            const auto* b = static_cast<const char*>(Data);
            Received.emplace_back(b, b + Size);
        };
        ASSERT_EQ(Guest->JoinSession(0, "ben", "ben"), 0);
        Main.show();
        Form2 = new TForm2(*Host, &Main);
        Form2->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form2));
    }
    void TearDown() override { delete Form2; }

    std::unique_ptr<ddpd::TDDPD> Host;
    std::unique_ptr<ddpd::TDDPD> Guest;
    std::vector<std::string> Received;
    QWidget Main;
};

TEST_F(ChatWindow, LaysItselfOutAsItsDescriptionSays) {
    EXPECT_EQ(Form2->windowTitle(), QString::fromUtf8("MarevoＣｈａｔ"));
    EXPECT_FALSE(Form2->windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(Form2->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(Form2->windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(Form2->frameGeometry().topLeft(), QPoint(14, 280));
    EXPECT_EQ(Form2->frameGeometry().size(), QSize(383, 173));
    EXPECT_EQ(Form2->Button1->text(), QString::fromUtf8("送る"));
    EXPECT_EQ(Form2->Button1->geometry(), QRect(8, 4, 75, 25));
    EXPECT_TRUE(Form2->Button1->isDefault());
    EXPECT_EQ(Form2->Edit1->geometry().topLeft(), QPoint(96, 7));
    EXPECT_TRUE(Form2->ChatMemo->isReadOnly());
    EXPECT_TRUE(Form2->ChatMemo->toPlainText().isEmpty());
    EXPECT_EQ(Form2->Panel1->height(), 34);
}

TEST_F(ChatWindow, ResizingKeepsThePanelAtTheBottomAndTheMemoAboveIt) {
    for (const QSize size : {QSize(383, 173), QSize(600, 400), QSize(200, 120)}) {
        Form2->resize(size);
        QApplication::processEvents();
        const QWidget* client = Form2->centralWidget();
        EXPECT_EQ(Form2->ChatMemo->width(), client->width() - 2);
        EXPECT_EQ(Form2->Panel1->width(), Form2->ChatMemo->width());
        EXPECT_EQ(Form2->Edit1->width(), Form2->Panel1->width() - 75 - 32);
        EXPECT_EQ(Form2->ChatMemo->height(), client->height() - 34 - 2);
        EXPECT_EQ(Form2->Panel1->geometry().bottom(), client->height() - 1);
    }
}

TEST_F(ChatWindow, EnterSendsTheTextInShiftJisAndLogsItForTheSender) {
    Form2->Edit1->setFocus();
    Form2->Edit1->setText(QString::fromUtf8("やあAB"));
    QTest::keyClick(Form2->Edit1, Qt::Key_Return);
    ASSERT_TRUE(PumpUntil([&] { return !Received.empty(); }));
    EXPECT_EQ(Received[0], std::string("\x82\xE2\x82\xA0"
                                       "AB\0",
                                       7));
    EXPECT_EQ(Form2->ChatMemo->toPlainText(), QString::fromUtf8("アンナ:\tやあAB"));
    EXPECT_TRUE(Form2->Edit1->text().isEmpty());
}

TEST_F(ChatWindow, TheSenderSeesItsLineAsTheOthersGetIt) {
    // Neither the emoji nor the e with its accent exist in Shift-JIS: both cross as "?".
    Form2->Edit1->setText(QString::fromUtf8("A\U0001F600\u00E9やあ"));
    QTest::mouseClick(Form2->Button1, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return !Received.empty(); }));
    EXPECT_EQ(Received[0], std::string("A??\x82\xE2\x82\xA0\0", 8));
    EXPECT_EQ(Form2->ChatMemo->toPlainText(), QString::fromUtf8("アンナ:\tA??やあ"));
}

TEST_F(ChatWindow, AfterSendingTheGameWindowHasTheKeysAgain) {
    Form2->activateWindow();
    Form2->Edit1->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form2));
    ASSERT_FALSE(Main.isActiveWindow());
    QTest::keyClick(Form2->Edit1, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&Main));
    EXPECT_TRUE(Main.hasFocus());
    EXPECT_FALSE(Form2->Edit1->hasFocus());
}

TEST_F(ChatWindow, AnEmptyTextIsSentAsOneZeroByte) {
    QTest::mouseClick(Form2->Button1, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return !Received.empty(); }));
    EXPECT_EQ(Received[0], std::string(1, '\0'));
    EXPECT_EQ(Form2->ChatMemo->toPlainText(), QString::fromUtf8("アンナ:\t"));
}

TEST_F(ChatWindow, ClicksInTheMemoPutTheCaretInTheEditBox) {
    Main.setFocus();
    QTest::mouseClick(Form2->ChatMemo->viewport(), Qt::LeftButton);
    EXPECT_TRUE(Form2->Edit1->hasFocus());
}

TEST_F(ChatWindow, ClosingFreesTheWindow) {
    QPointer<TForm2> window = Form2;
    Form2->close();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(Form2, nullptr);
}

} // namespace
