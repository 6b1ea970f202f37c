#include "support/DisplayProbe.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

DisplayProbe::DisplayProbe()
{
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0')
        return;
    // GTK gives up at the first refusal; a loaded Xvfb has refused now and then.
    constexpr int kAttempts = 20;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        m_display = XOpenDisplay(nullptr);
        if (m_display != nullptr) {
            if (attempt > 1)
                std::fprintf(stderr, "display %s answered at attempt %d\n", name, attempt);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    std::fprintf(stderr, "display %s refused %d connections\n", name, kAttempts);
}

DisplayProbe::~DisplayProbe()
{
    if (m_display != nullptr)
        XCloseDisplay(static_cast<Display*>(m_display));
}
