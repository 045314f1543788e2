// A session bus of the test program's own, so that its broadcasts reach no window of another test running beside it.
#pragma once

#include <QProcess>

namespace pelldra::test {

// Starts a dbus-daemon and points DBUS_SESSION_BUS_ADDRESS (for this process and what it starts) at it. Create it
// before anything uses the session bus. ready() is false when no daemon could be started.
class PrivateBus
{
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;
    bool ready() const { return ready_; }

private:
    QProcess daemon_;
    bool ready_ = false;
};

} // namespace pelldra::test
