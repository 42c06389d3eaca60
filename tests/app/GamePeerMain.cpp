// The whole game in a process of its own, for the two-player session tests and the measurement
// of a session's traffic: the main window, offscreen, on the real clock and message loop,
// worked through its menu, the connection dialog and the chat window. Loopback only.
//
//   marevo_peer <query port>
//
// Reads on standard input:
//   HOST <name>     "接続(&C)", the loopback provider, a new session under Name
//   JOIN <name>     "接続(&C)", the loopback provider, the first session found, as Name
//   HOSTNET <name>  as HOST, on the "TCP/IP" provider (its search asks for 127.0.0.1)
//   JOINNET <address> <name>
//                   as JOIN, on the "TCP/IP" provider, typing Address when it asks
//   PLACE <x> <z>   moves the local yacht
//   CHAT <text>     types Text into the chat window and presses "送る"
//   QUIT            closes the main window
// Prints "READY" once the window is up, then:
//   ID <id>                              the connect command ended in a session (else FAIL)
//   SENT <ms> <x> <z>                    the once-a-second state went out with this position
//   YACHT <slot> <present> <x> <z> <ms>  another slot's yacht is drawn somewhere new
//   CHAT <line>                          a new line in the chat window
//   FAIL <why>                           something a player would have seen go wrong
//   NOTE <text>                          a message box the connection dialog showed
// <ms> is the monotonic clock, which all processes of one machine share. The "TCP/IP" commands
// are for the internet-play tests, which start this program inside network namespaces of their
// own.
#include "app/Form1.h"
#include "app/Form2.h"
#include "app/QuitSignal.h"
#include "ddpd/DDPDForm.h"
#include "platform/vcl/Forms.h"
#include "platform/winmm/TimeGetTime.h"
#include "tests/ddpd/PeerPipe.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <string>

using ddpdtest::Say;

namespace {

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string Fixed(float V) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(V));
    return text;
}

// Types Text key by key; the test library's own typing knows only Latin-1 keys.
void Type(QWidget* Widget, const QString& Text) {
    for (const QChar c : Text)
        QTest::sendKeyEvent(QTest::Click, Widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Closes the next message box shown while the connection dialog is up, says what it said, and
// then runs Then; gives up quietly once the dialog is gone.
void AnswerMessageBox(std::function<void()> Then, int Polls = 0) {
    QTimer::singleShot(50, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            Say("NOTE " + box->text().toStdString());
            box->accept();
            Then();
        } else if (dynamic_cast<ddpd::TDDPDForm*>(modal) && Polls < 400) {
            AnswerMessageBox(Then, Polls + 1);
        }
    });
}

// A search that fails shows its message box while the provider is being picked; it is answered
// and said as long as that lasts.
bool Searching = false;
void AnswerSearchBox() {
    QTimer::singleShot(50, [] {
        if (!Searching)
            return;
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            Say("NOTE " + box->text().toStdString());
            box->accept();
        }
        AnswerSearchBox();
    });
}

// The provider the connect commands pick, and what to type when "TCP/IP" asks for an address.
// How the peer connects: the order of the providers under the dialog's prompt.
enum class TMethod { Loopback = 0, TcpIp = 1, Lobby = 2 };
TMethod Method = TMethod::Loopback;
QString TypedAddress;

// Types the address into the "TCP/IP" question whenever it is up.
void AnswerAddressDialog() {
    QTimer::singleShot(50, [] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* d = qobject_cast<QDialog*>(modal);
            d && d->objectName() == QStringLiteral("DPlayAddressDialog")) {
            if (auto* edit = d->findChild<QLineEdit*>(QStringLiteral("AddressEdit"))) {
                edit->clear();
                Type(edit, TypedAddress);
            }
            d->accept();
        }
        AnswerAddressDialog();
    });
}

// Works the connection dialog once it is up, as a player would, searching again while the
// host's session is not yet listed.
void WorkConnectDialog(bool Host, const QString& Name, int Attempt = 0) {
    constexpr int kAttempts = 100;
    QTimer::singleShot(100, [=] {
        auto* f = dynamic_cast<ddpd::TDDPDForm*>(QApplication::activeModalWidget());
        if (!f) {
            if (Attempt < kAttempts)
                WorkConnectDialog(Host, Name, Attempt + 1);
            return;
        }
        // Away from the provider and back: the combo box acts only on a change.
        f->ServiceProviderBox->setFocus();
        // Under the prompt come "TCP/IP" and the internet lobby; the loopback provider is last.
        Searching = true;
        AnswerSearchBox();
        QTest::keyClick(f->ServiceProviderBox, Qt::Key_Home);
        if (Method == TMethod::Loopback)
            QTest::keyClick(f->ServiceProviderBox, Qt::Key_End);
        for (int i = 0; i < static_cast<int>(Method); ++i)
            QTest::keyClick(f->ServiceProviderBox, Qt::Key_Down);
        Searching = false;
        if (!Host && f->SessionList->count() == 0) {
            if (Attempt < kAttempts)
                WorkConnectDialog(Host, Name, Attempt + 1);
            else
                f->CancelBtn->click();
            return;
        }
        f->PlayerNameEdit->clear();
        Type(f->PlayerNameEdit, Name);
        // A player told that it did not work closes the message and tries again, as the dialog
        // stays open for that (a poor link can lose a join).
        if (Attempt < kAttempts)
            AnswerMessageBox([=] { WorkConnectDialog(Host, Name, Attempt + 1); });
        if (Host) {
            QTest::mouseClick(f->NewSessionBtn, Qt::LeftButton);
            return;
        }
        QTest::mouseClick(f->SessionList->viewport(), Qt::LeftButton, {},
                          f->SessionList->visualItemRect(f->SessionList->item(0)).center());
        QTest::mouseClick(f->JoinSessionBtn, Qt::LeftButton);
    });
}

