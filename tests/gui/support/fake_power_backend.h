// A power backend for tests: scripted answers, counted power-offs; it never switches anything off.
#pragma once

#include "gui/platform/power.h"

namespace pelldra::test {

class FakePowerBackend final : public PowerBackend
{
public:
    Permission permission = Permission::Yes;
    bool powerOffSucceeds = true;
    int powerOffCalls = 0;

    Permission CanPowerOff() override { return permission; }
    bool PowerOff() override
    {
        ++powerOffCalls;
        return powerOffSucceeds;
    }
};

} // namespace pelldra::test
