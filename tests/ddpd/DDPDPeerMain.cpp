// One player of a test session in a process of its own, driving the session component as the
// game does. Started by the cross-process tests and the benchmarks; loopback only.
//
//   ddpd_peer host|join <query port> <name>
//
// Prints "ID <id>" once in the session, then "JOIN <id> <name>", "LEAVE <id>" and
// "MSG <from> <size> <seq> <latency ns>" as events arrive. Reads "SEND <to> <size> <seq>" (the
// message carries its send time and sequence number) and "QUIT" on standard input.
#include "ddpd/DDPD.h"
#include "tests/ddpd/PeerPipe.h"

#include <QApplication>
#include <QThread>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

using ddpdtest::Say;

namespace {

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("MAREVO_DPLAY_QUERY_PORT", argv[2], 1);
    QApplication app(argc, argv);
    const std::string mode = argv[1], name = argv[3];
    constexpr int kLoopback = 2; // after "TCP/IP" and the internet lobby

    ddpd::TDDPD c;
    c.SetAppGuid("{00000000-0000-0000-0000-000000000000}");
    c.Loaded();
    c.OnComesNewChallenger = [](ddpd::TDDPD*, ddpd::TDDPDPlayer* p, const std::string& s,
                                const std::string&) {
        Say("JOIN " + std::to_string(p->ID) + " " + s);
    };
    c.OnEscapeChallenger = [](ddpd::TDDPD*, ddpd::TDDPDPlayer* p, const std::string&,
                              const std::string&) { Say("LEAVE " + std::to_string(p->ID)); };
    c.OnArriveMessage = [](ddpd::TDDPD*, ddpd::TDDPDPlayer* from, void* data, std::int32_t size) {
        const std::int64_t now = Now();
        std::int64_t sent = 0;
        std::uint32_t seq = 0;
        if (size >= 12) {
            std::memcpy(&sent, data, 8);
            std::memcpy(&seq, static_cast<char*>(data) + 8, 4);
        }
        Say("MSG " + (from ? std::to_string(from->ID) : std::string("none")) + " " +
            std::to_string(size) + " " + std::to_string(seq) + " " + std::to_string(now - sent));
    };
    try {
        if (mode == "host") {
            c.SelectConnection(kLoopback);
            c.CreateSession(name, name, name);
        } else {
            // The session may be moving to a new host: look for a few seconds.
            for (int i = 0; i < 40; ++i) {
                c.SelectConnection(kLoopback);
                if (c.Sessions->Count() > 0)
                    break;
                QThread::msleep(200);
            }
            c.JoinSession(0, name, name);
        }
    } catch (const std::exception& e) {
        Say(std::string("FAIL ") + e.what());
        return 1;
    }
    Say("ID " + std::to_string(c.LocalPlayerID));

    bool quitting = false;
    ddpdtest::TCommandInput input(
        [&](const std::string& Line) {
            std::istringstream line(Line);
            std::string command;
            line >> command;
            if (command == "QUIT") {
                quitting = true;
                app.quit();
            }
            if (quitting || command != "SEND")
                return;
            DPID to = 0;
            std::int32_t size = 0;
            std::uint32_t seq = 0;
            line >> to >> size >> seq;
            std::vector<char> message(static_cast<std::size_t>(std::max(size, 12)), 'x');
            const std::int64_t t = Now();
            std::memcpy(message.data(), &t, 8);
            std::memcpy(message.data() + 8, &seq, 4);
            try {
                c.SendData(to, message.data(), size);
            } catch (const std::exception& e) {
                Say(std::string("FAIL ") + e.what());
            }
        },
        [&] { app.quit(); });
    app.exec();
    return 0;
}
