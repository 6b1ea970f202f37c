// CLinkLabel on real controls of a template dialog: fitting, colours by state, hover tracking with
// the mouse capture, and clicks through a recording shell (nothing is really opened).
#include <gtest/gtest.h>

#include <memory>

#include <wx/settings.h>

#include "about/LinkLabel.h"
#include "platform/Dialog.h"
#include "platform/Paths.h"
#include "platform/Shell.h"
#include "support/MessageBoxRecorder.h"
#include "support/WxTestEnvironment.h"

using platform::ControlClass;

namespace {

constexpr uint32_t kStatic = WS_CHILD | WS_VISIBLE;
constexpr int kLeft = 201, kRight = 202, kCentre = 203, kMiddle = 204, kEmpty = 205, kNarrow = 206;

const platform::DialogTemplate& LabelTemplate()
{
    static const platform::DialogTemplate tmpl = {
        900, WS_POPUP | WS_CAPTION | DS_SETFONT, 0, "Labels", 0, 0, 200, 130, "System", 9,
        {
            {kLeft, ControlClass::Static, "left label", kStatic | SS_LEFT, 0, 10, 10, 150, 12},
            {kRight, ControlClass::Static, "right label", kStatic | SS_RIGHT, 0, 10, 25, 150, 12},
            {kCentre, ControlClass::Static, "centred", kStatic | SS_CENTER, 0, 10, 40, 150, 12},
            {kMiddle, ControlClass::Static, "in the middle", kStatic | SS_CENTER | SS_CENTERIMAGE, 0, 10, 55, 150, 31},
            {kEmpty, ControlClass::Static, "", kStatic | SS_LEFT, 0, 10, 90, 150, 12},
            {kNarrow, ControlClass::Static, "a text far wider than its box", kStatic | SS_LEFT, 0, 10, 105, 20, 8},
        },
        {},
        nullptr,
    };
    return tmpl;
}

struct DialogCloser {
    void operator()(platform::CDialog* dialog) const { dialog->Destroy(); }
};

// A shown dialog (the mouse capture needs a mapped window). Declared before the labels, so the
// labels go first.
std::unique_ptr<platform::CDialog, DialogCloser> ShowLabelDialog()
{
    std::unique_ptr<platform::CDialog, DialogCloser> dialog(new platform::CDialog(LabelTemplate(), nullptr));
    dialog->Create();
    dialog->Show();
    wxYield();
    return dialog;
}

wxSize TextExtent(const CLinkLabel& label)
{
    return label.GetWindow()->GetTextExtent(label.GetWindow()->GetLabel());
}

void MoveTo(wxWindow* window, wxEventType type, int x, int y)
{
    wxMouseEvent event(type);
    event.SetEventObject(window);
    event.SetPosition(wxPoint(x, y));
    window->GetEventHandler()->ProcessEvent(event);
}

}  // namespace

