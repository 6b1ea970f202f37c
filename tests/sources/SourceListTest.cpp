// The queue on the real main dialog: adding through "+" (the chooser answered by the test),
// removing through "-", the horizontal extent, and files dropped onto the list.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/dnd.h>
#include <wx/listbox.h>

#include "app/BatchDialog.h"
#include "platform/Paths.h"
#include "platform/PrivateProfile.h"
#include "sources/DlgFileMultiSel.h"
#include "support/MessageBoxRecorder.h"
#include "support/WxTestEnvironment.h"

namespace fs = std::filesystem;

namespace {

using Paths = std::vector<std::string>;

class SourceListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_DISPLAY();
        std::string pattern = (fs::temp_directory_path() / "quenlar-list-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        // No settings file beside this "executable": the queue starts empty.
        platform::SetModuleFileNameForTesting((m_dir / "Quenlar").string());
        m_dialog = new CBatchDialog();
        ASSERT_TRUE(m_dialog->Create());
        ASSERT_EQ(m_dialog->m_list.GetCount(), 0);
    }
    void TearDown() override
    {
        CDlgFileMultiSel::SetChooser({});
        if (m_dialog) {
            m_dialog->Destroy();
            wxTheApp->ProcessIdle();
        }
        platform::SetModuleFileNameForTesting("");
        if (!m_dir.empty())
            fs::remove_all(m_dir);
    }

    // "+" with the chooser answering `choice`; records what the chooser was given.
    void AddThroughChooser(const FileChoice& choice)
    {
        CDlgFileMultiSel::SetChooser([this, choice](wxFileDialog& chooser, FileChoice& out) {
            m_title = chooser.GetTitle().utf8_string();
            m_wildcard = chooser.GetWildcard().utf8_string();
            m_style = chooser.GetWindowStyleFlag();
            out = choice;
            return IDOK;
        });
        m_dialog->OnAddFiles();
    }

    Paths Entries() const
    {
        Paths entries;
        for (int n = 0; n < m_dialog->m_list.GetCount(); ++n)
            entries.push_back(m_dialog->m_list.GetText(n));
        return entries;
    }

    void Fill(const Paths& paths)
    {
        for (const std::string& path : paths)
            m_dialog->m_list.AddString(path);
    }

    int PixelWidth(const std::string& text) const
    {
        return m_dialog->m_list.GetWindow()->GetTextExtent(wxString::FromUTF8(text)).GetWidth();
    }

    // The queue as the settings file holds it now.
    Paths SavedQueue() const
    {
        const PrivateProfile profile((m_dir / "Quenlar.ini").string());
        Paths saved;
        for (int n = 0; n < profile.GetInt("Source", "Count", 0); ++n)
            saved.push_back(profile.GetString("Source", std::to_string(n), ""));
        return saved;
    }

    std::string MakeFile(const std::string& name)
    {
        const fs::path path = m_dir / name;
        std::ofstream(path) << "x";
        return path.string();
    }

    fs::path m_dir;
    CBatchDialog* m_dialog = nullptr;
    std::string m_title;
    std::string m_wildcard;
    long m_style = 0;
};

}  // namespace

