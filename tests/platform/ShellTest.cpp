// The order of attempts when opening a target, driven through fake desktop operations, and the
// process-wide shell. Nothing here starts a browser or a mail client.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Shell.h"

using namespace platform;

namespace {

// Desktop operations that record their calls and answer as told.
struct FakeDesktop {
    int defaultResult = ShellCode::NoAssociation;
    std::optional<std::string> htmlCommand;
    int spawnResult = ShellCode::Succeeded;

    std::vector<std::string> launched;
    int htmlQueries = 0;
    std::vector<std::vector<std::string>> spawned;

    ShellOps Ops()
    {
        return ShellOps{
            [this](const std::string& uri) {
                launched.push_back(uri);
                return defaultResult;
            },
            [this] {
                ++htmlQueries;
                return htmlCommand;
            },
            [this](const std::vector<std::string>& argv) {
                spawned.push_back(argv);
                return spawnResult;
            }};
    }
};

const std::string kSite = "https://example.org/quenlar/";

}  // namespace

TEST(Shell, DefaultHandlerFirstAndNothingElseOnSuccess)
{
    FakeDesktop desktop;
    desktop.defaultResult = ShellCode::Succeeded;
    desktop.htmlCommand = "browser %u";
    EXPECT_TRUE(ShellCode::IsSuccess(OpenWithFallback(kSite, desktop.Ops())));
    EXPECT_EQ(desktop.launched, std::vector<std::string>{kSite});
    EXPECT_EQ(desktop.htmlQueries, 0);
    EXPECT_TRUE(desktop.spawned.empty());
}

TEST(Shell, FallbackStartsTheHtmlHandlerWithTheTarget)
{
    FakeDesktop desktop;
    desktop.htmlCommand = "/usr/bin/browser --new-tab \"%u\" --other";
    desktop.spawnResult = ShellCode::Succeeded;
    EXPECT_EQ(OpenWithFallback(kSite, desktop.Ops()), ShellCode::Succeeded);
    ASSERT_EQ(desktop.spawned.size(), 1u);
    EXPECT_EQ(desktop.spawned[0], (std::vector<std::string>{"/usr/bin/browser", "--new-tab", kSite}));

    // The fallback's own failure is what is reported once it ran.
    desktop.spawnResult = ShellCode::FileNotFound;
    EXPECT_EQ(OpenWithFallback(kSite, desktop.Ops()), ShellCode::FileNotFound);
}

TEST(Shell, FirstFailureReportedWhenThereIsNoUsableFallback)
{
    FakeDesktop desktop;
    desktop.defaultResult = ShellCode::FileNotFound;
    EXPECT_EQ(OpenWithFallback(kSite, desktop.Ops()), ShellCode::FileNotFound);  // no HTML handler

    desktop.htmlCommand = "browser " + std::string(300, 'o') + " %u";  // does not fit
    EXPECT_EQ(OpenWithFallback(kSite, desktop.Ops()), ShellCode::FileNotFound);

    desktop.htmlCommand = "browser %u";
    EXPECT_EQ(OpenWithFallback(std::string(600, 'x'), desktop.Ops()), ShellCode::FileNotFound);
    EXPECT_TRUE(desktop.spawned.empty());
}

TEST(Shell, FilePathsAreOpenedAsFileUris)
{
    FakeDesktop desktop;
    desktop.htmlCommand = "browser %f";
    OpenWithFallback("/opt/quen lar/Quenlar.htm", desktop.Ops());
    EXPECT_EQ(desktop.launched, std::vector<std::string>{"file:///opt/quen%20lar/Quenlar.htm"});
    ASSERT_EQ(desktop.spawned.size(), 1u);
    EXPECT_EQ(desktop.spawned[0].back(), "file:///opt/quen%20lar/Quenlar.htm");
}

TEST(Shell, RealSpawnMapsItsFailures)
{
    // Harmless programs only: the real spawn, never a browser.
    const ShellOps ops = GioShell::Ops();
    EXPECT_EQ(ops.spawn({"true"}), ShellCode::Succeeded);
    EXPECT_EQ(ops.spawn({"/nonexistent/quenlar-handler", "x"}), ShellCode::FileNotFound);
}

TEST(Shell, InstalledShellIsUsedUntilTheGuardEnds)
{
    IShell* before = &Shell();
    {
        RecordingShell fake(ShellCode::NoAssociation);
        ScopedShell guard(fake);
        EXPECT_EQ(&Shell(), &fake);
        EXPECT_EQ(Shell().OpenUrl("mailto:quenlar@example.org"), ShellCode::NoAssociation);
        Shell().OpenDocument("/opt/quenlar/Quenlar.htm");
        EXPECT_EQ(fake.Urls(), std::vector<std::string>{"mailto:quenlar@example.org"});
        EXPECT_EQ(fake.Documents(), std::vector<std::string>{"/opt/quenlar/Quenlar.htm"});
    }
    EXPECT_EQ(&Shell(), before);
}
