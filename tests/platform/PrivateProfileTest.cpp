// PrivateProfile: reading hand-edited files, Windows-like value and integer semantics, writes that
// leave other lines alone, one file write per batch, and atomic replacement under a killed writer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/PrivateProfile.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class PrivateProfileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_folder.Path().empty()); }
    void TearDown() override { SetAtomicWriteHookForTests(nullptr); }

    void WriteRaw(const std::string& bytes) { std::ofstream(m_ini, std::ios::binary) << bytes; }
    std::string ReadRaw() const
    {
        std::string data;
        EXPECT_TRUE(ReadWholeFile(m_ini, data));
        return data;
    }
    int CountFilesInDir() const
    {
        return static_cast<int>(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()));
    }

    TempDir m_folder;
    const fs::path& m_dir = m_folder.Path();
    const std::string m_ini = m_folder.File("Quenlar.ini");
};

TEST_F(PrivateProfileTest, ReadsHandEditedFilesWhateverTheirLineEnds)
{
    const std::string body =
        "; written by hand\n"
        "stray=before any section\n"
        "  [ config ]  \n"
        "bitrate  =   600  \n"
        "AUTHOR=\t\"  Li Lei  \"\n"
        "Author=second one is ignored\n"
        "FolderAsPrefix\n"
        "; BitRate=1\n"
        "[Source]\n"
        "count = 2\n"
        "0=/media/光盘/AVSEQ01.DAT\n"
        "1='quoted'\n"
        "[config]\n"
        "BitRate=700\n";
    const std::string endings[] = {"\n", "\r\n", "\r"};
    for (const std::string& eol : endings) {
        SCOPED_TRACE(testing::PrintToString(eol));
        std::string text;
        for (char c : body)
            text += c == '\n' ? eol : std::string(1, c);
        WriteRaw("\xEF\xBB\xBF" + text);
        const PrivateProfile ini(m_ini);
        EXPECT_EQ(ini.GetInt("Config", "BitRate", 0), 600);
        EXPECT_EQ(ini.GetString("Config", "Author", ""), "  Li Lei  ");
        EXPECT_EQ(ini.GetInt("CONFIG", "FolderAsPrefix", 5), 5);
        EXPECT_EQ(ini.GetInt("Source", "Count", 0), 2);
        EXPECT_EQ(ini.GetString("source", "0", ""), "/media/光盘/AVSEQ01.DAT");
        EXPECT_EQ(ini.GetString("Source", "1", ""), "quoted");
        EXPECT_EQ(ini.GetString("", "stray", "none"), "none");
        EXPECT_EQ(ini.GetString("Source", "2", "missing"), "missing");
        EXPECT_EQ(ini.GetKeyNames("CONFIG"), (std::vector<std::string>{"bitrate", "AUTHOR"}));
        EXPECT_EQ(ini.GetKeyNames("Source"), (std::vector<std::string>{"count", "0", "1"}));
        EXPECT_TRUE(ini.GetKeyNames("Nowhere").empty());
    }
}

TEST_F(PrivateProfileTest, IntegersParseLikeWindows)
{
    WriteRaw("[C]\r\na= 42\r\nb=+7\r\nc=-1\r\nd=12abc\r\ne=abc\r\nf=\r\ng=99999999999\r\n"
             "h=-99999999999\r\ni=-\r\nj=\"5\"\r\nk=\"  -8 \"\r\n");
    const PrivateProfile ini(m_ini);
    EXPECT_EQ(ini.GetInt("C", "a", 9), 42);
    EXPECT_EQ(ini.GetInt("C", "b", 9), 7);
    EXPECT_EQ(ini.GetInt("C", "c", 9), -1);
    EXPECT_EQ(ini.GetInt("C", "d", 9), 12);
    EXPECT_EQ(ini.GetInt("C", "e", 9), 0);
    EXPECT_EQ(ini.GetInt("C", "f", 9), 9) << "empty value reads as the default";
    EXPECT_EQ(ini.GetInt("C", "g", 9), INT_MAX);
    EXPECT_EQ(ini.GetInt("C", "h", 9), INT_MIN);
    EXPECT_EQ(ini.GetInt("C", "i", 9), 0);
    EXPECT_EQ(ini.GetInt("C", "j", 9), 5);
    EXPECT_EQ(ini.GetInt("C", "k", 9), -8);
    EXPECT_EQ(ini.GetInt("C", "missing", 9), 9);
    EXPECT_EQ(ini.GetInt("Missing", "a", -3), -3);
}