TEST_F(SourceListTest, AddsNewFilesInOrderAndSkipsQueuedOnesInAnyCase)
{
    Fill({"/V/CLIP A.MPG", "/v/b.mpg"});
    AddThroughChooser({"/v", {"new2.dat", "clip a.mpg", "B.mpg", "new1.mpeg"}});
    EXPECT_EQ(Entries(), (Paths{"/V/CLIP A.MPG", "/v/b.mpg", "/v/new2.dat", "/v/new1.mpeg"}));
    EXPECT_EQ(SavedQueue(), Entries()) << "saved as soon as it changed";

    // The chooser as "+" sets it up.
    EXPECT_EQ(m_title, "Source Files");
    EXPECT_EQ(m_wildcard, "Mpeg Files (.dat;.mpg;.mpeg)|*.[dD][aA][tT];*.[mM][pP][gG];*.[mM][pP][eE][gG]"
                          "|All Files (*.*)|*");
    EXPECT_TRUE(m_style & wxFD_OPEN);
    EXPECT_TRUE(m_style & wxFD_MULTIPLE);
    EXPECT_TRUE(m_style & wxFD_FILE_MUST_EXIST);

    // A whole-string match only: a longer path that starts with a queued one is new.
    AddThroughChooser({"/v", {"b.mpg.bak"}});
    EXPECT_EQ(Entries().back(), "/v/b.mpg.bak");

    // Cancelled: nothing changes.
    CDlgFileMultiSel::SetChooser([](wxFileDialog&, FileChoice& out) {
        out = {"/v", {"c.mpg"}};
        return IDCANCEL;
    });
    m_dialog->OnAddFiles();
    EXPECT_EQ(m_dialog->m_list.GetCount(), 5);
}

TEST_F(SourceListTest, FilesThatCannotBeQueuedAreToldInOneBox)
{
    MessageBoxRecorder boxes;
    const std::string longName = std::string(270, 'L') + ".mpg";
    AddThroughChooser({"/v", {"caf\xE9.mpg", "ok.mpg", longName, "\xFF\xFE.dat"}});
    EXPECT_EQ(Entries(), (Paths{"/v/ok.mpg"}));
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text,
              "These files were not added to the queue:\n"
              "/v/caf\uFFFD.mpg (its name is not UTF-8, which this program cannot keep)\n"
              "/v/\uFFFD\uFFFD.dat (its name is not UTF-8, which this program cannot keep)\n"
              "/v/" + std::string(37, 'L') + "\u2026" + std::string(46, 'L') + ".mpg (its path is longer than 259 bytes)");
    EXPECT_EQ(boxes.Calls()[0].type, MB_OK | MB_ICONEXCLAMATION);

    // One file alone, too long: told as well; a selection without refusals shows no box.
    AddThroughChooser({"/w", {longName}});
    ASSERT_EQ(boxes.Calls().size(), 2u);
    EXPECT_EQ(boxes.Calls()[1].text,
              "These files were not added to the queue:\n/w/" + std::string(37, 'L') + "\u2026" +
                  std::string(46, 'L') + ".mpg (its path is longer than 259 bytes)");
    AddThroughChooser({"/v", {"fine.mpg"}});
    EXPECT_EQ(boxes.Calls().size(), 2u);
}

TEST_F(SourceListTest, RemovesTheSelectedEntriesOrSaysWhy)
{
    MessageBoxRecorder boxes;
    m_dialog->OnRemoveFiles();
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "Sorry, nothing to delete.");
    EXPECT_EQ(boxes.Calls()[0].type, MB_OK | MB_ICONEXCLAMATION);

    Fill({"/q/0", "/q/1", "/q/2", "/q/3", "/q/4", "/q/5"});
    m_dialog->OnRemoveFiles();
    ASSERT_EQ(boxes.Calls().size(), 2u);
    EXPECT_EQ(boxes.Calls()[1].text, "Please select the files you want ro delete from the list.");
    EXPECT_EQ(boxes.Calls()[1].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(m_dialog->m_list.GetCount(), 6);

    m_dialog->m_list.SetSel(4);
    m_dialog->m_list.SetSel(1);
    m_dialog->m_list.SetSel(3);
    m_dialog->OnRemoveFiles();
    EXPECT_EQ(Entries(), (Paths{"/q/0", "/q/2", "/q/5"}));
    EXPECT_EQ(SavedQueue(), Entries()) << "saved as soon as it changed";
    EXPECT_EQ(boxes.Calls().size(), 2u);
}

