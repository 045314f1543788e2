// The fake power backend.
#include "fake_power_backend.h"

namespace pelldra::test {

PowerBackend::Permission FakePowerBackend::CanPowerOff()
{
    ++canPowerOffCalls;
    return permission;
}

bool FakePowerBackend::PowerOff()
{
    ++powerOffCalls;
    return powerOffSucceeds;
}

} // namespace pelldra::test
