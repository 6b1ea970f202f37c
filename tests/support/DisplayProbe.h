#pragma once

// A connection to the X display named by DISPLAY, held while it lives. Xvfb resets when its
// last client leaves, and refuses connections while it does; holding one open lets the
// toolkit's own connection follow without meeting a reset.
class DisplayProbe {
public:
    DisplayProbe();  // knocks a few times before giving up
    ~DisplayProbe();
    DisplayProbe(const DisplayProbe&) = delete;
    DisplayProbe& operator=(const DisplayProbe&) = delete;

    bool Answered() const { return m_display != nullptr; }

private:
    void* m_display = nullptr;  // Display*, kept opaque: Xlib's macros break gtest's headers
};
