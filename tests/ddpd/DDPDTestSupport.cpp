#include "tests/ddpd/DDPDTestSupport.h"

#include "tests/platform/DPlayTestPeer.h"

#include <QThread>

#include <cstdlib>
#include <string>

namespace ddpdtest {

std::uint16_t UsePrivateQueryPort() {
    const std::uint16_t port = dplaytest::FreeUdpPort();
    setenv("MAREVO_DPLAY_QUERY_PORT", std::to_string(port).c_str(), 1);
    return port;
}

bool PumpUntil(const std::function<bool()>& Done, std::chrono::milliseconds Limit) {
    const auto end = std::chrono::steady_clock::now() + Limit;
    while (!Done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

std::unique_ptr<ddpd::TDDPD> LoadedComponent() {
    auto c = std::make_unique<ddpd::TDDPD>();
    c->SetAppGuid("{00000000-0000-0000-0000-000000000000}");
    c->Loaded();
    return c;
}

} // namespace ddpdtest
