#include "platform/Paths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace platform {

namespace {

std::mutex g_mutex;
std::string g_testModulePath;

// Position of the extension's dot in the last component, or npos.
size_t ExtensionDot(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string::npos;
    return dot;
}

// An installed program: its folder lies under /usr, or is the bin of a prefix that has the
// program's data in share/quenlar (cmake --install into any prefix, the Debian package). Such a
// folder may still be writable (run as root, a prefix in the home folder), but settings kept
// there would be shared by every user or lost with the next install.
bool IsInstalledFolder(const std::string& folder)
{
    if (folder.starts_with("/usr/"))
        return true;
    const size_t slash = folder.find_last_of('/');
    const std::string last = slash == std::string::npos ? folder : folder.substr(slash + 1);
    std::error_code error;
    return last == "bin" && std::filesystem::is_directory(folder + "/../share/quenlar", error);
}

}  // namespace

std::string GetModuleFileName()
{
    {
        std::lock_guard lock(g_mutex);
        if (!g_testModulePath.empty())
            return g_testModulePath;
    }
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

void SetModuleFileNameForTesting(const std::string& path)
{
    std::lock_guard lock(g_mutex);
    g_testModulePath = path;
}

std::string HelpFilePathFor(const std::string& modulePath)
{
    const size_t dot = ExtensionDot(modulePath);
    return (dot == std::string::npos ? modulePath : modulePath.substr(0, dot)) + ".HLP";
}

std::string GetHelpFilePath()
{
    return HelpFilePathFor(GetModuleFileName());
}

std::string GetAppTitle()
{
    const std::string path = GetModuleFileName();
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

std::string UserConfigFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && home[0] ? home : "/") + "/.config";
    }
    return base + "/quenlar";
}

std::string ProfileStemFor(const std::string& modulePath)
{
    const size_t dot = ExtensionDot(modulePath);
    const std::string stem = dot == std::string::npos ? modulePath : modulePath.substr(0, dot);
    const size_t slash = stem.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : stem.substr(0, slash));
    if (!IsInstalledFolder(folder) && ::access(folder.c_str(), W_OK) == 0)
        return stem;
    const std::string config = UserConfigFolder();
    std::error_code error;
    // A folder that cannot be made shows later as settings that cannot be saved.
    std::filesystem::create_directories(config, error);
    return config + "/" + stem.substr(slash == std::string::npos ? 0 : slash + 1);
}

}  // namespace platform
