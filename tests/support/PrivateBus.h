// A private dbus-daemon that stands in for both the system and the session bus of one test, with
// python-dbusmock's logind and notification-daemon mocks on it. While it lives the process's bus
// addresses point at it; otherwise they point nowhere (see kNoBusAddress), so that no test ever
// reaches the machine's own buses.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/TempDir.h"

// Where the buses are while no PrivateBus lives; the test main sets it for both.
inline constexpr const char* kNoBusAddress = "unix:path=/nonexistent/quenlar-test-bus";

class PrivateBus {
public:
    PrivateBus();   // started, both mocks on the bus, both addresses set
    ~PrivateBus();  // stopped, both addresses back to kNoBusAddress
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when it is up; else what failed.
    const std::string& Failure() const { return m_failure; }

    struct Inhibitor {
        std::string what, who, why, mode;
    };
    // logind's inhibitors at this moment. A released one goes once logind has seen its
    // descriptor closed: WaitForInhibitors waits for that.
    std::vector<Inhibitor> Inhibitors() const;
    bool WaitForInhibitors(std::size_t count) const;

    struct Notification {
        std::string appName, summary, body;
    };
    // Every notification sent so far, in order.
    std::vector<Notification> Notifications() const;

private:
    pid_t Spawn(const std::vector<std::string>& argv);
    bool WaitForName(const std::string& name);

    TempDir m_dir;
    std::string m_address;
    std::string m_failure;
    std::vector<pid_t> m_children;
};