TEST_F(PrivateProfileTest, ValuesAreCutToTheBufferWithoutSplittingCharacters)
{
    const std::string longAscii(600, 'a');
    const std::string cjkAtEdge = std::string(518, 'b') + "中文";  // "中" spans bytes 518..520
    WriteRaw("[C]\r\nlong=" + longAscii + "\r\ncjk=" + cjkAtEdge + "\r\n");
    const PrivateProfile ini(m_ini);
    EXPECT_EQ(ini.GetString("C", "long", ""), std::string(519, 'a'));
    EXPECT_EQ(ini.GetString("C", "cjk", ""), std::string(518, 'b'));
    EXPECT_EQ(ini.GetString("C", "cjk", "", 522), std::string(518, 'b') + "中");
    EXPECT_EQ(ini.GetString("C", "none", longAscii), std::string(519, 'a'));
    EXPECT_EQ(ini.GetString("C", "long", "", 0), "");

    char buffer[kProfileValueBuffer];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileString("C", "long", "", buffer, sizeof buffer, m_ini), 519u);
    EXPECT_EQ(buffer[519], '\0');
    char tiny[4];
    EXPECT_EQ(GetPrivateProfileString("C", "cjk", "", tiny, sizeof tiny, m_ini), 3u);
    EXPECT_STREQ(tiny, "bbb");
}

TEST_F(PrivateProfileTest, WritingCreatesWhatIsMissingAndLeavesOtherLinesAlone)
{
    // No file: file, section and key are created, with CRLF line ends.
    EXPECT_TRUE(WritePrivateProfileString("Config", "BitRate", "450", m_ini));
    EXPECT_TRUE(WritePrivateProfileString("Source", "Count", "0", m_ini));
    EXPECT_TRUE(WritePrivateProfileString("config", "Author", "", m_ini));
    EXPECT_EQ(ReadRaw(), "[Config]\r\nBitRate=450\r\nAuthor=\r\n\r\n[Source]\r\nCount=0\r\n");

    const std::string handEdited =
        "; my settings\n"
        "[config]\n"
        "  bitrate = 300  ; keep\n"
        "odd line without equals\n"
        "\n"
        "; about the queue\n"
        "[Source]\n"
        "Count=1\n"
        "0=/a.mpg\n"
        "[Config]\n"
        "BitRate=1\n";
    WriteRaw(handEdited);
    PrivateProfile ini(m_ini);
    EXPECT_TRUE(ini.WriteString("CONFIG", "BITRATE", "500"));
    EXPECT_TRUE(ini.WriteString("Config", "AudioSetting", "3"));
    EXPECT_TRUE(ini.WriteString("Config", "Author", "  spaced  "));
    EXPECT_TRUE(ini.WriteString("Source", "1", "/b.mpg"));
    EXPECT_TRUE(ini.WriteString("Source", "0", "\"q\""));
    EXPECT_TRUE(ini.Flush());
    EXPECT_EQ(ReadRaw(),
              "; my settings\r\n"
              "[config]\r\n"
              "bitrate=500\r\n"
              "AudioSetting=3\r\n"
              "Author=\"  spaced  \"\r\n"
              "odd line without equals\r\n"
              "\r\n"
              "; about the queue\r\n"
              "[Source]\r\n"
              "Count=1\r\n"
              "0=\"\"q\"\"\r\n"
              "1=/b.mpg\r\n"
              "[Config]\r\n"
              "BitRate=1\r\n");
    const PrivateProfile reread(m_ini);
    EXPECT_EQ(reread.GetInt("Config", "BitRate", 0), 500);
    EXPECT_EQ(reread.GetString("Config", "Author", ""), "  spaced  ");
    EXPECT_EQ(reread.GetString("Source", "0", ""), "\"q\"");
}

TEST_F(PrivateProfileTest, RefusesEntriesThatWouldAddLinesOfTheirOwn)
{
    PrivateProfile ini(m_ini);
    EXPECT_FALSE(ini.WriteString("Source", "0", "/a\n[Config]\nBitRate=1"));
    EXPECT_FALSE(ini.WriteString("Source", "0", "/a\rb"));
    EXPECT_FALSE(ini.WriteString("Source", "a=b", "x"));
    EXPECT_FALSE(ini.WriteString("Source", "", "x"));
    EXPECT_FALSE(ini.WriteString("So]urce", "k", "x"));
    EXPECT_FALSE(ini.WriteString("Source", "k", std::string("a\0b", 3)));
    EXPECT_TRUE(ini.Flush());
    EXPECT_FALSE(fs::exists(m_ini)) << "nothing was accepted, so nothing is written";
}

