// The "+" and "-" handlers of the queue, and files dropped onto it.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include <wx/dnd.h>
#include <wx/listbox.h>

#include "app/BatchDialog.h"
#include "platform/MessageBox.h"
#include "sources/DlgFileMultiSel.h"
#include "sources/SourceListDrop.h"

namespace {

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
        for (const wxString& name : names) {
            const std::string path = name.utf8_string();
            std::error_code error;
            // Queued paths hold what a path buffer holds, as chosen ones do.
            if (path.size() >= CDlgFileMultiSel::kMaxPath || !std::filesystem::is_regular_file(path, error))
                continue;
            QueueSourceFile(m_dialog, path);
        }
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
    char path[CDlgFileMultiSel::kMaxPath];
    while (dialog.GetNextPath(path))
        QueueSourceFile(*this, path);
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
    for (auto index = selected.rbegin(); index != selected.rend(); ++index)
        m_list.DeleteString(*index);
}
