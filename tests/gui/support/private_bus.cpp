// The test program's own session bus.
#include "support/private_bus.h"

namespace pelldra::test {

PrivateBus::PrivateBus()
{
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!daemon_.waitForStarted(10000))
        return;
    QByteArray address;
    while (!address.contains('\n') && daemon_.waitForReadyRead(10000))
        address += daemon_.readAllStandardOutput();
    address = address.trimmed();
    ready_ = !address.isEmpty();
    if (ready_)
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
}

PrivateBus::~PrivateBus()
{
    daemon_.kill();
    daemon_.waitForFinished(10000);
}

} // namespace pelldra::test
