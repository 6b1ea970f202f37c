// The converter's command line: what it was asked to do, or why the asking was wrong.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/EncodeSettings.h"

namespace convert {

// Exit statuses: every file converted; some failed; the command line was wrong; stopped by
// SIGINT or SIGTERM (128 + the signal, as a shell reports a killed command).
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;
inline constexpr int kExitTerminated = 143;

enum class Command {
    Convert,
    Help,
    Version,
    ListAudio,
    UsageError,
};

// Options as given; those left unset come from the --queue file's [Config], else the defaults.
struct ConvertOptions {
    std::optional<int> bitrate;
    std::optional<int> audio;
    std::optional<std::string> author;
    bool folderPrefix = false;
    bool deinterlace = false;
    quenlar::encoder::VideoCodec video = quenlar::encoder::kDefaultVideoCodec;
    int bFrames = -1;  // rv40's B pictures between references; -1: the engine's default
    int jobs = 0;  // 0: one per core
    std::optional<std::string> queue;
    bool quiet = false;
    bool inhibit = true;  // keep the machine from suspending while converting
    bool notify = false;  // a desktop notification at the end
    std::vector<std::string> files;
};

struct ParsedCommand {
    Command command = Command::Convert;
    ConvertOptions options;
    std::string error;  // one line, for Command::UsageError
};

// args without the program name. Options and files may be mixed; "--" ends the options;
// "--name=value" is the same as "--name value".
ParsedCommand ParseCommandLine(const std::vector<std::string>& args);

// The --help text.
std::string UsageText();

}  // namespace convert
