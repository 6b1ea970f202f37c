// Inputs and outputs that cannot be used: an error naming the file and the reason, nothing left.
#include <gtest/gtest.h>

#include <filesystem>
#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ClipFixtures.h"
#include "RecordingListener.h"

namespace quenlar::encoder::test {
namespace {

namespace fs = std::filesystem;

struct BadInput {
    const char* name;
    std::string (*path)();
    EncodeResult code;
    const char* reason;  // the libav reason or our own, in the message
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BadInput& input, std::ostream* os)
{
    *os << input.name;
}

class BadInputTest : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputTest, ReportsAndLeavesNothingBehind)
{
    const BadInput bad = GetParam();
    const std::string input = bad.path();
    const std::string folder = Clips::NewFolder();
    RecordingListener listener;
    EncodeToEnd(SettingsFor(input, folder + "/out.rm"), listener);

    EXPECT_EQ(listener.Trace(), "EF");
    EXPECT_EQ(listener.Result(), bad.code);
    EXPECT_NE(listener.ErrorText().find("\"" + input + "\""), std::string::npos) << listener.ErrorText();
    EXPECT_NE(listener.ErrorText().find(bad.reason), std::string::npos) << listener.ErrorText();
    EXPECT_EQ(ListFolder(folder), "");
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, BadInputTest,
    ::testing::Values(
        BadInput{"Missing", [] { return Clips::NewFolder() + "/none.mpg"; }, EncodeResult::CannotOpenInput,
                 "No such file or directory"},
        BadInput{"Folder", [] { return Clips::NewFolder(); }, EncodeResult::CannotOpenInput, "Is a directory"},
        BadInput{"RandomBytes", [] { return Clips::RandomBytes(); }, EncodeResult::CannotOpenInput,
                 "Invalid data found when processing input"},
        BadInput{"AudioOnly", [] { return Clips::AudioOnly(); }, EncodeResult::NoVideoStream, "has no video stream"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncodeFailure, UnwritableTargetsGiveTheReasonAndLeaveTheFolderAlone)
{
    const std::string folder = Clips::NewFolder();
    std::ofstream(folder + "/plain-file") << "x";
    struct Target {
        std::string path;
        const char* reason;
    };
    std::vector<Target> targets = {
        {folder + "/missing/out.rm", "No such file or directory"},
        {folder + "/plain-file/out.rm", "Not a directory"},
    };
    // Root writes anywhere; a read-only folder only stops other users.
    const std::string locked = folder + "/locked";
    if (geteuid() != 0) {
        fs::create_directory(locked);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        targets.push_back({locked + "/out.rm", "Permission denied"});
    }
    for (const Target& target : targets) {
        SCOPED_TRACE(target.path);
        RecordingListener listener;
        EncodeToEnd(SettingsFor(Clips::Short(), target.path), listener);
        EXPECT_EQ(listener.Trace(), "EF");
        EXPECT_EQ(listener.Result(), EncodeResult::CannotCreateOutput);
        EXPECT_NE(listener.ErrorText().find("\"" + target.path + "\""), std::string::npos);
        EXPECT_NE(listener.ErrorText().find(target.reason), std::string::npos) << listener.ErrorText();
    }
    if (geteuid() != 0) {
        EXPECT_EQ(ListFolder(locked), "");
        fs::permissions(locked, fs::perms::owner_all);
    }
    EXPECT_EQ(ListFolder(folder), geteuid() != 0 ? "locked plain-file" : "plain-file");
}

TEST(EncodeFailure, AReadOnlyTargetIsLeftAsItIsAndTheLongestNamesWork)
{
    const std::string folder = Clips::NewFolder();
    const std::string precious = folder + "/precious.rm";
    std::ofstream(precious) << "precious";
    fs::permissions(precious, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    RecordingListener listener;
    EncodeToEnd(SettingsFor(Clips::Short(), precious), listener);
    EXPECT_EQ(listener.Trace(), "EF");
    EXPECT_EQ(listener.Result(), EncodeResult::CannotCreateOutput);
    EXPECT_NE(listener.ErrorText().find("\"" + precious + "\" is read-only"), std::string::npos)
        << listener.ErrorText();
    std::ifstream in(precious);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "precious");
    EXPECT_EQ(fs::status(precious).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    // A 255-byte target: legal, however long a temporary name beside it would be. Named
    // temporaries that a dead process left are swept, a running one's are not.
    const pid_t dead = fork();
    if (dead == 0)
        _exit(0);
    waitpid(dead, nullptr, 0);
    std::ofstream(folder + "/.quenlar-" + std::to_string(dead) + "-0badf00d") << "left by a crash";
    const std::string running = ".quenlar-" + std::to_string(getpid()) + "-00c0ffee";
    std::ofstream(folder + "/" + running) << "being written";
    const std::string longest = folder + "/" + std::string(252, 'n') + ".rm";
    RecordingListener converted;
    EncodeToEnd(SettingsFor(Clips::Short(), longest), converted);
    EXPECT_EQ(converted.Result(), EncodeResult::Ok) << converted.ErrorText();
    EXPECT_EQ(ListFolder(folder), running + " " + std::string(252, 'n') + ".rm precious.rm");
}

TEST(EncodeFailure, FailedEncodeKeepsTheOldTarget)
{
    const std::string folder = Clips::NewFolder();
    const std::string target = folder + "/out.rm";
    std::ofstream(target) << "old target";
    RecordingListener listener;
    EncodeToEnd(SettingsFor(Clips::RandomBytes(), target), listener);
    EXPECT_EQ(listener.Result(), EncodeResult::CannotOpenInput);
    std::ifstream in(target);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "old target");
    EXPECT_EQ(ListFolder(folder), "out.rm");
}

TEST(EncodeFailure, WriteErrorsDuringTheEncodeAreReportedAndCleanedUp)
{
    const std::string folder = Clips::NewFolder();
    const std::string target = folder + "/out.rm";
    std::ofstream(target) << "old target";
    const std::string input = Clips::PalVcd();
    // A file size limit makes writes fail part-way, like a full disk, without privileges.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 20'000;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    RecordingListener listener;
    EncodeToEnd(SettingsFor(input, target), listener);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(listener.Result(), EncodeResult::WriteFailure);
    EXPECT_EQ(listener.Trace().back(), 'F');
    EXPECT_NE(listener.ErrorText().find("Cannot write output file \"" + target + "\": File too large"),
              std::string::npos)
        << listener.ErrorText();
    std::ifstream in(target);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "old target");
    EXPECT_EQ(ListFolder(folder), "out.rm");
}

TEST(EncodeFailure, TruncatedInputIsConvertedAsFarAsItGoesAndReported)
{
    const std::string folder = Clips::NewFolder();
    const std::string target = folder + "/out.rm";
    RecordingListener listener;
    EncodeToEnd(SettingsFor(Clips::Truncated(), target), listener);

    EXPECT_EQ(listener.Result(), EncodeResult::DamagedInput);
    EXPECT_EQ(listener.Trace(), "OSPEF");
    EXPECT_NE(listener.ErrorText().find("\"" + Clips::Truncated() + "\" is damaged ("), std::string::npos)
        << listener.ErrorText();
    EXPECT_NE(listener.ErrorText().find("damaged packet"), std::string::npos) << listener.ErrorText();
    EXPECT_EQ(ListFolder(folder), "out.rm");
    const auto out = Probe(target);
    EXPECT_EQ(out.at("streams.stream.0.codec_name"), VideoCodecName(kDefaultVideoCodec));
    // About 60% of the 3 s clip survived the cut.
    const double duration = ProbeNumber(out, "format.duration");
    EXPECT_GT(duration, 1.2);
    EXPECT_LT(duration, 2.6);
    EXPECT_EQ(DecodeErrors(target), "");
}

}  // namespace
}  // namespace quenlar::encoder::test
