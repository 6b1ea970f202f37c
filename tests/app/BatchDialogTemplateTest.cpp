// The main window as built from template 102: every control where, and as, the template says.
#include <gtest/gtest.h>

#include <wx/app.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

#include "app/BatchDialog.h"
#include "platform/WinDefs.h"
#include "res/Resources.h"
#include "support/BatchDialogHost.h"
#include "support/WxTestEnvironment.h"

using platform::ControlClass;

namespace {

bool HasClass(wxWindow* w, ControlClass cls, uint32_t style)
{
    switch (cls) {
    case ControlClass::Button:
        if ((style & BS_TYPEMASK) == BS_AUTOCHECKBOX)
            return dynamic_cast<wxCheckBox*>(w) != nullptr;
        return dynamic_cast<wxButton*>(w) != nullptr;
    case ControlClass::Static:
        if ((style & SS_TYPEMASK) == SS_ICON)
            return dynamic_cast<wxStaticBitmap*>(w) != nullptr;
        return dynamic_cast<wxStaticText*>(w) != nullptr;
    case ControlClass::Edit: return dynamic_cast<wxTextCtrl*>(w) != nullptr;
    case ControlClass::ListBox: return dynamic_cast<wxListBox*>(w) != nullptr;
    case ControlClass::ComboBox: return dynamic_cast<wxChoice*>(w) != nullptr;
    case ControlClass::Progress: return dynamic_cast<wxGauge*>(w) != nullptr;
    }
    return false;
}

using BatchDialogTemplate = BatchDialogTest<>;

}  // namespace

TEST_F(BatchDialogTemplate, EveryControlInTemplateOrderAtItsRectangle)
{
    const auto& tmpl = res::BatchDialogTemplate();
    ASSERT_EQ(tmpl.controls.size(), 22u);
    EXPECT_EQ(dialog->GetTitle(), "Quenlar");
    EXPECT_EQ(dialog->GetClientSize(), dialog->ConvertDialogToPixels(wxSize(244, 210)));

    // The template's controls come first among the children, in template (= tab) order.
    const wxWindowList& children = dialog->GetChildren();
    ASSERT_GE(children.size(), tmpl.controls.size());
    auto child = children.begin();
    for (const auto& c : tmpl.controls) {
        wxWindow* w = *child++;
        SCOPED_TRACE("control " + std::to_string(c.id) + " '" + c.text + "'");
        if (c.id == -1) {
            EXPECT_LT(w->GetId(), 0);
        } else {
            EXPECT_EQ(w->GetId(), c.id);
        }
        // The About icon puts a clickable window of its own in the icon static's place.
        if (c.id != res::IDC_ABOUT_ICON) {
            EXPECT_TRUE(HasClass(w, c.cls, c.style)) << typeid(*w).name();
        }
        if (c.cls == ControlClass::Button || (c.cls == ControlClass::Static && (c.style & SS_TYPEMASK) != SS_ICON)) {
            EXPECT_EQ(w->GetLabel().utf8_string(), c.text);
        }
        EXPECT_EQ(w->IsShown(), (c.style & WS_VISIBLE) != 0);

        const wxPoint pos = dialog->ConvertDialogToPixels(wxPoint(c.x, c.y));
        const int cy = c.cls == ControlClass::ComboBox ? 12 : c.cy;
        const wxSize size = dialog->ConvertDialogToPixels(wxSize(c.cx, cy));
        const wxRect r = w->GetRect();
        EXPECT_EQ(r.GetPosition(), pos);
        EXPECT_EQ(r.height, size.y);
        // Labels and check boxes may grow to the right to fit their caption, never shrink.
        const bool isLabel = c.cls == ControlClass::Static && (c.style & SS_TYPEMASK) == SS_LEFT;
        const bool isCheckBox = c.cls == ControlClass::Button && (c.style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
        const bool mayWiden = !c.text.empty() && (isLabel || isCheckBox);
        if (mayWiden)
            EXPECT_GE(r.width, size.x);
        else
            EXPECT_EQ(r.width, size.x);
    }
}

TEST_F(BatchDialogTemplate, AudioRowsStylesAndInitialState)
{
    auto* combo = dynamic_cast<wxChoice*>(dialog->FindWindow(res::IDC_AUDIO_SETTING));
    ASSERT_NE(combo, nullptr);
    const char* rows[] = {"32 Kbps Stereo Music High - RA8", "44 Kbps Stereo Music High - RA8",
                          "64 Kbps Stereo Music - RA8",      "96 Kbps Stereo Music - RA8",
                          "105 Kbps Stereo Music - RA 8",    "132 Kbps Stereo Music - RA 8",
                          "176 Kbps Stereo Music - RA 8",    "264 Kbps Stereo Music - RA 8"};
    ASSERT_EQ(combo->GetCount(), 8u);
    for (unsigned i = 0; i < 8; ++i)
        EXPECT_EQ(combo->GetString(i).utf8_string(), rows[i]);

    auto* bitrate = dynamic_cast<wxTextCtrl*>(dialog->FindWindow(res::IDC_BITRATE));
    ASSERT_NE(bitrate, nullptr);
    EXPECT_TRUE(bitrate->HasFlag(wxTE_RIGHT));
    auto* validator = dynamic_cast<wxTextValidator*>(bitrate->GetValidator());
    ASSERT_NE(validator, nullptr);
    EXPECT_TRUE(validator->HasFlag(wxFILTER_DIGITS));

    auto* list = dynamic_cast<wxListBox*>(dialog->FindWindow(res::IDC_SOURCE_LIST));
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->HasFlag(wxLB_EXTENDED));
    EXPECT_FALSE(list->HasFlag(wxLB_SORT));
    auto* log = dynamic_cast<wxTextCtrl*>(dialog->FindWindow(res::IDC_LOG));
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->IsMultiLine());
    EXPECT_FALSE(log->IsEditable());

    auto* start = dynamic_cast<wxButton*>(dialog->FindWindow(IDOK));
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(dialog->GetDefaultItem(), start);
    EXPECT_TRUE(dialog->GetIcon().IsOk());
    EXPECT_EQ(dialog->GetIcon().GetWidth(), 32);
    EXPECT_FALSE(dialog->HasFlag(wxRESIZE_BORDER));
    EXPECT_FALSE(dialog->HasFlag(wxMAXIMIZE_BOX));
    EXPECT_TRUE(dialog->HasFlag(wxMINIMIZE_BOX));

    // The progress range is 0..100 and the placeholder keeps its rectangle for the control.
    dialog->m_progress.SetPos(100);
    EXPECT_EQ(dialog->m_progress.GetPos(), 100);
    EXPECT_EQ(dialog->m_rcPlaceholder.GetSize(), dialog->FindWindow(res::IDC_PLACEHOLDER)->GetSize());
}

