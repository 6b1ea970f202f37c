// The main dialog's data exchange: fields and controls in both directions, and the stop at a
// bitrate box that holds no integer.
#include <gtest/gtest.h>

#include <wx/app.h>

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/tooltip.h>
#include <wx/textctrl.h>

#include "app/BatchDialog.h"
#include "platform/DataExchange.h"
#include "res/Resources.h"
#include "support/MessageBoxRecorder.h"
#include "support/BatchDialogHost.h"
#include "support/WxTestEnvironment.h"

namespace {

using BatchDialogExchange = BatchDialogTest<>;

}  // namespace

TEST_F(BatchDialogExchange, FieldsRoundTripThroughTheControls)
{
    dialog->m_nBitRate = 512;
    dialog->m_bFolderAsPrefix = TRUE;
    dialog->m_bAutoShutdown = TRUE;
    dialog->m_strAuthor = "作者 Name";
    dialog->m_nAudioSetting = 7;
    dialog->m_bDeInterlace = TRUE;
    ASSERT_TRUE(dialog->UpdateData(FALSE));
    EXPECT_EQ(Control<wxTextCtrl>(res::IDC_BITRATE)->GetValue(), "512");
    EXPECT_TRUE(Control<wxCheckBox>(res::IDC_FOLDER_AS_PREFIX)->GetValue());
    EXPECT_EQ(Control<wxChoice>(res::IDC_AUDIO_SETTING)->GetSelection(), 7);

    Control<wxTextCtrl>(res::IDC_BITRATE)->ChangeValue("300");
    Control<wxCheckBox>(res::IDC_DEINTERLACE)->SetValue(false);
    Control<wxChoice>(res::IDC_AUDIO_SETTING)->SetSelection(2);
    ASSERT_TRUE(dialog->UpdateData(TRUE));
    EXPECT_EQ(dialog->m_nBitRate, 300);
    EXPECT_EQ(dialog->m_bDeInterlace, FALSE);
    EXPECT_EQ(dialog->m_nAudioSetting, 2);
    EXPECT_EQ(dialog->m_strAuthor, "作者 Name");
    EXPECT_EQ(dialog->m_bAutoShutdown, TRUE);
}

TEST_F(BatchDialogExchange, TheAudioBoxShowsItsWholeRowAsATooltip)
{
    auto* choice = Control<wxChoice>(res::IDC_AUDIO_SETTING);
    const auto tip = [&] { return choice->GetToolTip() ? choice->GetToolTip()->GetTip() : wxString("(none)"); };
    dialog->m_nAudioSetting = 1;
    ASSERT_TRUE(dialog->UpdateData(FALSE));
    EXPECT_EQ(tip(), "44 Kbps Stereo Music High - RA8");

    choice->SetSelection(6);
    wxCommandEvent chosen(wxEVT_CHOICE, res::IDC_AUDIO_SETTING);
    chosen.SetEventObject(choice);
    chosen.SetInt(6);
    choice->GetEventHandler()->ProcessEvent(chosen);
    EXPECT_EQ(tip(), "176 Kbps Stereo Music - RA 8");

    dialog->m_nAudioSetting = 8;  // no row: no tooltip
    ASSERT_TRUE(dialog->UpdateData(FALSE));
    EXPECT_EQ(tip(), "(none)");
}

TEST_F(BatchDialogExchange, AnIndexOutsideTheRowsReadsBackAsMinusOne)
{
    for (int index : {8, -1, 1000}) {
        dialog->m_nAudioSetting = index;
        ASSERT_TRUE(dialog->UpdateData(FALSE));
        EXPECT_EQ(Control<wxChoice>(res::IDC_AUDIO_SETTING)->GetSelection(), wxNOT_FOUND);
        dialog->m_nAudioSetting = 3;
        ASSERT_TRUE(dialog->UpdateData(TRUE));
        EXPECT_EQ(dialog->m_nAudioSetting, -1) << index;
    }
}

TEST_F(BatchDialogExchange, ABitrateThatIsNoIntegerStopsTheExchangeThere)
{
    dialog->m_nBitRate = 450;
    dialog->m_bFolderAsPrefix = FALSE;
    dialog->m_strAuthor = "before";
    ASSERT_TRUE(dialog->UpdateData(FALSE));
    Control<wxCheckBox>(res::IDC_FOLDER_AS_PREFIX)->SetValue(true);
    Control<wxTextCtrl>(res::IDC_AUTHOR)->ChangeValue("after");

    for (const char* text : {"", "12ab", "99999999999"}) {
        MessageBoxRecorder boxes;
        Control<wxTextCtrl>(res::IDC_BITRATE)->ChangeValue(text);
        EXPECT_FALSE(dialog->UpdateData(TRUE)) << text;
        ASSERT_EQ(boxes.Calls().size(), 1u);
        EXPECT_EQ(boxes.Calls()[0].text, "请键入一个整数。");
        EXPECT_EQ(boxes.Calls()[0].type & MB_ICONMASK, MB_ICONEXCLAMATION);
        EXPECT_EQ(dialog->m_nBitRate, 450);
        EXPECT_EQ(dialog->m_bFolderAsPrefix, FALSE) << "fields after the bitrate keep their values";
        EXPECT_EQ(dialog->m_strAuthor, "before");
    }
    // The controls bound before the bitrate were bound all the same.
    EXPECT_NE(dialog->m_list.GetWindow(), nullptr);
    EXPECT_NE(dialog->m_log.GetWindow(), nullptr);
}

TEST(ParseIntField, AcceptsWhatTheClassLibraryAccepts)
{
    int value = 0;
    EXPECT_TRUE(platform::ParseIntField("450", value));
    EXPECT_EQ(value, 450);
    EXPECT_TRUE(platform::ParseIntField("  -5 ", value));
    EXPECT_EQ(value, -5);
    EXPECT_TRUE(platform::ParseIntField("+7", value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(platform::ParseIntField("2147483647", value));
    EXPECT_EQ(value, 2147483647);
    value = 99;
    for (const char* bad : {"", "   ", "abc", "12abc", "1 2", "2147483648", "-", "0x10"}) {
        EXPECT_FALSE(platform::ParseIntField(bad, value)) << bad;
        EXPECT_EQ(value, 99) << bad;
    }
}
