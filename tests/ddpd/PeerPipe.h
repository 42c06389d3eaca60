#pragma once
// The player process's side of the pipes to the test that started it: lines out on standard
// output, commands in on standard input.

#include <QSocketNotifier>

#include <functional>
#include <string>

namespace ddpdtest {

// Writes one line at once, so the test sees it as it happens.
void Say(const std::string& Line);

// Hands each line that arrives on standard input to OnLine while the event loop runs, and
// calls OnEnd once when the input ends. OnLine may run a modal loop: no line is handed over
// while another is being handled.
class TCommandInput {
public:
    TCommandInput(std::function<void(const std::string&)> OnLine, std::function<void()> OnEnd);

private:
    void Read();
    std::function<void(const std::string&)> OnLine;
    std::function<void()> OnEnd;
    QSocketNotifier Notifier;
    std::string Pending;
};

} // namespace ddpdtest
