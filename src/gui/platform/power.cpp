// Power-off through logind, and the steps that turn its answers into the program's messages.
#include "gui/platform/power.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>

namespace pelldra {

namespace {

QDBusMessage LogindCall(const QString& method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.login1"),
                                          QStringLiteral("/org/freedesktop/login1"),
                                          QStringLiteral("org.freedesktop.login1.Manager"), method);
}

} // namespace

PowerBackend::Permission LogindPowerBackend::CanPowerOff()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return Permission::Unknown;
    const QDBusMessage reply = bus.call(LogindCall(QStringLiteral("CanPowerOff")), QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return Permission::Unknown;
    const QString answer = reply.arguments().front().toString();
    if (answer == QLatin1String("yes"))
        return Permission::Yes;
    if (answer == QLatin1String("challenge"))
        return Permission::Challenge;
    if (answer == QLatin1String("no"))
        return Permission::No;
    if (answer == QLatin1String("na"))
        return Permission::NotAvailable;
    return Permission::Unknown;
}

bool LogindPowerBackend::PowerOff()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = LogindCall(QStringLiteral("PowerOff"));
    call << true; // interactive: let the user authenticate when the policy asks for it
    call.setInteractiveAuthorizationAllowed(true);
    // Authentication can take the user minutes: wait in an event loop so the window keeps painting meanwhile.
    QDBusPendingCall pending = bus.asyncCall(call, 5 * 60 * 1000);
    QDBusPendingCallWatcher watcher(pending);
    if (!watcher.isFinished()) {
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return watcher.reply().type() == QDBusMessage::ReplyMessage;
}

QString SwitchPowerOff(PowerBackend& backend)
{
    if (backend.CanPowerOff() == PowerBackend::Permission::No)
        return QString::fromUtf8(kNoPowerOffPrivilege);
    if (!backend.PowerOff())
        return QString::fromUtf8(kCannotPowerOff);
    return QString();
}

PowerBackend& ProgramPowerBackend()
{
    static LogindPowerBackend logind;
    return logind;
}

} // namespace pelldra
