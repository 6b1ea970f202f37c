// Powering the machine off after a finished batch, behind an interface: tests install a fake, so no
// test can ever power a machine off.
#pragma once

#include <string>

namespace platform {

// Powers the machine off. Runs on the UI thread.
class IPowerOff {
public:
    virtual ~IPowerOff() = default;

    // Asks the system to power off; false when it cannot or may not, with FailureReason() then
    // saying why in a sentence fit for the user's log.
    virtual bool PowerOff() = 0;

    const std::string& FailureReason() const { return m_strFailureReason; }

protected:
    std::string m_strFailureReason;
};

// systemd-logind's manager over D-Bus: CanPowerOff must answer "yes" or "challenge", then
// PowerOff(false) (no interactive authorisation; a "challenge" is left to polkit's rules).
class LogindPowerOff : public IPowerOff {
public:
    // busAddress: a D-Bus peer serving logind's manager object; the system bus when empty.
    explicit LogindPowerOff(std::string busAddress = {}) : m_strBusAddress(std::move(busAddress)) {}

    bool PowerOff() override;

private:
    std::string m_strBusAddress;
};

// The process-wide power-off service: logind on the system bus unless another has been installed.
IPowerOff& PowerOffService();

// Installs a service (nullptr: the real one again) and returns the one it replaces.
IPowerOff* InstallPowerOff(IPowerOff* service);

// A safety latch for test programs: once called, the real service never talks to the system bus
// and answers false, whatever a test forgot to install.
void ForbidSystemPowerOff();

// Installs a service for the lifetime of the guard, then puts the previous one back.
class ScopedPowerOff {
public:
    explicit ScopedPowerOff(IPowerOff& service) : m_pPrevious(InstallPowerOff(&service)) {}
    ~ScopedPowerOff() { InstallPowerOff(m_pPrevious); }
    ScopedPowerOff(const ScopedPowerOff&) = delete;
    ScopedPowerOff& operator=(const ScopedPowerOff&) = delete;

private:
    IPowerOff* m_pPrevious;
};

}  // namespace platform
