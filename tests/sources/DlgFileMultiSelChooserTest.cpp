// The real GTK chooser behind "+": what its Mpeg filter shows of a folder copied from a disc,
// its title and filters, its taller file list, and files chosen in it reaching the queue.
// The chooser is read and answered through GTK from a timer, so the test never waits on a user.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/display.h>
#include <wx/timer.h>

#include "app/BatchDialog.h"
#include "platform/Paths.h"
#include "sources/DlgFileMultiSel.h"
#include "support/WxTestEnvironment.h"

namespace fs = std::filesystem;

namespace {

using Names = std::set<std::string>;

// The chooser's file list: the tree view whose model holds files.
GtkTreeView* FileList(GtkWidget* widget)
{
    if (GTK_IS_TREE_VIEW(widget))
        return GTK_TREE_VIEW(widget);
    GtkTreeView* found = nullptr;
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* child = children; child && !found; child = child->next)
            found = FileList(GTK_WIDGET(child->data));
        g_list_free(children);
    }
    return found;
}

int FileColumn(GtkTreeModel* model)
{
    for (int c = 0; c < gtk_tree_model_get_n_columns(model); ++c) {
        if (gtk_tree_model_get_column_type(model, c) == G_TYPE_FILE)
            return c;
    }
    return -1;
}

// The names the list shows now.
Names ShownNames(GtkTreeView* list)
{
    Names names;
    GtkTreeModel* model = list ? gtk_tree_view_get_model(list) : nullptr;
    if (!model)
        return names;
    const int fileColumn = FileColumn(model);
    if (fileColumn < 0)
        return names;
    GtkTreeIter row;
    for (gboolean ok = gtk_tree_model_get_iter_first(model, &row); ok; ok = gtk_tree_model_iter_next(model, &row)) {
        GFile* file = nullptr;
        gtk_tree_model_get(model, &row, fileColumn, &file, -1);
        if (file) {
            char* name = g_file_get_basename(file);
            names.insert(name);
            g_free(name);
            g_object_unref(file);
        }
    }
    return names;
}

// Selects the rows of the list with these names, as clicks with Ctrl held would.
void SelectNames(GtkTreeView* list, const Names& wanted)
{
    GtkTreeModel* model = gtk_tree_view_get_model(list);
    GtkTreeSelection* selection = gtk_tree_view_get_selection(list);
    GtkTreeIter row;
    for (gboolean ok = gtk_tree_model_get_iter_first(model, &row); ok; ok = gtk_tree_model_iter_next(model, &row)) {
        GFile* file = nullptr;
        gtk_tree_model_get(model, &row, FileColumn(model), &file, -1);
        char* name = g_file_get_basename(file);
        if (wanted.count(name))
            gtk_tree_selection_select_iter(selection, &row);
        g_free(name);
        g_object_unref(file);
    }
}

int ListHeight(GtkWidget* chooser)
{
    GtkTreeView* list = FileList(chooser);
    return list ? gtk_widget_get_allocated_height(GTK_WIDGET(list)) : 0;
}

// Calls `step` every 100 ms while `dialog` runs modally; after `limit` ticks the dialog is
// cancelled, so that no failure can leave the test waiting.
class Ticker {
public:
    Ticker(wxFileDialog& dialog, int limit, std::function<void(int tick)> step)
    {
        m_timer.Bind(wxEVT_TIMER, [this, &dialog, limit, step](wxTimerEvent&) {
            if (++m_tick > limit) {
                m_timedOut = true;
                m_timer.Stop();
                dialog.EndModal(wxID_CANCEL);
                return;
            }
            step(m_tick);
        });
        m_timer.Start(100);
    }
    bool TimedOut() const { return m_timedOut; }

private:
    wxTimer m_timer;
    int m_tick = 0;
    bool m_timedOut = false;
};

class ChooserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_DISPLAY();
        std::string pattern = (fs::temp_directory_path() / "quenlar-chooser-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        for (const char* name : {"AVSEQ01.DAT", "b.mpg", "c.txt", "README"})
            std::ofstream(m_dir / name) << "x";
        platform::SetModuleFileNameForTesting((m_dir / "Quenlar").string());
    }
    void TearDown() override
    {
        CDlgFileMultiSel::SetChooser({});
        platform::SetModuleFileNameForTesting("");
        if (!m_dir.empty())
            fs::remove_all(m_dir);
    }

    fs::path m_dir;
};

}  // namespace

