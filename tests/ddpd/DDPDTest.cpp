// The session component over the real service on loopback, and over a recording fake where a
// test must see exactly what the component passes to the platform.
#include "tests/ddpd/DDPDTestSupport.h"

#include "platform/dplay/DirectPlay.h"
#include "platform/rtl/ShiftJis.h"
#include "tests/platform/DPlayRawMachine.h"
#include "tests/platform/DPlayTestPeer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>

using namespace ddpd;
using namespace ddpdtest;
using namespace std::chrono_literals;

namespace {

std::string Raised(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const EDDPD& e) {
        return e.what();
    }
    return "(nothing raised)";
}

struct TEventLog {
    std::vector<std::string> Lines;
    bool OffMainThread = false;
    void Bind(TDDPD& C) {
        const auto where = [this] {
            OffMainThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
        };
        C.OnComesNewChallenger = [this, where](TDDPD*, TDDPDPlayer* p, const std::string& s,
                                               const std::string& l) {
            where();
            Lines.push_back("join " + std::to_string(p->ID) + " " + s + "/" + l);
        };
        C.OnEscapeChallenger = [this, where](TDDPD*, TDDPDPlayer* p, const std::string& s,
                                             const std::string&) {
            where();
            Lines.push_back("leave " + std::to_string(p->ID) + " " + s);
        };
        C.OnArriveMessage = [this, where](TDDPD*, TDDPDPlayer* from, void* data, std::int32_t n) {
            where();
            Lines.push_back("msg " + (from ? std::to_string(from->ID) : std::string("none")) + " " +
                            std::string(static_cast<char*>(data), n));
        };
    }
    bool Has(const std::string& Line) const {
        return std::find(Lines.begin(), Lines.end(), Line) != Lines.end();
    }
};

struct Component : ::testing::Test {
    std::uint16_t QueryPort = 0;
    void SetUp() override {
        QueryPort = UsePrivateQueryPort();
        DirectPlayFailures().Clear();
    }
    void TearDown() override { DirectPlayFailures().Clear(); }
};

// Host "anna" and a second component that joined as "ben".
struct TwoComponents : Component {
    std::unique_ptr<TDDPD> Host, Guest;
    TEventLog HostLog, GuestLog;
    void SetUp() override {
        Component::SetUp();
        Host = LoadedComponent();
        Guest = LoadedComponent();
        HostLog.Bind(*Host);
        GuestLog.Bind(*Guest);
        ASSERT_EQ(Host->SelectConnection(kLoopbackProvider), 0);
        ASSERT_EQ(Host->CreateSession("race", "anna", "Anna A."), 0);
        ASSERT_EQ(Guest->SelectConnection(kLoopbackProvider), 0);
        ASSERT_EQ(Guest->Sessions->Count(), 1);
        ASSERT_EQ(Guest->JoinSession(0, "ben", "Ben B."), 0);
        ASSERT_TRUE(PumpUntil([&] { return HostLog.Lines.size() >= 1; }));
    }
    std::string Id(TDDPD& C) { return std::to_string(C.LocalPlayerID); }
};

} // namespace

