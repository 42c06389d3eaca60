#pragma once
// Ends the program the normal way (its windows closed, the message loop left, exit code 0)
// when the system asks it to stop: SIGTERM at log-out or from a process manager, SIGINT from
// the shell it was started in, SIGHUP when that shell goes away.

#include <QObject>

#include <functional>

class QSocketNotifier;

class TQuitSignal : public QObject {
public:
    // Calls Quit on the main thread after any of the signals. One object per program.
    explicit TQuitSignal(std::function<void()> Quit);
    ~TQuitSignal() override;

private:
    std::function<void()> Quit;
    QSocketNotifier* Notifier = nullptr;
};
