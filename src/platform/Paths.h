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

}  // namespace platform
