// The connection dialog, driven offscreen the way a player drives it: keys on the provider box,
// clicks in the session list, a typed name, a button.
#include "tests/ddpd/DDPDTestSupport.h"

#include "ddpd/DDPDAnimationThread.h"
#include "ddpd/DDPDForm.h"
#include "platform/dplay/DPlay.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>

using namespace ddpd;
using namespace ddpdtest;
using namespace std::chrono_literals;

namespace {

QString Q(const char* Utf8) {
    return QString::fromUtf8(Utf8);
}

// Runs the dialog modally for Component; Script plays the player once it is up.
int RunDialog(TDDPD& Component, const std::function<void(TDDPDForm&)>& Script) {
    TDDPDForm form;
    form.DDPD = &Component;
    QTimer::singleShot(0, &form, [&] {
        Script(form);
        if (form.isVisible())
            form.reject(); // a script that did not close it: cancel
    });
    return form.exec();
}

void ChooseProvider(TDDPDForm& Form, Qt::Key Key) {
    Form.ServiceProviderBox->setFocus();
    QTest::keyClick(Form.ServiceProviderBox, Key);
}

void ClickSession(TDDPDForm& Form, int Row) {
    const QRect r = Form.SessionList->visualItemRect(Form.SessionList->item(Row));
    QTest::mouseClick(Form.SessionList->viewport(), Qt::LeftButton, {}, r.center());
}

std::vector<std::string> Items(const QListWidget* List) {
    std::vector<std::string> items;
    for (int i = 0; i < List->count(); ++i)
        items.push_back(List->item(i)->text().toStdString());
    return items;
}

bool AnyMessageBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w) && w->isVisible())
            return true;
    return false;
}

// Closes the next message box that shows within a few seconds, keeping its text in Said (which
// must outlive the wait).
void AnswerMessageBox(QString& Said) {
    auto* timer = new QTimer;
    auto left = std::make_shared<int>(500);
    QObject::connect(timer, &QTimer::timeout, [timer, left, &Said] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box || --*left <= 0) {
            timer->stop();
            timer->deleteLater();
        }
        if (box) {
            Said = box->text();
            box->accept();
        }
    });
    timer->start(10);
}

// How many message boxes showed while Action ran; each is closed as it shows.
int BoxesDuring(const std::function<void()>& Action) {
    int shown = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++shown;
            box->reject();
        }
    });
    timer.start(10);
    Action();
    return shown;
}

struct Dialog : ::testing::Test {
    void SetUp() override {
        UsePrivateQueryPort();
        // The TCP/IP provider searches this computer, so no address is asked for.
        setenv("MAREVO_DPLAY_HOST", "127.0.0.1", 1);
        setenv("MAREVO_DPLAY_BIND", "127.0.0.1", 1);
        DirectPlayFailures().Clear();
        Host = LoadedComponent();
        ASSERT_EQ(Host->SelectConnection(kLoopbackProvider), 0);
        ASSERT_EQ(Host->CreateSession("regatta", "anna", "anna"), 0);
        Player = LoadedComponent();
    }
    void TearDown() override { DirectPlayFailures().Clear(); }
    std::unique_ptr<TDDPD> Host, Player;
};

} // namespace

