// Reading a chooser's result one full path at a time, the wildcard the chooser is given, and the
// folder-plus-names split of the paths it returns.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sources/DlgFileMultiSel.h"
#include "support/WxTestEnvironment.h"

namespace {

// A path buffer with guard bytes behind it, to see that nothing is written past its end.
struct GuardedPath {
    char path[CDlgFileMultiSel::kMaxPath];
    char guard[32];
};

class ChooserAnswer {
public:
    explicit ChooserAnswer(int result, FileChoice choice = {})
    {
        m_previous = CDlgFileMultiSel::SetChooser([result, choice](wxFileDialog&, FileChoice& out) {
            out = choice;
            return result;
        });
    }
    ~ChooserAnswer() { CDlgFileMultiSel::SetChooser(std::move(m_previous)); }

private:
    CDlgFileMultiSel::Chooser m_previous;
};

// Runs a dialog answered with `choice` and collects every path it hands out, checking the
// buffer's guard after each call and that the call after the last one returns FALSE and "".
std::vector<std::string> PathsFor(int result, const FileChoice& choice)
{
    ChooserAnswer answer(result, choice);
    CDlgFileMultiSel dialog(TRUE, nullptr, "*.dat", OFN_ALLOWMULTISELECT, "All|*.*||", nullptr);
    EXPECT_EQ(dialog.DoModal(), result == IDOK && !choice.names.empty() ? IDOK : IDCANCEL);
    GuardedPath buffer;
    std::memset(&buffer, 'G', sizeof buffer);
    std::vector<std::string> paths;
    for (int n = 0; n < 1000; ++n) {
        const BOOL more = dialog.GetNextPath(buffer.path);
        EXPECT_EQ(std::string(buffer.guard, sizeof buffer.guard), std::string(sizeof buffer.guard, 'G'));
        if (!more) {
            EXPECT_STREQ(buffer.path, "");
            break;
        }
        paths.push_back(buffer.path);
    }
    EXPECT_FALSE(dialog.GetNextPath(buffer.path));
    return paths;
}

using Paths = std::vector<std::string>;

}  // namespace

TEST(DlgFileMultiSelTest, HandsOutOneFullPathPerChosenFile)
{
    REQUIRE_DISPLAY();
    // One file: its whole path, once.
    EXPECT_EQ(PathsFor(IDOK, {"/media/cdrom/MPEGAV", {"AVSEQ01.DAT"}}),
              Paths{"/media/cdrom/MPEGAV/AVSEQ01.DAT"});
    // Several: folder + separator + name, in the chooser's order.
    EXPECT_EQ(PathsFor(IDOK, {"/home/u/clips", {"z.mpg", "a.mpeg", "M.DAT"}}),
              (Paths{"/home/u/clips/z.mpg", "/home/u/clips/a.mpeg", "/home/u/clips/M.DAT"}));
    // The root folder already ends in the separator: no second one.
    EXPECT_EQ(PathsFor(IDOK, {"/", {"a.mpg", "b.mpg"}}), (Paths{"/a.mpg", "/b.mpg"}));
    EXPECT_EQ(PathsFor(IDOK, {"/", {"a.mpg"}}), Paths{"/a.mpg"});
    // Cancelled, or confirmed with nothing chosen: nothing at all.
    EXPECT_EQ(PathsFor(IDCANCEL, {"/x", {"a.mpg"}}), Paths{});
    EXPECT_EQ(PathsFor(IDOK, {"/x", {}}), Paths{});
}

TEST(DlgFileMultiSelTest, RefusesPathsTooLongForTheBuffer)
{
    REQUIRE_DISPLAY();
    const std::string folder = "/data";  // 5 bytes; with the separator a name may have 253
    const std::string fits(253, 'f');
    const std::string tooLong(254, 'x');
    // The over-long name is skipped; its neighbours still come, and the longest that fits is whole.
    const Paths paths = PathsFor(IDOK, {folder, {"a.mpg", tooLong, fits, "b.mpg"}});
    EXPECT_EQ(paths, (Paths{"/data/a.mpg", "/data/" + fits, "/data/b.mpg"}));
    EXPECT_EQ(paths[1].size(), CDlgFileMultiSel::kMaxPath - 1);

    // A single file or a folder too long for the buffer gives nothing; a last name too long ends it.
    EXPECT_EQ(PathsFor(IDOK, {folder, {tooLong}}), Paths{});
    EXPECT_EQ(PathsFor(IDOK, {"/" + std::string(300, 'd'), {"a.mpg", "b.mpg"}}), Paths{});
    EXPECT_EQ(PathsFor(IDOK, {folder, {"a.mpg", tooLong}}), Paths{"/data/a.mpg"});
    // Multi-byte names count in bytes.
    std::string wide;
    for (int n = 0; n < 127; ++n)
        wide += "\xC3\xA9";  // é: 254 bytes in all
    EXPECT_EQ(PathsFor(IDOK, {folder, {wide, "c.mpg"}}), Paths{"/data/c.mpg"});
}

TEST(DlgFileMultiSelTest, WildcardMatchesEveryLetterCaseAndAllFiles)
{
    EXPECT_EQ(ChooserWildcard("Mpeg Files (.dat;.mpg;.mpeg)|*.dat;*.mpg;*.mpeg|All Files (*.*)|*.*||"),
              "Mpeg Files (.dat;.mpg;.mpeg)|*.[dD][aA][tT];*.[mM][pP][gG];*.[mM][pP][eE][gG]"
              "|All Files (*.*)|*");
    // Bracket expressions are left as they are; a missing final "||" changes nothing.
    EXPECT_EQ(ChooserWildcard("Tracks|track[0-9].m2v"), "Tracks|[tT][rR][aA][cC][kK][0-9].[mM]2[vV]");
    EXPECT_EQ(ChooserWildcard(""), "");
}

TEST(DlgFileMultiSelTest, PathsSplitIntoTheirCommonFolderAndNames)
{
    auto split = [](const Paths& paths) {
        const FileChoice choice = ChoiceFromPaths(paths);
        Paths out{choice.folder};
        out.insert(out.end(), choice.names.begin(), choice.names.end());
        return out;
    };
    EXPECT_EQ(split({"/v/a.mpg", "/v/b.mpg"}), (Paths{"/v", "a.mpg", "b.mpg"}));
    EXPECT_EQ(split({"/v/a.mpg"}), (Paths{"/v", "a.mpg"}));
    EXPECT_EQ(split({"/a.mpg", "/b.mpg"}), (Paths{"/", "a.mpg", "b.mpg"}));
    // From a search or the recent list: the names keep the sub-folders, in the chooser's order.
    EXPECT_EQ(split({"/v/x/a.mpg", "/v/y/b.mpg", "/v/x/c.mpg"}),
              (Paths{"/v", "x/a.mpg", "y/b.mpg", "x/c.mpg"}));
    EXPECT_EQ(split({"/v/a.mpg", "/w/b.mpg"}), (Paths{"/", "v/a.mpg", "w/b.mpg"}));
    // A folder that only shares a prefix of its name is not the common folder.
    EXPECT_EQ(split({"/clips/a.mpg", "/clips2/b.mpg"}), (Paths{"/", "clips/a.mpg", "clips2/b.mpg"}));
}