TEST(ComponentAppGuid, TextsAreReadAndWrittenAsTheFormDescriptionHasThem) {
    struct TCase {
        const char* Text;
        const char* ReadsBack; // nullptr: refused with Message, AppGuid unchanged
        const char* Message;
    };
    const TCase cases[] = {
        {"{00000000-0000-0000-0000-000000000000}", "{00000000-0000-0000-0000-000000000000}", ""},
        {"{1a2b3c4d-5e6f-7a8b-9cad-beefcafe0123}", "{1A2B3C4D-5E6F-7A8B-9CAD-BEEFCAFE0123}", ""},
        {" \t{11111111-2222-3333-4444-555555555555}\r\n ", "{11111111-2222-3333-4444-555555555555}",
         ""},
        {"{1234567-2222-3333-4444-555555555555}", nullptr, "1234567は無効なプロパティです"},
        {"{12345678}", nullptr, "は無効なプロパティです"},
        {"{12345678-2222-3333-4444}", nullptr, "は無効なプロパティです"},
        {"{12345678-22G2-3333-4444-555555555555}", nullptr, "22G2は無効なプロパティです"},
        {"{12345678-2222-3333-4444-55555555555}", nullptr, "55555555555は無効なプロパティです"},
        {"{12345678-2222-3333-44X4-555555555555}", nullptr, "555555555555は無効なプロパティです"},
        {"{12345678-2222-3333-444-555555555555}", nullptr, "444は無効なプロパティです"},
        {"{12345678-2222-3333-4444-5555Z5555555}", nullptr, "5555Z5555555は無効なプロパティです"},
        {"{00000000-0000-0000-0000-000000000000", nullptr, "00000000000は無効なプロパティです"},
    };
    // The 28-character cases.
    const std::string twentyEight = "{12345678-1234-1234-1234-12}";
    ASSERT_EQ(twentyEight.size(), 28u);
    for (const auto& c : cases) {
        TDDPD component;
        component.SetAppGuid("{99999999-8888-7777-6666-555555555555}");
        if (c.ReadsBack) {
            component.SetAppGuid(c.Text);
            EXPECT_EQ(component.AppGuid(), c.ReadsBack) << c.Text;
        } else {
            EXPECT_EQ(Raised([&] { component.SetAppGuid(c.Text); }), c.Message) << c.Text;
            EXPECT_EQ(component.AppGuid(), "{99999999-8888-7777-6666-555555555555}") << c.Text;
        }
    }
    TDDPD component;
    EXPECT_EQ(Raised([&] { component.SetAppGuid(twentyEight); }),
              twentyEight + "は無効なプロパティです");
    const std::string closedEarly = "{12345678-1234-1234-1234-12}3456789AB";
    EXPECT_EQ(Raised([&] { component.SetAppGuid(closedEarly); }),
              closedEarly + "は無効なプロパティです");
    EXPECT_EQ(component.AppGuid(), "{00000000-0000-0000-0000-000000000000}");
}

TEST_F(Component, InAFormDesignerItCreatesNoServiceObject) {
    auto c = std::make_unique<TDDPD>();
    c->Designing = true;
    c->Loaded();
    EXPECT_EQ(c->DirectPlay, nullptr);
    EXPECT_EQ(c->Connections, nullptr);
    const int created = DirectPlayFailures().Calls("CoCreateInstance");
    c.reset();
    EXPECT_EQ(DirectPlayFailures().Calls("CoCreateInstance"), created);
}

TEST_F(Component, ASecondProviderChoiceGetsAFreshServiceObjectAndTheSameProviderList) {
    auto c = LoadedComponent();
    ASSERT_EQ(c->Connections->Count(), 3);
    EXPECT_EQ(c->Connections->Strings(0), "TCP/IP");
    EXPECT_EQ(c->Connections->Strings(1), "インターネット (ロビー)");
    EXPECT_EQ(c->Connections->Strings(2), "ループバック (このコンピュータ)");
    ASSERT_EQ(c->SelectConnection(kLoopbackProvider), 0);
    // Would be refused (already initialised) by the first object.
    ASSERT_EQ(c->SelectConnection(kLoopbackProvider), 0);
    EXPECT_EQ(DirectPlayFailures().Calls("CoCreateInstance"), 2);
    EXPECT_EQ(DirectPlayFailures().Calls("IDirectPlay3A::InitializeConnection"), 2);
    ASSERT_EQ(c->Connections->Count(), 3);
    EXPECT_EQ(c->Connections->Strings(2), "ループバック (このコンピュータ)");
    EXPECT_TRUE(c->ConnectionReady);
}

