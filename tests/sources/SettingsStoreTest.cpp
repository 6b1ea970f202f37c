// The settings store's own routines: where the files go, integers as text, and the log file's
// format (text + one NUL) read back as the program and a hand-made file would have it.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <wx/frame.h>
#include <wx/textctrl.h>

#include "platform/Controls.h"
#include "platform/Paths.h"
#include "platform/PrivateProfile.h"
#include "sources/SettingsStore.h"
#include "support/TempDir.h"
#include "support/WxTestEnvironment.h"

namespace fs = std::filesystem;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_folder.Path().empty()); }
    void TearDown() override { platform::SetModuleFileNameForTesting(""); }
    std::string PathOf(const char* name) const { return m_folder.File(name); }
    void WriteRaw(const std::string& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string ReadRaw(const std::string& path)
    {
        std::string data;
        EXPECT_TRUE(ReadWholeFile(path, data));
        return data;
    }

    TempDir m_folder;
};

TEST_F(SettingsStoreTest, PathsSitBesideTheExecutableOrInTheUsersConfigFolder)
{
    // A folder the program can write: beside it.
    const std::string folder = PathOf("v1.2");
    fs::create_directory(folder);
    platform::SetModuleFileNameForTesting(folder + "/Quenlar");
    BuildProfilePaths();
    EXPECT_EQ(g_szIniPath, folder + "/Quenlar.ini");
    EXPECT_EQ(g_szLogPath, folder + "/Quenlar.inf");
    platform::SetModuleFileNameForTesting(folder + "/Quenlar.bin");
    BuildProfilePaths();
    EXPECT_EQ(g_szIniPath, folder + "/Quenlar.ini");

    // One it cannot (here: not there at all, which even root cannot write): the user's folder,
    // $XDG_CONFIG_HOME/quenlar, else ~/.config/quenlar; made when missing.
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    platform::SetModuleFileNameForTesting("/nonexistent-quenlar/usr/bin/Quenlar");
    ::setenv("XDG_CONFIG_HOME", PathOf("config").c_str(), 1);
    BuildProfilePaths();
    EXPECT_EQ(g_szIniPath, PathOf("config") + "/quenlar/Quenlar.ini");
    EXPECT_EQ(g_szLogPath, PathOf("config") + "/quenlar/Quenlar.inf");
    EXPECT_TRUE(fs::is_directory(PathOf("config") + "/quenlar"));
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);  // not absolute: ignored
    ::setenv("HOME", PathOf("home").c_str(), 1);
    BuildProfilePaths();
    EXPECT_EQ(g_szIniPath, PathOf("home") + "/.config/quenlar/Quenlar.ini");

    // Installed, though the folder can be written (root, a prefix of the user's own): the
    // user's folder as well.
    ::setenv("XDG_CONFIG_HOME", PathOf("config").c_str(), 1);
    fs::create_directories(PathOf("prefix") + "/bin");
    fs::create_directories(PathOf("prefix") + "/share/quenlar");
    platform::SetModuleFileNameForTesting(PathOf("prefix") + "/bin/Quenlar");
    BuildProfilePaths();
    EXPECT_EQ(g_szIniPath, PathOf("config") + "/quenlar/Quenlar.ini");
    fs::remove(PathOf("prefix") + "/share/quenlar");  // a bin without it is a portable copy
    BuildProfilePaths();
    EXPECT_EQ(g_szIniPath, PathOf("prefix") + "/bin/Quenlar.ini");
    ::setenv("HOME", savedHome.c_str(), 1);
    if (oldXdg)
        ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");

    // A dot in a folder name is not an extension; nor is there a length limit to overrun.
    const std::string deep = "/" + std::string(300, 'd') + ".d/Quenlar";
    BuildProfilePaths(deep);
    EXPECT_EQ(g_szIniPath, deep + ".ini");
    EXPECT_EQ(g_szLogPath, deep + ".inf");
}

