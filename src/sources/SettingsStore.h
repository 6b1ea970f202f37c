// Where the settings and the log live, and the small routines that write and read them. The
// dialog's SaveSettings and LoadSettings are built on these.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class PrivateProfile;

namespace platform {
class CEdit;
}

// The settings file and the log file: the executable's path with ".ini" and ".inf" in place of
// its extension. Set once at start-up by BuildProfilePaths; empty before.
extern std::string g_szIniPath;
extern std::string g_szLogPath;

// Derives both paths from the application's help-file path.
void BuildProfilePaths();
// The same from a given help-file path: cut at the extension's dot, if its last component has one.
void BuildProfilePaths(const std::string& helpFilePath);

// Writes value as "%d" text. The single-entry form rewrites the file; the profile form only
// changes memory until the caller flushes it.
bool WriteProfileInt(std::string_view section, std::string_view key, int value, const std::string& file);
bool WriteProfileInt(PrivateProfile& profile, std::string_view section, std::string_view key, int value);

// The window's text and one NUL byte. False when it could not be written; nothing is shown.
bool SaveWindowText(const platform::CEdit& window, const std::string& file);
// Empties the window, then shows the file's text up to its NUL (or its end when it has none).
// A file of fewer than 2 bytes, or one that cannot be read, leaves the window empty.
void LoadWindowText(platform::CEdit& window, const std::string& file);

// The most of a log file that is loaded: its last MiB, from the first line that starts in it.
inline constexpr std::size_t kLogLoadLimit = 1024 * 1024;
// The first line of a log that was loaded only in part.
inline constexpr const char* kLogLeftOut = "(The earlier part of this log was too long to show and was left out.)";

// The file halves of the two above, usable without a window.
bool WriteLogText(const std::string& file, std::string_view text);
std::string ReadLogText(const std::string& file);