TEST(MinimisedIcon, IsCentredWithTheIntegerDivisionsRounding)
{
    EXPECT_EQ(MinimisedIconPosition(wxSize(100, 50), wxSize(32, 32)), wxPoint(34, 9));
    EXPECT_EQ(MinimisedIconPosition(wxSize(33, 32), wxSize(32, 32)), wxPoint(1, 0));
    EXPECT_EQ(MinimisedIconPosition(wxSize(0, 0), wxSize(32, 32)), wxPoint(-15, -15));
}

TEST(AppIcon, ScaledDisplaysGetRenditionsOfTheDrawingNotTheSmallPictureBlownUp)
{
    REQUIRE_DISPLAY();
    const wxIconBundle plain = res::WindowIcons(res::IDR_MAINFRAME, 1.0);
    ASSERT_EQ(plain.GetIconCount(), 1u);
    EXPECT_EQ(plain.GetIconByIndex(0).GetSize(), wxSize(32, 32));
    const wxIconBundle scaled = res::WindowIcons(res::IDR_MAINFRAME, 2.0);
    EXPECT_TRUE(scaled.GetIcon(wxSize(64, 64), wxIconBundle::FALLBACK_NONE).IsOk());
    EXPECT_TRUE(scaled.GetIcon(wxSize(128, 128), wxIconBundle::FALLBACK_NONE).IsOk());

    // At twice the size: the drawing itself, not the 32 x 32 picture enlarged in any way.
    const wxBitmapBundle bundle = res::LoadIconBundle(res::IDR_MAINFRAME);
    EXPECT_EQ(bundle.GetDefaultSize(), wxSize(32, 32));
    wxBitmap picture;
    picture.CopyFromIcon(res::LoadIconResource(res::IDR_MAINFRAME));
    const wxImage expected = picture.ConvertToImage();
    const wxImage large = bundle.GetBitmap(wxSize(64, 64)).ConvertToImage();
    ASSERT_EQ(large.GetSize(), wxSize(64, 64));
    const auto rgb = [](const wxImage& image) {
        return std::string(reinterpret_cast<const char*>(image.GetData()), image.GetWidth() * image.GetHeight() * 3);
    };
    for (const wxImageResizeQuality quality : {wxIMAGE_QUALITY_NEAREST, wxIMAGE_QUALITY_BILINEAR,
                                               wxIMAGE_QUALITY_BICUBIC, wxIMAGE_QUALITY_HIGH})
        EXPECT_NE(rgb(large), rgb(expected.Scale(64, 64, quality)));

    EXPECT_EQ(rgb(bundle.GetBitmap(wxSize(32, 32)).ConvertToImage()), rgb(expected))
        << "at scale 1 the picture itself";
}
