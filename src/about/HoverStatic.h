// CHoverStatic: a template static that acts as a button - a hand cursor, hover tracked with the
// mouse capture, and a click only when pressed on it. The base of CLinkLabel and CAboutIcon.
#pragma once

#include <wx/cursor.h>
#include <wx/weakref.h>

#include "about/StaticWindow.h"
#include "platform/WinDefs.h"

class wxMouseCaptureLostEvent;
class wxMouseEvent;

// Held by its owner window as a member and attached in the owner's OnInitDialog. UI thread only.
class CHoverStatic {
public:
    virtual ~CHoverStatic();
    CHoverStatic(const CHoverStatic&) = delete;
    CHoverStatic& operator=(const CHoverStatic&) = delete;

    // Takes over the static control `id` of `parent` (see ReplaceStatic) and attaches to it.
    BOOL SubclassDlgItem(int id, wxWindow* parent);

    // The handlers, callable as the events would call them.
    virtual void OnClicked() = 0;
    void OnMouseMove(const wxPoint& point);

    CStaticWindow* GetWindow() const { return m_pWnd.get(); }
    BOOL IsHover() const { return m_bHover; }
    const wxCursor& GetHandCursor() const { return m_hHandCursor; }

protected:
    CHoverStatic() = default;

    // The derived class's part of attaching; the notify style and the hand cursor are already set.
    virtual void PreSubclassWindow() {}
    // Hover ended because another window took the mouse, not by a move out.
    virtual void OnHoverLost() {}
    // Ends hover and sets the mouse free, which a modal box needs.
    void LeaveHover();

private:
    void LoadHandCursor();
    void OnLeftDown(wxMouseEvent& event);
    void OnMouseMoveEvent(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);

    BOOL m_bHover = FALSE;
    wxCursor m_hHandCursor;
    // The control belongs to the dialog and may go first; there is then nothing to detach.
    wxWeakRef<CStaticWindow> m_pWnd;
};
