#pragma once
// A player's process started by a test or benchmark, talked to through its standard input and
// output. Killed (as by a crash) or told to quit when the object goes.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ddpdtest {

class TPeerProcess {
public:
    // Starts "ddpd_peer Mode QueryPort Name" and waits for its identifier.
    TPeerProcess(const std::string& Mode, std::uint16_t QueryPort, const std::string& Name);
    // Starts Program with Args in the folder WorkDir (empty: the caller's own).
    TPeerProcess(const std::string& Program, const std::vector<std::string>& Args,
                 const std::string& WorkDir);
    ~TPeerProcess();
    TPeerProcess(const TPeerProcess&) = delete;
    TPeerProcess& operator=(const TPeerProcess&) = delete;

    void Command(const std::string& Line);
    // The next line that Match accepts (earlier lines are kept in Lines), or empty on time-out.
    std::string WaitLine(const std::function<bool(const std::string&)>& Match,
                         std::chrono::milliseconds Limit);
    std::string WaitPrefix(const std::string& Prefix, std::chrono::milliseconds Limit);
    // Its session identifier (0 when it failed to join).
    std::uint32_t Id = 0;
    void Kill();
    // Its exit status once it has ended by itself within Limit, else -1 (it is then killed).
    int WaitExit(std::chrono::milliseconds Limit);
    // Every line read so far.
    std::vector<std::string> Lines;

private:
    bool ReadLine(std::string& Line, std::chrono::steady_clock::time_point End);
    int Pid = -1;
    int In = -1;
    int Out = -1;
    std::string Pending;
    std::vector<bool> Claimed;
};

} // namespace ddpdtest
