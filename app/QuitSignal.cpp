#include "QuitSignal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// [0] is written by the handler, [1] read on the main thread.
int Pipe[2] = {-1, -1};

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // Full pipe: a quit is pending anyway.
    [[maybe_unused]] const ssize_t n = ::write(Pipe[0], &byte, 1);
    errno = saved;
}

} // namespace

TQuitSignal::TQuitSignal(std::function<void()> AQuit) : Quit(std::move(AQuit)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, Pipe) != 0)
        return;
    Notifier = new QSocketNotifier(Pipe[1], QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(Pipe[1], bytes, sizeof bytes) > 0) {
        }
        if (Quit)
            Quit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : kSignals)
        ::sigaction(s, &action, nullptr);
}

TQuitSignal::~TQuitSignal() {
    for (const int s : kSignals)
        ::signal(s, SIG_DFL);
    delete Notifier;
    for (int& fd : Pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}