TEST_F(Dialog, OpensWithThePromptAndTheLayoutOfItsFormDescription) {
    const int result = RunDialog(*Player, [](TDDPDForm& f) {
        EXPECT_EQ(f.windowTitle(), Q("接続"));
        EXPECT_EQ(f.size(), QSize(512, 306));
        ASSERT_EQ(f.ServiceProviderBox->count(), 4);
        EXPECT_EQ(f.ServiceProviderBox->itemText(0), Q("(接続方法を選んでください)"));
        EXPECT_EQ(f.ServiceProviderBox->itemText(2), Q("インターネット (ロビー)"));
        EXPECT_EQ(f.ServiceProviderBox->itemText(3), Q("ループバック (このコンピュータ)"));
        EXPECT_EQ(f.ServiceProviderBox->currentIndex(), 0);
        EXPECT_EQ(f.SessionList->count(), 0);
        EXPECT_EQ(f.PlayerList->count(), 0);
        EXPECT_TRUE(f.PlayerNameEdit->text().isEmpty());
        EXPECT_FALSE(f.GroupBox1->isEnabled());
        EXPECT_FALSE(f.NewSessionBtn->isEnabled());
        EXPECT_FALSE(f.JoinSessionBtn->isEnabled());
        EXPECT_FALSE(f.PlayerList->isEnabled());
        EXPECT_FALSE(f.Image1->isVisible());
        struct TPlace {
            QWidget* Control;
            QRect Rect;
            const char* Caption;
        };
        const TPlace places[] = {
            {f.Label1, {28, 12, 48, 12}, "接続方法"},
            {f.Label2, {8, 40, 67, 12}, "プレイヤー名"},
            {f.Bevel1, {450, 15, 36, 36}, nullptr},
            {f.PaintBox1, {452, 16, 32, 32}, nullptr},
            {f.Image1, {4, 268, 768, 32}, nullptr},
            {f.ServiceProviderBox, {84, 8, 353, 20}, nullptr},
            {f.GroupBox1, {12, 68, 237, 185}, "セッション"},
            {f.SessionList, {4, 12, 229, 133}, nullptr},
            {f.NewSessionBtn, {136, 152, 89, 25}, "新規セッション"},
            {f.JoinSessionBtn, {16, 152, 89, 25}, "参加"},
            {f.GroupBox2, {256, 68, 241, 185}, "参加しているプレーヤ"},
            {f.PlayerList, {4, 12, 233, 169}, nullptr},
            {f.PlayerNameEdit, {84, 36, 353, 20}, nullptr},
            {f.CancelBtn, {404, 268, 89, 29}, nullptr},
        };
        for (const auto& p : places) {
            EXPECT_EQ(p.Control->geometry(), p.Rect) << p.Control->metaObject()->className();
            if (!p.Caption)
                continue;
            if (auto* l = qobject_cast<QLabel*>(p.Control)) {
                EXPECT_EQ(l->text(), Q(p.Caption));
            } else if (auto* g = qobject_cast<QGroupBox*>(p.Control)) {
                EXPECT_EQ(g->title(), Q(p.Caption));
            } else if (auto* b = qobject_cast<QPushButton*>(p.Control)) {
                EXPECT_EQ(b->text(), Q(p.Caption));
            }
        }
        // Tab order: provider, sessions (list and buttons), players, name, cancel.
        const std::vector<QWidget*> order = {f.ServiceProviderBox, f.SessionList, f.NewSessionBtn,
                                             f.JoinSessionBtn,     f.PlayerList,  f.PlayerNameEdit,
                                             f.CancelBtn};
        std::vector<QWidget*> chain;
        QWidget* w = f.ServiceProviderBox;
        do {
            if (std::find(order.begin(), order.end(), w) != order.end() &&
                std::find(chain.begin(), chain.end(), w) == chain.end())
                chain.push_back(w);
            w = w->nextInFocusChain();
        } while (w != f.ServiceProviderBox);
        EXPECT_EQ(chain, order);
        QTest::keyClick(&f, Qt::Key_Escape);
    });
    EXPECT_EQ(result, mrCancel);
}

TEST_F(Dialog, APlayerPicksTheProviderSeesTheSessionAndItsPlayersAndJoins) {
    const int result = RunDialog(*Player, [](TDDPDForm& f) {
        ChooseProvider(f, Qt::Key_End);
        EXPECT_EQ(f.ServiceProviderBox->currentIndex(), 3);
        EXPECT_EQ(Items(f.SessionList), std::vector<std::string>{"regatta"});
        EXPECT_TRUE(f.GroupBox1->isEnabled());
        EXPECT_TRUE(f.NewSessionBtn->isEnabled());
        EXPECT_FALSE(f.JoinSessionBtn->isEnabled());
        EXPECT_EQ(f.GetFrame(), 0); // the emblem is at rest again after the search
        ClickSession(f, 0);
        EXPECT_EQ(Items(f.PlayerList), std::vector<std::string>{"anna"});
        EXPECT_TRUE(f.JoinSessionBtn->isEnabled());
        QTest::keyClicks(f.PlayerNameEdit, "ben");
        QTest::mouseClick(f.JoinSessionBtn, Qt::LeftButton);
    });
    EXPECT_EQ(result, mrOk);
    ASSERT_NE(Player->LocalPlayer, nullptr);
    EXPECT_EQ(Player->LocalPlayer->LongName, "ben");
    EXPECT_EQ(Player->Players->Count(), 2);
    EXPECT_TRUE(PumpUntil([&] { return Host->Players->Count() == 2; }));
}

