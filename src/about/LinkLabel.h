// CLinkLabel: turns a static text of a dialog template into a hyperlink - underlined, coloured by
// state, a hand cursor, its target as tooltip - that opens its target with the desktop.
#pragma once

#include <string>

#include <wx/colour.h>
#include <wx/font.h>

#include "about/HoverStatic.h"

// Held by its owner dialog as a member; attached in the owner's OnInitDialog with
// SubclassDlgItem, then given its target with SetTargetUrl. UI thread only.
class CLinkLabel final : public CHoverStatic {
public:
    static const wxColour kLinkColour;     // RGB(0, 0, 238)
    static const wxColour kVisitedColour;  // RGB(85, 26, 139)

    CLinkLabel();
    ~CLinkLabel() override;

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

    // Opens the target: visited on success, else the failure box.
    void OnClicked() override;

    const std::string& GetTargetUrl() const { return m_strUrl; }
    BOOL IsVisited() const { return m_bVisited; }
    const wxColour& GetHoverColour() const { return m_clrHover; }
    const wxFont& GetLinkFont() const { return m_font; }

private:
    void PreSubclassWindow() override;
    void OnHoverLost() override;

    wxColour m_clrLink;
    wxColour m_clrVisited;
    wxColour m_clrHover;
    BOOL m_bVisited = FALSE;
    BOOL m_bUnderline = TRUE;
    BOOL m_bFitToText = TRUE;
    std::string m_strUrl;
    wxFont m_font;
};