TEST_F(SettingsStoreTest, IntegersAreWrittenAsSignedDecimal)
{
    const std::string ini = PathOf("Quenlar.ini");
    EXPECT_TRUE(WriteProfileInt("Config", "AudioSetting", -1, ini));
    EXPECT_TRUE(WriteProfileInt("Config", "Min", INT_MIN, ini));
    EXPECT_EQ(ReadRaw(ini), "[Config]\r\nAudioSetting=-1\r\nMin=-2147483648\r\n");
    EXPECT_EQ(GetPrivateProfileInt("Config", "Min", 0, ini), INT_MIN);
}

TEST_F(SettingsStoreTest, TheLogFileIsTheTextAndOneNul)
{
    const std::string log = PathOf("Quenlar.inf");
    EXPECT_TRUE(WriteLogText(log, ""));
    EXPECT_EQ(ReadRaw(log), std::string(1, '\0'));
    EXPECT_EQ(ReadLogText(log), "");

    const std::string text = "Failed: /v/光盘.dat\r\nEncoder stalled\r\n";
    EXPECT_TRUE(WriteLogText(log, text));
    EXPECT_EQ(ReadRaw(log), text + '\0');
    EXPECT_EQ(ReadLogText(log), text);
}

TEST_F(SettingsStoreTest, LogFilesNotWrittenByUsReadSafely)
{
    const std::string log = PathOf("Quenlar.inf");
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"", ""},
        {"x", ""},                       // fewer than 2 bytes: empty
        {std::string(1, '\0'), ""},
        {"no nul at the end", "no nul at the end"},
        {std::string("ab\0cd\0", 6), "ab"},  // the text ends at the first NUL
        {"gbk \xB9\xE2\xC5\xCC", "gbk \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"cut \xE4\xB8", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        WriteRaw(log, c.bytes);
        EXPECT_EQ(ReadLogText(log), c.text);
    }
    // A huge log: only the whole lines of its last MiB, after a line saying so.
    const std::string last = "the last line\r\n";
    const std::string lines = std::string(kLogLoadLimit, 'x') + "\r\n" + std::string(100, 'y') + "\r\n" + last;
    WriteRaw(log, lines + '\0');
    EXPECT_EQ(ReadLogText(log), std::string(kLogLeftOut) + "\r\n" + std::string(100, 'y') + "\r\n" + last);
    WriteRaw(log, std::string(3 * kLogLoadLimit, 'z') + '\0');  // one huge line: nothing of it
    EXPECT_EQ(ReadLogText(log), std::string(kLogLeftOut) + "\r\n");
    WriteRaw(log, std::string(kLogLoadLimit - 1, 'w') + '\0');  // exactly the limit: all of it
    EXPECT_EQ(ReadLogText(log), std::string(kLogLoadLimit - 1, 'w'));

    EXPECT_EQ(ReadLogText(PathOf("missing.inf")), "");
    fs::create_directory(PathOf("dir.inf"));
    EXPECT_EQ(ReadLogText(PathOf("dir.inf")), "");
    EXPECT_FALSE(WriteLogText(PathOf("no/such/folder.inf"), "text"));
}

TEST_F(SettingsStoreTest, WindowTextRoundTripsThroughTheLogFile)
{
    REQUIRE_DISPLAY();
    auto* frame = new wxFrame(nullptr, wxID_ANY, "log");
    auto* text = new wxTextCtrl(frame, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                                wxTE_MULTILINE | wxTE_READONLY);
    platform::CEdit edit;
    edit.Attach(text);
    const std::string log = PathOf("Quenlar.inf");

    edit.SetWindowText("first line\nsecond 中文 line\n");
    SaveWindowText(edit, log);
    EXPECT_EQ(ReadRaw(log), edit.GetWindowText() + '\0');
    edit.SetWindowText("something else");
    LoadWindowText(edit, log);
    EXPECT_EQ(edit.GetWindowText(), "first line\nsecond 中文 line\n");

    // A missing or unreadable log leaves the window empty, not as it was.
    LoadWindowText(edit, PathOf("missing.inf"));
    EXPECT_EQ(edit.GetWindowText(), "");
    edit.SetWindowText("kept on screen");
    SaveWindowText(edit, PathOf("no/such/folder.inf"));  // silently passed over
    EXPECT_EQ(edit.GetWindowText(), "kept on screen");
    frame->Destroy();
}

}  // namespace
