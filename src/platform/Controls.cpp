#include "platform/Controls.h"

#include <algorithm>

#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>

#if defined(__WXGTK__)
#include <gtk/gtk.h>
#endif

namespace platform {

namespace {

wxString Wx(const std::string& text)
{
    return wxString::FromUTF8(text);
}

std::string Utf8(const wxString& text)
{
    return text.utf8_string();
}

}  // namespace

void CProgressCtrl::Attach(wxWindow* window)
{
    m_gauge = dynamic_cast<wxGauge*>(window);
}

void CProgressCtrl::SetRange(int lower, int upper)
{
    m_lower = lower;
    m_gauge->SetRange(upper - lower);
}

void CProgressCtrl::SetPos(int pos)
{
    const int range = m_gauge->GetRange();
    m_gauge->SetValue(std::clamp(pos - m_lower, 0, range));
}

int CProgressCtrl::GetPos() const
{
    return m_gauge->GetValue() + m_lower;
}

void CEdit::Attach(wxWindow* window)
{
    m_text = dynamic_cast<wxTextCtrl*>(window);
}

std::string CEdit::GetWindowText() const
{
    return Utf8(m_text->GetValue());
}

void CEdit::SetWindowText(const std::string& text)
{
    m_text->ChangeValue(Wx(text));
}

int CEdit::GetWindowTextLength() const
{
    return static_cast<int>(m_text->GetLastPosition());
}

void CEdit::SetSel(long start, long end)
{
    m_text->SetSelection(start, end);
}

void CEdit::ScrollCaret()
{
    m_text->ShowPosition(m_text->GetInsertionPoint());
}

void CEdit::ReplaceSel(const std::string& text)
{
    long from = 0;
    long to = 0;
    m_text->GetSelection(&from, &to);
    m_text->Replace(from, to, Wx(text));
}

void CListBox::Attach(wxWindow* window)
{
    m_list = dynamic_cast<wxListBox*>(window);
}

int CListBox::GetCount() const
{
    return static_cast<int>(m_list->GetCount());
}

std::string CListBox::GetText(int index) const
{
    if (index < 0 || index >= GetCount())
        return std::string();
    return Utf8(m_list->GetString(static_cast<unsigned>(index)));
}

int CListBox::AddString(const std::string& text)
{
    return m_list->Append(Wx(text));
}

int CListBox::DeleteString(int index)
{
    if (index < 0 || index >= GetCount())
        return LB_ERR;
    m_list->Delete(static_cast<unsigned>(index));
    return GetCount();
}

void CListBox::ResetContent()
{
    m_list->Clear();
}

int CListBox::FindStringExact(int startAfter, const std::string& text) const
{
    const wxString wanted = Wx(text);
    const int count = GetCount();
    for (int n = 0; n < count; ++n) {
        const int index = (startAfter + 1 + n) % count;
        if (m_list->GetString(static_cast<unsigned>(index)).IsSameAs(wanted, false))
            return index;
    }
    return LB_ERR;
}

int CListBox::GetSelCount() const
{
    wxArrayInt selections;
    return m_list->GetSelections(selections);
}

std::vector<int> CListBox::GetSelItems() const
{
    wxArrayInt selections;
    m_list->GetSelections(selections);
    return std::vector<int>(selections.begin(), selections.end());
}

void CListBox::SetSel(int index, bool select)
{
    m_list->SetSelection(index, select);
}

int CListBox::GetHorizontalExtent() const
{
    return m_horizontalExtent;
}

void CListBox::SetHorizontalExtent(int extent)
{
    m_horizontalExtent = extent;
#if defined(__WXGTK__)
    // The list is a one-column tree view: a column at least this wide gives the scroll range.
    if (GtkTreeViewColumn* column = gtk_tree_view_get_column(m_list->m_treeview, 0))
        gtk_tree_view_column_set_min_width(column, std::max(extent, 0));
#endif
}

int CListBox::GetTextWidth(const std::string& text) const
{
    return m_list->GetTextExtent(Wx(text)).GetWidth();
}

}  // namespace platform