TEST_F(Component, ASearchThatFindsNothingLeavesSessionsEmptyAndIsNoFailure) {
    auto c = LoadedComponent();
    EXPECT_EQ(c->SelectConnection(kLoopbackProvider), 0);
    ASSERT_NE(c->Sessions, nullptr);
    EXPECT_EQ(c->Sessions->Count(), 0);
}

TEST_F(Component, FailuresRaiseTheirTextWithTheErrorCode) {
    auto c = LoadedComponent();
    DirectPlayFailures().Fail("IDirectPlay3A::EnumSessions", DPERR_GENERIC);
    EXPECT_EQ(Raised([&] { c->SelectConnection(kLoopbackProvider); }),
              "セッションの列挙に失敗しました(Error Code(80004005))");
    DirectPlayFailures().Fail("IDirectPlay3A::Open", DPERR_CANTCREATESESSION);
    EXPECT_EQ(Raised([&] { c->CreateSession("x", "a", "a"); }),
              "セッションのオープンに失敗しました(Error Code(88770046))");
    EXPECT_FALSE(c->SessionOpen);
    DirectPlayFailures().Fail("IDirectPlay3A::EnumPlayers", DPERR_GENERIC);
    EXPECT_EQ(Raised([&] { c->CreateSession("x", "a", "a"); }),
              "プレイヤーの列挙に失敗しました(Error Code(80004005))");
    EXPECT_TRUE(c->SessionOpen); // left where it stood
    DirectPlayFailures().Fail("IDirectPlay3A::CreatePlayer", DPERR_CANTADDPLAYER);
    EXPECT_EQ(Raised([&] { c->CreateSession("x", "a", "a"); }),
              "プレーヤの作成に失敗しました(Error Code(88770028))");
    EXPECT_EQ(c->LocalPlayer, nullptr);
    EXPECT_EQ(c->ReceiveThread, nullptr);
    // With no local player a send has no sender.
    EXPECT_EQ(Raised([&] { c->SendData(0, "x", 1); }),
              "メッセージの送信に失敗しました(Error Code(88770096))");
    DirectPlayFailures().Fail("IDirectPlay3A::Close", DPERR_GENERIC);
    EXPECT_EQ(Raised([&] { c->CloseSession(); }),
              "セッションのクローズに失敗しました(Error Code(80004005))");
}

TEST_F(Component, AnUnnamedSessionAndUnnamedPlayersAreCreatedWithEmptyTexts) {
    auto host = LoadedComponent();
    auto looker = LoadedComponent();
    ASSERT_EQ(host->SelectConnection(kLoopbackProvider), 0);
    ASSERT_EQ(host->CreateSession("", "", ""), 0);
    ASSERT_EQ(host->Players->Count(), 1);
    EXPECT_EQ(host->LocalPlayer, (*host->Players)[0]);
    EXPECT_EQ(host->LocalPlayer->ID, host->LocalPlayerID);
    EXPECT_GE(static_cast<std::int32_t>(host->LocalPlayerID), 2);
    ASSERT_EQ(looker->SelectConnection(kLoopbackProvider), 0);
    ASSERT_EQ(looker->Sessions->Count(), 1);
    EXPECT_EQ(looker->Sessions->Strings(0), "");
    looker->ListSessionPlayers(0);
    EXPECT_FALSE(looker->SessionOpen);
    EXPECT_EQ(looker->LocalPlayer, nullptr);
    ASSERT_EQ(looker->Players->Count(), 1);
    EXPECT_EQ((*looker->Players)[0]->ID, host->LocalPlayerID);
    EXPECT_EQ((*looker->Players)[0]->ShortName, "");
    EXPECT_EQ((*looker->Players)[0]->LongName, "");
    std::vector<std::string> names{"old"};
    looker->Players->GetNames(names);
    EXPECT_EQ(names, std::vector<std::string>{""});
}

