#include "platform/Paths.h"

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

}  // namespace platform
