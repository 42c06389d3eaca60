#include "LobbyServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace dplaytest {

namespace {

bool Listening(std::uint16_t Port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(Port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool up = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return up;
}

} // namespace

std::uint16_t FreeTcpPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(s);
    return ntohs(a.sin_port);
}

TLobbyServer::TLobbyServer(bool Anonymous) {
    if (::access("/usr/bin/prosody", X_OK) != 0) {
        Reason = "no /usr/bin/prosody";
        return;
    }
    char folder[] = "/tmp/marevo-lobby-XXXXXX";
    if (!::mkdtemp(folder)) {
        Reason = "no temporary folder";
        return;
    }
    Folder = folder;
    ClientPort = FreeTcpPort();
    const std::string openssl =
        "cd " + Folder +
        " && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2"
        " -subj /CN=lab-ca >/dev/null 2>&1"
        " && openssl req -newkey rsa:2048 -nodes -keyout lab.key -out lab.csr"
        " -subj /CN=lab.test >/dev/null 2>&1"
        " && printf 'subjectAltName=DNS:lab.test,DNS:rooms.lab.test' >san"
        " && openssl x509 -req -in lab.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2"
        " -extfile san -out lab.crt >/dev/null 2>&1";
    if (std::system(openssl.c_str()) != 0) {
        Reason = "openssl could not make the certificates";
        return;
    }
    std::filesystem::create_directory(Folder + "/data");
    // Started as root, the server goes on as its own user, which must read and write here.
    std::filesystem::permissions(Folder, std::filesystem::perms::all);
    std::filesystem::permissions(Folder + "/data", std::filesystem::perms::all);
    for (const char* f : {"/lab.key", "/lab.crt"})
        std::filesystem::permissions(Folder + f, std::filesystem::perms::owner_read |
                                                     std::filesystem::perms::group_read |
                                                     std::filesystem::perms::others_read);
    std::ofstream(Folder + "/prosody.cfg.lua")
        << "pidfile = \"" << Folder << "/prosody.pid\"\nrun_as_root = true\n"
        << "data_path = \"" << Folder << "/data\"\n"
        << "log = { warn = \"" << Folder << "/prosody.log\" }\n"
        << "c2s_ports = { " << ClientPort << " }\ns2s_ports = { }\n"
        << "interfaces = { \"127.0.0.1\" }\n"
        << "modules_enabled = { \"tls\", \"saslauth\", \"disco\", \"turn_external\" }\n"
        << "modules_disabled = { \"s2s\" }\n"
        << "authentication = \"" << (Anonymous ? "anonymous" : "internal_hashed") << "\"\n"
        << "c2s_require_encryption = true\n"
        << "ssl = { key = \"" << Folder << "/lab.key\", certificate = \"" << Folder
        << "/lab.crt\" }\n"
        << "turn_external_secret = \"lab-secret\"\nturn_external_host = \"11.0.0.53\"\n"
        << "turn_external_port = 3478\n"
        << "VirtualHost \"lab.test\"\n"
        << "Component \"rooms.lab.test\" \"muc\"\n"
        << "  muc_room_locking = false\n";
    Pid = ::fork();
    if (Pid == 0) {
        ::setpgid(0, 0);
        const std::string config = Folder + "/prosody.cfg.lua";
        const std::string out = Folder + "/out.log";
        std::freopen(out.c_str(), "w", stdout);
        std::freopen(out.c_str(), "a", stderr);
        ::execl("/usr/bin/prosody", "prosody", "--config", config.c_str(), "-F",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 300 && !Listening(ClientPort); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!Listening(ClientPort)) {
        std::ifstream out(Folder + "/out.log");
        Reason = "prosody did not start: " +
                 std::string(std::istreambuf_iterator<char>(out), std::istreambuf_iterator<char>());
    }
}

TLobbyServer::~TLobbyServer() {
    if (Pid > 0) {
        ::kill(-Pid, SIGKILL);
        ::waitpid(Pid, nullptr, 0);
    }
    if (!Folder.empty())
        std::filesystem::remove_all(Folder);
}

} // namespace dplaytest
