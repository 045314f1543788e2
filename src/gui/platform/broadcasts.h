// Broadcast messages between this program and its companions, as signals on the D-Bus session bus.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include "core/platform/broadcast_names.h"

class QDBusMessage;

namespace pelldra {

// A broadcast (core/platform/broadcast_names.h) reaches every listener, the sender's own included. Emitting never
// waits for a listener. Without a session bus nothing is sent or received and the program runs on.
class Broadcasts final : public QObject
{
    Q_OBJECT

public:
    static constexpr const char* kPath = broadcast::kBusPath;
    static constexpr const char* kInterface = broadcast::kBusInterface;
    static constexpr const char* kSignal = broadcast::kBusSignal;

    // On the session bus.
    explicit Broadcasts(QObject* parent = nullptr);
    // On a given connection (tests use a second connection to act as another process).
    Broadcasts(const QDBusConnection& connection, QObject* parent);
    Broadcasts(const Broadcasts&) = delete;
    Broadcasts& operator=(const Broadcasts&) = delete;

    bool IsConnected() const { return connection_.isConnected(); }

    // Starts delivering received messages through Received; returns once the bus delivers to us. False without a bus.
    bool Listen();
    // Posts the message. False without a bus or when it could not be queued.
    bool Emit(const QString& name);
    // Posts the message and returns once the bus has it, for a process that ends right afterwards.
    bool EmitAndFlush(const QString& name);

signals:
    // fromThisProcess: the message came over this object's own connection.
    void Received(const QString& name, bool fromThisProcess);

private slots:
    // QtDBus binds bus signals to slots by name only.
    void OnMessage(const QDBusMessage& message);

private:
    bool RoundTrip();

    QDBusConnection connection_;
    bool listening_ = false;
};

} // namespace pelldra