TEST(LinkLabel, FitsToItsTextForEachAlignment)
{
    REQUIRE_DISPLAY();
    auto dialog = ShowLabelDialog();
    const wxRect left = platform::DialogUnitsToPixels(*dialog, 10, 10, 150, 12);
    const wxRect right = platform::DialogUnitsToPixels(*dialog, 10, 25, 150, 12);
    const wxRect centre = platform::DialogUnitsToPixels(*dialog, 10, 40, 150, 12);
    const wxRect middle = platform::DialogUnitsToPixels(*dialog, 10, 55, 150, 31);
    const wxRect narrow = platform::DialogUnitsToPixels(*dialog, 10, 105, 20, 8);
    CLinkLabel leftLabel, rightLabel, centreLabel, middleLabel, narrowLabel;
    ASSERT_TRUE(leftLabel.SubclassDlgItem(kLeft, dialog.get()));
    ASSERT_TRUE(rightLabel.SubclassDlgItem(kRight, dialog.get()));
    ASSERT_TRUE(centreLabel.SubclassDlgItem(kCentre, dialog.get()));
    ASSERT_TRUE(middleLabel.SubclassDlgItem(kMiddle, dialog.get()));
    ASSERT_TRUE(narrowLabel.SubclassDlgItem(kNarrow, dialog.get()));

    {
        SCOPED_TRACE("left: keeps its left edge and top");
        const wxRect rc = leftLabel.GetWindow()->GetRect();
        const wxSize text = TextExtent(leftLabel);
        EXPECT_LT(text.x, left.width);
        EXPECT_EQ(rc, wxRect(left.x, left.y, text.x, text.y));
    }
    {
        SCOPED_TRACE("right: keeps its right edge");
        const wxRect rc = rightLabel.GetWindow()->GetRect();
        const wxSize text = TextExtent(rightLabel);
        EXPECT_EQ(rc.x + rc.width, right.x + right.width);
        EXPECT_EQ(rc.width, text.x);
        EXPECT_EQ(rc.y, right.y);
    }
    {
        SCOPED_TRACE("centre: stays centred on the old rectangle");
        const wxRect rc = centreLabel.GetWindow()->GetRect();
        const wxSize text = TextExtent(centreLabel);
        EXPECT_NEAR(rc.x * 2 + rc.width, centre.x * 2 + centre.width, 1);
        EXPECT_NEAR(rc.width, text.x, 1);
        EXPECT_EQ(rc.y, centre.y);
        EXPECT_EQ(rc.height, text.y);
    }
    {
        SCOPED_TRACE("centre image: also centred vertically");
        const wxRect rc = middleLabel.GetWindow()->GetRect();
        const wxSize text = TextExtent(middleLabel);
        EXPECT_GT(middle.height, text.y);
        EXPECT_NEAR(rc.y * 2 + rc.height, middle.y * 2 + middle.height, 1);
        EXPECT_NEAR(rc.height, text.y, 1);
        EXPECT_NEAR(rc.x * 2 + rc.width, middle.x * 2 + middle.width, 1);
    }
    {
        SCOPED_TRACE("a text wider than the box grows it, unclamped");
        const wxRect rc = narrowLabel.GetWindow()->GetRect();
        EXPECT_GT(rc.width, narrow.width);
        EXPECT_EQ(rc.width, TextExtent(narrowLabel).x);
        EXPECT_EQ(rc.x, narrow.x);
    }
}

TEST(LinkLabel, TextTargetAndTooltipWhenAttached)
{
    REQUIRE_DISPLAY();
    auto dialog = ShowLabelDialog();
    CLinkLabel untargeted, preset;

    // Attached without a target: the text is the target and the tooltip.
    ASSERT_TRUE(untargeted.SubclassDlgItem(kLeft, dialog.get()));
    CStaticWindow* wnd = untargeted.GetWindow();
    EXPECT_EQ(wnd->GetId(), kLeft);
    EXPECT_EQ(dialog->GetDlgItem(kLeft), wnd);
    EXPECT_EQ(untargeted.GetTargetUrl(), "left label");
    EXPECT_EQ(wnd->GetToolTipText(), "left label");
    EXPECT_TRUE(wnd->GetStaticStyle() & SS_NOTIFY);
    EXPECT_TRUE(wnd->GetFont().GetUnderlined());
    EXPECT_EQ(wnd->GetFont().GetPointSize(), dialog->GetFont().GetPointSize());
    EXPECT_TRUE(wnd->GetCursor().IsOk());

    // A new target retitles the tooltip; the label keeps its text.
    untargeted.SetTargetUrl("https://example.org/left");
    EXPECT_EQ(wnd->GetToolTipText(), "https://example.org/left");
    EXPECT_EQ(wnd->GetLabel(), "left label");

    // An empty template text with a target set before attaching shows the target.
    preset.SetTargetUrl("mailto:quenlar@example.org");
    EXPECT_EQ(preset.GetWindow(), nullptr);
    ASSERT_TRUE(preset.SubclassDlgItem(kEmpty, dialog.get()));
    EXPECT_EQ(preset.GetWindow()->GetLabel(), "mailto:quenlar@example.org");
    EXPECT_EQ(preset.GetWindow()->GetSize().x, TextExtent(preset).x);

    CLinkLabel missing;
    EXPECT_FALSE(missing.SubclassDlgItem(4711, dialog.get()));
}

