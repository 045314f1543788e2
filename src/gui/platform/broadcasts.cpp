// Broadcast messages over the D-Bus session bus.
#include "gui/platform/broadcasts.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace pelldra {

Broadcasts::Broadcasts(QObject* parent) : Broadcasts(QDBusConnection::sessionBus(), parent) {}

Broadcasts::Broadcasts(const QDBusConnection& connection, QObject* parent) : QObject(parent), connection_(connection)
{
}

bool Broadcasts::Listen()
{
    if (listening_)
        return true;
    if (!connection_.isConnected())
        return false;
    listening_ = connection_.connect(QString(), QString::fromUtf8(kPath), QString::fromUtf8(kInterface),
                                       QString::fromUtf8(kSignal), this, SLOT(OnMessage(QDBusMessage)));
    // The match rule goes to the bus without waiting for it; a round trip makes sure it is in force, so that a
    // message emitted once Listen has returned is not missed.
    if (listening_)
        RoundTrip();
    return listening_;
}

bool Broadcasts::RoundTrip()
{
    // Messages leave a connection in order: once the bus has answered a call sent after them, it has them all.
    const QDBusMessage ping =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    return connection_.call(ping, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
}

bool Broadcasts::Emit(const QString& name)
{
    if (!connection_.isConnected())
        return false;
    QDBusMessage message =
        QDBusMessage::createSignal(QString::fromUtf8(kPath), QString::fromUtf8(kInterface), QString::fromUtf8(kSignal));
    message << name;
    return connection_.send(message);
}

bool Broadcasts::EmitAndFlush(const QString& name)
{
    return Emit(name) && RoundTrip();
}

void Broadcasts::OnMessage(const QDBusMessage& message)
{
    const QList<QVariant> args = message.arguments();
    if (args.size() != 1 || args.front().typeId() != QMetaType::QString)
        return;
    emit Received(args.front().toString(), message.service() == connection_.baseService());
}

} // namespace pelldra
