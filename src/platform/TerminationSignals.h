// SIGTERM, SIGINT and SIGHUP (logout, shutdown, kill, Ctrl+C, a closed terminal) handed to the
// UI thread's main loop as an ordinary call, so that the program can close as the user would.
#pragma once

#include <functional>
#include <vector>

namespace platform {

// While it lives, each of the three signals runs `onSignal` on the main loop. Nothing runs in the
// signal handler itself: GLib's Unix signal source only wakes the loop. UI thread only.
class ScopedTerminationSignals {
public:
    explicit ScopedTerminationSignals(std::function<void(int signal)> onSignal);
    ~ScopedTerminationSignals();
    ScopedTerminationSignals(const ScopedTerminationSignals&) = delete;
    ScopedTerminationSignals& operator=(const ScopedTerminationSignals&) = delete;

private:
    struct Source {
        ScopedTerminationSignals* owner;
        int signal;
    };

    std::function<void(int)> m_onSignal;
    std::vector<Source> m_sources;
    std::vector<unsigned> m_sourceIds;
};

}  // namespace platform
