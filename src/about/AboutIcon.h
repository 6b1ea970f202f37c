// CAboutIcon: the application icon of the main window as a button - a hand cursor, the tooltip
// "About " and the main window's title - that opens the About box.
#pragma once

#include <string>

#include <wx/cursor.h>
#include <wx/weakref.h>

#include "about/StaticWindow.h"
#include "platform/WinDefs.h"

class wxMouseCaptureLostEvent;
class wxMouseEvent;

// The tooltip for a main-window title: "About " and at most the first 79 characters of the title.
std::string AboutToolTipText(const std::string& title);

// A member of the main dialog, attached in its OnInitDialog. UI thread only.
class CAboutIcon {
public:
    CAboutIcon() = default;
    ~CAboutIcon();
    CAboutIcon(const CAboutIcon&) = delete;
    CAboutIcon& operator=(const CAboutIcon&) = delete;

    // Takes over the icon static `id` of `parent` (see ReplaceStatic) and attaches to it.
    BOOL SubclassDlgItem(int id, wxWindow* parent);

    // The handlers, callable as the events would call them. OnClicked runs the About box modally.
    void OnClicked();
    void OnMouseMove(const wxPoint& point);

    CStaticWindow* GetWindow() const { return m_pWnd.get(); }
    BOOL IsHover() const { return m_bHover; }
    const wxCursor& GetHandCursor() const { return m_hHandCursor; }

private:
    void PreSubclassWindow();
    void LoadHandCursor();
    void LeaveHover();
    void OnLeftDown(wxMouseEvent& event);
    void OnMouseMoveEvent(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);

    BOOL m_bHover = FALSE;
    wxCursor m_hHandCursor;
    wxWeakRef<CStaticWindow> m_pWnd;
};
