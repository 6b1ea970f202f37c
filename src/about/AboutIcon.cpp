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
    // The mouse is set free before the box opens.
    LeaveHover();
    CAboutDialog dlg;
    dlg.DoModal();
}
