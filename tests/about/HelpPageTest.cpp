// The help page beside the executable: where it is looked for, the message when it is missing,
// what is handed to the (recording) shell, and what the shipped page covers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "about/HelpPage.h"
#include "platform/Paths.h"
#include "platform/Shell.h"
#include "res/Resources.h"
#include "support/MessageBoxRecorder.h"

namespace fs = std::filesystem;

namespace {

// A program "installed" in a temporary folder whose name holds a dot.
class HelpPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("quenlar-help-" + std::to_string(::getpid())) / "tools.v1";
        fs::create_directories(m_dir);
        platform::SetModuleFileNameForTesting((m_dir / "Quenlar").string());
    }

    void TearDown() override
    {
        platform::SetModuleFileNameForTesting("");
        fs::remove_all(m_dir.parent_path());
    }

    fs::path m_dir;
};

}  // namespace

TEST(HelpPagePath, CutAtTheLastDotOfTheHelpFilePath)
{
    EXPECT_EQ(HelpPagePathFor("/opt/tools.v1/Quenlar.HLP"), "/opt/tools.v1/Quenlar.htm");
    EXPECT_EQ(HelpPagePathFor(platform::HelpFilePathFor("/opt/tools.v1/Quenlar")), "/opt/tools.v1/Quenlar.htm");
    EXPECT_EQ(HelpPagePathFor(platform::HelpFilePathFor("/opt/tools.v1/Quenlar.bin")), "/opt/tools.v1/Quenlar.htm");
    EXPECT_EQ(HelpPagePathFor(platform::HelpFilePathFor("/opt/Other.exe")), "/opt/Other.htm");
}

TEST_F(HelpPageTest, MissingPageIsReportedAndNothingOpened)
{
    platform::RecordingShell shell;
    platform::ScopedShell useShell(shell);
    MessageBoxRecorder boxes;
    // Another name for the program: the page looked for follows it, the message does not.
    platform::SetModuleFileNameForTesting((m_dir / "Other.bin").string());
    std::ofstream(m_dir / "Quenlar.htm") << "<html></html>";

    OpenHelpPage();
    EXPECT_TRUE(shell.Documents().empty());
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "Sorry, can't find Quenlar.htm.\nPlease download the whole package.");
    EXPECT_EQ(boxes.Calls()[0].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(boxes.Calls()[0].caption, "Other");
}

TEST_F(HelpPageTest, PageBesideTheProgramIsOpened)
{
    platform::RecordingShell shell;
    platform::ScopedShell useShell(shell);
    MessageBoxRecorder boxes;
    std::ofstream(m_dir / "Quenlar.htm") << "<html></html>";

    OpenHelpPage();
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_EQ(shell.Documents(), std::vector<std::string>{(m_dir / "Quenlar.htm").string()});
    EXPECT_TRUE(shell.Urls().empty());

    // No program for HTML, or one that cannot start: the user is told which page it was.
    for (const int failure : {platform::ShellCode::NoAssociation, platform::ShellCode::AssociationIncomplete}) {
        shell.SetResult(failure);
        OpenHelpPage();
    }
    EXPECT_EQ(shell.Documents().size(), 3u);
    ASSERT_EQ(boxes.Calls().size(), 2u);
    EXPECT_EQ(boxes.Calls()[1].text, "Sorry, no program could open the help page\n" + (m_dir / "Quenlar.htm").string() +
                                         "\nPlease open it with a web browser.");
    EXPECT_EQ(boxes.Calls()[1].type, MB_OK | MB_ICONEXCLAMATION);
    shell.SetResult(platform::ShellCode::Succeeded);
    boxes.Clear();

    // Installed: bin/Quenlar finds share/quenlar/Quenlar.htm, but the page beside it comes first.
    const fs::path prefix = m_dir / "usr";
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share/quenlar");
    std::ofstream(prefix / "share/quenlar/Quenlar.htm") << "<html></html>";
    platform::SetModuleFileNameForTesting((prefix / "bin/Quenlar").string());
    OpenHelpPage();
    EXPECT_EQ(shell.Documents().back(), (prefix / "bin/../share/quenlar/Quenlar.htm").string());
    std::ofstream(prefix / "bin/Quenlar.htm") << "<html></html>";
    OpenHelpPage();
    EXPECT_EQ(shell.Documents().back(), (prefix / "bin/Quenlar.htm").string());
    EXPECT_TRUE(boxes.Calls().empty());
}

TEST(HelpPageContent, NamesEveryControlOfTheMainWindow)
{
    std::ifstream in(QUENLAR_SOURCE_DIR "/src/res/Quenlar.htm");
    ASSERT_TRUE(in);
    std::stringstream page;
    page << in.rdbuf();
    const std::string html = page.str();

    for (const platform::ControlTemplate& c : res::BatchDialogTemplate().controls) {
        if (c.text.empty() || c.text == "128" || c.text.size() < 2)
            continue;
        std::string name = c.text;
        if (name.back() == ':')
            name.pop_back();
        EXPECT_NE(html.find(name), std::string::npos) << "the page does not mention \"" << name << "\"";
    }
    for (const char* topic : {"Compression failed:", "Quenlar.ini", "Quenlar.inf", ".dat", ".mpg", ".mpeg",
                              "Disc1_AVSEQ01.rm", "Stop", "Auto Shutdown"})
        EXPECT_NE(html.find(topic), std::string::npos) << topic;
}
