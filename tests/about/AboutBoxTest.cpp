// The About box on template 100 and the About icon that opens it. Modal runs are answered by
// wx's testing hook; no box is really shown and no link is really opened.
#include <gtest/gtest.h>

#include <memory>

#include <wx/app.h>
#include <wx/tooltip.h>
#include <wx/testing.h>

#include "about/AboutDialog.h"
#include "about/AboutIcon.h"
#include "about/AboutTemplate.h"
#include "res/Resources.h"
#include "support/WxTestEnvironment.h"

using platform::ControlClass;

namespace {

struct DialogCloser {
    void operator()(platform::CDialog* dialog) const { dialog->Destroy(); }
};

const platform::DialogTemplate& IconTemplate()
{
    static const platform::DialogTemplate tmpl = {
        901, WS_POPUP | WS_CAPTION | DS_SETFONT, 0, "Main", 0, 0, 120, 60, "System", 9,
        {{res::IDC_ABOUT_ICON, ControlClass::Static, "128", WS_CHILD | WS_VISIBLE | SS_ICON | SS_NOTIFY, 0, 10, 0, 20,
          20}},
        {},
        &res::LoadIconBundle,
    };
    return tmpl;
}

// What the About box looked like when the icon ran it.
struct AboutSeen {
    int runs = 0;
    bool iconHovering = true;
    bool iconCaptured = true;
    bool iconToolTip = true;
    bool emailVisited = true;
    std::string emailTarget;
    std::string caption;
};

class ExpectAbout : public wxExpectModalBase<CAboutDialog, ExpectAbout> {
public:
    ExpectAbout(AboutSeen& seen, CAboutIcon& icon) : m_seen(&seen), m_icon(&icon) {}

protected:
    int OnInvoked(CAboutDialog* dlg) const override
    {
        ++m_seen->runs;
        m_seen->iconHovering = m_icon->IsHover();
        m_seen->iconCaptured = m_icon->GetWindow()->HasCapture();
        m_seen->iconToolTip = m_icon->GetWindow()->GetToolTip() != nullptr;
        m_seen->emailVisited = dlg->m_emailLink.IsVisited();
        m_seen->emailTarget = dlg->m_emailLink.GetTargetUrl();
        m_seen->caption = dlg->GetTitle().utf8_string();
        dlg->m_emailLink.MarkVisited(TRUE);  // the next box must not inherit this
        return wxID_OK;
    }

private:
    AboutSeen* m_seen;
    CAboutIcon* m_icon;
};

}  // namespace

TEST(AboutBox, TemplateAndLinks)
{
    REQUIRE_DISPLAY();
    const platform::DialogTemplate& tmpl = res::AboutDialogTemplate();
    EXPECT_EQ(tmpl.id, 100);
    EXPECT_EQ(tmpl.style, 0x80C800C0u);
    EXPECT_EQ(tmpl.caption, "About Quenlar");
    EXPECT_EQ(tmpl.controls.size(), 11u);

    CAboutDialog dlg;
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.GetTitle(), "About Quenlar");
    EXPECT_EQ(dlg.GetChildren().size(), 11u);

    // The e-mail label: template text shown, the mailto target in its tooltip, left edge kept.
    const wxRect emailCell = platform::DialogUnitsToPixels(dlg, 68, 42, 72, 8);
    CStaticWindow* email = dlg.m_emailLink.GetWindow();
    ASSERT_NE(email, nullptr);
    EXPECT_EQ(email, dlg.GetDlgItem(res::IDC_EMAIL_LINK));
    EXPECT_EQ(email->GetLabel(), "quenlar@example.org");
    EXPECT_EQ(dlg.m_emailLink.GetTargetUrl(), "mailto:quenlar@example.org");
    EXPECT_EQ(email->GetToolTipText(), "mailto:quenlar@example.org");
    EXPECT_EQ(email->GetPosition(), emailCell.GetPosition());
    EXPECT_EQ(email->GetSize().x, email->GetTextExtent(email->GetLabel()).x);
    EXPECT_TRUE(email->GetFont().GetUnderlined());

    CStaticWindow* web = dlg.m_webLink.GetWindow();
    ASSERT_NE(web, nullptr);
    EXPECT_EQ(web->GetLabel(), "quenlar.example.org");
    EXPECT_EQ(web->GetToolTipText(), "https://quenlar.example.org/");
    EXPECT_EQ(web->GetTextColour(), CLinkLabel::kLinkColour);

    // The two-line title names the program and its version.
    bool titleFound = false;
    for (const platform::ControlTemplate& c : tmpl.controls)
        titleFound |= c.text.find("\nQuenlar for Win9x/NT Version 1.03") != std::string::npos;
    EXPECT_TRUE(titleFound);
}

