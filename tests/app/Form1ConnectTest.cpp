// "接続(&C)" with the real session component: after a join the local player takes its session
// identifier, the players already there get yachts, and the command is disabled.
#include "app/Form1.h"
#include "ddpd/DDPDForm.h"
#include "tests/ddpd/DDPDTestSupport.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace ddpdtest;

TEST(Form1Connect, AJoinGivesTheLocalPlayerItsIdentifierAndThePresentPlayersYachts) {
    UsePrivateQueryPort();
    auto host = LoadedComponent();
    ASSERT_EQ(host->SelectConnection(kLoopbackProvider), 0);
    ASSERT_EQ(host->CreateSession("regatta", "anna", "anna"), 0);
    TManualClock clock(1000);
    TForm1 form(clock);
    QTimer::singleShot(0, [] {
        auto* f = dynamic_cast<ddpd::TDDPDForm*>(QApplication::activeModalWidget());
        ASSERT_NE(f, nullptr);
        f->ServiceProviderBox->setFocus();
        QTest::keyClick(f->ServiceProviderBox, Qt::Key_End);
        ASSERT_EQ(f->SessionList->count(), 1);
        QTest::mouseClick(f->SessionList->viewport(), Qt::LeftButton, {},
                          f->SessionList->visualItemRect(f->SessionList->item(0)).center());
        QTest::keyClicks(f->PlayerNameEdit, "ben");
        QTest::mouseClick(f->JoinSessionBtn, Qt::LeftButton);
    });
    clock.Advance(3000);
    form.C1Click();
    ASSERT_NE(form.DDPD1->LocalPlayer, nullptr);
    EXPECT_EQ(form.LocalId, static_cast<std::int32_t>(form.DDPD1->LocalPlayerID));
    EXPECT_GT(form.LocalId, 1);
    EXPECT_EQ(form.Roster->IndexOf(form.LocalId), 1);
    const auto hostId = static_cast<std::int32_t>(host->LocalPlayerID);
    EXPECT_EQ(form.Roster->IndexOf(hostId), 2);
    EXPECT_TRUE(form.DrawYacht1->YachtPresent(2));
    EXPECT_FALSE(form.C1->isEnabled());
    EXPECT_EQ(form.LastTime, clock.timeGetTime());
}
