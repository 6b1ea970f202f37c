// Keeps the machine from suspending while work is under way: a logind "sleep:idle" inhibitor
// in block mode, held as the descriptor logind hands out and released by closing it.
#pragma once

#include <string>

namespace platform {

// One thread at a time; the dialog's and the converter's main threads take and release it.
class SleepInhibitor {
public:
    SleepInhibitor() = default;
    ~SleepInhibitor() { Release(); }
    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;

    // Asks logind on the system bus for the inhibitor (`who` names the program, `why` the work),
    // replacing one already held. False, quietly, where there is no logind or it refuses: the
    // work goes on either way.
    bool Take(const std::string& who, const std::string& why);
    // Lets the machine sleep again. Nothing happens when none is held.
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

}  // namespace platform
