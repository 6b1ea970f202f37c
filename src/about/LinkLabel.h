// CLinkLabel: turns a static text of a dialog template into a hyperlink - underlined, coloured by
// state, a hand cursor, its target as tooltip - that opens its target with the desktop.
#pragma once

#include <string>

#include <wx/colour.h>
#include <wx/cursor.h>
#include <wx/font.h>
#include <wx/weakref.h>

#include "about/StaticWindow.h"
#include "platform/WinDefs.h"

class wxMouseCaptureLostEvent;
class wxMouseEvent;

// Held by its owner dialog as a member; attached in the owner's OnInitDialog with
// SubclassDlgItem, then given its target with SetTargetUrl. UI thread only.
class CLinkLabel {
public:
    static const wxColour kLinkColour;     // RGB(0, 0, 238)
    static const wxColour kVisitedColour;  // RGB(85, 26, 139)

    CLinkLabel();
    ~CLinkLabel();
    CLinkLabel(const CLinkLabel&) = delete;
    CLinkLabel& operator=(const CLinkLabel&) = delete;

    // Takes over the static control `id` of `parent` (see ReplaceStatic) and attaches to it.
    BOOL SubclassDlgItem(int id, wxWindow* parent);

    // Stores the target; once attached, also refits the control and retitles the tooltip.
    void SetTargetUrl(const std::string& url);
    void MarkVisited(BOOL visited);

    // Opens a target with the desktop; a ShellCode, above 32 on success. Uses no state of a label.
    static int OpenUrl(const std::string& target);
    // The failure box for a code, with the exclamation icon.
    static void ShowOpenError(int code);

    // Resizes the control to the extent of its text, keeping the edge its alignment names.
    void FitToText();
    // The text colour for the current state: hover wins over visited.
    wxColour CtlColor() const;

    // The handlers, callable as the events would call them.
    void OnClicked();
    void OnMouseMove(const wxPoint& point);

    CStaticWindow* GetWindow() const { return m_pWnd.get(); }
    const std::string& GetTargetUrl() const { return m_strUrl; }
    BOOL IsHover() const { return m_bHover; }
    BOOL IsVisited() const { return m_bVisited; }
    const wxColour& GetHoverColour() const { return m_clrHover; }
    const wxFont& GetLinkFont() const { return m_font; }
    const wxCursor& GetHandCursor() const { return m_hHandCursor; }

private:
    void PreSubclassWindow();
    void LoadHandCursor();
    void LeaveHover();
    void OnLeftDown(wxMouseEvent& event);
    void OnMouseMoveEvent(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);

    wxColour m_clrLink;
    wxColour m_clrVisited;
    wxColour m_clrHover;
    BOOL m_bHover = FALSE;
    BOOL m_bVisited = FALSE;
    BOOL m_bUnderline = TRUE;
    BOOL m_bFitToText = TRUE;
    std::string m_strUrl;
    wxFont m_font;
    wxCursor m_hHandCursor;
    // The control belongs to the dialog and may go first; the label then has nothing to detach.
    wxWeakRef<CStaticWindow> m_pWnd;
};
