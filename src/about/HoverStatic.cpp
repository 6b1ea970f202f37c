#include "about/HoverStatic.h"

CHoverStatic::~CHoverStatic()
{
    CStaticWindow* wnd = m_pWnd.get();
    if (!wnd)
        return;
    if (wnd->HasCapture())
        wnd->ReleaseMouse();
    wnd->Unbind(wxEVT_LEFT_DOWN, &CHoverStatic::OnLeftDown, this);
    wnd->Unbind(wxEVT_MOTION, &CHoverStatic::OnMouseMoveEvent, this);
    wnd->Unbind(wxEVT_MOUSE_CAPTURE_LOST, &CHoverStatic::OnCaptureLost, this);
}

BOOL CHoverStatic::SubclassDlgItem(int id, wxWindow* parent)
{
    CStaticWindow* wnd = ReplaceStatic(parent, id);
    if (!wnd)
        return FALSE;
    m_pWnd = wnd;
    wnd->SetStaticStyle(wnd->GetStaticStyle() | SS_NOTIFY);
    LoadHandCursor();
    if (m_hHandCursor.IsOk())
        wnd->SetCursor(m_hHandCursor);
    PreSubclassWindow();
    wnd->Bind(wxEVT_LEFT_DOWN, &CHoverStatic::OnLeftDown, this);
    wnd->Bind(wxEVT_MOTION, &CHoverStatic::OnMouseMoveEvent, this);
    wnd->Bind(wxEVT_MOUSE_CAPTURE_LOST, &CHoverStatic::OnCaptureLost, this);
    return TRUE;
}

void CHoverStatic::LoadHandCursor()
{
    if (!m_hHandCursor.IsOk())
        m_hHandCursor = wxCursor(wxCURSOR_HAND);
}

void CHoverStatic::OnMouseMove(const wxPoint& point)
{
    CStaticWindow* wnd = m_pWnd.get();
    if (!wnd)
        return;
    if (m_bHover) {
        // The right and bottom edges are outside, as for any rectangle test of the platform.
        if (!wxRect(wnd->GetClientSize()).Contains(point))
            LeaveHover();
        return;
    }
    m_bHover = TRUE;
    wnd->Refresh();
    wnd->Update();
    // Captured, the control keeps getting moves after the pointer has left it.
    if (!wnd->HasCapture())
        wnd->CaptureMouse();
}

void CHoverStatic::LeaveHover()
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

void CHoverStatic::OnLeftDown(wxMouseEvent& event)
{
    event.Skip();
    // While captured, a press anywhere reaches the control; only one on it is a click.
    if (m_pWnd && wxRect(m_pWnd->GetClientSize()).Contains(event.GetPosition()))
        OnClicked();
}

void CHoverStatic::OnMouseMoveEvent(wxMouseEvent& event)
{
    event.Skip();
    OnMouseMove(event.GetPosition());
}

void CHoverStatic::OnCaptureLost(wxMouseCaptureLostEvent&)
{
    // Another window took the mouse: the control can no longer tell when the pointer leaves.
    m_bHover = FALSE;
    OnHoverLost();
}