TEST(AboutBox, IconTooltipTakesAtMost79CharactersOfTheTitle)
{
    EXPECT_EQ(AboutToolTipText("Quenlar"), "About Quenlar");
    const std::string longTitle = std::string(79, 'q') + "TAIL";
    EXPECT_EQ(AboutToolTipText(longTitle), "About " + std::string(79, 'q'));
    // Characters, not bytes: a multi-byte character is never cut in half.
    std::string wide;
    for (int i = 0; i < 80; ++i)
        wide += "\xE5\x8E\x8B";  // one CJK character, three bytes
    const std::string tip = AboutToolTipText(wide);
    EXPECT_EQ(tip.size(), 6u + 79u * 3u);
    EXPECT_TRUE(wxString::FromUTF8(tip).length() == 85u);

    REQUIRE_DISPLAY();
    std::unique_ptr<platform::CDialog, DialogCloser> main(new platform::CDialog(IconTemplate(), nullptr));
    ASSERT_TRUE(main->Create());
    main->SetTitle(wxString::FromUTF8(longTitle));
    wxTheApp->SetTopWindow(main.get());
    CAboutIcon icon;
    ASSERT_TRUE(icon.SubclassDlgItem(res::IDC_ABOUT_ICON, main.get()));
    main->SetTitle("Renamed later");
    EXPECT_EQ(icon.GetWindow()->GetToolTipText(), "About " + std::string(79, 'q'));
    EXPECT_TRUE(icon.GetWindow()->GetBitmap().IsOk());
    EXPECT_TRUE(icon.GetWindow()->GetStaticStyle() & SS_NOTIFY);
    EXPECT_TRUE(icon.GetWindow()->GetCursor().IsOk());
    wxTheApp->SetTopWindow(nullptr);
}

TEST(AboutBox, IconClickFreesTheMouseAndBuildsAFreshBoxEachTime)
{
    REQUIRE_DISPLAY();
    std::unique_ptr<platform::CDialog, DialogCloser> main(new platform::CDialog(IconTemplate(), nullptr));
    ASSERT_TRUE(main->Create());
    main->Show();
    wxYield();
    CAboutIcon icon;
    ASSERT_TRUE(icon.SubclassDlgItem(res::IDC_ABOUT_ICON, main.get()));
    CStaticWindow* wnd = icon.GetWindow();

    wxMouseEvent move(wxEVT_MOTION);
    move.SetPosition(wxPoint(4, 4));
    wnd->GetEventHandler()->ProcessEvent(move);
    ASSERT_TRUE(icon.IsHover());
    ASSERT_TRUE(wnd->HasCapture());

    AboutSeen first;
    wxTEST_DIALOG(icon.OnClicked(), ExpectAbout(first, icon));
    EXPECT_EQ(first.runs, 1);
    EXPECT_FALSE(first.iconHovering);
    EXPECT_FALSE(first.iconCaptured);
    EXPECT_FALSE(first.iconToolTip) << "the icon's tooltip must not stay over the box";
    ASSERT_NE(wnd->GetToolTip(), nullptr) << "and comes back when the box has closed";
    EXPECT_EQ(wnd->GetToolTip()->GetTip(), "About Main");
    EXPECT_FALSE(first.emailVisited);
    EXPECT_EQ(first.emailTarget, "mailto:quenlar@example.org");
    EXPECT_EQ(first.caption, "About Quenlar");
    EXPECT_FALSE(icon.IsHover());

    // A real press on the icon runs a new box, whose links start unvisited again.
    AboutSeen second;
    wxMouseEvent press(wxEVT_LEFT_DOWN);
    press.SetPosition(wxPoint(4, 4));
    wxTEST_DIALOG(wnd->GetEventHandler()->ProcessEvent(press), ExpectAbout(second, icon));
    EXPECT_EQ(second.runs, 1);
    EXPECT_FALSE(second.emailVisited);
}
