// quenlar-convert's command line: what each option sets, and the exit status and first line
// the real executable gives for good and bad command lines.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "convert/ConvertOptions.h"

namespace {

using namespace convert;

// The converter run here must not reach the machine's buses (its sleep inhibitor, --notify).
const bool g_noBuses = setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/quenlar-test-bus", 1) == 0 &&
                       setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quenlar-test-bus", 1) == 0;

struct Outcome {
    int status = -1;
    std::string output;  // standard output and error
};

std::string ShellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

Outcome RunConverter(const std::vector<std::string>& args)
{
    EXPECT_TRUE(g_noBuses);
    std::string command = "cd /tmp && " + ShellQuoted(QUENLAR_CONVERT_EXE);
    for (const std::string& arg : args)
        command += " " + ShellQuoted(arg);
    command += " 2>&1 </dev/null";
    Outcome outcome;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return outcome;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        outcome.output.append(buffer, n);
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

TEST(ConvertCommandTest, OptionsSetTheirFieldsAndFilesMayFollowOrPrecedeThem)
{
    const ParsedCommand parsed =
        ParseCommandLine({"a.mpg", "--bitrate=300", "--audio", "7", "--author", "Ann B", "--folder-prefix",
                          "--deinterlace", "--video", "rv40", "--b-frames", "2", "--jobs", "3", "--queue", "Q.ini", "--quiet", "--no-inhibit", "--notify", "--",
                          "--odd.mpg"});
    ASSERT_EQ(parsed.command, Command::Convert) << parsed.error;
    const ConvertOptions& o = parsed.options;
    EXPECT_EQ(o.bitrate, 300);
    EXPECT_EQ(o.audio, 7);
    EXPECT_EQ(o.author, "Ann B");
    EXPECT_TRUE(o.folderPrefix);
    EXPECT_TRUE(o.deinterlace);
    EXPECT_EQ(o.video, quenlar::encoder::VideoCodec::Rv40);
    EXPECT_EQ(o.bFrames, 2);
    EXPECT_EQ(o.jobs, 3);
    EXPECT_EQ(o.queue, "Q.ini");
    EXPECT_TRUE(o.quiet);
    EXPECT_FALSE(o.inhibit);
    EXPECT_TRUE(o.notify);
    EXPECT_EQ(o.files, (std::vector<std::string>{"a.mpg", "--odd.mpg"}));

    // Unset options stay unset, so that a queue file's [Config] can fill them.
    const ParsedCommand bare = ParseCommandLine({"--queue", "Q.ini"});
    ASSERT_EQ(bare.command, Command::Convert);
    EXPECT_FALSE(bare.options.bitrate || bare.options.audio || bare.options.author);
    EXPECT_TRUE(bare.options.inhibit) << "the machine stays awake unless told otherwise";
    EXPECT_FALSE(bare.options.notify);
    EXPECT_EQ(bare.options.jobs, 0);
    EXPECT_EQ(bare.options.bFrames, -1) << "the engine's default unless asked for";
    EXPECT_EQ(bare.options.video, quenlar::encoder::kDefaultVideoCodec);
    EXPECT_EQ(ParseCommandLine({"--video=rv20", "a.mpg"}).options.video, quenlar::encoder::VideoCodec::Rv20);
}

TEST(ConvertCommandTest, ExitStatusAndFirstLineOfTheExecutable)
{
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string firstLine;  // the start of the output's first line
    };
    const std::vector<Row> rows = {
        {{"--help"}, kExitOk, "Usage: quenlar-convert [options] FILE..."},
        {{"--version"}, kExitOk, "quenlar-convert " QUENLAR_VERSION},
        {{"--audio", "list"}, kExitOk, "0  32 Kbps Stereo Music High - RA8  (cook, 32.0 kbit/s)"},
        {{}, kExitUsage, "quenlar-convert: no files to convert"},
        {{"--frobnicate", "a.mpg"}, kExitUsage, "quenlar-convert: unknown option --frobnicate"},
        {{"--bitrate", "299", "a.mpg"}, kExitUsage, "quenlar-convert: --bitrate 299: less than 300 Kbps"},
        {{"--bitrate", "4x", "a.mpg"}, kExitUsage, "quenlar-convert: --bitrate 4x: not a whole number"},
        {{"a.mpg", "--bitrate"}, kExitUsage, "quenlar-convert: --bitrate needs a value"},
        {{"--audio", "8", "a.mpg"}, kExitUsage, "quenlar-convert: --audio 8: not a row 0-7"},
        {{"--video", "rv30", "a.mpg"}, kExitUsage, "quenlar-convert: --video rv30: not a video codec (rv40 or rv20)"},
        {{"a.mpg", "--video"}, kExitUsage, "quenlar-convert: --video needs a codec"},
        {{"--jobs", "0", "a.mpg"}, kExitUsage, "quenlar-convert: --jobs needs a number"},
        {{"--b-frames", "4", "a.mpg"}, kExitUsage, "quenlar-convert: --b-frames needs a number of B pictures"},
        {{"--quiet=1", "a.mpg"}, kExitUsage, "quenlar-convert: --quiet takes no value"},
        {{"--notify=yes", "a.mpg"}, kExitUsage, "quenlar-convert: --notify takes no value"},
        {{"--queue", "/nonexistent/Quenlar.ini"}, kExitUsage,
         "quenlar-convert: cannot read queue file /nonexistent/Quenlar.ini"},
        {{"--quiet", "/nonexistent/a.mpg"}, kExitFailed, "failed /nonexistent/a.mpg: Cannot open input file"},
    };
    for (const Row& row : rows) {
        std::string joined;
        for (const std::string& arg : row.args)
            joined += arg + " ";
        SCOPED_TRACE(joined);
        const Outcome outcome = RunConverter(row.args);
        EXPECT_EQ(outcome.status, row.status) << outcome.output;
        EXPECT_EQ(outcome.output.substr(0, row.firstLine.size()), row.firstLine) << outcome.output;
    }
}

}  // namespace
