#include "platform/Shell.h"

#include <gio/gio.h>

namespace platform {

namespace {

IShell* g_pShell = nullptr;

int CodeFromError(GError* error)
{
    const int code = error ? ShellCodeForError(error->domain, error->code) : ShellCode::OutOfResources;
    g_clear_error(&error);
    return code;
}

int LaunchDefault(const std::string& uri)
{
    GError* error = nullptr;
    if (g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error))
        return ShellCode::Succeeded;
    return CodeFromError(error);
}

std::optional<std::string> HtmlCommandLine()
{
    GAppInfo* app = g_app_info_get_default_for_type("text/html", FALSE);
    if (!app)
        return std::nullopt;
    std::optional<std::string> line;
    if (const char* commandLine = g_app_info_get_commandline(app))
        line = commandLine;
    g_object_unref(app);
    return line;
}

int Spawn(const std::vector<std::string>& argv)
{
    std::vector<gchar*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv)
        args.push_back(const_cast<gchar*>(arg.c_str()));
    args.push_back(nullptr);
    // Without DO_NOT_REAP_CHILD GLib double-forks, so the handler never becomes our zombie.
    const auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL);
    GError* error = nullptr;
    if (g_spawn_async(nullptr, args.data(), nullptr, flags, nullptr, nullptr, nullptr, &error))
        return ShellCode::Succeeded;
    return CodeFromError(error);
}

}  // namespace

ShellOps GioShell::Ops()
{
    return ShellOps{LaunchDefault, HtmlCommandLine, Spawn};
}

int GioShell::OpenUrl(const std::string& target)
{
    return OpenWithFallback(target, Ops());
}

int GioShell::OpenDocument(const std::string& path)
{
    return LaunchDefault(TargetToUri(path));
}

int RecordingShell::OpenUrl(const std::string& target)
{
    m_urls.push_back(target);
    return m_nResult;
}

int RecordingShell::OpenDocument(const std::string& path)
{
    m_documents.push_back(path);
    return m_nResult;
}

IShell& Shell()
{
    static GioShell gio;
    return g_pShell ? *g_pShell : gio;
}

IShell* InstallShell(IShell* shell)
{
    IShell* previous = g_pShell;
    g_pShell = shell;
    return previous;
}

}  // namespace platform