TEST_F(TwoComponents, ArrivalsAndMessagesBecomeEventsOnTheMainThreadOnce) {
    EXPECT_EQ(HostLog.Lines, std::vector<std::string>{"join " + Id(*Guest) + " ben/Ben B."});
    ASSERT_EQ(Guest->Players->Count(), 2);
    EXPECT_EQ(Guest->LocalPlayer, (*Guest->Players)[1]);
    EXPECT_EQ((*Guest->Players)[0]->LongName, "Anna A.");
    Guest->SendData(0, "hello", 5);
    Host->SendData(Guest->LocalPlayerID, "you", 3);
    ASSERT_TRUE(PumpUntil([&] { return HostLog.Lines.size() >= 2 && GuestLog.Lines.size() >= 1; }));
    PumpUntil([] { return false; }, 100ms);
    EXPECT_EQ(HostLog.Lines[1], "msg " + Id(*Guest) + " hello");
    EXPECT_EQ(GuestLog.Lines, std::vector<std::string>{"msg " + Id(*Host) + " you"});
    EXPECT_FALSE(HostLog.OffMainThread);
    EXPECT_FALSE(GuestLog.OffMainThread);
}

TEST_F(TwoComponents, ADepartureIsAnEventOnceAndAnUnknownOneIsNone) {
    const DPID guestId = Guest->LocalPlayerID;
    Guest.reset();
    ASSERT_TRUE(PumpUntil([&] { return HostLog.Lines.size() >= 2; }));
    EXPECT_EQ(HostLog.Lines[1], "leave " + std::to_string(guestId) + " ben");
    EXPECT_EQ(Host->Players->FindPlayer(guestId), nullptr);

    // A departure for a player the component no longer lists changes nothing.
    auto third = LoadedComponent();
    ASSERT_EQ(third->SelectConnection(kLoopbackProvider), 0);
    ASSERT_EQ(third->JoinSession(0, "cy", "cy"), 0);
    ASSERT_TRUE(PumpUntil([&] { return HostLog.Lines.size() >= 3; }));
    const int index = Host->Players->IndexOfPlayer(third->LocalPlayerID);
    ASSERT_GE(index, 0);
    Host->Players->Extract(index);
    const int before = Host->Players->Count();
    third.reset();
    PumpUntil([] { return false; }, 500ms);
    EXPECT_EQ(HostLog.Lines.size(), 3u);
    EXPECT_EQ(Host->Players->Count(), before);
}

TEST_F(TwoComponents, ASenderOutsidePlayersOrAnySenderWithNoMessageIdArrivesAsNone) {
    Host->Players->Extract(Host->Players->IndexOfPlayer(Guest->LocalPlayerID));
    Guest->SendData(0, "a", 1);
    ASSERT_TRUE(PumpUntil([&] { return HostLog.Lines.size() >= 2; }));
    EXPECT_EQ(HostLog.Lines[1], "msg none a");
    Guest->NoMessageID = true;
    Host->SendData(0, "b", 1);
    ASSERT_TRUE(PumpUntil([&] { return GuestLog.Lines.size() >= 1; }));
    EXPECT_EQ(GuestLog.Lines[0], "msg none b");
}

TEST_F(TwoComponents, AFailedReceiveIsKeptAsTheLastErrorAndReceptionGoesOn) {
    DirectPlayFailures().Fail("IDirectPlay3A::Receive", DPERR_GENERIC);
    Guest->SendData(0, "x", 1);
    // The message that waited behind the failure is fetched without a further signal.
    ASSERT_TRUE(PumpUntil([&] { return HostLog.Has("msg " + Id(*Guest) + " x"); }));
    EXPECT_EQ(Host->ReceiveThread->LastException(),
              "メッセージの受信時に、エラーが発生しました 80004005");
    EXPECT_FALSE(Host->ReceiveThread->Finished());
    Guest->SendData(0, "y", 1);
    ASSERT_TRUE(PumpUntil([&] { return HostLog.Has("msg " + Id(*Guest) + " y"); }));
}

