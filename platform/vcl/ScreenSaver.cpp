#include "platform/vcl/ScreenSaver.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
// A desktop that does not answer within this time is taken as having no service.
constexpr int kTimeoutMs = 1000;

struct TSwitch {
    bool Active = true;
    bool Inhibited = false;
    uint Cookie = 0;
};

TSwitch& Switch() {
    static TSwitch s;
    return s;
}

bool ServiceRunning(QDBusConnection& Bus) {
    return Bus.isConnected() && Bus.interface() &&
           Bus.interface()->isServiceRegistered(kService).value();
}

void Inhibit() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!ServiceRunning(bus))
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "Inhibit");
    const QString app =
        QCoreApplication::instance() ? QCoreApplication::applicationName() : QString("Marevo");
    call << (app.isEmpty() ? QString("Marevo") : app) << QStringLiteral("game in progress");
    const QDBusMessage reply = bus.call(call, QDBus::Block, kTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        Switch().Cookie = reply.arguments().first().toUInt();
        Switch().Inhibited = true;
    }
}

void UnInhibit() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    Switch().Inhibited = false;
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "UnInhibit");
    call << Switch().Cookie;
    bus.call(call, QDBus::Block, kTimeoutMs);
}

} // namespace

BOOL SystemParametersInfoA(UINT Action, UINT UiParam, void* Param, UINT) {
    TSwitch& s = Switch();
    switch (Action) {
    case SPI_GETSCREENSAVEACTIVE:
        if (!Param)
            return FALSE;
        *static_cast<BOOL*>(Param) = s.Active ? TRUE : FALSE;
        return TRUE;
    case SPI_SETSCREENSAVEACTIVE:
        s.Active = UiParam != 0;
        if (!s.Active && !s.Inhibited)
            Inhibit();
        else if (s.Active && s.Inhibited)
            UnInhibit();
        return TRUE;
    default:
        return FALSE;
    }
}

namespace vcl {
bool ScreenSaverInhibited() {
    return Switch().Inhibited;
}
} // namespace vcl
