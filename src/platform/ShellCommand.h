// Pure parts of opening a target with the desktop: the fallback command line, the result codes
// and their texts. Nothing here launches anything.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Results of opening a target. They keep the classic shell's numbering because the link label's
// failure texts are keyed by it: above 32 means success, everything else names a failure.
namespace ShellCode {
inline constexpr int OutOfResources = 0;
inline constexpr int FileNotFound = 2;
inline constexpr int PathNotFound = 3;
inline constexpr int AccessDenied = 5;
inline constexpr int OutOfMemory = 8;
inline constexpr int BadFormat = 11;
inline constexpr int SharingViolation = 26;
inline constexpr int AssociationIncomplete = 27;
inline constexpr int DdeTimeout = 28;
inline constexpr int DdeFailed = 29;
inline constexpr int DdeBusy = 30;
inline constexpr int NoAssociation = 31;
inline constexpr int DllNotFound = 32;
inline constexpr int Succeeded = 42;

constexpr bool IsSuccess(int code) { return code > 32; }
}  // namespace ShellCode

// The registered command line is read into 260 bytes and the command is built in 520; values that
// do not fit are refused rather than cut, so a half command never runs.
inline constexpr std::size_t kRegisteredCommandLimit = 260;
inline constexpr std::size_t kFallbackCommandLimit = 520;

// The fallback launch built from the HTML handler's command line.
struct FallbackCommand {
    // The line as the classic fallback ran it: the registered line cut at the first quoted
    // %u/%U/%f/%F (at its opening quote), else at the first bare one, else kept whole, then a blank
    // and the target. Whatever followed the placeholder is dropped.
    std::string line;
    // What is really started: the cut line split like a shell would (but never run by one), with
    // "%%" made "%" and the other field codes of a desktop entry removed, then the target as one
    // argument, so that blanks or quotes in it cannot add arguments.
    std::vector<std::string> argv;
};

// Empty when the registered line does not fit 260 bytes, the line does not fit 520, the line holds
// no program before its placeholder, or it cannot be split.
std::optional<FallbackCommand> BuildFallbackCommand(std::string_view registered, std::string_view target);

// The text for a failure code, byte for byte; unknown codes give "Unknown Error (<code>) occurred.".
std::string OpenErrorText(int code);

// The whole message shown when a link could not be opened.
std::string OpenFailureMessage(int code);

// Maps a GLib error (its domain quark and code) from launching or spawning to a failure code.
int ShellCodeForError(unsigned int domain, int code);

// The three desktop operations that opening a target is made of; split out so that the order of
// attempts and the fallback can be driven without a desktop.
struct ShellOps {
    // Opens a URI with its default handler; a ShellCode.
    std::function<int(const std::string& uri)> launchDefault;
    // The command line of the default application for "text/html"; empty when there is none.
    std::function<std::optional<std::string>()> htmlCommandLine;
    // Starts a process from an argument vector (never through a shell); a ShellCode.
    std::function<int(const std::vector<std::string>& argv)> spawn;
};

// Opens a target: first with the default handler; when that fails, through the HTML handler's
// command line. When the fallback cannot even be built, the first failure is reported.
int OpenWithFallback(const std::string& target, const ShellOps& ops);

// A URI for a target: targets with a scheme are kept, file paths become file:// URIs.
std::string TargetToUri(const std::string& target);

}  // namespace platform