TEST_F(Dialog, ASessionOrPlayerNameFromAnotherMachineStaysOnItsOwnLineInTheLists) {
    Host.reset();
    Host = LoadedComponent();
    ASSERT_EQ(Host->SelectConnection(kLoopbackProvider), 0);
    ASSERT_EQ(Host->CreateSession("re\ngatta", "an\tna", "an\r\nna\x1B"), 0);
    RunDialog(*Player, [](TDDPDForm& f) {
        ChooseProvider(f, Qt::Key_End);
        EXPECT_EQ(Items(f.SessionList), std::vector<std::string>{"re\u240Agatta"});
        ClickSession(f, 0);
        EXPECT_EQ(Items(f.PlayerList), std::vector<std::string>{"an\u240D\u240Ana\u241B"});
    });
}

TEST_F(Dialog, CreatingWithANameClosesWithOkAndNamesTheSessionAfterThePlayer) {
    Host.reset(); // one host per query port on a computer
    EXPECT_TRUE(RunDialog(*Player, [](TDDPDForm& f) {
                    ChooseProvider(f, Qt::Key_End);
                    QTest::keyClicks(f.PlayerNameEdit, "carol");
                    QTest::mouseClick(f.NewSessionBtn, Qt::LeftButton);
                }) == mrOk);
    ASSERT_NE(Player->LocalPlayer, nullptr);
    EXPECT_EQ(Player->LocalPlayer->LongName, "carol");
    EXPECT_EQ(Player->LocalPlayer->ShortName, "carol");
    auto looker = LoadedComponent();
    ASSERT_EQ(looker->SelectConnection(kLoopbackProvider), 0);
    ASSERT_EQ(looker->Sessions->Count(), 1);
    EXPECT_EQ(looker->Sessions->Strings(0), "carol");
}

TEST_F(Dialog, ShowConnectDialogIsTrueOnlyForASessionCreatedOrJoined) {
    Host.reset();
    QTimer::singleShot(0, [] {
        auto* f = dynamic_cast<TDDPDForm*>(QApplication::activeModalWidget());
        ASSERT_NE(f, nullptr);
        f->CancelBtn->click();
    });
    EXPECT_FALSE(Player->ShowConnectDialog());
    QTimer::singleShot(0, [] {
        auto* f = dynamic_cast<TDDPDForm*>(QApplication::activeModalWidget());
        ASSERT_NE(f, nullptr);
        ChooseProvider(*f, Qt::Key_End);
        f->NewSessionBtn->click();
    });
    EXPECT_TRUE(Player->ShowConnectDialog());
}

