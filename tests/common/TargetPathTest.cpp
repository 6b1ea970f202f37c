// Target naming: the source's folder, its name without the last extension, ".rm", and the
// folder-name prefix - in Windows drive/backslash paths and in POSIX paths.
#include <gtest/gtest.h>

#include <string>

#include "common/TargetPath.h"

namespace {

std::string Win(const std::string& source, bool prefix)
{
    return BuildTargetPath(source, prefix, PathStyle::Windows);
}

std::string Posix(const std::string& source, bool prefix)
{
    return BuildTargetPath(source, prefix, PathStyle::Posix);
}

TEST(TargetPathTest, SplitterCutsDriveDirectoryNameAndLastExtension)
{
    const PathParts win = SplitPath("D:\\Films\\trip.part1.mpg", PathStyle::Windows);
    EXPECT_EQ(win.drive, "D:");
    EXPECT_EQ(win.dir, "\\Films\\");
    EXPECT_EQ(win.fname, "trip.part1");
    EXPECT_EQ(win.ext, ".mpg");

    // Both separators count in the Windows style; a full stop in a folder is no extension.
    const PathParts mixed = SplitPath("c:/v.1\\sub/NAME", PathStyle::Windows);
    EXPECT_EQ(mixed.drive, "c:");
    EXPECT_EQ(mixed.dir, "/v.1\\sub/");
    EXPECT_EQ(mixed.fname, "NAME");
    EXPECT_EQ(mixed.ext, "");

    // POSIX has no drives and no backslash separator.
    const PathParts posix = SplitPath("D:/a\\b.x/c.d.e", PathStyle::Posix);
    EXPECT_EQ(posix.drive, "");
    EXPECT_EQ(posix.dir, "D:/a\\b.x/");
    EXPECT_EQ(posix.fname, "c.d");
    EXPECT_EQ(posix.ext, ".e");

    const PathParts bare = SplitPath("clip.mpg", PathStyle::Posix);
    EXPECT_EQ(bare.dir, "");
    EXPECT_EQ(bare.fname, "clip");
}

TEST(TargetPathTest, ExampleRowsInWindowsPaths)
{
    EXPECT_EQ(Win("D:\\Video\\Disc1\\AVSEQ01.DAT", false), "D:\\Video\\Disc1\\AVSEQ01.rm");
    EXPECT_EQ(Win("D:\\Video\\Disc1\\AVSEQ01.DAT", true), "D:\\Video\\Disc1\\Disc1_AVSEQ01.rm");
    EXPECT_EQ(Win("D:\\AVSEQ01.DAT", true), "D:\\AVSEQ01.rm");
    EXPECT_EQ(Win("D:\\Films\\trip.part1.mpg", true), "D:\\Films\\Films_trip.part1.rm");
    EXPECT_EQ(Win("D:\\A\\B\\x.mpg", true), "D:\\A\\B\\B_x.rm");
}

TEST(TargetPathTest, ExampleRowsInPosixPaths)
{
    EXPECT_EQ(Posix("/Video/Disc1/AVSEQ01.DAT", false), "/Video/Disc1/AVSEQ01.rm");
    EXPECT_EQ(Posix("/Video/Disc1/AVSEQ01.DAT", true), "/Video/Disc1/Disc1_AVSEQ01.rm");
    EXPECT_EQ(Posix("/AVSEQ01.DAT", true), "/AVSEQ01.rm");
    EXPECT_EQ(Posix("/Films/trip.part1.mpg", true), "/Films/Films_trip.part1.rm");
    EXPECT_EQ(Posix("/A/B/x.mpg", true), "/A/B/B_x.rm");
    // The default style is the program's own.
    EXPECT_EQ(BuildTargetPath("/A/B/x.mpg", true), "/A/B/B_x.rm");
}

TEST(TargetPathTest, RootNamesWithoutExtensionAndRelativeFolders)
{
    EXPECT_EQ(Posix("/clip.mpg", false), "/clip.rm");
    EXPECT_EQ(Win("D:\\clip.mpg", false), "D:\\clip.rm");
    // No extension: the whole last component is the name.
    EXPECT_EQ(Posix("/Video/Disc1/AVSEQ01", true), "/Video/Disc1/Disc1_AVSEQ01.rm");
    EXPECT_EQ(Win("D:\\Video\\README", false), "D:\\Video\\README.rm");
    // A folder right below the root gives its name alone, without the root separator.
    EXPECT_EQ(Posix("/Video/x.mpg", true), "/Video/Video_x.rm");
    EXPECT_EQ(Win("D:\\Video\\x.mpg", true), "D:\\Video\\Video_x.rm");
    // A relative folder starts at the directory's first byte.
    EXPECT_EQ(Win("Disc1\\x.dat", true), "Disc1\\Disc1_x.rm");
    EXPECT_EQ(Posix("x.dat", true), "x.rm");
    // The extension of the source is never kept, whatever its case.
    EXPECT_EQ(Posix("/v/a.MPEG", false), "/v/a.rm");
}

TEST(TargetPathTest, FolderPrefixHonoursBothWindowsSeparators)
{
    EXPECT_EQ(Win("D:/Video/Disc1/AVSEQ01.DAT", true), "D:/Video/Disc1/Disc1_AVSEQ01.rm");
    EXPECT_EQ(Win("D:\\Video/Disc1\\AVSEQ01.DAT", true), "D:\\Video/Disc1\\Disc1_AVSEQ01.rm");
    EXPECT_EQ(Win("D:/Video\\Disc1/AVSEQ01.DAT", true), "D:/Video\\Disc1/Disc1_AVSEQ01.rm");
    // In POSIX a backslash is an ordinary byte of a name.
    EXPECT_EQ(Posix("/v/a\\b/x.mpg", true), "/v/a\\b/a\\b_x.rm");
}

TEST(TargetPathTest, ChineseFolderNamesStayWhole)
{
    // "视频" and "光盘一": no byte of a multi-byte character is taken for a separator.
    const std::string video = "\xE8\xA7\x86\xE9\xA2\x91";
    const std::string disc = "\xE5\x85\x89\xE7\x9B\x98\xE4\xB8\x80";
    EXPECT_EQ(Posix("/" + video + "/" + disc + "/AVSEQ01.DAT", true),
              "/" + video + "/" + disc + "/" + disc + "_AVSEQ01.rm");
    EXPECT_EQ(Win("D:\\" + video + "\\" + disc + "\\AVSEQ01.DAT", true),
              "D:\\" + video + "\\" + disc + "\\" + disc + "_AVSEQ01.rm");
    // A one-character folder: the scan stops at the separator before it, not inside it.
    const std::string shu = "\xE6\x95\xB0";
    EXPECT_EQ(Win("D:\\a\\" + shu + "\\x.mpg", true), "D:\\a\\" + shu + "\\" + shu + "_x.rm");
    EXPECT_EQ(Posix("/" + shu + "/x.mpg", true), "/" + shu + "/" + shu + "_x.rm");
}

TEST(TargetPathTest, LongPathsAreNotCut)
{
    // A cut directory would name another folder; a cut name another file.
    const std::string folder(300, 'f');
    const std::string name(270, 'n');
    const std::string source = "/data/" + folder + "/" + name + ".mpg";
    EXPECT_EQ(Posix(source, false), "/data/" + folder + "/" + name + ".rm");
    EXPECT_EQ(Posix(source, true), "/data/" + folder + "/" + folder + "_" + name + ".rm");
}

}  // namespace
