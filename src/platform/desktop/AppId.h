// The program's name on the desktop: its desktop entry's (and icon's) name, and the root of the
// bus names it owns.
#pragma once

namespace platform {

inline constexpr const char* kDesktopAppId = "org.example.quenlar.Quenlar";

}  // namespace platform
