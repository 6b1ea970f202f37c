#include "platform/ShellCommand.h"

#include <gio/gio.h>

#include <cstdio>

namespace platform {

namespace {

bool IsPlaceholder(char c)
{
    return c == 'u' || c == 'U' || c == 'f' || c == 'F';
}

// Where the registered line is cut: at the opening quote of the first quoted placeholder, else at
// the first bare one, else nowhere. "%%" is a literal percent sign, never the start of a code.
std::size_t CutPosition(std::string_view line)
{
    std::size_t firstBare = std::string_view::npos;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        if (line[i] != '%')
            continue;
        const char code = line[i + 1];
        if (code == '%') {
            ++i;
            continue;
        }
        if (!IsPlaceholder(code))
            continue;
        if (i > 0 && line[i - 1] == '"' && i + 2 < line.size() && line[i + 2] == '"')
            return i - 1;
        if (firstBare == std::string_view::npos)
            firstBare = i;
    }
    return firstBare == std::string_view::npos ? line.size() : firstBare;
}

// The kept part as a launcher would hand it on: "%%" is "%", other field codes expand to nothing.
std::string WithoutFieldCodes(std::string_view part)
{
    std::string out;
    out.reserve(part.size());
    for (std::size_t i = 0; i < part.size(); ++i) {
        if (part[i] == '%' && i + 1 < part.size()) {
            if (part[i + 1] == '%')
                out += '%';
            ++i;
            continue;
        }
        out += part[i];
    }
    return out;
}

std::optional<std::vector<std::string>> SplitCommand(const std::string& command)
{
    gchar** argv = nullptr;
    if (!g_shell_parse_argv(command.c_str(), nullptr, &argv, nullptr))
        return std::nullopt;
    std::vector<std::string> result;
    for (gchar** arg = argv; *arg; ++arg)
        result.emplace_back(*arg);
    g_strfreev(argv);
    return result;
}

}  // namespace

std::optional<FallbackCommand> BuildFallbackCommand(std::string_view registered, std::string_view target)
{
    // Both limits count the terminator of the buffers they stand for.
    if (registered.size() >= kRegisteredCommandLimit)
        return std::nullopt;
    const std::string_view kept = registered.substr(0, CutPosition(registered));
    if (kept.size() + 1 + target.size() >= kFallbackCommandLimit)
        return std::nullopt;

    FallbackCommand command;
    command.line.append(kept).append(" ").append(target);
    auto argv = SplitCommand(WithoutFieldCodes(kept));
    if (!argv || argv->empty())
        return std::nullopt;
    command.argv = std::move(*argv);
    command.argv.emplace_back(target);
    return command;
}

std::string OpenErrorText(int code)
{
    switch (code) {
    case ShellCode::OutOfResources:
        return "The operating system is out\nof memory or resources.";
    case ShellCode::FileNotFound:
        return "The specified file was not found.";
    case ShellCode::PathNotFound:
        return "The specified path was not found.";
    case ShellCode::AccessDenied:
        return "The operating system denied\naccess to the specified file.";
    case ShellCode::OutOfMemory:
        return "There was not enough memory to complete the operation.";
    case ShellCode::BadFormat:
        return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
    case ShellCode::SharingViolation:
        return "A sharing violation occurred. ";
    case ShellCode::AssociationIncomplete:
        return "The filename association is\nincomplete or invalid.";
    case ShellCode::DdeTimeout:
        return "The DDE transaction could not\nbe completed because the request timed out.";
    case ShellCode::DdeFailed:
        return "The DDE transaction failed.";
    case ShellCode::DdeBusy:
        return "The DDE transaction could not\nbe completed because other DDE transactions\n"
               "were being processed.";
    case ShellCode::NoAssociation:
        return "There is no application associated\nwith the given filename extension.";
    case ShellCode::DllNotFound:
        return "The specified dynamic-link library was not found.";
    default: {
        char text[64];
        std::snprintf(text, sizeof text, "Unknown Error (%d) occurred.", code);
        return text;
    }
    }
}

std::string OpenFailureMessage(int code)
{
    return "Unable to open hyperlink:\n\n" + OpenErrorText(code);
}

int ShellCodeForError(unsigned int domain, int code)
{
    if (domain == G_IO_ERROR) {
        switch (code) {
        case G_IO_ERROR_NOT_FOUND:
            return ShellCode::FileNotFound;
        case G_IO_ERROR_NOT_DIRECTORY:
        case G_IO_ERROR_INVALID_FILENAME:
        case G_IO_ERROR_FILENAME_TOO_LONG:
            return ShellCode::PathNotFound;
        case G_IO_ERROR_PERMISSION_DENIED:
            return ShellCode::AccessDenied;
        case G_IO_ERROR_BUSY:
            return ShellCode::SharingViolation;
        case G_IO_ERROR_TIMED_OUT:
            return ShellCode::DdeTimeout;
        case G_IO_ERROR_NOT_SUPPORTED:
            return ShellCode::NoAssociation;
        default:
            // A handler exists but could not be used.
            return ShellCode::AssociationIncomplete;
        }
    }
    if (domain == G_SPAWN_ERROR) {
        switch (code) {
        case G_SPAWN_ERROR_NOENT:
            return ShellCode::FileNotFound;
        case G_SPAWN_ERROR_NOTDIR:
        case G_SPAWN_ERROR_LOOP:
        case G_SPAWN_ERROR_NAMETOOLONG:
        case G_SPAWN_ERROR_CHDIR:
            return ShellCode::PathNotFound;
        case G_SPAWN_ERROR_ACCES:
        case G_SPAWN_ERROR_PERM:
            return ShellCode::AccessDenied;
        case G_SPAWN_ERROR_NOMEM:
            return ShellCode::OutOfMemory;
        case G_SPAWN_ERROR_NOEXEC:
        case G_SPAWN_ERROR_ISDIR:
        case G_SPAWN_ERROR_LIBBAD:
            return ShellCode::BadFormat;
        case G_SPAWN_ERROR_TXTBUSY:
            return ShellCode::SharingViolation;
        default:
            // Fork failures, descriptor exhaustion and the like.
            return ShellCode::OutOfResources;
        }
    }
    // A command line that cannot be split, or anything else: the association is unusable.
    return ShellCode::AssociationIncomplete;
}

int OpenWithFallback(const std::string& target, const ShellOps& ops)
{
    const std::string uri = TargetToUri(target);
    const int first = ops.launchDefault(uri);
    if (ShellCode::IsSuccess(first))
        return first;

    const std::optional<std::string> registered = ops.htmlCommandLine();
    if (!registered)
        return first;
    const std::optional<FallbackCommand> command = BuildFallbackCommand(*registered, uri);
    if (!command)
        return first;
    return ops.spawn(command->argv);
}

std::string TargetToUri(const std::string& target)
{
    if (target.empty() || g_uri_peek_scheme(target.c_str()))
        return target;
    GFile* file = g_file_new_for_path(target.c_str());
    gchar* uri = g_file_get_uri(file);
    std::string result = uri ? uri : target;
    g_free(uri);
    g_object_unref(file);
    return result;
}

}  // namespace platform
