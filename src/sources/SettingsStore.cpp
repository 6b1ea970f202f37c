#include "sources/SettingsStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/Controls.h"
#include "platform/Paths.h"
#include "platform/PrivateProfile.h"
#include "platform/Utf8.h"

std::string g_szIniPath;
std::string g_szLogPath;

namespace {

// Reads the last `limit` bytes of a file, or all of it when it is no longer; `cut` tells which.
// A whole huge log would take seconds and hundreds of megabytes in the window.
bool ReadFileTail(const std::string& path, std::size_t limit, std::string& data, bool& cut)
{
    data.clear();
    cut = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && static_cast<std::size_t>(st.st_size) > limit) {
        cut = true;
        ok = ::lseek(fd, st.st_size - static_cast<off_t>(limit), SEEK_SET) >= 0;
    }
    char chunk[65536];
    while (ok && data.size() < limit) {
        const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, limit - data.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        data.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ok;
}

}  // namespace


void BuildProfilePaths()
{
    // The help-file path's stem, moved to the user's settings folder when the executable's
    // folder cannot be written.
    const std::string stem = platform::ProfileStemFor(platform::GetModuleFileName());
    BuildProfilePaths(stem + ".HLP");
}

void BuildProfilePaths(const std::string& helpFilePath)
{
    std::string stem = helpFilePath;
    const auto slash = stem.rfind('/');
    const auto dot = stem.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        stem.erase(dot);
    g_szLogPath = stem + ".inf";
    g_szIniPath = stem + ".ini";
}

bool WriteProfileInt(std::string_view section, std::string_view key, int value, const std::string& file)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return WritePrivateProfileString(section, key, text, file);
}

bool WriteProfileInt(PrivateProfile& profile, std::string_view section, std::string_view key, int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return profile.WriteString(section, key, text);
}

bool WriteLogText(const std::string& file, std::string_view text)
{
    std::string bytes(text);
    bytes.push_back('\0');
    return WriteFileAtomically(file, bytes);
}

std::string ReadLogText(const std::string& file)
{
    std::string bytes;
    bool cut = false;
    if (!ReadFileTail(file, kLogLoadLimit, bytes, cut) || bytes.size() < 2)
        return {};
    if (cut) {
        // Whole lines only: the first one in the tail is most likely a part of one.
        const auto lineEnd = bytes.find('\n');
        bytes.erase(0, lineEnd == std::string::npos ? bytes.size() : lineEnd + 1);
    }
    const auto nul = bytes.find('\0');
    if (nul != std::string::npos)
        bytes.resize(nul);
    if (cut)
        bytes.insert(0, std::string(kLogLeftOut) + "\r\n");
    return platform::ValidUtf8(bytes);
}

bool SaveWindowText(const platform::CEdit& window, const std::string& file)
{
    // The log is a courtesy; losing it must not stop a close or a power-off.
    return WriteLogText(file, window.GetWindowText());
}

void LoadWindowText(platform::CEdit& window, const std::string& file)
{
    window.SetWindowText(std::string());
    const std::string text = ReadLogText(file);
    if (!text.empty())
        window.SetWindowText(text);
}
