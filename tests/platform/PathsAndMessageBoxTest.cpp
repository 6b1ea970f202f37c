// Where the program finds itself, and the application message box's caption, icon and answers.
#include <gtest/gtest.h>

#include <string>

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "support/MessageBoxRecorder.h"
#include "support/WxTestEnvironment.h"

TEST(Paths, HelpFilePathReplacesOnlyTheLastComponentsExtension)
{
    EXPECT_EQ(platform::HelpFilePathFor("/opt/q/Quenlar.exe"), "/opt/q/Quenlar.HLP");
    EXPECT_EQ(platform::HelpFilePathFor("/opt/q/Quenlar"), "/opt/q/Quenlar.HLP");
    EXPECT_EQ(platform::HelpFilePathFor("/opt/my.app/Quenlar"), "/opt/my.app/Quenlar.HLP");
    EXPECT_EQ(platform::HelpFilePathFor("/opt/my.app/Quenlar.bin"), "/opt/my.app/Quenlar.HLP");
    EXPECT_EQ(platform::HelpFilePathFor("/opt/q/a.b.c"), "/opt/q/a.b.HLP");
}

TEST(Paths, TheTestPathStandsInForTheExecutable)
{
    EXPECT_FALSE(platform::GetModuleFileName().empty());
    platform::SetModuleFileNameForTesting("/x/y.z/Quenlar.bin");
    EXPECT_EQ(platform::GetModuleFileName(), "/x/y.z/Quenlar.bin");
    EXPECT_EQ(platform::GetHelpFilePath(), "/x/y.z/Quenlar.HLP");
    EXPECT_EQ(platform::GetAppTitle(), "Quenlar");
    platform::SetModuleFileNameForTesting("/x/Quenlar");
    EXPECT_EQ(platform::GetAppTitle(), "Quenlar");
    platform::SetModuleFileNameForTesting("");
    EXPECT_NE(platform::GetModuleFileName(), "/x/Quenlar");
}

TEST(MessageBox, CaptionIconAndAnswers)
{
    platform::SetModuleFileNameForTesting("/opt/q/Quenlar");
    MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDYES);
    EXPECT_EQ(platform::AfxMessageBox("Sure?", MB_YESNO), IDYES);
    EXPECT_EQ(platform::AfxMessageBox("Failed.", MB_OK | MB_ICONSTOP), IDOK);
    EXPECT_EQ(platform::AfxMessageBox("Plain."), IDOK);
    platform::SetModuleFileNameForTesting("");

    ASSERT_EQ(boxes.Calls().size(), 3u);
    EXPECT_EQ(boxes.Calls()[0].caption, "Quenlar");
    EXPECT_EQ(boxes.Calls()[0].type, MB_YESNO | MB_ICONEXCLAMATION);
    EXPECT_EQ(boxes.Calls()[1].type, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(boxes.Calls()[2].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(boxes.Calls()[2].text, "Plain.");
}

TEST(MessageBox, TheBoxOnScreenShowsTheWarningImage)
{
    REQUIRE_DISPLAY();
    // The real box, read and closed from a timer inside its modal loop.
    bool image = false;
    std::string text;
    int escapeId = wxID_ANY;
    wxTimer poll;
    poll.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        for (wxWindow* top : wxTopLevelWindows) {
            auto* box = dynamic_cast<wxDialog*>(top);
            if (!box || !box->IsModal())
                continue;
            for (wxWindow* child : box->GetChildren()) {
                if (auto* bitmap = dynamic_cast<wxStaticBitmap*>(child))
                    image = image || bitmap->GetBitmap().IsOk();
                if (auto* label = dynamic_cast<wxStaticText*>(child))
                    text += label->GetLabel().utf8_string();
            }
            escapeId = box->GetEscapeId();
            box->EndModal(wxID_OK);
        }
    });
    poll.Start(20);
    EXPECT_EQ(platform::AfxMessageBox("Look.\n看"), IDOK);
    EXPECT_TRUE(image) << "no warning image in the box";
    // The text may come as one label per line.
    EXPECT_NE(text.find("Look."), std::string::npos) << text;
    EXPECT_NE(text.find("看"), std::string::npos) << text;

    // On a Yes/No box Escape answers No (the exit question must not take it for Yes).
    EXPECT_EQ(platform::AfxMessageBox("Sure?", MB_YESNO), IDNO);
    poll.Stop();
    EXPECT_EQ(escapeId, wxID_NO);
}