TEST_F(Dialog, ACreateOrJoinThatFailsSaysWhyAndTheDialogStaysOpenForAnotherTry) {
    struct TCase {
        const char* What;
        std::function<void(TDDPDForm&)> Attempt; // the dialog shows the session "regatta"
        const char* Said;
    };
    const auto join = [](TDDPDForm& f) {
        ClickSession(f, 0);
        QTest::mouseClick(f.JoinSessionBtn, Qt::LeftButton);
    };
    const TCase cases[] = {
        {"a second session on this computer",
         [](TDDPDForm& f) { QTest::mouseClick(f.NewSessionBtn, Qt::LeftButton); },
         "セッションを作成できませんでした。\nこのコンピュータでは、すでに別のセッションが"},
        {"a full session",
         [&](TDDPDForm& f) {
             ClickSession(f, 0);
             DirectPlayFailures().Fail("IDirectPlay3A::CreatePlayer", DPERR_CANTADDPLAYER);
             QTest::mouseClick(f.JoinSessionBtn, Qt::LeftButton);
         },
         "セッションに参加できませんでした。\nこのセッションは、これ以上プレイヤーを"},
        {"a session that ended since the search",
         [&](TDDPDForm& f) {
             DirectPlayFailures().Fail("IDirectPlay3A::Open", DPERR_NOSESSIONS);
             ClickSession(f, 0);
         },
         "セッションの参加者を確認できませんでした。\nセッションが見つかりません。"},
        {"a lobby that refuses the sign-in",
         [&](TDDPDForm& f) {
             DirectPlayFailures().Fail("IDirectPlay3A::Open", DPERR_LOGONDENIED);
             ClickSession(f, 0);
         },
         "セッションの参加者を確認できませんでした。\nロビーサーバーがサインインを断りました。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        QString said;
        const int result = RunDialog(*Player, [&](TDDPDForm& f) {
            ChooseProvider(f, Qt::Key_End);
            AnswerMessageBox(said);
            c.Attempt(f);
            EXPECT_TRUE(said.startsWith(Q(c.Said))) << said.toStdString();
            EXPECT_TRUE(f.isVisible());
            // Another try works.
            DirectPlayFailures().Clear();
            said.clear();
            join(f);
            EXPECT_TRUE(said.isEmpty()) << said.toStdString();
        });
        EXPECT_EQ(result, mrOk);
        EXPECT_FALSE(AnyMessageBox());
        Player = LoadedComponent();
    }
}

TEST_F(Dialog, ANameTooLongForTheServiceIsRefusedAndTheDialogStaysOpen) {
    Host.reset();
    // 128 characters of two bytes each in Shift-JIS: one byte too many.
    QString tooLong;
    for (int i = 0; i < 128; ++i)
        tooLong += Q("帆");
    const int result = RunDialog(*Player, [&](TDDPDForm& f) {
        ChooseProvider(f, Qt::Key_End);
        f.PlayerNameEdit->setText(tooLong);
        QString said;
        AnswerMessageBox(said);
        QTest::mouseClick(f.NewSessionBtn, Qt::LeftButton);
        EXPECT_TRUE(said.startsWith(Q("プレイヤー名が長すぎます。"))) << said.toStdString();
        EXPECT_TRUE(f.isVisible());
        f.PlayerNameEdit->setText(tooLong.left(127));
        QTest::mouseClick(f.NewSessionBtn, Qt::LeftButton);
    });
    EXPECT_EQ(result, mrOk);
}

TEST_F(Dialog, ASearchThatFindsNothingSaysSoInTheSessionList) {
    Host.reset();
    const QString none = Q("セッションが見つかりませんでした");
    RunDialog(*Player, [&](TDDPDForm& f) {
        const QImage blank = f.SessionList->viewport()->grab().toImage();
        ChooseProvider(f, Qt::Key_End);
        EXPECT_EQ(f.SessionList->count(), 0);
        EXPECT_TRUE(f.NewSessionBtn->isEnabled());
        EXPECT_EQ(f.SessionList->EmptyText(), none);
        EXPECT_NE(f.SessionList->viewport()->grab().toImage(), blank);
        // Found on the next search, the session replaces the line.
        auto host = LoadedComponent();
        ASSERT_EQ(host->SelectConnection(kLoopbackProvider), 0);
        ASSERT_EQ(host->CreateSession("regatta", "anna", "anna"), 0);
        ChooseProvider(f, Qt::Key_Home);
        ChooseProvider(f, Qt::Key_End);
        EXPECT_EQ(Items(f.SessionList), std::vector<std::string>{"regatta"});
        EXPECT_TRUE(f.SessionList->EmptyText().isEmpty());
    });
}

TEST_F(Dialog, AFailedSearchKeepsTheDialogOpenForAnotherTryAndThePromptDoesNothing) {
    const int result = RunDialog(*Player, [](TDDPDForm& f) {
        DirectPlayFailures().Fail("IDirectPlay3A::EnumSessions", DPERR_GENERIC);
        QString said;
        AnswerMessageBox(said);
        ChooseProvider(f, Qt::Key_End);
        EXPECT_EQ(said,
                  Q("セッションを検索できませんでした。\nセッションの列挙に失敗しました(Error "
                    "Code(80004005))"));
        EXPECT_TRUE(f.isVisible());
        EXPECT_FALSE(f.GroupBox1->isEnabled());
        EXPECT_FALSE(f.NewSessionBtn->isEnabled());
        EXPECT_EQ(f.SessionList->count(), 0);
        EXPECT_FALSE(AnyMessageBox());
        // A player who cancelled the address question knows why already.
        DirectPlayFailures().Fail("IDirectPlay3A::EnumSessions", DPERR_USERCANCEL);
        EXPECT_EQ(BoxesDuring([&f] { ChooseProvider(f, Qt::Key_Up); }), 0);
        EXPECT_TRUE(f.isVisible());
        EXPECT_FALSE(f.GroupBox1->isEnabled());
        const int searches = DirectPlayFailures().Calls("IDirectPlay3A::EnumSessions");
        ChooseProvider(f, Qt::Key_Home); // the prompt
        EXPECT_EQ(DirectPlayFailures().Calls("IDirectPlay3A::EnumSessions"), searches);
        // The TCP/IP provider (here at 127.0.0.1) finds the same session.
        ChooseProvider(f, Qt::Key_Down);
        EXPECT_EQ(f.ServiceProviderBox->currentIndex(), 1);
        EXPECT_EQ(Items(f.SessionList), std::vector<std::string>{"regatta"});
        // Clicking below the sessions selects nothing and lists nothing.
        QTest::mouseClick(f.SessionList->viewport(), Qt::LeftButton, {}, QPoint(100, 120));
        EXPECT_EQ(f.PlayerList->count(), 0);
        EXPECT_FALSE(f.JoinSessionBtn->isEnabled());
    });
    EXPECT_EQ(result, mrCancel);
}

TEST_F(Dialog, AProviderThatStartsWithAFailureCodeClosesTheDialogWithAbort) {
    // A provider that cannot start here makes the search fail: the dialog stays.
    DirectPlayFailures().Fail("IDirectPlay3A::InitializeConnection", DPERR_NOCONNECTION);
    QString said;
    EXPECT_EQ(RunDialog(*Player,
                        [&](TDDPDForm& f) {
                            AnswerMessageBox(said);
                            ChooseProvider(f, Qt::Key_End);
                            EXPECT_TRUE(f.isVisible());
                        }),
              mrCancel);
    EXPECT_TRUE(said.startsWith(Q("セッションを検索できませんでした。")));
    // One whose search still succeeds hands its code to the dialog, which gives up.
    TRecordingPlay play;
    play.InitializeResult = DPERR_NOCONNECTION;
    TDDPD component;
    component.Loaded();
    ReleaseRef(component.DirectPlay);
    component.DirectPlay = &play;
    EXPECT_EQ(RunDialog(component, [](TDDPDForm& f) { ChooseProvider(f, Qt::Key_End); }), mrAbort);
    component.DirectPlay = nullptr;
}

TEST(DialogEmblem, TheStripHoldsTwentyFourDifferentEightBitFrames) {
    TDDPDForm form;
    const QImage& strip = form.EmblemStrip();
    EXPECT_EQ(strip.size(), QSize(768, 32));
    EXPECT_EQ(strip.depth(), 8);
    std::set<QByteArray> frames;
    for (int k = 0; k < 24; ++k) {
        const QImage frame = strip.copy(32 * k, 0, 32, 32).convertToFormat(QImage::Format_ARGB32);
        frames.insert(QByteArray(reinterpret_cast<const char*>(frame.constBits()),
                                 static_cast<int>(frame.sizeInBytes())));
        // Gold, not grey: the middle of every frame is mostly red and green.
        const QColor c = frame.pixelColor(16, 16);
        EXPECT_GT(c.red(), c.blue()) << k;
    }
    EXPECT_EQ(frames.size(), 24u);
}

TEST(DialogEmblem, TheThreadTurnsThroughFramesOneToTwentyTwoAndStopsAtRest) {
    TDDPDForm form;
    form.show();
    std::vector<int> seen;
    {
        TDDPDAnimationThread thread(&form);
        PumpUntil(
            [&] {
                const int f = form.GetFrame();
                if (seen.empty() || seen.back() != f)
                    seen.push_back(f);
                return false;
            },
            2300ms);
    }
    EXPECT_EQ(form.GetFrame(), 0);
    ASSERT_GE(seen.size(), 20u);
    EXPECT_EQ(*std::max_element(seen.begin(), seen.end()), 22);
    for (std::size_t i = 1; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], (seen[i - 1] + 1) % 23) << i;
    // What the paint box shows is the strip's frame.
    form.SetFrame(5);
    const QImage shown = form.PaintBox1->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage expected =
        form.EmblemStrip().copy(160, 0, 32, 32).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shown.pixelColor(16, 16), expected.pixelColor(16, 16));
}
