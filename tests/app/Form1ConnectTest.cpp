// "接続(&C)" with the real session component: after a join the local player takes its session
// identifier, the players already there get yachts, the hull texture goes out before the chat
// window opens, and the command is disabled.
#include "app/Form1.h"
#include "ddpd/DDPDForm.h"
#include "tests/app/WatchedPlay.h"
#include "tests/app/YachtVisuals.h"
#include "tests/ddpd/DDPDTestSupport.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

using namespace ddpdtest;
namespace fs = std::filesystem;

namespace {

class Connecting : public ::testing::Test {
protected:
    Connecting()
        : Folder(fs::temp_directory_path() / ("marevo-connect-" + std::to_string(getpid()))) {
        fs::create_directories(Folder);
        Previous = fs::current_path();
        fs::current_path(Folder);
    }
    ~Connecting() override {
        delete Form2;
        fs::current_path(Previous);
        fs::remove_all(Folder);
    }

    // A session of its own for each join, so the dialog finds exactly one.
    void Host() {
        UsePrivateQueryPort();
        HostSession = LoadedComponent();
        ASSERT_EQ(HostSession->SelectConnection(kLoopbackProvider), 0);
        ASSERT_EQ(HostSession->CreateSession("regatta", "anna", "anna"), 0);
    }
    // Joins the host's session as "ben" through the dialog, watching every send from the
    // moment the session is open.
    void Join(TForm1& Form, std::unique_ptr<TWatchedPlay>& Watch) {
        QTimer::singleShot(0, [&] {
            auto* f = dynamic_cast<ddpd::TDDPDForm*>(QApplication::activeModalWidget());
            ASSERT_NE(f, nullptr);
            f->ServiceProviderBox->setFocus();
            QTest::keyClick(f->ServiceProviderBox, Qt::Key_End);
            ASSERT_EQ(f->SessionList->count(), 1);
            QTest::mouseClick(f->SessionList->viewport(), Qt::LeftButton, {},
                              f->SessionList->visualItemRect(f->SessionList->item(0)).center());
            QTest::keyClicks(f->PlayerNameEdit, "ben");
            QTest::mouseClick(f->JoinSessionBtn, Qt::LeftButton);
            Watch = std::make_unique<TWatchedPlay>(*Form.DDPD1);
        });
        Form.C1Click();
    }
    static fs::path Sample(const char* Name) { return fs::path(MAREVO_BINARY_DIR) / "app" / Name; }

    fs::path Folder;
    fs::path Previous;
    std::unique_ptr<ddpd::TDDPD> HostSession;
};

TEST_F(Connecting, AJoinGivesTheLocalPlayerItsIdentifierAndThePresentPlayersYachts) {
    fs::copy_file(Sample("HALTEX.BMP"), Folder / "HALTEX.BMP");
    fs::copy_file(Sample("SPINTEX.BMP"), Folder / "Spintex.bmp");
    Host();
    TManualClock clock(1000);
    auto form = std::make_unique<TForm1>(clock);
    clock.Advance(3000);
    {
        std::unique_ptr<TWatchedPlay> watch;
        Join(*form, watch);
        ASSERT_NE(watch, nullptr);
        ASSERT_EQ(watch->Sent.size(), 1u);
        EXPECT_EQ(watch->Sent[0].Bytes.size(), 49152u);
        EXPECT_FALSE(watch->Sent[0].ChatWindowOpen) << "the texture goes before the chat opens";
    }
    ASSERT_NE(form->DDPD1->LocalPlayer, nullptr);
    EXPECT_EQ(form->LocalId, static_cast<std::int32_t>(form->DDPD1->LocalPlayerID));
    EXPECT_GT(form->LocalId, 1);
    EXPECT_EQ(form->Roster->IndexOf(form->LocalId), 1);
    EXPECT_EQ(form->Roster->IndexOf(static_cast<std::int32_t>(HostSession->LocalPlayerID)), 2);
    EXPECT_TRUE(form->DrawYacht1->YachtPresent(2));
    // The players already there fly this machine's spinnaker texture, as the local yacht does.
    EXPECT_TRUE(Textured(YachtVisual(*form->DrawYacht1, 2, kSpinnaker)));
    EXPECT_FALSE(form->C1->isEnabled());
    EXPECT_EQ(form->LastTime, clock.timeGetTime());

    QPointer<TForm2> chat = Form2;
    ASSERT_FALSE(chat.isNull());
    EXPECT_TRUE(chat->ChatMemo->toPlainText().isEmpty());
    // The chat window sends through the window's session component: it goes with the window.
    form.reset();
    EXPECT_TRUE(chat.isNull());
    EXPECT_EQ(Form2, nullptr);
}

TEST_F(Connecting, AStartingTextureTheOthersCannotTakeIsToldInTheChatWindowOnly) {
    // 128 x 128 at 32 bits: nothing goes out, and the player learns why and what would.
    std::vector<char> wide(54 + 128 * 128 * 4);
    const std::uint8_t header[] = {'B', 'M', 0, 0,   0, 0, 0, 0,   0, 0, 54, 0, 0, 0,  40,
                                   0,   0,   0, 128, 0, 0, 0, 128, 0, 0, 0,  1, 0, 32, 0};
    std::copy(std::begin(header), std::end(header), wide.begin());
    std::ofstream("HALTEX.BMP", std::ios::binary).write(wide.data(), wide.size());
    Host();
    TManualClock clock(1000);
    TForm1 form(clock);
    std::unique_ptr<TWatchedPlay> watch;
    Join(form, watch);
    ASSERT_NE(watch, nullptr);
    EXPECT_TRUE(watch->Sent.empty());
    ASSERT_NE(Form2, nullptr);
    EXPECT_EQ(
        Form2->ChatMemo->toPlainText(),
        QString::fromUtf8("ハルテクスチャ「HALTEX.BMP」は他のプレイヤーと交換できません。"
                          "交換できるのは 128 × 128 ピクセル、24 ビットのビットマップだけです。"));
    watch.reset();
}

} // namespace