TEST_F(SourceListTest, ExtentFollowsTheWidestPathAddedAndNeverNarrows)
{
    platform::CListBox& list = m_dialog->m_list;
    const std::string wide = "/media/archive/" + std::string(120, 'W') + ".mpg";
    const std::string narrow = "/media/n.mpg";

    AddThroughChooser({"/media", {"n.mpg"}});
    EXPECT_EQ(list.GetHorizontalExtent(), PixelWidth(narrow) + 5);
    AddThroughChooser({"/media/archive", {std::string(120, 'W') + ".mpg"}});
    const int extent = list.GetHorizontalExtent();
    EXPECT_EQ(extent, PixelWidth(wide) + 5);
    EXPECT_GT(extent, PixelWidth(narrow) + 5);

    AddThroughChooser({"/media", {"m.mpg"}});
    EXPECT_EQ(list.GetHorizontalExtent(), extent);

    list.SetSel(1);
    m_dialog->OnRemoveFiles();
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetHorizontalExtent(), extent);

    // The extent is the scroll range on screen, even with only short entries left.
    list.SetHorizontalExtent(3000);
    m_dialog->Show();
    GtkAdjustment* across = gtk_scrollable_get_hadjustment(GTK_SCROLLABLE(list.GetWindow()->m_treeview));
    for (int n = 0; n < 200 && gtk_adjustment_get_upper(across) < 3000; ++n) {
        wxTheApp->Yield(true);
        g_usleep(10000);
    }
    EXPECT_GE(gtk_adjustment_get_upper(across), 3000);
    EXPECT_LT(gtk_adjustment_get_page_size(across), gtk_adjustment_get_upper(across));
}

TEST_F(SourceListTest, DroppedFilesJoinAsIfChosenFoldersAreIgnoredTheRestTold)
{
    const std::string clip = MakeFile("clip.mpg");
    const std::string queued = MakeFile("Queued.DAT");
    fs::create_directory(m_dir / "folder.mpg");
    const std::string fifo = (m_dir / "pipe.mpg").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string upper = queued;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    Fill({upper});

    auto* target = dynamic_cast<wxFileDropTarget*>(m_dialog->m_list.GetWindow()->GetDropTarget());
    ASSERT_NE(target, nullptr);
    wxArrayString dropped;
    for (const std::string& path : {clip, (m_dir / "folder.mpg").string(), clip, queued, fifo,
                                    (m_dir / "missing.mpg").string()})
        dropped.Add(wxString::FromUTF8(path));
    // A Latin-1 name arrives as the toolkit makes it of the dropped bytes.
    const std::string latin1 = MakeFile("caf\xE9.mpg");
    dropped.Add(wxString(latin1.c_str(), *wxConvFileName));
    MessageBoxRecorder boxes;
    target->OnDropFiles(0, 0, dropped);

    EXPECT_EQ(Entries(), (Paths{upper, clip}));
    EXPECT_EQ(SavedQueue(), Entries()) << "saved as soon as it changed";
    EXPECT_EQ(m_dialog->m_list.GetHorizontalExtent(), PixelWidth(clip) + 5);
    // What is neither queued nor a folder is told, in one box.
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "These files were not added to the queue:\n" + fifo +
                                         " (it is not there, or not a file)\n" + (m_dir / "missing.mpg").string() +
                                         " (it is not there, or not a file)\n" + (m_dir / "caf\uFFFD.mpg").string() +
                                         " (its name is not UTF-8, which this program cannot keep)");
}

TEST_F(SourceListTest, FilesFromTheCommandLineAreQueuedAsPlusWould)
{
    const std::string clip = MakeFile("clip.mpg");
    MessageBoxRecorder boxes;
    auto* started = new CBatchDialog();
    started->SetStartupFiles({clip, (m_dir / "missing.mpg").string(), clip});
    ASSERT_TRUE(started->Create());
    EXPECT_EQ(started->m_list.GetCount(), 1);
    EXPECT_EQ(started->m_list.GetText(0), clip);
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "These files were not added to the queue:\n" + (m_dir / "missing.mpg").string() +
                                         " (it is not there, or not a file)");
    started->Destroy();
    wxTheApp->ProcessIdle();
}
