#include "tests/ddpd/PeerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#ifndef MAREVO_DDPD_PEER
#error "MAREVO_DDPD_PEER names the helper program"
#endif

namespace ddpdtest {

TPeerProcess::TPeerProcess(const std::string& Mode, std::uint16_t QueryPort,
                           const std::string& Name)
    : TPeerProcess(MAREVO_DDPD_PEER, {Mode, std::to_string(QueryPort), Name}, {}) {
    const std::string id = WaitPrefix("ID ", std::chrono::seconds(15));
    if (!id.empty())
        Id = static_cast<std::uint32_t>(std::stoul(id.substr(3)));
}

TPeerProcess::TPeerProcess(const std::string& Program, const std::vector<std::string>& Args,
                           const std::string& WorkDir) {
    // A peer that has died must not take the test with it at the next command.
    ::signal(SIGPIPE, SIG_IGN);
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
        std::abort();
    // Everything the child needs is made before the fork: after it, only async-signal-safe
    // calls are allowed.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(Program.c_str()));
    for (const std::string& a : Args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Pid = ::fork();
    if (Pid == 0) {
        ::dup2(toChild[0], STDIN_FILENO);
        ::dup2(fromChild[1], STDOUT_FILENO);
        if (!WorkDir.empty() && ::chdir(WorkDir.c_str()) != 0)
            ::_exit(126);
        ::execv(Program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    In = toChild[1];
    Out = fromChild[0];
}

TPeerProcess::~TPeerProcess() {
    if (Pid > 0) {
        Command("QUIT");
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(Pid, nullptr, WNOHANG) == Pid) {
                Pid = -1;
                break;
            }
            ::usleep(20000);
        }
    }
    Kill();
    ::close(In);
    ::close(Out);
}

void TPeerProcess::Kill() {
    if (Pid > 0) {
        ::kill(Pid, SIGKILL);
        ::waitpid(Pid, nullptr, 0);
        Pid = -1;
    }
}

int TPeerProcess::WaitExit(std::chrono::milliseconds Limit) {
    const auto end = std::chrono::steady_clock::now() + Limit;
    while (Pid > 0) {
        int status = 0;
        if (::waitpid(Pid, &status, WNOHANG) == Pid) {
            Pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= end)
            break;
        ::usleep(20000);
    }
    Kill();
    return -1;
}

void TPeerProcess::Command(const std::string& Line) {
    const std::string text = Line + "\n";
    [[maybe_unused]] const auto n = ::write(In, text.data(), text.size());
}

bool TPeerProcess::ReadLine(std::string& Line, std::chrono::steady_clock::time_point End) {
    for (;;) {
        const auto eol = Pending.find('\n');
        if (eol != std::string::npos) {
            Line = Pending.substr(0, eol);
            Pending.erase(0, eol + 1);
            Lines.push_back(Line);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              End - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return false;
        pollfd p{Out, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(Out, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        Pending.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string TPeerProcess::WaitLine(const std::function<bool(const std::string&)>& Match,
                                   std::chrono::milliseconds Limit) {
    const auto end = std::chrono::steady_clock::now() + Limit;
    // Lines already read and not yet claimed by an earlier wait are looked at first.
    for (std::size_t i = 0; i < Lines.size(); ++i)
        if (!Claimed[i] && Match(Lines[i])) {
            Claimed[i] = true;
            return Lines[i];
        }
    std::string line;
    while (ReadLine(line, end)) {
        Claimed.push_back(false);
        if (Match(line)) {
            Claimed.back() = true;
            return line;
        }
    }
    return {};
}

std::string TPeerProcess::WaitPrefix(const std::string& Prefix, std::chrono::milliseconds Limit) {
    return WaitLine([&](const std::string& l) { return l.rfind(Prefix, 0) == 0; }, Limit);
}

} // namespace ddpdtest
