// The "+" and "-" handlers of the queue, files dropped onto it or handed over by a later launch.
// Every change of the queue is saved at once.
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <wx/dnd.h>
#include <wx/listbox.h>

#include "app/BatchDialog.h"
#include "platform/MessageBox.h"
#include "platform/Utf8.h"
#include "platform/gtk/WindowAttention.h"
#include "sources/DlgFileMultiSel.h"
#include "sources/SettingsStore.h"
#include "sources/SourceListDrop.h"

namespace {

constexpr const char* kNotAddedHeading = "These files were not added to the queue:";
constexpr const char* kNotUtf8 = "its name is not UTF-8, which this program cannot keep";
constexpr const char* kTooLong = "its path is longer than 259 bytes";
constexpr const char* kNotAFile = "it is not there, or not a file";

// Why `path` cannot join the queue, or nullptr when it can.
const char* RefusalReason(const std::string& path, bool checkFile)
{
    if (wxString::FromUTF8(path).empty())
        return kNotUtf8;
    if (path.size() >= CDlgFileMultiSel::kMaxPath)
        return kTooLong;
    std::error_code error;
    if (checkFile && !std::filesystem::is_regular_file(path, error))
        return kNotAFile;
    return nullptr;
}

// A path as one readable line of a box: a long one keeps its start and its end (the name).
std::string ShortenedForBox(const std::string& path)
{
    constexpr std::size_t kHead = 40;
    constexpr std::size_t kTail = 50;
    const wxString text = wxString::FromUTF8(platform::ValidUtf8(path));
    if (text.length() <= kHead + kTail + 1)
        return text.utf8_string();
    return (text.Left(kHead) + wxString::FromUTF8("\u2026") + text.Right(kTail)).utf8_string();
}

// One box for everything a selection or a drop could not add.
void TellRefused(const std::vector<std::string>& refused)
{
    if (refused.empty())
        return;
    std::string text = kNotAddedHeading;
    for (const std::string& path : refused)
        text += "\n" + ShortenedForBox(path) + " (" + RefusalReason(path, true) + ")";
    platform::AfxMessageBox(text);
}

// Appends `path` unless the list holds it already, in any letter case.
void QueueSourceFile(CBatchDialog& dialog, const std::string& path)
{
    if (dialog.m_list.FindStringExact(-1, path) == platform::CListBox::LB_ERR)
        dialog.AddSourceFile(path, dialog.m_list);
}

class SourceFileDropTarget : public wxFileDropTarget {
public:
    explicit SourceFileDropTarget(CBatchDialog& dialog) : m_dialog(dialog) {}

    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override
    {
        std::vector<std::string> paths;
        for (const wxString& name : names) {
            // The name's own bytes: the toolkit keeps a name that is not UTF-8 as escapes,
            // which its file-name conversion turns back.
            const std::string path(name.fn_str());
            std::error_code error;
            if (!std::filesystem::is_directory(path, error))  // a folder is not a file to encode
                paths.push_back(path);
        }
        m_dialog.QueueSourceFiles(paths);
        return true;
    }

private:
    CBatchDialog& m_dialog;
};

}  // namespace

void AcceptDroppedSourceFiles(CBatchDialog& dialog)
{
    if (wxListBox* list = dialog.m_list.GetWindow())
        list->SetDropTarget(new SourceFileDropTarget(dialog));
}

std::vector<std::string> CBatchDialog::QueueAndSave(const std::vector<std::string>& paths)
{
    const int before = m_list.GetCount();
    std::vector<std::string> refused;
    for (const std::string& path : paths) {
        if (RefusalReason(path, true))
            refused.push_back(path);
        else
            QueueSourceFile(*this, path);
    }
    // Saved at once, so that a crash or a power cut before the next checkpoint loses nothing.
    if (m_list.GetCount() != before)
        SaveQueueAndLog();
    return refused;
}

void CBatchDialog::QueueSourceFiles(const std::vector<std::string>& paths)
{
    TellRefused(QueueAndSave(paths));
}

void CBatchDialog::OnOpenFromLaunch(const std::vector<std::string>& files, const std::string& startupId)
{
    // Queued before anything else happens: a close that follows saves them.
    const std::vector<std::string> refused = QueueAndSave(files);
    // The user just asked for this window, so it may take the focus; only then the box.
    platform::gtk::AdoptLaunchStartupId(*this, startupId);
    BringWindowToFront(this);
    if (!refused.empty())
        CallAfter([refused] { TellRefused(refused); });
}

void CBatchDialog::OnAddFiles()
{
    CDlgFileMultiSel dialog(TRUE, nullptr, "*.dat;*.mpg;*.mpeg",
                            OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                            "Mpeg Files (.dat;.mpg;.mpeg)|*.dat;*.mpg;*.mpeg|All Files (*.*)|*.*||", this);
    dialog.SetTitle("Source Files");
    if (dialog.DoModal() != IDOK)
        return;
    // Redraw what the chooser covered before the list fills.
    Refresh();
    Update();
    std::vector<std::string> refused;
    const int before = m_list.GetCount();
    char path[CDlgFileMultiSel::kMaxPath];
    while (dialog.GetNextPath(path)) {
        if (RefusalReason(path, false))
            refused.push_back(path);
        else
            QueueSourceFile(*this, path);
    }
    if (m_list.GetCount() != before)
        SaveQueueAndLog();
    // Refused while handing out: too long to hold.
    refused.insert(refused.end(), dialog.GetRefusedPaths().begin(), dialog.GetRefusedPaths().end());
    TellRefused(refused);
}

void CBatchDialog::AddSourceFile(const std::string& path, platform::CListBox& list)
{
    if (list.GetWindow()) {
        const int width = list.GetTextWidth(path) + 5;
        if (list.GetHorizontalExtent() < width)
            list.SetHorizontalExtent(width);
    }
    list.AddString(path);
}

void CBatchDialog::OnRemoveFiles()
{
    if (m_list.GetCount() < 1) {
        platform::AfxMessageBox("Sorry, nothing to delete.");
        return;
    }
    if (m_list.GetSelCount() < 1) {
        platform::AfxMessageBox("Please select the files you want ro delete from the list.");
        return;
    }
    std::vector<int> selected = m_list.GetSelItems();
    std::sort(selected.begin(), selected.end());
    // From the highest index down, so that the indices still to go stay valid.
    for (auto index = selected.rbegin(); index != selected.rend(); ++index) {
        m_list.DeleteString(*index);
        // Keep following the entry being encoded.
        if (*index == m_nEncodingEntry)
            m_nEncodingEntry = -1;
        else if (*index < m_nEncodingEntry)
            --m_nEncodingEntry;
    }
    SaveQueueAndLog();
}
