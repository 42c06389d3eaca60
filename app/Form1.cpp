#include "Form1.h"

#include "AboutBox.h"
#include "ChatLines.h"
#include "Form2.h"
#include "GameMessages.h"
#include "HullBitmap.h"
#include "MarevoIcon.h"
#include "platform/rtl/ShiftJis.h"
#include "platform/rtl/SysUtils.h"

#include "platform/ddraw/ScreenView.h"
#include "platform/vcl/Screen.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>

#include <algorithm>
#include <filesystem>
#include <utility>

TForm1* Form1 = nullptr;

namespace {

constexpr std::uint32_t kStepPeriodMs = 200;
constexpr std::uint32_t kJoystickPollMs = 20;
constexpr const char* kReceivedTextureFile = "ENTEX.BMP";
// What a display that does not tell its refresh rate is taken to have.
constexpr double kFallbackPictureRate = 60;

// Every yacht's spinnaker wears this machine's texture, found as at the start: the spinnaker
// texture never crosses the wire.
std::string FindSpinnakerTexture() {
    return rtl::FindFileNoCase("SPINTEX.BMP");
}

QString Q(const char* Utf8) {
    return QString::fromUtf8(Utf8);
}

} // namespace

TForm1::TForm1(TMultimediaClock& AClock, QWidget* Parent) : vcl::TForm(Parent), Clock(AClock) {
    setWindowTitle(Q("Marevo  － 視点切替：F,U,R   ｽﾋﾟﾝ上降：S,D －"));
    setWindowIcon(MarevoIcon());
    QFont font(Q("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);
    SetBounds(13, 14, 328, 266);

    // The form's own handlers come from its description before its components are made.
    OnCreate = [this](vcl::TForm*) { FormCreate(); };

    DrawYacht1 = std::make_unique<TDrawYacht>(this);
    DrawYacht1->SetDisplayMode(dddd::TDDDDDispMode::dmWin640x480x16);
    DrawYacht1->BackColor = 0;
    DrawYacht1->SetDisableScreenSaver(true);
    DrawYacht1->D3DOptions = {dddd::DontUseRGBEmulation, dddd::DontUseHAL};
    DrawYacht1->VsyncAtWindowed = true;
    DrawYacht1->AllowRakugaki = false;
    DrawYacht1->FitFrameToView = true;
    DrawYacht1->Loaded();

    BuildMenu();

    DDPD1 = std::make_unique<ddpd::TDDPD>();
    DDPD1->SetAppGuid("{00000000-0000-0000-0000-000000000000}");
    DDPD1->OnArriveMessage = [this](ddpd::TDDPD* Sender, ddpd::TDDPDPlayer* from, void* data,
                                    std::int32_t dataSize) {
        vcl::Application->Guard([&] { DDPD1ArriveMessage(Sender, from, data, dataSize); });
    };
    DDPD1->OnComesNewChallenger = [this](ddpd::TDDPD* Sender, ddpd::TDDPDPlayer* player,
                                         const std::string& ShortName,
                                         const std::string& LongName) {
        vcl::Application->Guard(
            [&] { DDPD1ComesNewChallenger(Sender, player, ShortName, LongName); });
    };
    DDPD1->OnEscapeChallenger = [this](ddpd::TDDPD* Sender, ddpd::TDDPDPlayer* player,
                                       const std::string& ShortName, const std::string& LongName) {
        vcl::Application->Guard(
            [&] { DDPD1EscapeChallenger(Sender, player, ShortName, LongName); });
    };
    DDPD1->OnNetworkNotice = [this](ddpd::TDDPD*, const std::string& Text) {
        vcl::Application->Guard([&] { NoteNetwork(Text); });
    };
    DDPD1->Loaded();
    Joy = std::make_unique<ddidex::TDDIDEX>(this);
    Joy->Loaded();

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this,
            [this] { vcl::Application->Guard([this] { Timer1Timer(); }); });
    Timer1->start();

    OpenPictureDialog1.Filter = "ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp";

    // The form is loaded: its creation event, which the display component has taken over to
    // build its display before the form's own handler runs.
    DoCreate();
}

TForm1::~TForm1() {
    // The chat window sends through DDPD1, which goes with this window.
    delete Form2;
    if (vcl::Application)
        vcl::Application->SetOnIdle(nullptr);
    FormDestroy();
    if (Form1 == this)
        Form1 = nullptr;
}

template <class Signal, class F> void TForm1::Bind(QAction* Action, Signal S, F Handler) {
    connect(Action, S, this,
            [this, Handler] { vcl::Application->Guard([&] { (this->*Handler)(); }); });
}

void TForm1::BuildMenu() {
    QMenuBar* bar = menuBar();
    G1 = bar->addMenu(Q("ｹﾞｰﾑ(&G)"));
    C1 = G1->addAction(Q("接続(&C)"));
    X1 = G1->addAction(Q("終了(&X)"));
    Option1 = bar->addMenu(Q("ｵﾌﾟｼｮﾝ(&O)"));
    H1 = Option1->addAction(Q("ﾊﾙﾃｸｽﾁｬ選択(&H)"));
    S1 = Option1->addAction(Q("ｽﾋﾟﾝﾃｸｽﾁｬ選択(&S)"));
    USEHALU1 = Option1->addAction(Q("Use HAL(&U)"));
    USEHALU1->setCheckable(true);
    USEHALU1->setChecked(false);
    Smooth1 = Option1->addAction(Q("なめらか表示(&N)"));
    Smooth1->setCheckable(true);
    Smooth1->setChecked(false);
    Scaling1 = Option1->addMenu(Q("拡大方法(&Z)"));
    auto* scalings = new QActionGroup(this);
    const char* scalingCaptions[kFrameScalingCount] = {"整数倍 (ピクセルパーフェクト)(&P)",
                                                       "最近傍で拡大(&E)", "なめらかに拡大(&M)"};
    for (int i = 0; i < kFrameScalingCount; ++i) {
        ScalingItems[static_cast<std::size_t>(i)] = Scaling1->addAction(Q(scalingCaptions[i]));
        ScalingItems[static_cast<std::size_t>(i)]->setCheckable(true);
        scalings->addAction(ScalingItems[static_cast<std::size_t>(i)]);
        connect(ScalingItems[static_cast<std::size_t>(i)], &QAction::triggered, this, [this, i] {
            vcl::Application->Guard([&] { SetFrameScaling(static_cast<TFrameScaling>(i)); });
        });
    }
    ScalingItems[0]->setChecked(true);
    FullScreen1 = Option1->addAction(Q("全画面表示(&F)"));
    FullScreen1->setCheckable(true);
    // Esc is the spinnaker's, as ever: only these leave full screen.
    FullScreen1->setShortcuts({QKeySequence(Qt::Key_F11), QKeySequence(Qt::ALT | Qt::Key_Return),
                               QKeySequence(Qt::ALT | Qt::Key_Enter)});
    Help1 = bar->addMenu(Q("ﾍﾙﾌﾟ(&H)"));
    N1 = Help1->addAction(Q("目次(&C)"));
    About1 = Help1->addAction(Q("ﾊﾞｰｼﾞｮﾝ情報(&A)"));

    Bind(C1, &QAction::triggered, &TForm1::C1Click);
    Bind(X1, &QAction::triggered, &TForm1::X1Click);
    Bind(H1, &QAction::triggered, &TForm1::H1Click);
    Bind(S1, &QAction::triggered, &TForm1::S1Click);
    Bind(USEHALU1, &QAction::triggered, &TForm1::USEHALU1Click);
    Bind(Smooth1, &QAction::triggered, &TForm1::Smooth1Click);
    Bind(FullScreen1, &QAction::triggered, &TForm1::FullScreen1Click);
    Bind(N1, &QAction::triggered, &TForm1::N1Click);
    Bind(About1, &QAction::triggered, &TForm1::About1Click);
}

void TForm1::FormCreate() {
    ExpectedTextureSize = kTextureMessageSize;
    HullTextureFile = rtl::FindFileNoCase("HALTEX.BMP");
    SpinnakerTextureFile = FindSpinnakerTexture();
    DrawYacht1->InitScene();
    Roster = std::make_unique<TPlayerMan>();
    LocalId = 1;
    Roster->AddPlayer(1);
    if (!DrawYacht1->AddYacht(LocalSlot(), HullTextureFile))
        NoteUnreadableTexture(HullTextureFile);
    if (!DrawYacht1->SetSpinnakerTexture(LocalSlot(), SpinnakerTextureFile))
        NoteUnreadableTexture(SpinnakerTextureFile);
    Shown[static_cast<std::size_t>(LocalSlot())].Reset(Roster->GetState(LocalId));
    ClearCommands();
    StepPeriod = kStepPeriodMs;
    TimeAccumulator = 0;
    LastTime = Clock.timeGetTime();
    if (vcl::Application)
        vcl::Application->SetOnIdle([this](bool& Done) { IdleHandler(Done); });
}

void TForm1::FormDestroy() {
    Roster.reset();
}

void TForm1::IdleHandler(bool& Done) {
    if (DrawYacht1->SceneReady && LocalSlot() > 0) {
        PollJoystick();
        const std::uint32_t now = Clock.timeGetTime();
        const std::uint32_t elapsed = now - LastTime; // unsigned: the wrap-around is harmless
        TimeAccumulator += elapsed;
        LastTime = now;
        SinceLastPicture += elapsed;
        bool stepped = false;
        // Strictly less: exactly one period left over waits for the next call. No cap: after
        // a stall every missed step is caught up before drawing.
        while (StepPeriod < TimeAccumulator) {
            TimeAccumulator -= StepPeriod;
            Roster->StepAll();
            for (int i = 1; i <= TPlayerMan::SlotCount; ++i)
                if (Roster->IdAt(i) > 0)
                    Shown[static_cast<std::size_t>(i)].Step(Roster->Yachts(i).GetState());
            stepped = true;
        }
        if (stepped) {
            if (SmoothMotion) {
                PoseShownYachts(now);
            } else {
                for (int i = 1; i <= TPlayerMan::SlotCount; ++i) {
                    const std::int32_t id = Roster->IdAt(i);
                    if (id > 0)
                        DrawYacht1->SetYachtState(i, Roster->GetState(id));
                }
            }
            DrawYacht1->RenderFrame();
            ApplyCommands();
            ClearCommands();
        }
        // A millisecond early: the present waits for the display's next refresh anyway.
        const bool pictureDue = SmoothMotion && SinceLastPicture >= PicturePeriod() - 1;
        if (pictureDue && !stepped) {
            PoseShownYachts(now);
            DrawYacht1->RenderPicture();
        }
        if (SmoothMotion && (stepped || pictureDue)) {
            // Keeps the average rate on a millisecond clock; after a stall, starts afresh.
            SinceLastPicture -= PicturePeriod();
            if (SinceLastPicture > PicturePeriod())
                SinceLastPicture = 0;
        }
    }
    // Nothing changes before the next step is due but what the player does, and keys and the
    // mouse come as messages, which end the wait at once: sleep until then.
    Done = true;
    if (vcl::Application)
        vcl::Application->WakeIdleAfter(IdleWait());
}

std::uint32_t TForm1::IdleWait() const {
    // Strictly more than one period steps: one millisecond past the period.
    std::uint32_t wait = TimeAccumulator < StepPeriod ? StepPeriod - TimeAccumulator + 1 : 1;
    if (SmoothMotion) {
        const double untilPicture = PicturePeriod() - 1 - SinceLastPicture;
        wait = std::min(wait, untilPicture < 1 ? 1u : static_cast<std::uint32_t>(untilPicture));
    }
    if (!DrawYacht1->SceneReady || LocalSlot() == 0)
        wait = kStepPeriodMs; // nothing runs: only look again now and then
    // A joystick sends no messages, and a poll sees only where it is now: a press that began and
    // ended between two polls would be lost. Players' presses last longer than this.
    if (Joy->JoystickCount > 0)
        wait = std::min(wait, kJoystickPollMs);
    return wait;
}

double TForm1::PicturePeriod() const {
    const int rate = vcl::Screen().RefreshRate();
    return 1000.0 / (rate > 0 ? rate : kFallbackPictureRate);
}

float TForm1::StepPart() const {
    if (StepPeriod == 0)
        return 1;
    return std::min(1.0f, static_cast<float>(TimeAccumulator) / static_cast<float>(StepPeriod));
}

void TForm1::PoseShownYachts(std::uint32_t Now) {
    const float part = StepPart();
    for (int i = 1; i <= TPlayerMan::SlotCount; ++i)
        if (Roster->IdAt(i) > 0)
            DrawYacht1->SetYachtPose(i, Shown[static_cast<std::size_t>(i)].Pose(part, Now));
}

void TForm1::ForgetShown(int Slot) {
    if (Slot < 1 || Slot > TPlayerMan::SlotCount)
        return;
    Shown[static_cast<std::size_t>(Slot)] = TShownYacht();
    HeardFrom[static_cast<std::size_t>(Slot)] = false;
}

void TForm1::PollJoystick() {
    // The first joystick, then the keyboard merged into the same state.
    static constexpr std::int32_t kDevices[] = {2, 0};
    Joy->Poll(kDevices);
    ddidex::TDDIDEXDirections directions{};
    Joy->GetDirections(directions);
    if (directions.X != 0)
        SteerCommand = directions.X;
    if (directions.Y != 0)
        SailCommand = directions.Y;
    if (Joy->ButtonDown(0))
        SpinnakerUpPressed = true;
    if (Joy->ButtonDown(1))
        SpinnakerDownPressed = true;
}

template <class F> void TForm1::ChangeLocalState(F&& Change) {
    TYachtState s = Roster->GetState(LocalId);
    Change(s);
    Roster->SetState(LocalId, s);
}

void TForm1::ApplyCommands() {
    if (const int slot = LocalSlot(); slot > 0) {
        if (SteerCommand > 0)
            Roster->Yachts(slot).Steer(-5);
        else if (SteerCommand < 0)
            Roster->Yachts(slot).Steer(+5);
    }
    if (SailCommand > 0)
        ChangeLocalState([](TYachtState& s) { s.SailsTrimmed = 1; });
    else if (SailCommand < 0)
        ChangeLocalState([](TYachtState& s) { s.SailsTrimmed = 0; });
    if (SpinnakerUpPressed)
        ChangeLocalState([](TYachtState& s) { s.Spinnaker = 1; });
    if (SpinnakerDownPressed)
        ChangeLocalState([](TYachtState& s) { s.Spinnaker = 0; });
}

void TForm1::ClearCommands() {
    SteerCommand = 0;
    SailCommand = 0;
    SpinnakerUpPressed = false;
    SpinnakerDownPressed = false;
}

void TForm1::FormKeyPress(char32_t Key) {
    if (Key == U'U' || Key == U'u')
        DrawYacht1->SetViewMode(1);
    if (Key == U'R' || Key == U'r')
        DrawYacht1->SetViewMode(0);
    if (Key == U'F' || Key == U'f')
        DrawYacht1->SetViewMode(2);
    if (!Roster)
        return;
    if (Key == U'S' || Key == U's')
        ChangeLocalState([](TYachtState& s) { s.Spinnaker = 1; });
    if (Key == U'D' || Key == U'd')
        ChangeLocalState([](TYachtState& s) { s.Spinnaker = 0; });
}

void TForm1::keyPressEvent(QKeyEvent* Event) {
    const QString text = Event->text();
    if (text.size() == 1)
        vcl::Application->Guard([&] { FormKeyPress(text.at(0).unicode()); });
    vcl::TForm::keyPressEvent(Event);
}

void TForm1::changeEvent(QEvent* Event) {
    // The window system may end full screen by itself; the check mark follows it.
    if (Event->type() == QEvent::WindowStateChange && FullScreen1)
        FullScreen1->setChecked(isFullScreen());
    vcl::TForm::changeEvent(Event);
}

void TForm1::closeEvent(QCloseEvent* Event) {
    // Closing the main form ends the program, whatever other windows are open.
    Event->accept();
    if (vcl::Application)
        vcl::Application->Terminate();
}

void TForm1::C1Click() {
    DDPD1->PreferredConnection = ConnectionName;
    const bool connected = DDPD1->ShowConnectDialog();
    if (!DDPD1->ChosenConnection.empty())
        ConnectionName = DDPD1->ChosenConnection;
    if (connected) {
        Roster->RemovePlayer(LocalId);
        LocalId = static_cast<std::int32_t>(DDPD1->LocalPlayer->ID);
        Roster->AddPlayer(LocalId);
        ForgetShown(LocalSlot());
        Shown[static_cast<std::size_t>(LocalSlot())].Reset(Roster->GetState(LocalId));
        for (int i = 0; i < DDPD1->Players->Count(); ++i) {
            const auto id = static_cast<std::int32_t>((*DDPD1->Players)[i]->ID);
            if (id == LocalId)
                continue;
            Roster->AddPlayer(id);
            ForgetShown(Roster->IndexOf(id));
            DrawYacht1->AddYacht(Roster->IndexOf(id), "");
            DrawYacht1->SetSpinnakerTexture(Roster->IndexOf(id), FindSpinnakerTexture());
        }
        SendHullTexture();
        if (!Form2) {
            Form2 = new TForm2(*DDPD1, this);
            Form2->show();
        }
        // Only now is there a chat window to say it in.
        NoteUnexchangeableHullTexture();
        for (const auto& line : std::exchange(NetworkNotes, {}))
            AddChatLine(line);
        C1->setEnabled(false);
    }
    LastTime = Clock.timeGetTime();
}

void TForm1::H1Click() {
    if (OpenPictureDialog1.Execute(this)) {
        HullTextureFile = OpenPictureDialog1.FileName;
        if (!DrawYacht1->SetHullTexture(LocalSlot(), HullTextureFile))
            NoteUnreadableTexture(HullTextureFile);
        if (DrawYacht1->SceneReady && LocalId > 1) {
            SendHullTexture();
            NoteUnexchangeableHullTexture();
        }
    }
    LastTime = Clock.timeGetTime();
}

void TForm1::S1Click() {
    if (OpenPictureDialog1.Execute(this)) {
        SpinnakerTextureFile = OpenPictureDialog1.FileName;
        if (!DrawYacht1->SetSpinnakerTexture(LocalSlot(), SpinnakerTextureFile))
            NoteUnreadableTexture(SpinnakerTextureFile);
    }
    LastTime = Clock.timeGetTime();
}

void TForm1::USEHALU1Click() {
    // The action toggled its own check mark before this runs.
    if (USEHALU1->isChecked())
        DrawYacht1->D3DOptions = {};
    else
        DrawYacht1->D3DOptions = {dddd::DontUseRGBEmulation, dddd::DontUseHAL};
    DrawYacht1->InitDisplay(false, 640, 480, 16, 0, "");
}

void TForm1::Smooth1Click() {
    SetSmoothMotion(Smooth1->isChecked());
}

void TForm1::FullScreen1Click() {
    SetFullScreen(!isFullScreen());
}

void TForm1::SetSmoothMotion(bool On) {
    SmoothMotion = On;
    Smooth1->setChecked(On);
    SinceLastPicture = 0;
    // Off again: the next step draws the model's states as they are, as it always did.
}

void TForm1::SetFrameScaling(TFrameScaling Scaling) {
    const auto index = static_cast<std::size_t>(Scaling);
    if (index >= ScalingItems.size())
        return;
    ScalingItems[index]->setChecked(true);
    if (TScreenView* view = DrawYacht1->View())
        view->SetFrameScaling(Scaling);
}

void TForm1::SetFullScreen(bool On) {
    if (On == isFullScreen()) {
        FullScreen1->setChecked(On);
        return;
    }
    if (On) {
        WindowedBounds = frameGeometry();
        WindowedGeometry = geometry();
        // A bare X server, or a window manager that ignores the request, leaves the window as
        // it was: covering the screen ourselves makes full screen the same everywhere. First,
        // since a new geometry ends the full-screen state.
        if (const QScreen* s = screen())
            setGeometry(s->geometry());
        showFullScreen();
    } else {
        showNormal();
        if (WindowedGeometry.isValid())
            setGeometry(WindowedGeometry);
    }
    FullScreen1->setChecked(On);
}

TGameSettings TForm1::Settings() const {
    TGameSettings s;
    const QRect bounds =
        isFullScreen() && WindowedBounds.isValid() ? WindowedBounds : frameGeometry();
    s.Left = bounds.left();
    s.Top = bounds.top();
    s.Width = bounds.width();
    s.Height = bounds.height();
    s.ViewMode = DrawYacht1->ViewMode;
    s.SmoothMotion = SmoothMotion;
    if (const TScreenView* view = DrawYacht1->View())
        s.Scaling = view->FrameScaling();
    s.Connection = ConnectionName;
    s.Address = ddpd::TDDPD::RememberedAddress();
    s.Lobby = ddpd::TDDPD::RememberedLobby();
    return s;
}

void TForm1::ApplySettings(const TGameSettings& S) {
    if (S.Width > 0 && S.Height > 0) {
        // A place on no screen now (one unplugged since) keeps the size but not the place.
        const QRect wanted(S.Left, S.Top, S.Width, S.Height);
        bool onScreen = false;
        for (const QScreen* screen : QGuiApplication::screens())
            onScreen |= screen->availableGeometry().intersects(wanted);
        if (onScreen)
            SetBounds(S.Left, S.Top, S.Width, S.Height);
        else
            SetBounds(geometry().left(), geometry().top(), S.Width, S.Height);
    }
    DrawYacht1->SetViewMode(S.ViewMode);
    SetSmoothMotion(S.SmoothMotion);
    SetFrameScaling(S.Scaling);
    ConnectionName = S.Connection;
    ddpd::TDDPD::SetRememberedAddress(S.Address);
    ddpd::TDDPD::SetRememberedLobby(S.Lobby);
}

void TForm1::N1Click() {
    vcl::Application->SetHelpFile("MAREVOP1.HLP");
    vcl::Application->HelpCommand(vcl::HELP_CONTENTS);
}

void TForm1::About1Click() {
    TAboutBox box;
    box.exec();
}

void TForm1::X1Click() {
    vcl::Application->Terminate();
}

void TForm1::Timer1Timer() {
    if (!DrawYacht1->SceneReady || LocalId <= 1 || LocalSlot() == 0)
        return;
    Send(TStateMessage{Roster->Yachts(LocalSlot()).GetState()});
}

void TForm1::SendHullTexture() {
    const std::optional<THullBitmap> bitmap = ReadHullBitmap(HullTextureFile);
    if (!bitmap)
        return;
    Send(TTextureMessage{bitmap->Pixels});
}

void TForm1::NoteUnexchangeableHullTexture() {
    if (HullTextureFile.empty())
        return;
    if (const std::optional<THullBitmap> bitmap = ReadHullBitmap(HullTextureFile);
        bitmap && IsExchangeableHullBitmap(*bitmap))
        return;
    const std::string name = std::filesystem::path(HullTextureFile).filename().string();
    AddChatLine("ハルテクスチャ「" + name +
                "」は他のプレイヤーと交換できません。交換できるのは 128 × 128 ピクセル、24 "
                "ビットのビットマップだけです。");
}

void TForm1::NoteUnreadableTexture(const std::string& FileName) {
    const std::string name = std::filesystem::path(FileName).filename().string();
    const std::string text = "テクスチャ「" + name +
                             "」を読み込めませんでした。ファイルが壊れているか、読めない形式の"
                             "ビットマップです。";
    // Before a session there is no chat window to say it in.
    if (Form2)
        AddChatLine(text);
    else
        vcl::MessageBox(this, text, vcl::Application ? vcl::Application->Title() : std::string());
}

void TForm1::Send(const TGameMessage& Message) {
    const std::vector<std::uint8_t> bytes = EncodeGameMessage(Message);
    DDPD1->SendData(0, bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

void TForm1::DDPD1ArriveMessage(ddpd::TDDPD*, ddpd::TDDPDPlayer* from, const void* data,
                                std::int32_t dataSize) {
    if (!from)
        return;
    const std::optional<TGameMessage> message =
        DecodeGameMessage(data, dataSize, ExpectedTextureSize);
    if (!message)
        return;
    if (const auto* state = std::get_if<TStateMessage>(&*message))
        ReceiveState(*from, state->State);
    else if (const auto* texture = std::get_if<TTextureMessage>(&*message))
        ReceiveHullTexture(*from, texture->Pixels);
    else if (const auto* chat = std::get_if<TChatMessage>(&*message))
        AddChatLine(ChatLine(from->LongName, ShiftJisToUtf8(chat->Text)));
}

void TForm1::ReceiveState(const ddpd::TDDPDPlayer& From, const TYachtState& State) {
    const auto id = static_cast<std::int32_t>(From.ID);
    if (!Roster || Roster->IndexOf(id) == 0)
        return;
    Roster->SetState(id, State);
    const int slot = Roster->IndexOf(id);
    DrawYacht1->SetYachtState(slot, State);
    // The model's own (clamped) copy, as the steps will carry it on.
    TShownYacht& shown = Shown[static_cast<std::size_t>(slot)];
    if (HeardFrom[static_cast<std::size_t>(slot)])
        shown.Replace(Roster->GetState(id), StepPart(), Clock.timeGetTime());
    else
        shown.Reset(Roster->GetState(id));
    HeardFrom[static_cast<std::size_t>(slot)] = true;
}

void TForm1::ReceiveHullTexture(const ddpd::TDDPDPlayer& From,
                                std::span<const std::uint8_t> Pixels) {
    const std::optional<THullBitmap> bitmap = ReadHullBitmap(HullTextureFile);
    if (!bitmap)
        return;
    ExpectedTextureSize = bitmap->ImageSize;
    // A length that is not the template's image size would make a bitmap whose headers lie.
    if (!WriteHullBitmap(kReceivedTextureFile, *bitmap, Pixels))
        return;
    if (Roster)
        DrawYacht1->SetHullTexture(Roster->IndexOf(static_cast<std::int32_t>(From.ID)),
                                   kReceivedTextureFile);
}

void TForm1::DDPD1ComesNewChallenger(ddpd::TDDPD*, ddpd::TDDPDPlayer* player, const std::string&,
                                     const std::string&) {
    if (!player || !Roster)
        return;
    AddChatLine(ArrivalLine(player->LongName));
    const auto id = static_cast<std::int32_t>(player->ID);
    Roster->AddPlayer(id);
    ForgetShown(Roster->IndexOf(id));
    DrawYacht1->AddYacht(Roster->IndexOf(id), "");
    DrawYacht1->SetSpinnakerTexture(Roster->IndexOf(id), FindSpinnakerTexture());
    SendHullTexture();
}

void TForm1::DDPD1EscapeChallenger(ddpd::TDDPD*, ddpd::TDDPDPlayer* player, const std::string&,
                                   const std::string&) {
    if (!player || !Roster)
        return;
    AddChatLine(DepartureLine(player->LongName));
    const auto id = static_cast<std::int32_t>(player->ID);
    DrawYacht1->RemoveYacht(Roster->IndexOf(id));
    Roster->RemovePlayer(id);
}

void TForm1::NoteNetwork(const std::string& Utf8Line) {
    if (Form2)
        AddChatLine(Utf8Line);
    else
        NetworkNotes.push_back(Utf8Line);
}

void TForm1::AddChatLine(const std::string& Utf8Line) {
    if (Form2)
        Form2->AddLine(QString::fromStdString(Utf8Line));
}
