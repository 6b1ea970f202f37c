#include "about/AboutIcon.h"

#include <wx/app.h>
#include <wx/tooltip.h>
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

void CAboutIcon::PreSubclassWindow()
{
    // Built once: a later change of the title does not reach the tooltip.
    std::string title;
    if (auto* main = dynamic_cast<wxTopLevelWindow*>(wxTheApp ? wxTheApp->GetTopWindow() : nullptr))
        title = main->GetTitle().utf8_string();
    GetWindow()->SetToolTip(wxString::FromUTF8(AboutToolTipText(title)));
}

void CAboutIcon::OnClicked()
{
    // The mouse is set free before the box opens, and the tooltip goes: left up, it would stay
    // on screen over the box.
    LeaveHover();
    CStaticWindow* wnd = GetWindow();
    const wxString tip = wnd && wnd->GetToolTip() ? wnd->GetToolTip()->GetTip() : wxString();
    if (wnd)
        wnd->UnsetToolTip();
    CAboutDialog dlg;
    dlg.DoModal();
    // The icon may have gone with its dialog while the box was open.
    if (CStaticWindow* after = GetWindow(); after && !tip.empty())
        after->SetToolTip(tip);
}