TEST_F(TwoComponents, AnEmptyMessageFromAMachineArrivesEmptyAndWhatFollowsStillArrives) {
    dplaytest::TRawMachine raw(*Guest->Sessions->Objects(0));
    ASSERT_NE(raw.Player, 0u);
    raw.SendData(DPID_ALLPLAYERS, {});
    Guest->SendData(0, "after", 5);
    ASSERT_TRUE(PumpUntil([&] { return HostLog.Has("msg " + Id(*Guest) + " after"); }));
    EXPECT_TRUE(HostLog.Has("msg " + std::to_string(raw.Player) + " "));
}

TEST(ComponentCalls, SessionsAreCreatedAsDescribedAndSendsCarryTheGuaranteeOnlyWhenAsked) {
    TRecordingPlay play;
    TDDPD c;
    c.DirectPlay = &play;
    c.MaxPlayers = 4;
    c.SetAppGuid("{01020304-0506-0708-090A-0B0C0D0E0F10}");
    ASSERT_EQ(c.CreateSession("", "", ""), 0);
    c.NoMessageID = true;
    c.MaxPlayers = 7;
    ASSERT_EQ(c.CreateSession("named", "s", "l"), 0);
    ASSERT_EQ(play.Opened.size(), 2u);
    EXPECT_EQ(play.Opened[0].dwSize, sizeof(DPSESSIONDESC2));
    EXPECT_EQ(play.Opened[0].dwFlags, 0x44u);
    EXPECT_EQ(play.Opened[1].dwFlags, 0x4Cu);
    EXPECT_EQ(play.Opened[0].dwMaxPlayers, 4u);
    EXPECT_EQ(play.Opened[1].dwMaxPlayers, 7u);
    EXPECT_EQ(play.Opened[0].guidApplication.Data1, 0x01020304u);
    EXPECT_EQ(play.OpenedNames, (std::vector<std::string>{"(none)", "named"}));
    EXPECT_EQ(play.PlayerNames,
              (std::vector<std::string>{std::to_string(sizeof(DPNAME)) + "::",
                                        std::to_string(sizeof(DPNAME)) + ":s:l"}));
    c.SendData(0, "x", 1);
    c.SendGuaranteed = false;
    c.SendData(5, "x", 1);
    EXPECT_EQ(play.SendTo, (std::vector<DPID>{DPID_ALLPLAYERS, 5}));
    EXPECT_EQ(play.SendFlags, (std::vector<DWORD>{DPSEND_GUARANTEED, 0}));
    // An empty queue is nothing; any other failure is raised with its code in lower case.
    c.ReceiveMessage();
    // A platform that wants a buffer even for an empty message gets one, and the message is
    // delivered as empty.
    std::vector<std::int32_t> delivered;
    c.OnArriveMessage = [&](TDDPD*, TDDPDPlayer*, void* data, std::int32_t n) {
        EXPECT_NE(data, nullptr);
        delivered.push_back(n);
    };
    play.OnReceive = [](LPDPID from, LPVOID data, LPDWORD size) {
        *from = 5;
        *size = 0;
        return data ? DP_OK : DPERR_BUFFERTOOSMALL;
    };
    c.ReceiveMessage();
    EXPECT_EQ(delivered, std::vector<std::int32_t>{0});
    play.OnReceive = nullptr;
    play.ReceiveResult = DPERR_SESSIONLOST;
    EXPECT_EQ(Raised([&] { c.ReceiveMessage(); }),
              "メッセージの受信時に、エラーが発生しました 88770136");
    c.CloseSession();
    c.DirectPlay = nullptr;
}

