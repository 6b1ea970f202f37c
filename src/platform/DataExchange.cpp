#include "platform/DataExchange.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/textctrl.h>
#include <wx/window.h>

#include "platform/Controls.h"
#include "platform/MessageBox.h"

namespace platform {

const char* const kParseIntMessage = "请键入一个整数。";

CDataExchange::CDataExchange(wxWindow* dialog, bool saveAndValidate)
    : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog)
{
}

wxWindow* CDataExchange::PrepareCtrl(int id)
{
    m_lastControl = m_pDlgWnd->FindWindow(id);
    return m_lastControl;
}

void CDataExchange::Fail()
{
    if (m_lastControl)
        m_lastControl->SetFocus();
    throw DataExchangeFailure();
}

bool ParseIntField(const std::string& text, int& value)
{
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t')
        ++begin;
    if (*begin == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0')
        return false;
    value = static_cast<int>(parsed);
    return true;
}

namespace {

template <class Control>
void BindControl(CDataExchange* pDX, int id, Control& control)
{
    control.Attach(pDX->PrepareCtrl(id));
}

}  // namespace

void DDX_Control(CDataExchange* pDX, int id, CProgressCtrl& control)
{
    BindControl(pDX, id, control);
}

void DDX_Control(CDataExchange* pDX, int id, CEdit& control)
{
    BindControl(pDX, id, control);
}

void DDX_Control(CDataExchange* pDX, int id, CListBox& control)
{
    BindControl(pDX, id, control);
}

void DDX_Text(CDataExchange* pDX, int id, int& value)
{
    auto* text = dynamic_cast<wxTextCtrl*>(pDX->PrepareCtrl(id));
    if (!text)
        return;
    if (!pDX->m_bSaveAndValidate) {
        text->ChangeValue(wxString::Format("%d", value));
        return;
    }
    int parsed = 0;
    if (!ParseIntField(text->GetValue().utf8_string(), parsed)) {
        AfxMessageBox(kParseIntMessage);
        pDX->Fail();
    }
    value = parsed;
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value)
{
    auto* text = dynamic_cast<wxTextCtrl*>(pDX->PrepareCtrl(id));
    if (!text)
        return;
    if (pDX->m_bSaveAndValidate)
        value = text->GetValue().utf8_string();
    else
        text->ChangeValue(wxString::FromUTF8(value));
}

void DDX_Check(CDataExchange* pDX, int id, BOOL& value)
{
    auto* check = dynamic_cast<wxCheckBox*>(pDX->PrepareCtrl(id));
    if (!check)
        return;
    if (pDX->m_bSaveAndValidate)
        value = check->GetValue() ? TRUE : FALSE;
    else
        check->SetValue(value != FALSE);
}

void DDX_CBIndex(CDataExchange* pDX, int id, int& index)
{
    auto* choice = dynamic_cast<wxChoice*>(pDX->PrepareCtrl(id));
    if (!choice)
        return;
    if (pDX->m_bSaveAndValidate) {
        index = choice->GetSelection();
        return;
    }
    // An index outside the rows leaves no row selected, as the list control does.
    const bool inRange = index >= 0 && index < static_cast<int>(choice->GetCount());
    choice->SetSelection(inRange ? index : wxNOT_FOUND);
}

}  // namespace platform
