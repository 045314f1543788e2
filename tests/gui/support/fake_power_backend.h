// A power backend for tests: scripted answers, counted calls; it never switches anything off.
#pragma once

#include "gui/platform/power.h"

namespace pelldra::test {

class FakePowerBackend final : public PowerBackend
{
public:
    Permission permission = Permission::Yes;
    bool powerOffSucceeds = true;
    int canPowerOffCalls = 0;
    int powerOffCalls = 0;

    Permission CanPowerOff() override;
    bool PowerOff() override;
};

// Puts a fake in place of the program's backend for one scope.
class ScopedPowerBackend final
{
public:
    explicit ScopedPowerBackend(PowerBackend& backend) { SetProgramPowerBackend(&backend); }
    ~ScopedPowerBackend() { SetProgramPowerBackend(nullptr); }
    ScopedPowerBackend(const ScopedPowerBackend&) = delete;
    ScopedPowerBackend& operator=(const ScopedPowerBackend&) = delete;
};

} // namespace pelldra::test
