#include "about/AboutIcon.h"

#include <wx/app.h>
#include <wx/toplevel.h>

#include "about/AboutDialog.h"

namespace {

// The title is read as into an 80-character buffer with its terminator.
constexpr size_t kTitleChars = 79;

}  // namespace

std::string AboutToolTipText(const std::string& title)
{
    // Cut by characters, never inside a multi-byte one.
    return "About " + wxString::FromUTF8(title).Left(kTitleChars).utf8_string();
}

CAboutIcon::~CAboutIcon()
{
    CStaticWindow* wnd = m_pWnd.get();
    if (!wnd)
        return;
    if (wnd->HasCapture())
        wnd->ReleaseMouse();
    wnd->Unbind(wxEVT_LEFT_DOWN, &CAboutIcon::OnLeftDown, this);
    wnd->Unbind(wxEVT_MOTION, &CAboutIcon::OnMouseMoveEvent, this);
    wnd->Unbind(wxEVT_MOUSE_CAPTURE_LOST, &CAboutIcon::OnCaptureLost, this);
}

BOOL CAboutIcon::SubclassDlgItem(int id, wxWindow* parent)
{
    CStaticWindow* wnd = ReplaceStatic(parent, id);
    if (!wnd)
        return FALSE;
    m_pWnd = wnd;
    PreSubclassWindow();
    wnd->Bind(wxEVT_LEFT_DOWN, &CAboutIcon::OnLeftDown, this);
    wnd->Bind(wxEVT_MOTION, &CAboutIcon::OnMouseMoveEvent, this);
    wnd->Bind(wxEVT_MOUSE_CAPTURE_LOST, &CAboutIcon::OnCaptureLost, this);
    return TRUE;
}

void CAboutIcon::PreSubclassWindow()
{
    CStaticWindow* wnd = m_pWnd.get();
    wnd->SetStaticStyle(wnd->GetStaticStyle() | SS_NOTIFY);
    LoadHandCursor();
    if (m_hHandCursor.IsOk())
        wnd->SetCursor(m_hHandCursor);
    // Built once: a later change of the title does not reach the tooltip.
    std::string title;
    if (auto* main = dynamic_cast<wxTopLevelWindow*>(wxTheApp ? wxTheApp->GetTopWindow() : nullptr))
        title = main->GetTitle().utf8_string();
    wnd->SetToolTip(wxString::FromUTF8(AboutToolTipText(title)));
}

void CAboutIcon::LoadHandCursor()
{
    if (!m_hHandCursor.IsOk())
        m_hHandCursor = wxCursor(wxCURSOR_HAND);
}

void CAboutIcon::OnClicked()
{
    // The mouse is set free before the box opens.
    LeaveHover();
    CAboutDialog dlg;
    dlg.DoModal();
}

void CAboutIcon::OnMouseMove(const wxPoint& point)
{
    CStaticWindow* wnd = m_pWnd.get();
    if (!wnd)
        return;
    if (m_bHover) {
        if (!wxRect(wnd->GetClientSize()).Contains(point))
            LeaveHover();
        return;
    }
    m_bHover = TRUE;
    wnd->Refresh();
    wnd->Update();
    if (!wnd->HasCapture())
        wnd->CaptureMouse();
}

void CAboutIcon::LeaveHover()
{
    m_bHover = FALSE;
    CStaticWindow* wnd = m_pWnd.get();
    if (!wnd)
        return;
    if (wnd->HasCapture())
        wnd->ReleaseMouse();
    wnd->Refresh();
    wnd->Update();
}

void CAboutIcon::OnLeftDown(wxMouseEvent& event)
{
    event.Skip();
    // While captured, a press anywhere reaches the icon; only one on it is a click.
    if (m_pWnd && wxRect(m_pWnd->GetClientSize()).Contains(event.GetPosition()))
        OnClicked();
}

void CAboutIcon::OnMouseMoveEvent(wxMouseEvent& event)
{
    event.Skip();
    OnMouseMove(event.GetPosition());
}

void CAboutIcon::OnCaptureLost(wxMouseCaptureLostEvent&)
{
    m_bHover = FALSE;
}
