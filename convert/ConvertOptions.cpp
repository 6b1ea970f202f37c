#include "convert/ConvertOptions.h"

#include <charconv>

#include "common/AudioRows.h"
#include "common/BatchSettings.h"

namespace convert {

namespace {

std::optional<int> ParseInt(const std::string& text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

ParsedCommand Usage(std::string error)
{
    ParsedCommand parsed;
    parsed.command = Command::UsageError;
    parsed.error = std::move(error);
    return parsed;
}

}  // namespace

ParsedCommand ParseCommandLine(const std::vector<std::string>& args)
{
    ParsedCommand parsed;
    ConvertOptions& options = parsed.options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 1, "-") != 0) {
            options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (const std::size_t equals = arg.find('='); arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            inlineValue = arg.substr(equals + 1);
            arg.erase(equals);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        auto flag = [&](bool& target) {
            if (inlineValue)
                return false;
            target = true;
            return true;
        };

        if (arg == "--help") {
            parsed.command = Command::Help;
            return parsed;
        }
        if (arg == "--version") {
            parsed.command = Command::Version;
            return parsed;
        }
        if (arg == "--bitrate") {
            const std::optional<std::string> text = value();
            if (!text)
                return Usage("--bitrate needs a value in Kbps");
            const std::optional<int> kbps = ParseInt(*text);
            if (!kbps)
                return Usage("--bitrate " + *text + ": not a whole number of Kbps");
            if (*kbps < settings::kMinBitRate)
                return Usage("--bitrate " + *text + ": less than " + std::to_string(settings::kMinBitRate) +
                             " Kbps is rubbish; give at least " + std::to_string(settings::kMinBitRate));
            options.bitrate = *kbps;
        } else if (arg == "--audio") {
            const std::optional<std::string> text = value();
            if (!text)
                return Usage("--audio needs a row number 0-7, or list");
            if (*text == "list") {
                parsed.command = Command::ListAudio;
                return parsed;
            }
            const std::optional<int> row = ParseInt(*text);
            if (!row || *row < 0 || *row >= static_cast<int>(kAudioRows.size()))
                return Usage("--audio " + *text + ": not a row 0-7 (--audio list shows them)");
            options.audio = *row;
        } else if (arg == "--video") {
            const std::optional<std::string> text = value();
            if (!text)
                return Usage("--video needs a codec, rv40 or rv20");
            const std::optional<quenlar::encoder::VideoCodec> codec = quenlar::encoder::VideoCodecNamed(*text);
            if (!codec)
                return Usage("--video " + *text + ": not a video codec (rv40 or rv20)");
            options.video = *codec;
        } else if (arg == "--b-frames") {
            const std::optional<std::string> text = value();
            const std::optional<int> count = text ? ParseInt(*text) : std::nullopt;
            if (!count || *count < 0 || *count > quenlar::encoder::kMaxBFrames)
                return Usage("--b-frames needs a number of B pictures between references, 0-" +
                             std::to_string(quenlar::encoder::kMaxBFrames));
            options.bFrames = *count;
        } else if (arg == "--author") {
            const std::optional<std::string> text = value();
            if (!text)
                return Usage("--author needs a text");
            options.author = *text;
        } else if (arg == "--jobs") {
            const std::optional<std::string> text = value();
            const std::optional<int> jobs = text ? ParseInt(*text) : std::nullopt;
            if (!jobs || *jobs < 1)
                return Usage("--jobs needs a number of files at once, 1 or more");
            options.jobs = *jobs;
        } else if (arg == "--queue") {
            const std::optional<std::string> text = value();
            if (!text || text->empty())
                return Usage("--queue needs the path of a Quenlar.ini");
            options.queue = *text;
        } else if (arg == "--folder-prefix") {
            if (!flag(options.folderPrefix))
                return Usage("--folder-prefix takes no value");
        } else if (arg == "--deinterlace") {
            if (!flag(options.deinterlace))
                return Usage("--deinterlace takes no value");
        } else if (arg == "--quiet") {
            if (!flag(options.quiet))
                return Usage("--quiet takes no value");
        } else if (arg == "--no-inhibit") {
            bool noInhibit = false;
            if (!flag(noInhibit))
                return Usage("--no-inhibit takes no value");
            options.inhibit = false;
        } else if (arg == "--notify") {
            if (!flag(options.notify))
                return Usage("--notify takes no value");
        } else {
            return Usage("unknown option " + arg);
        }
    }
    if (options.files.empty() && !options.queue)
        return Usage("no files to convert");
    return parsed;
}

std::string UsageText()
{
    return std::string("Usage: quenlar-convert [options] FILE...\n"
           "Converts MPEG files (Video CD .dat, .mpg, .mpeg, ...) into .rm files beside them.\n"
           "\n"
           "  --bitrate KBPS     whole-stream target, at least 300 (default 450)\n"
           "  --audio N          one of the eight audio rows, 0-7 (default 1); --audio list prints them\n"
           "  --video CODEC      rv40 or rv20 (default ") +
           quenlar::encoder::VideoCodecName(quenlar::encoder::kDefaultVideoCodec) + ")\n"
           "  --b-frames N       rv40: B pictures between references, 0-" +
           std::to_string(quenlar::encoder::kMaxBFrames) + " (default " +
           std::to_string(quenlar::encoder::kDefaultBFrames) + ")\n"
           "  --author TEXT      author tag\n"
           "  --folder-prefix    prefix the target with the source folder's name\n"
           "  --deinterlace      de-interlace the video\n"
           "  --jobs N           files converted at once (default: the number of cores)\n"
           "  --queue INI        also convert the [Source] queue of a Quenlar.ini, with its [Config]\n"
           "                     options unless given here; converted entries are removed from it\n"
           "  --quiet            only failures and the summary\n"
           "  --no-inhibit       let the machine suspend while converting\n"
           "  --notify           a desktop notification when done\n"
           "  --help, --version\n"
           "\n"
           "Exit status: 0 all converted, 1 some failed, 2 usage error, 130/143 stopped by a signal.\n";
}

}  // namespace convert
