#pragma once
// The main window: the menu, the idle-time frame loop with its fixed 200 ms step, and the local
// player's commands.

#include "GameMessages.h"
#include "GameSettings.h"
#include "ddidex/DDIDEX.h"
#include "ddpd/DDPD.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/winmm/TimeGetTime.h"
#include "yacht/DrawYacht.h"
#include "yacht/PlayerMan.h"
#include "yacht/ShownYacht.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class TForm1 : public vcl::TForm {
    Q_OBJECT
public:
    // Clock is the multimedia timer the frame loop reads; it must outlive the window.
    explicit TForm1(TMultimediaClock& Clock, QWidget* Parent = nullptr);
    ~TForm1() override;

    // Components, in the order of the form description.
    std::unique_ptr<TDrawYacht> DrawYacht1;
    QMenu* G1 = nullptr;
    QAction* C1 = nullptr;
    QAction* X1 = nullptr;
    QMenu* Option1 = nullptr;
    QAction* H1 = nullptr;
    QAction* S1 = nullptr;
    QAction* USEHALU1 = nullptr;
    QAction* Smooth1 = nullptr;
    QMenu* Scaling1 = nullptr;
    std::array<QAction*, kFrameScalingCount> ScalingItems{}; // by TFrameScaling
    QAction* FullScreen1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* N1 = nullptr;
    QAction* About1 = nullptr;
    std::unique_ptr<ddpd::TDDPD> DDPD1;
    std::unique_ptr<ddidex::TDDIDEX> Joy;
    QTimer* Timer1 = nullptr;
    vcl::TOpenPictureDialog OpenPictureDialog1;

    std::unique_ptr<TPlayerMan> Roster;
    std::int32_t LocalId = 0;
    std::uint32_t StepPeriod = 0;
    std::uint32_t TimeAccumulator = 0;
    std::uint32_t LastTime = 0;
    std::int32_t SteerCommand = 0;
    std::int32_t SailCommand = 0;
    bool SpinnakerUpPressed = false;
    bool SpinnakerDownPressed = false;
    std::int32_t ExpectedTextureSize = 0;
    std::string HullTextureFile;
    std::string SpinnakerTextureFile;

    // Pictures between steps at the display's rate; the steps and commands are the same
    // either way.
    bool SmoothMotion = false;
    // Each slot's pose between steps (element 0 unused); kept whether or not SmoothMotion is on,
    // so that turning it on mid-game starts from the right poses.
    std::array<TShownYacht, TPlayerMan::SlotCount + 1> Shown{};
    // Whether the slot's player has sent a state since it came: the first one is shown where it
    // says, not eased in from where the yacht waited.
    std::array<bool, TPlayerMan::SlotCount + 1> HeardFrom{};
    // Milliseconds since the last picture while SmoothMotion is on; may be a little negative.
    double SinceLastPicture = 0;

    void FormCreate();
    void FormDestroy();
    void FormKeyPress(char32_t Key);
    void IdleHandler(bool& Done);
    void C1Click();
    void H1Click();
    void S1Click();
    void USEHALU1Click();
    void Smooth1Click();
    void FullScreen1Click();
    void SetSmoothMotion(bool On);
    void SetFrameScaling(TFrameScaling Scaling);
    void SetFullScreen(bool On);
    // What is remembered between runs, as it stands now.
    TGameSettings Settings() const;
    // Before the window is shown: its bounds, view and options as last time.
    void ApplySettings(const TGameSettings& Settings);
    void N1Click();
    void About1Click();
    void X1Click();
    void Timer1Timer();
    void SendHullTexture();
    // Says in the chat window, on this machine only, when the local hull texture is one the
    // others cannot take.
    void NoteUnexchangeableHullTexture();
    // A texture the player chose that is there but cannot be read: told, not shown white.
    void NoteUnreadableTexture(const std::string& FileName);
    void DDPD1ArriveMessage(ddpd::TDDPD* Sender, ddpd::TDDPDPlayer* from, const void* data,
                            std::int32_t dataSize);
    void DDPD1ComesNewChallenger(ddpd::TDDPD* Sender, ddpd::TDDPDPlayer* player,
                                 const std::string& ShortName, const std::string& LongName);
    void DDPD1EscapeChallenger(ddpd::TDDPD* Sender, ddpd::TDDPDPlayer* player,
                               const std::string& ShortName, const std::string& LongName);

    void PollJoystick();
    void ApplyCommands();
    void ClearCommands();
    // How long the loop may sleep after an idle call before the frame function must look again.
    std::uint32_t IdleWait() const;
    // Milliseconds between pictures while SmoothMotion is on: the display's refresh period, or
    // about 60 a second when the display does not say.
    double PicturePeriod() const;
    // The part of the step period that has passed since the last step, 0..1.
    float StepPart() const;

    // The local yacht's slot (Roster.IndexOf(LocalId)).
    int LocalSlot() const { return Roster ? Roster->IndexOf(LocalId) : 0; }

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    void BuildMenu();
    void Send(const TGameMessage& Message);
    void ReceiveState(const ddpd::TDDPDPlayer& From, const TYachtState& State);
    void ReceiveHullTexture(const ddpd::TDDPDPlayer& From, std::span<const std::uint8_t> Pixels);
    // Dropped while there is no chat window.
    void AddChatLine(const std::string& Utf8Line);
    // Kept until the chat window is up: the router may answer while the dialog is still open.
    void NoteNetwork(const std::string& Utf8Line);
    std::vector<std::string> NetworkNotes;
    // Every present yacht at its pose between steps, for the picture about to be drawn.
    void PoseShownYachts(std::uint32_t Now);
    // A slot has a new player whose yacht waits at the origin until its first state.
    void ForgetShown(int Slot);
    // Read-modify-write of the local state through the model's clamping.
    template <class F> void ChangeLocalState(F&& Change);
    // Connects a framework signal to a handler behind the default exception handler.
    template <class Signal, class F> void Bind(QAction* Action, Signal S, F Handler);

    TMultimediaClock& Clock;
    // The window's outer bounds before it went full screen.
    QRect WindowedBounds;
    // And its client geometry, put back on leaving full screen where no window manager does.
    QRect WindowedGeometry;
    // The connection method chosen last, by the name the dialog lists it under.
    std::string ConnectionName;
};

extern TForm1* Form1;