void Connect(TForm1& Form, bool Host, const QString& Name) {
    WorkConnectDialog(Host, Name);
    Form.C1->trigger();
    if (Form.LocalId > 1)
        Say("ID " + std::to_string(Form.LocalId));
    else
        Say("FAIL not connected");
}

void TypeChat(const QString& Text) {
    if (!Form2) {
        Say("FAIL no chat window");
        return;
    }
    Form2->Edit1->setFocus();
    Type(Form2->Edit1, Text);
    QTest::mouseClick(Form2->Button1, Qt::LeftButton);
}

void Command(TForm1& Form, const std::string& Line) {
    std::istringstream in(Line);
    std::string command;
    in >> command;
    std::string rest;
    std::getline(in >> std::ws, rest);
    if (command == "HOST" || command == "JOIN") {
        Connect(Form, command == "HOST", QString::fromStdString(rest));
    } else if (command == "HOSTNET" || command == "JOINNET") {
        Method = TMethod::TcpIp;
        std::string name = rest;
        TypedAddress = QStringLiteral("127.0.0.1");
        if (command == "JOINNET") {
            std::istringstream words(rest);
            std::string address;
            words >> address;
            std::getline(words >> std::ws, name);
            TypedAddress = QString::fromStdString(address);
        }
        Connect(Form, command == "HOSTNET", QString::fromStdString(name));
    } else if (command == "HOSTLOBBY" || command == "JOINLOBBY") {
        // The lobby server comes from the environment, as a build's default would.
        Method = TMethod::Lobby;
        Connect(Form, command == "HOSTLOBBY", QString::fromStdString(rest));
    } else if (command == "PLACE") {
        std::istringstream xz(rest);
        TYachtState s = Form.Roster->GetState(Form.LocalId);
        xz >> s.X >> s.Z;
        Form.Roster->SetState(Form.LocalId, s);
    } else if (command == "CHAT") {
        TypeChat(QString::fromStdString(rest));
    } else if (command == "QUIT") {
        Form.close();
    }
}

// Reports what the window shows whenever it changes.
class TWatcher {
public:
    explicit TWatcher(TForm1& AForm) : Form(AForm) {}

    void Look() {
        for (int slot = 2; slot <= TDrawYacht::YachtCount; ++slot)
            LookAtYacht(slot);
        LookAtChat();
    }

    void StateSent() {
        if (!Form.DrawYacht1->SceneReady || Form.LocalId <= 1)
            return;
        const TYachtState s = Form.Roster->GetState(Form.LocalId);
        Say("SENT " + std::to_string(NowMs()) + " " + Fixed(s.X) + " " + Fixed(s.Z));
    }

private:
    void LookAtYacht(int Slot) {
        D3DVECTOR position{}, direction{}, up{};
        const bool present = Form.DrawYacht1->YachtPresent(Slot);
        if (present)
            Form.DrawYacht1->GetYachtPlacement(Slot, position, direction, up);
        const std::string seen = std::to_string(Slot) + " " + (present ? "1 " : "0 ") +
                                 Fixed(position.x) + " " + Fixed(position.z);
        std::string& last = Yachts[Slot];
        if (last.empty())
            last = std::to_string(Slot) + " 0 0.00 0.00";
        if (seen != last) {
            last = seen;
            Say("YACHT " + seen + " " + std::to_string(NowMs()));
        }
    }

    void LookAtChat() {
        if (Form2 != ChatWindow) {
            ChatWindow = Form2;
            ChatLines = 0;
        }
        if (!ChatWindow)
            return;
        const QString text = ChatWindow->ChatMemo->toPlainText();
        const QStringList lines = text.isEmpty() ? QStringList() : text.split(QChar('\n'));
        for (; ChatLines < lines.size(); ++ChatLines)
            Say("CHAT " + lines[ChatLines].toStdString());
    }

    TForm1& Form;
    std::map<int, std::string> Yachts;
    TForm2* ChatWindow = nullptr;
    qsizetype ChatLines = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("MAREVO_DPLAY_QUERY_PORT", argv[1], 1);
    vcl::TFrameworkApp qt(argc, argv);
    vcl::TApplication application;
    application.Initialize();
    application.SetTitle("Marevo");
    // A message box would wait for a player who is not there.
    application.OnShowException = [](const std::string& What) { Say("FAIL " + What); };
    TSystemClock clock;
    TForm1 form(clock);
    Form1 = &form;
    form.show();

    TWatcher watcher(form);
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] { watcher.Look(); });
    look.start(50);
    // Connected after the window's own handler, so it runs just after the state went out.
    QObject::connect(form.Timer1, &QTimer::timeout, [&] { watcher.StateSent(); });

    ddpdtest::TCommandInput input([&](const std::string& Line) { Command(form, Line); },
                                  [&] { form.close(); });
    // Stopped as the game is: its window closes, and everything the session opened is undone.
    TQuitSignal quit([&] { form.close(); });
    AnswerAddressDialog();
    Say("READY");
    application.Run();
    return 0;
}
