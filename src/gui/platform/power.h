// Switching the computer off: the backend interface, the system's backend over logind, and the steps with messages.
#pragma once

#include <QString>

#include <memory>

namespace pelldra {

class PowerBackend
{
public:
    enum class Permission {
        Yes,       // allowed
        Challenge, // allowed after the user authenticates (the call is interactive)
        No,        // not allowed for this user
        NotAvailable,
        Unknown, // the question could not be asked
    };

    virtual ~PowerBackend() = default;
    virtual Permission CanPowerOff() = 0;
    // Asks the system to switch off; true when it accepted.
    virtual bool PowerOff() = 0;
};

// systemd-logind on the system bus: org.freedesktop.login1.Manager CanPowerOff and PowerOff(interactive = true).
class LogindPowerBackend final : public PowerBackend
{
public:
    Permission CanPowerOff() override;
    bool PowerOff() override;
};

inline constexpr const char* kNoPowerOffPrivilege = "電源ＯＦＦの特権がありません";
inline constexpr const char* kCannotPowerOff = "電源ＯＦＦできません";

// Asks the backend to switch off. Returns "" when it accepted, else the message to show: the privilege message when
// the system says this user may not, the other one when the call fails. The system is asked even when the
// permission question failed, since that question is only a courtesy.
QString SwitchPowerOff(PowerBackend& backend);

// The program's backend: logind. Tests hand the window a fake of their own.
PowerBackend& ProgramPowerBackend();

} // namespace pelldra
