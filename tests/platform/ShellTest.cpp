// The order of attempts when opening a target, driven through fake desktop operations, and the
// process-wide shell. Nothing here starts a browser or a mail client.
#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

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

TEST(Shell, FallbackRunsARealDesktopEntryCommandLine)
{
    // A desktop entry whose "browser" is a script that writes down its arguments; the default
    // handler is made to fail, so nothing but this script can run.
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quenlar-shell-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path script = dir / "fake browser";
    const fs::path args = dir / "args";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" << args.string() << ".tmp\" && mv \""
                          << args.string() << ".tmp\" \"" << args.string() << "\"\n";
    fs::permissions(script, fs::perms::owner_all);
    const fs::path entry = dir / "fake.desktop";
    std::ofstream(entry) << "[Desktop Entry]\nType=Application\nName=Fake\nExec=\"" << script.string()
                         << "\" --new-tab \"%u\" --private\nMimeType=text/html;\n";

    ShellOps ops = GioShell::Ops();
    ops.launchDefault = [](const std::string&) { return ShellCode::NoAssociation; };
    ops.htmlCommandLine = [&entry]() -> std::optional<std::string> {
        GDesktopAppInfo* app = g_desktop_app_info_new_from_filename(entry.c_str());
        if (!app)
            return std::nullopt;
        std::string line = g_app_info_get_commandline(G_APP_INFO(app));
        g_object_unref(app);
        return line;
    };
    const std::string target = "https://example.org/a page?x=1&y=2";
    EXPECT_EQ(OpenWithFallback(target, ops), ShellCode::Succeeded);

    // The process runs on its own; wait for its record.
    for (int i = 0; i < 100 && !fs::exists(args); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(args);
    std::stringstream written;
    written << in.rdbuf();
    EXPECT_EQ(written.str(), "--new-tab\n" + target + "\n");
    fs::remove_all(dir);
}