TEST_F(Component, NamesCrossTheServiceInShiftJisAndEveryListHoldsThemAsGiven) {
    auto host = LoadedComponent(), guest = LoadedComponent();
    TEventLog hostLog;
    hostLog.Bind(*host);
    ASSERT_EQ(host->SelectConnection(kLoopbackProvider), 0);
    ASSERT_EQ(host->CreateSession("帆走会", "アンナ", "アンナ・A"), 0);
    // What another machine finds on the wire.
    dplaytest::TPeer looker(QueryPort);
    std::vector<DPSESSIONDESC2> found;
    std::vector<std::string> names;
    ASSERT_EQ(looker.Search(found, &names), DP_OK);
    EXPECT_EQ(names, std::vector<std::string>{Utf8ToShiftJis("帆走会")});
    ASSERT_EQ(guest->SelectConnection(kLoopbackProvider), 0);
    EXPECT_EQ(guest->Sessions->Strings(0), "帆走会");
    ASSERT_EQ(guest->JoinSession(0, "ベン", "ベン・B"), 0);
    EXPECT_EQ((*guest->Players)[0]->LongName, "アンナ・A");
    ASSERT_TRUE(PumpUntil([&] {
        return hostLog.Has("join " + std::to_string(guest->LocalPlayerID) + " ベン/ベン・B");
    }));
}

namespace {

// Answers the TCP/IP provider's address question once it shows, with Address or by cancelling.
void AnswerAddressDialog(const QString& Address, bool Cancel) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), QStringLiteral("DPlayAddressDialog"));
        if (Cancel) {
            dialog->reject();
            return;
        }
        dialog->findChild<QLineEdit*>(QStringLiteral("AddressEdit"))->setText(Address);
        dialog->accept();
    });
}

} // namespace

TEST_F(Component, TcpIpWithoutAnAddressAsksForOneWhenTheSearchStarts) {
    unsetenv("MAREVO_DPLAY_HOST");
    setenv("MAREVO_DPLAY_BIND", "127.0.0.1", 1);
    auto host = LoadedComponent();
    ASSERT_EQ(host->SelectConnection(kLoopbackProvider), 0);
    ASSERT_EQ(host->CreateSession("typed", "h", "h"), 0);
    auto c = LoadedComponent();
    constexpr int kTcpIp = 0;
    AnswerAddressDialog("127.0.0.1", false);
    ASSERT_EQ(c->SelectConnection(kTcpIp), 0);
    ASSERT_EQ(c->Sessions->Count(), 1);
    EXPECT_EQ(c->Sessions->Strings(0), "typed");
    ASSERT_EQ(c->JoinSession(0, "t", "t"), 0);
    // Cancelling the question fails the search.
    AnswerAddressDialog("", true);
    EXPECT_EQ(Raised([&] { c->SelectConnection(kTcpIp); }),
              "セッションの列挙に失敗しました(Error Code(88770118))");
}

TEST_F(Component, TheAddressQuestionOffersTheLastAddressTypedAndTheChoiceIsNamed) {
    unsetenv("MAREVO_DPLAY_HOST");
    setenv("MAREVO_DPLAY_BIND", "127.0.0.1", 1);
    auto host = LoadedComponent();
    ASSERT_EQ(host->SelectConnection(kLoopbackProvider), 0);
    EXPECT_EQ(host->ChosenConnection, host->Connections->Strings(kLoopbackProvider));
    ASSERT_EQ(host->CreateSession("remembered", "h", "h"), 0);
    ddpd::TDDPD::SetRememberedAddress("127.0.0.1");
    QString offered;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("AddressEdit"));
        offered = edit->text();
        // Typing replaces what was offered.
        EXPECT_EQ(edit->selectedText(), offered);
        dialog->accept();
    });
    auto c = LoadedComponent();
    constexpr int kTcpIp = 0;
    ASSERT_EQ(c->SelectConnection(kTcpIp), 0);
    EXPECT_EQ(offered, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(c->ChosenConnection, c->Connections->Strings(kTcpIp));
    ASSERT_EQ(c->Sessions->Count(), 1);
    AnswerAddressDialog("localhost", false);
    auto d = LoadedComponent();
    // Whether or not the name finds the session, it is what was typed last.
    (void)Raised([&] { d->SelectConnection(kTcpIp); });
    EXPECT_EQ(ddpd::TDDPD::RememberedAddress(), "localhost");
    ddpd::TDDPD::SetRememberedAddress("");
}
