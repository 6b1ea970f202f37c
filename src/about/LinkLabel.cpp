#include "about/LinkLabel.h"

#include <wx/dcclient.h>
#include <wx/settings.h>
#include <wx/utils.h>

#include "platform/MessageBox.h"
#include "platform/Shell.h"

const wxColour CLinkLabel::kLinkColour(0, 0, 238);
const wxColour CLinkLabel::kVisitedColour(85, 26, 139);

CLinkLabel::CLinkLabel()
    : m_clrLink(kLinkColour),
      m_clrVisited(kVisitedColour),
      m_clrHover(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT))
{
}

CLinkLabel::~CLinkLabel()
{
    // The window may outlive the label; it must not ask a gone label for its colour.
    if (CStaticWindow* wnd = GetWindow())
        wnd->SetColourSource({});
}

void CLinkLabel::PreSubclassWindow()
{
    CStaticWindow* wnd = GetWindow();
    if (m_strUrl.empty())
        m_strUrl = wnd->GetLabel().utf8_string();
    if (wnd->GetLabel().empty())
        wnd->SetLabel(wxString::FromUTF8(m_strUrl));

    // Every control of a template dialog has the dialog's font; a bare window falls back to the
    // desktop's.
    m_font = wnd->GetFont().IsOk() ? wnd->GetFont() : wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    m_font.SetUnderlined(m_bUnderline != FALSE);
    wnd->SetFont(m_font);
    wnd->Refresh();

    FitToText();
    wnd->SetToolTip(wxString::FromUTF8(m_strUrl));
    wnd->SetColourSource([this] { return CtlColor(); });
}

void CLinkLabel::SetTargetUrl(const std::string& url)
{
    m_strUrl = url;
    if (CStaticWindow* wnd = GetWindow()) {
        FitToText();
        wnd->SetToolTip(wxString::FromUTF8(m_strUrl));
    }
}

void CLinkLabel::MarkVisited(BOOL visited)
{
    m_bVisited = visited;
    if (CStaticWindow* wnd = GetWindow())
        wnd->Refresh();
}

int CLinkLabel::OpenUrl(const std::string& target)
{
    return platform::Shell().OpenUrl(target);
}

void CLinkLabel::ShowOpenError(int code)
{
    platform::AfxMessageBox(platform::OpenFailureMessage(code), MB_ICONEXCLAMATION);
}

void CLinkLabel::FitToText()
{
    CStaticWindow* wnd = GetWindow();
    if (!wnd || !m_bFitToText)
        return;

    // A child's rectangle is already in its parent's client coordinates.
    const wxRect rc = wnd->GetRect();
    wxClientDC dc(wnd);
    dc.SetFont(m_font);
    const wxString text = wnd->GetLabel();
    wxSize extent = dc.GetMultiLineTextExtent(text);
    if (text.empty())
        extent = wxSize(0, dc.GetCharHeight());

    int top = rc.y;
    int bottom = rc.y + rc.height;
    const uint32_t style = wnd->GetStaticStyle();
    if (style & SS_CENTERIMAGE) {
        const int inward = (rc.height - extent.y) / 2;  // toward zero; negative moves outward
        top += inward;
        bottom -= inward;
    } else {
        bottom = top + extent.y;
    }

    int left = rc.x;
    int right = rc.x + rc.width;
    if (style & SS_CENTER) {
        const int inward = (rc.width - extent.x) / 2;
        left += inward;
        right -= inward;
    } else if (style & SS_RIGHT) {
        left = right - extent.x;
    } else {
        right = left + extent.x;
    }
    // Not clamped to the parent, as the classic control was not.
    wnd->SetSize(left, top, right - left, bottom - top, wxSIZE_ALLOW_MINUS_ONE);
}

wxColour CLinkLabel::CtlColor() const
{
    if (IsHover())
        return m_clrHover;
    return m_bVisited ? m_clrVisited : m_clrLink;
}

void CLinkLabel::OnClicked()
{
    const int code = OpenUrl(m_strUrl);
    m_bVisited = code > 32;
    if (m_bVisited) {
        MarkVisited(TRUE);
        return;
    }
    // The pointer grab would keep the box from getting the mouse.
    LeaveHover();
    wxBell();
    ShowOpenError(code);
}

void CLinkLabel::OnHoverLost()
{
    // The text is still in the hover colour.
    if (CStaticWindow* wnd = GetWindow())
        wnd->Refresh();
}
