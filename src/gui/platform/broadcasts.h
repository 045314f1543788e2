// Broadcast messages between this program and its companions, as signals on the D-Bus session bus.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

class QDBusMessage;

namespace pelldra {

// The message names that every participant knows.
namespace broadcast {
inline constexpr const char* kSelfCall = "SelfCall->Pelldra";    // a second start asks the running one to come up
inline constexpr const char* kToHelper = "Pelldra->pdrHelper";   // LinkScout: show the URL handed over
inline constexpr const char* kFromHelper = "pdrHelper->Pelldra"; // LinkScout has an order
inline constexpr const char* kBossCome = "Pelldra-BossCome";     // boss key: everyone hides
inline constexpr const char* kPopUp = "Pelldra-PopUp";           // the main window was brought up
} // namespace broadcast

// Every participant emits and listens to one signal on the session bus:
//     path /jp/tavin/Broadcast, interface jp.tavin.Broadcast, signal Message(s)
// with the message's exact name as its single string argument, e.g. from a shell:
//     dbus-send --session --type=signal /jp/tavin/Broadcast jp.tavin.Broadcast.Message string:'Pelldra-BossCome'
// A broadcast reaches every listener, the sender's own included. Emitting never waits for a listener. Without a
// session bus nothing is sent or received and the program runs on.
class Broadcasts final : public QObject
{
    Q_OBJECT

public:
    static constexpr const char* kPath = "/jp/tavin/Broadcast";
    static constexpr const char* kInterface = "jp.tavin.Broadcast";
    static constexpr const char* kSignal = "Message";

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
