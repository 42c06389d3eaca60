#pragma once
// The application object of the window framework: title, help file, the message loop with its
// idle handler, and the default exception handler at every boundary where the framework calls
// into the program. Strings are UTF-8.

#include <QApplication>
#include <QMainWindow>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <utility>

class QWidget;

namespace vcl {

// The framework's help command for the contents page.
inline constexpr int HELP_CONTENTS = 3;

class TApplication : public QObject {
    Q_OBJECT
public:
    // The QApplication must exist already; the object is its one framework application.
    TApplication();
    ~TApplication() override;

    void Initialize() {}
    std::string Title() const { return FTitle; }
    void SetTitle(const std::string& Title);
    std::string HelpFile() const { return FHelpFile; }
    void SetHelpFile(const std::string& File) { FHelpFile = File; }
    // Shows the help file's contents page in a viewer window of ours. The file is looked for
    // in the current directory (any letter case), then beside the program, then in the
    // program's data folder. False when no file.
    bool HelpCommand(int Command);
    // Where an installed program keeps its help file; with the trailing slash.
    void SetDataFolder(const std::string& Folder) { FDataFolder = Folder; }

    // Called whenever the message queue is empty. Setting Done to false asks for another call;
    // the loop then waits at most 1 ms for new messages before calling again. Done left true
    // waits for the next message, or for the time the handler gave WakeIdleAfter.
    using TIdleEvent = std::function<void(bool& Done)>;
    void SetOnIdle(TIdleEvent Handler);
    // For an idle handler that has nothing to do now but something due later: the wait that
    // follows this idle call ends after at most Ms milliseconds even when no message arrives.
    // Holds for one wait; 0 waits for a message only.
    void WakeIdleAfter(std::uint32_t Ms) { IdleWake = Ms; }
    std::uint32_t IdleWakeRequested() const { return IdleWake; }
    // Runs the message loop until Terminate or the last window closes.
    void Run();
    void Terminate();
    bool Terminated() const { return FTerminated; }

    // The default exception handler: shows the message in a message box; the program goes on.
    void ShowException(const std::exception& E);
    // Runs Handler at a boundary where the framework calls into the program, catching every
    // exception for the default handler: Qt must never see one pass through its event loop.
    template <class F> void Guard(F&& Handler) noexcept {
        try {
            std::forward<F>(Handler)();
        } catch (const std::exception& e) {
            ShowException(e);
        } catch (...) {
            ShowException(std::runtime_error("unknown exception"));
        }
    }
    // Tests replace the message box of the default handler.
    std::function<void(const std::string&)> OnShowException;
    // Tests answer every other message box (ShowMessage, MessageBox) instead of a player.
    std::function<void(const std::string& Text)> OnMessageBox;

    // One idle call, as the loop makes it (for tests and benchmarks).
    void DoIdle();

private:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

    // The next idle call comes after Ms, unless one is already due sooner.
    void ScheduleIdle(std::uint32_t Ms);

    std::string FTitle;
    std::string FHelpFile;
    std::string FDataFolder;
    TIdleEvent FOnIdle;
    QTimer IdleTimer;
    // An idle call is due within a millisecond: messages need not bring it forward.
    bool IdleDueSoon = false;
    bool InIdle = false;
    std::uint32_t IdleWake = 0;
    bool FTerminated = false;
    QWidget* HelpViewer = nullptr;
};

// The Qt application with the last-resort exception boundary: an exception that escapes an
// event handler is shown by the default handler instead of unwinding through Qt.
class TFrameworkApp : public QApplication {
public:
    // Also maps the Japanese system font names of the form descriptions onto the metric-
    // compatible IPA fonts, makes Qt's own dialogs and buttons speak Japanese, and names the
    // desktop entry after the program file.
    TFrameworkApp(int& Argc, char** Argv);
    bool notify(QObject* Receiver, QEvent* Event) override;
};

// A top-level window of the program. The bounds are the outer bounds, as the form descriptions
// give them.
class TForm : public QMainWindow {
public:
    explicit TForm(QWidget* Parent = nullptr) : QMainWindow(Parent) {}
    void SetBounds(int Left, int Top, int Width, int Height);

    // The form's creation event, fired once by DoCreate when its components are loaded, and its
    // paint event, fired by DoPaint when its client area must be drawn again (exposed, resized,
    // restored). Components placed on the form may take them over.
    std::function<void(TForm* Sender)> OnCreate;
    std::function<void(TForm* Sender)> OnPaint;
    void DoCreate() {
        if (OnCreate)
            OnCreate(this);
    }
    void DoPaint() {
        if (OnPaint)
            OnPaint(this);
    }

protected:
    // The frame is known only once the window is shown: the bounds are applied again then.
    void showEvent(QShowEvent* Event) override;

private:
    QRect Bounds;
    bool BoundsPending = false;
};

// The framework's global application object.
extern TApplication* Application;

// A modal message box with an OK button; returns when it is closed.
void ShowMessage(const std::string& Text);
void MessageBox(QWidget* Parent, const std::string& Text, const std::string& Caption);

} // namespace vcl