TEST_F(PrivateProfileTest, ABatchWritesTheFileOnceAndOnlyWhenSomethingChanged)
{
    int writes = 0;
    SetAtomicWriteHookForTests([&](const std::string&) { ++writes; });
    PrivateProfile ini(m_ini);
    for (int i = 0; i < 1000; ++i)
        ini.WriteString("Source", std::to_string(i), "/v/" + std::to_string(i) + ".mpg");
    EXPECT_TRUE(ini.Flush());
    EXPECT_EQ(writes, 1);

    PrivateProfile same(m_ini);
    same.WriteString("source", "999", "/v/999.mpg");
    EXPECT_TRUE(same.Flush());
    EXPECT_EQ(writes, 1) << "an unchanged value does not rewrite the file";
    EXPECT_EQ(CountFilesInDir(), 1) << "no temporary file is left behind";
}

TEST_F(PrivateProfileTest, UnreadableOrReadOnlyFilesAreNotReplaced)
{
    fs::create_directory(m_ini);  // opens, but cannot be read as a file
    PrivateProfile ini(m_ini);
    EXPECT_EQ(ini.GetInt("Config", "BitRate", 450), 450);
    EXPECT_TRUE(ini.WriteString("Config", "BitRate", "300"));
    EXPECT_FALSE(ini.Flush());
    EXPECT_TRUE(fs::is_directory(m_ini));
    fs::remove(m_ini);

    // A read-only file is left as it is (the rename would replace it), by root too.
    WriteRaw("[Config]\r\nBitRate=450\r\n");
    ASSERT_EQ(::chmod(m_ini.c_str(), 0444), 0);
    EXPECT_FALSE(WritePrivateProfileString("Config", "BitRate", "300", m_ini));
    EXPECT_EQ(ReadRaw(), "[Config]\r\nBitRate=450\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(m_ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    for (const auto& entry : fs::directory_iterator(m_dir))
        EXPECT_EQ(entry.path().string(), m_ini) << "nothing else is left in the folder";
}

TEST_F(PrivateProfileTest, ReplacingKeepsTheFileModeAndFollowsSymbolicLinks)
{
    WriteRaw("[C]\r\nk=1\r\n");
    ASSERT_EQ(::chmod(m_ini.c_str(), 0640), 0);
    const std::string link = (m_dir / "link.ini").string();
    fs::create_symlink(m_ini, link);
    EXPECT_TRUE(WritePrivateProfileString("C", "k", "2", link));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(GetPrivateProfileInt("C", "k", 0, m_ini), 2);
    struct stat st {};
    ASSERT_EQ(::stat(m_ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A child process saves and is killed at the worst moment: the new text is complete in the
// temporary file, the rename has not happened. The settings file must still be the old one,
// whole; and what would have replaced it is the whole new text.
TEST_F(PrivateProfileTest, AWriterKilledBeforeTheRenameLeavesTheOldFileWhole)
{
    const std::string oldText = "[Config]\r\nBitRate=300\r\n";
    WriteRaw(oldText);
    std::string newText;
    {
        PrivateProfile expected(m_ini);
        expected.WriteString("Config", "BitRate", "999");
        for (int i = 0; i < 2000; ++i)
            expected.WriteString("Source", std::to_string(i), std::string(200, 'p'));
        newText = expected.Serialize();
    }

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SetAtomicWriteHookForTests([](const std::string&) { ::raise(SIGKILL); });
        PrivateProfile ini(m_ini);
        ini.WriteString("Config", "BitRate", "999");
        for (int i = 0; i < 2000; ++i)
            ini.WriteString("Source", std::to_string(i), std::string(200, 'p'));
        ini.Flush();
        ::_exit(0);  // not reached when the hook works
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the writer was not interrupted";

    EXPECT_EQ(ReadRaw(), oldText);
    int temps = 0;
    for (const auto& entry : fs::directory_iterator(m_dir)) {
        if (entry.path().string() == m_ini)
            continue;
        ++temps;
        std::string pending;
        EXPECT_TRUE(ReadWholeFile(entry.path().string(), pending));
        EXPECT_EQ(pending, newText);
    }
    EXPECT_EQ(temps, 1);

    // The next save goes through and replaces the file with the whole new text.
    PrivateProfile again(m_ini);
    again.WriteString("Config", "BitRate", "999");
    for (int i = 0; i < 2000; ++i)
        again.WriteString("Source", std::to_string(i), std::string(200, 'p'));
    EXPECT_TRUE(again.Flush());
    EXPECT_EQ(ReadRaw(), newText);
}

}  // namespace