TEST(LinkLabel, HoverWinsOverVisitedAndEdgesCountAsOutside)
{
    REQUIRE_DISPLAY();
    const wxColour highlight = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    auto dialog = ShowLabelDialog();
    CLinkLabel label;
    ASSERT_TRUE(label.SubclassDlgItem(kLeft, dialog.get()));
    CStaticWindow* wnd = label.GetWindow();
    const wxSize size = wnd->GetClientSize();

    EXPECT_EQ(label.GetHoverColour(), highlight);
    EXPECT_EQ(label.CtlColor(), CLinkLabel::kLinkColour);
    EXPECT_EQ(wnd->GetTextColour(), CLinkLabel::kLinkColour);  // what the window paints with

    label.MarkVisited(TRUE);
    EXPECT_EQ(label.CtlColor(), CLinkLabel::kVisitedColour);

    MoveTo(wnd, wxEVT_MOTION, 2, 2);
    EXPECT_TRUE(label.IsHover());
    EXPECT_TRUE(wnd->HasCapture());
    EXPECT_EQ(wnd->GetTextColour(), highlight);

    MoveTo(wnd, wxEVT_MOTION, size.x - 1, size.y - 1);  // the last pixel inside
    EXPECT_TRUE(label.IsHover());

    MoveTo(wnd, wxEVT_MOTION, size.x, 2);  // the right edge
    EXPECT_FALSE(label.IsHover());
    EXPECT_FALSE(wnd->HasCapture());
    EXPECT_EQ(wnd->GetTextColour(), CLinkLabel::kVisitedColour);

    MoveTo(wnd, wxEVT_MOTION, 2, 2);
    MoveTo(wnd, wxEVT_MOTION, 2, size.y);  // the bottom edge
    EXPECT_FALSE(label.IsHover());
    EXPECT_FALSE(wnd->HasCapture());
}

TEST(LinkLabel, ClickOpensTheTargetAndAFailureExplainsItself)
{
    REQUIRE_DISPLAY();
    platform::RecordingShell shell;
    platform::ScopedShell useShell(shell);
    MessageBoxRecorder boxes;
    auto dialog = ShowLabelDialog();
    CLinkLabel label;
    ASSERT_TRUE(label.SubclassDlgItem(kLeft, dialog.get()));
    label.SetTargetUrl("https://example.org/quenlar/");
    CStaticWindow* wnd = label.GetWindow();

    MoveTo(wnd, wxEVT_LEFT_DOWN, 3, 3);
    EXPECT_EQ(shell.Urls(), std::vector<std::string>{"https://example.org/quenlar/"});
    EXPECT_TRUE(label.IsVisited());
    EXPECT_EQ(label.CtlColor(), CLinkLabel::kVisitedColour);
    EXPECT_TRUE(boxes.Calls().empty());

    // A failed open after a successful one: back to the link colour, a box with the code's text.
    shell.SetResult(platform::ShellCode::NoAssociation);
    MoveTo(wnd, wxEVT_MOTION, 3, 3);
    ASSERT_TRUE(wnd->HasCapture());
    MoveTo(wnd, wxEVT_LEFT_DOWN, 3, 3);
    EXPECT_FALSE(label.IsVisited());
    EXPECT_FALSE(wnd->HasCapture());  // set free before the box
    EXPECT_EQ(label.CtlColor(), CLinkLabel::kLinkColour);
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text,
              "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension.");
    EXPECT_EQ(boxes.Calls()[0].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(boxes.Calls()[0].caption, platform::GetAppTitle());

    // While captured, a press outside the label is no click.
    MoveTo(wnd, wxEVT_MOTION, 3, 3);
    MoveTo(wnd, wxEVT_LEFT_DOWN, wnd->GetClientSize().x + 40, 3);
    EXPECT_EQ(shell.Urls().size(), 2u);
    MoveTo(wnd, wxEVT_MOTION, -5, -5);
}
