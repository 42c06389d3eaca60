#include "tests/ddpd/PeerPipe.h"

#include <unistd.h>

#include <cstdio>

namespace ddpdtest {

void Say(const std::string& Line) {
    std::fputs((Line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

TCommandInput::TCommandInput(std::function<void(const std::string&)> AOnLine,
                             std::function<void()> AOnEnd)
    : OnLine(std::move(AOnLine)), OnEnd(std::move(AOnEnd)),
      Notifier(STDIN_FILENO, QSocketNotifier::Read) {
    QObject::connect(&Notifier, &QSocketNotifier::activated, [this] { Read(); });
}

void TCommandInput::Read() {
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    Notifier.setEnabled(false);
    if (n <= 0) {
        OnEnd();
        return;
    }
    Pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t eol;
    while ((eol = Pending.find('\n')) != std::string::npos) {
        const std::string line = Pending.substr(0, eol);
        Pending.erase(0, eol + 1);
        OnLine(line);
    }
    Notifier.setEnabled(true);
}

} // namespace ddpdtest