TEST_F(ChooserTest, MpegFilterShowsUpperCaseNamesAndChosenFilesAreQueued)
{
    const std::string folder = m_dir.string();
    const std::string wildcard = ChooserWildcard(
        "Mpeg Files (.dat;.mpg;.mpeg)|*.dat;*.mpg;*.mpeg|All Files (*.*)|*.*||");

    // The main dialog first: its style applies to every window, the chooser's rows too.
    auto* dialog = new CBatchDialog();
    ASSERT_TRUE(dialog->Create());

    // The platform's own chooser, as it opens here: its list height and window height.
    int defaultList = 0;
    int defaultWindow = 0;
    {
        wxFileDialog plain(nullptr, "plain", folder, "", wxString::FromUTF8(wildcard),
                           wxFD_OPEN | wxFD_MULTIPLE);
        Ticker ticker(plain, 100, [&](int tick) {
            if (tick < 5 || !ShownNames(FileList(plain.m_widget)).count("b.mpg"))
                return;
            defaultList = ListHeight(plain.m_widget);
            gtk_window_get_size(GTK_WINDOW(plain.m_widget), nullptr, &defaultWindow);
            plain.EndModal(wxID_CANCEL);
        });
        plain.ShowModal();
        ASSERT_FALSE(ticker.TimedOut());
    }
    ASSERT_GT(defaultList, 100);
    // Twice the height, within what the screen has room for.
    const int room = wxDisplay(0u).GetClientArea().height;
    const int expectedList = defaultList + std::min(defaultList, std::max(0, room - defaultWindow));

    std::string title;
    std::vector<std::string> filterNames;
    std::string firstFilter;
    Names mpegNames;
    Names allNames;
    int adjustedList = 0;
    bool timedOut = true;
    CDlgFileMultiSel::SetChooser([&](wxFileDialog& chooser, FileChoice& choice) {
        chooser.SetDirectory(wxString::FromUTF8(folder));
        GtkWidget* widget = chooser.m_widget;
        GtkFileChooser* files = GTK_FILE_CHOOSER(widget);
        int stage = 0;
        Ticker ticker(chooser, 150, [&](int tick) {
            const Names shown = ShownNames(FileList(widget));
            if (stage == 0) {
                // Loaded, and the list has had its chance to grow.
                if (!shown.count("b.mpg") || (ListHeight(widget) != expectedList && tick < 60))
                    return;
                if (const char* shots = std::getenv("QUENLAR_SCREENSHOT_DIR")) {
                    const std::string command = std::string("import -window root '") + shots + "/chooser-mpeg.png'";
                    EXPECT_EQ(std::system(command.c_str()), 0);
                }
                mpegNames = shown;
                adjustedList = ListHeight(widget);
                title = gtk_window_get_title(GTK_WINDOW(widget));
                GSList* filters = gtk_file_chooser_list_filters(files);
                for (GSList* f = filters; f; f = f->next)
                    filterNames.push_back(gtk_file_filter_get_name(GTK_FILE_FILTER(f->data)));
                if (GtkFileFilter* current = gtk_file_chooser_get_filter(files))
                    firstFilter = gtk_file_filter_get_name(current);
                if (filters && filters->next)
                    gtk_file_chooser_set_filter(files, GTK_FILE_FILTER(filters->next->data));
                g_slist_free(filters);
                stage = 1;
            } else if (stage == 1) {
                if (!shown.count("c.txt"))
                    return;
                allNames = shown;
                GSList* filters = gtk_file_chooser_list_filters(files);
                gtk_file_chooser_set_filter(files, GTK_FILE_FILTER(filters->data));
                g_slist_free(filters);
                stage = 2;
            } else if (stage == 2) {
                if (shown.count("c.txt"))
                    return;
                SelectNames(FileList(widget), {"b.mpg", "AVSEQ01.DAT"});
                stage = 3;
            } else if (stage == 3) {
                timedOut = false;
                gtk_dialog_response(GTK_DIALOG(widget), GTK_RESPONSE_ACCEPT);
            }
        });
        return CDlgFileMultiSel::RunNativeChooser(chooser, choice);
    });

    dialog->OnAddFiles();
    std::vector<std::string> queued;
    for (int n = 0; n < dialog->m_list.GetCount(); ++n)
        queued.push_back(dialog->m_list.GetText(n));
    dialog->Destroy();
    wxTheApp->ProcessIdle();

    EXPECT_FALSE(timedOut);
    EXPECT_EQ(mpegNames, (Names{"AVSEQ01.DAT", "b.mpg"}));
    EXPECT_EQ(allNames, (Names{"AVSEQ01.DAT", "README", "b.mpg", "c.txt"}));
    EXPECT_EQ(title, "Source Files");
    EXPECT_EQ(filterNames, (std::vector<std::string>{"Mpeg Files (.dat;.mpg;.mpeg)", "All Files (*.*)"}));
    EXPECT_EQ(firstFilter, "Mpeg Files (.dat;.mpg;.mpeg)");
    RecordProperty("defaultList", defaultList);
    RecordProperty("adjustedList", adjustedList);
    EXPECT_NEAR(adjustedList, expectedList, 2) << "default list height " << defaultList;
    // Chosen in the chooser, read back as full paths, in the chooser's order.
    EXPECT_EQ(queued, (std::vector<std::string>{(m_dir / "AVSEQ01.DAT").string(), (m_dir / "b.mpg").string()}));
}
