#pragma once
// The main window: the menu, the idle-time frame loop with its fixed 200 ms step, and the local
// player's commands.

#include "GameMessages.h"
#include "ddidex/DDIDEX.h"
#include "ddpd/DDPD.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/winmm/TimeGetTime.h"
#include "yacht/DrawYacht.h"
#include "yacht/PlayerMan.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

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

    void FormCreate();
    void FormDestroy();
    void FormKeyPress(char32_t Key);
    void IdleHandler(bool& Done);
    void C1Click();
    void H1Click();
    void S1Click();
    void USEHALU1Click();
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

    // The local yacht's slot (Roster.IndexOf(LocalId)).
    int LocalSlot() const { return Roster ? Roster->IndexOf(LocalId) : 0; }

protected:
    void keyPressEvent(QKeyEvent* Event) override;
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
    // Read-modify-write of the local state through the model's clamping.
    template <class F> void ChangeLocalState(F&& Change);
    // Connects a framework signal to a handler behind the default exception handler.
    template <class Signal, class F> void Bind(QAction* Action, Signal S, F Handler);

    TMultimediaClock& Clock;
};

extern TForm1* Form1;
