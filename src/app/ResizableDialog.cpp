#include "app/ResizableDialog.h"

CResizableDialog::CResizableDialog(const platform::DialogTemplate& tmpl, wxWindow* parent)
    : platform::CDialog(tmpl, parent)
{
    Bind(wxEVT_SIZE, &CResizableDialog::OnSizeEvent, this);
}

BOOL CResizableDialog::OnInitDialog()
{
    platform::CDialog::OnInitDialog();
    const wxSize window = GetSize();  // the whole window, frame included
    m_nMinWidth = window.x;
    m_nMinHeight = window.y;
    m_rcLastClient = wxRect(wxPoint(0, 0), GetClientSize());
    m_szInitialClient = GetClientSize();

    // The window manager asks for the limits up front here, not on every drag.
    MINMAXINFO info{};
    OnGetMinMaxInfo(&info);
    SetMinSize(wxSize(info.ptMinTrackSize.x, info.ptMinTrackSize.y));
    return TRUE;
}

void CResizableDialog::DoDataExchange(platform::CDataExchange*)
{
}

void CResizableDialog::OnSizeEvent(wxSizeEvent& event)
{
    event.Skip();
    // Before the first show the window has no frame yet, so the minimum taken then was the
    // client size; once the window manager has framed the window, the minimum includes it.
    const wxSize frame = GetSize() - GetClientSize();
    if (IsShown() && frame != m_szFrame && (m_nMinWidth != 0 || m_nMinHeight != 0)) {
        m_szFrame = frame;
        m_nMinWidth = m_szInitialClient.x + frame.x;
        m_nMinHeight = m_szInitialClient.y + frame.y;
        SetMinSize(wxSize(m_nMinWidth, m_nMinHeight));
    }
    const wxSize client = GetClientSize();
    OnSize(IsIconized() ? SIZE_MINIMIZED : SIZE_RESTORED, client.x, client.y);
}

void CResizableDialog::OnSize(unsigned nType, int cx, int cy)
{
    if (nType == SIZE_MINIMIZED || cx < 0 || cy < 0)
        return;
    if (m_nMinWidth == 0 && m_nMinHeight == 0)
        return;
    const wxSize rc = GetClientSize();
    const int dx = rc.x - m_rcLastClient.GetWidth();
    const int dy = rc.y - m_rcLastClient.GetHeight();
    if (dx == 0 && dy == 0)
        return;
    LayoutControls(dx, dy);
    m_rcLastClient.SetWidth(rc.x);
    m_rcLastClient.SetHeight(rc.y);
}

void CResizableDialog::OnGetMinMaxInfo(MINMAXINFO* lpMMI)
{
    if (m_nMinWidth != 0 && m_nMinHeight != 0)
        lpMMI->ptMinTrackSize = wxPoint(m_nMinWidth, m_nMinHeight);
}

void CResizableDialog::MoveControl(int dx, int dy, int id)
{
    if (dx == 0 && dy == 0)
        return;
    wxWindow* child = FindWindow(id);
    if (!child)
        return;
    const wxRect rc = child->GetRect();  // a child's rectangle is in client coordinates
    child->SetSize(rc.x + dx, rc.y + dy, rc.width, rc.height, wxSIZE_ALLOW_MINUS_ONE);
    child->Refresh();
}

void CResizableDialog::GrowControl(int dx, int dy, int id)
{
    if (dx == 0 && dy == 0)
        return;
    if (wxWindow* child = FindWindow(id))
        GrowControl(dx, dy, child);
}

void CResizableDialog::GrowControl(int dx, int dy, wxWindow* window)
{
    if ((dx == 0 && dy == 0) || !window)
        return;
    const wxRect rc = window->GetRect();
    window->SetSize(rc.x, rc.y, rc.width + dx, rc.height + dy, wxSIZE_ALLOW_MINUS_ONE);
    window->Refresh();
}
