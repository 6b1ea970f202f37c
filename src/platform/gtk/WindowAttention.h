// Asking for the user's attention without taking the keyboard, and coming to the front when the
// user asked for it from another process (a second launch).
#pragma once

#include <string>

class wxTopLevelWindow;

namespace platform::gtk {

// Sets the window's urgency hint (the task bar or the window list marks it) unless the window is
// active; cleared when the user next activates it. Never raises or activates the window.
void RequestAttention(wxTopLevelWindow& window);
// The startup-notification id this process was launched with, or empty.
std::string LaunchStartupId();
// Lets the window take the focus that the desktop grants to the launch `startupId` (a second
// launch hands its own over), so that raising it next is not refused as focus stealing.
void AdoptLaunchStartupId(wxTopLevelWindow& window, const std::string& startupId);

}  // namespace platform::gtk
