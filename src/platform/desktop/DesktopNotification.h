// A desktop notification through the session's notification daemon
// (org.freedesktop.Notifications), for news the user should get while looking elsewhere.
#pragma once

#include <string>

namespace platform {

struct DesktopNotification {
    std::string appName;  // the program, as the daemon lists it
    std::string desktopEntry;  // its desktop entry's name without ".desktop"; also the icon's name
    std::string summary;
    std::string body;  // plain text, without markup characters
};

// Shows the notification; false, quietly, where there is no session bus or no daemon on it.
bool NotifyDesktop(const DesktopNotification& notification);

}  // namespace platform
