// Broadcast messages over the D-Bus session bus.
#include "gui/platform/broadcasts.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace pelldra {

Broadcasts::Broadcasts(QObject* parent) : Broadcasts(QDBusConnection::sessionBus(), parent) {}

Broadcasts::Broadcasts(const QDBusConnection& connection, QObject* parent) : QObject(parent), m_connection(connection)
{
}

bool Broadcasts::Listen()
{
    if (m_listening)
        return true;
    if (!m_connection.isConnected())
        return false;
    m_listening = m_connection.connect(QString(), QString::fromUtf8(kPath), QString::fromUtf8(kInterface),
                                       QString::fromUtf8(kSignal), this, SLOT(OnMessage(QDBusMessage)));
    // The match rule goes to the bus without waiting for it; a round trip makes sure it is in force, so that a
    // message emitted once Listen has returned is not missed.
    if (m_listening)
        RoundTrip();
    return m_listening;
}

bool Broadcasts::RoundTrip()
{
    // Messages leave a connection in order: once the bus has answered a call sent after them, it has them all.
    const QDBusMessage ping =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    return m_connection.call(ping, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
}

bool Broadcasts::Emit(const QString& name)
{
    if (!m_connection.isConnected())
        return false;
    QDBusMessage message =
        QDBusMessage::createSignal(QString::fromUtf8(kPath), QString::fromUtf8(kInterface), QString::fromUtf8(kSignal));
    message << name;
    return m_connection.send(message);
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
    emit Received(args.front().toString(), message.service() == m_connection.baseService());
}

} // namespace pelldra
