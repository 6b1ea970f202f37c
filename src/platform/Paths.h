// Where the program finds itself: the executable's path and what the class library derived
// from it (the help-file path, the application title).
#pragma once

#include <string>

namespace platform {

// The executable's full path (/proc/self/exe), or the path set for tests.
std::string GetModuleFileName();
// Makes the program believe it runs from `path` (tests); an empty path restores the real one.
void SetModuleFileNameForTesting(const std::string& path);

// The executable's path with the extension of its last component replaced by ".HLP", or
// ".HLP" appended when that component has none (a dot in a folder name does not count).
std::string HelpFilePathFor(const std::string& modulePath);
std::string GetHelpFilePath();

// The executable's file name without its extension: the caption of every message box.
std::string GetAppTitle();

// The folder for per-user settings: $XDG_CONFIG_HOME/quenlar, or ~/.config/quenlar when that
// variable is unset or not an absolute path.
std::string UserConfigFolder();

// Where the settings and the log of the program at `modulePath` live, as a path without
// extension: beside the executable when its folder can be written and it is not installed (a
// build or portable copy), else "<UserConfigFolder()>/<executable name without extension>", the
// folder then being created if needed. Installed means a folder under /usr, or a folder named
// bin with ../share/quenlar beside it.
std::string ProfileStemFor(const std::string& modulePath);

}  // namespace platform
