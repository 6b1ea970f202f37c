// The batch and the window: the dialog growing around the encoder's display and coming back,
// the layout that follows, and a modal dialog that must not hold the batch up.
#include "BatchControllerTest.h"

#include <functional>

#include <wx/dialog.h>
#include <wx/display.h>
#include <wx/stopwatch.h>
#include <wx/timer.h>

namespace {

class BatchWindowTest : public BatchControllerTest {
protected:
    // Lets the toolkit deliver what a resize sends back (configure and size events) until
    // `done` holds; false when it never does.
    static bool YieldUntil(const std::function<bool()>& done)
    {
        wxStopWatch watch;
        while (!done()) {
            if (watch.Time() > 5000)
                return false;
            wxYield();
            wxMilliSleep(5);
        }
        return true;
    }
    wxRect ProgressRect() const { return dialog->GetDlgItem(res::IDC_PROGRESS)->GetRect(); }
};

TEST_F(BatchWindowTest, DisplaySizeGrowsAndRestoresTheDialog)
{
    StartBatch({"/v/a.mpg", "/v/b.mpg"});
    dialog->Show();
    ASSERT_TRUE(YieldUntil([&] { return dialog->IsShown(); }));
    // In client terms: a window manager's frame must not come out of the client area.
    const wxSize initial = dialog->GetInitialClientSize();
    const wxSize placeholder = dialog->m_rcPlaceholder.GetSize();
    const wxPoint position = dialog->GetPosition();
    const wxRect progress = ProgressRect();
    const wxPoint area = dialog->ScreenToClient(dialog->m_rcPlaceholder.GetPosition());
    ASSERT_GT(placeholder.x, 0);

    // Wider than the placeholder: the dialog grows by the display's excess, plus one.
    const int cx = placeholder.x + 120;
    const int cy = placeholder.y + 90;
    FireSize(cx, cy);
    const wxSize grown(initial.x - placeholder.x + cx + 1, initial.y - placeholder.y + cy + 1);
    EXPECT_EQ(dialog->GetClientSize(), grown);
    EXPECT_EQ(dialog->GetPosition(), position) << "growing does not move the window";
    const int dx = grown.x - initial.x;
    const int dy = grown.y - initial.y;
    EXPECT_TRUE(YieldUntil([&] { return ProgressRect().y == progress.y + dy; }))
        << "progress bar at " << ProgressRect().y << ", expected " << progress.y + dy;
    EXPECT_EQ(ProgressRect().width, progress.width + dx);
    EXPECT_GE(ProgressRect().y, area.y + cy) << "the bar stays below the display";
    EXPECT_EQ(dialog->m_producer.GetSafeHwnd()->GetSize(), placeholder) << "the control keeps its size";

    // Only the width decides: a taller but narrower display restores the initial size.
    FireSize(placeholder.x, placeholder.y + 500);
    EXPECT_EQ(dialog->GetClientSize(), initial);
    EXPECT_TRUE(YieldUntil([&] { return ProgressRect() == progress; }));
}

TEST_F(BatchWindowTest, ALargerDisplayFitsTheWorkAreaAndTheWindowGoesBackToItsPlace)
{
    StartBatch({"/v/a.mpg", "/v/b.mpg"});
    dialog->Show();
    ASSERT_TRUE(YieldUntil([&] { return dialog->IsShown(); }));
    const wxRect area = wxDisplay(0u).GetClientArea();
    dialog->Move(area.x + 200, area.y + 150);
    ASSERT_TRUE(YieldUntil([&] { return dialog->GetPosition() == wxPoint(area.x + 200, area.y + 150); }));

    // Twice the screen's width, in the shape of two 16:9 pictures side by side.
    const wxSize wanted(2 * area.width, area.width * 9 / 16 + 30);
    FireSize(wanted.x, wanted.y);
    ASSERT_TRUE(YieldUntil([&] { return area.Contains(dialog->GetRect()); }))
        << "window at " << dialog->GetRect().x << "," << dialog->GetRect().y << " "
        << dialog->GetRect().width << "x" << dialog->GetRect().height;
    const wxSize shown = dialog->m_producer.GetSafeHwnd()->GetSize();
    EXPECT_LT(shown.x, wanted.x);
    EXPECT_NEAR(double(shown.x) / shown.y, double(wanted.x) / wanted.y, 0.01) << "the display keeps its shape";
    const int displayBottom = dialog->GetDlgItem(res::IDC_PLACEHOLDER)->GetPosition().y + shown.y;
    EXPECT_TRUE(YieldUntil([&] { return ProgressRect().y >= displayBottom; })) << "the bar stays below the display";

    FireSize(0, 0);
    EXPECT_TRUE(YieldUntil([&] { return dialog->GetPosition() == wxPoint(area.x + 200, area.y + 150); }));
    EXPECT_EQ(dialog->GetClientSize(), dialog->GetInitialClientSize());
}

TEST_F(BatchWindowTest, NeitherAFileNorTheEndTakesTheWindowToTheFront)
{
    StartBatch({"/v/a.mpg", "/v/b.mpg"});
    dialog->Show();
    FireSize(dialog->m_rcPlaceholder.GetWidth() + 50, 400);
    dialog->Hide();
    FireSize(0, 0);
    FireFinished();
    Pump();

    // The last file starts, restores the size and ends: the window stays where the user left it.
    ASSERT_EQ(dialog->m_list.GetCount(), 1);
    FireSize(dialog->m_rcPlaceholder.GetWidth() + 50, 400);
    FireSize(0, 0);
    encoding = false;
    FireFinished();
    EXPECT_FALSE(dialog->IsShown());
    EXPECT_EQ(dialog->GetClientSize(), dialog->GetInitialClientSize());
    EXPECT_EQ(Caption(), "Start");
}

TEST_F(BatchWindowTest, AModalDialogDoesNotHoldTheBatchUp)
{
    StartBatch({"/v/a.mpg", "/v/b.mpg"});
    dialog->Show();

    // While another window runs its modal loop, the control finishes a file and the watchdog
    // declares a stall; both posted messages must be handled inside that loop.
    wxDialog box(dialog, wxID_ANY, "box");
    bool handledInside = false;
    wxStopWatch watch;
    wxTimer poll;
    poll.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        handledInside = registration->Creations() == 3 && !LogText().empty();
        if (handledInside || watch.Time() > 5000)
            box.EndModal(wxID_OK);
    });
    box.CallAfter([&] {
        FireFinished();
        Tick(19);
        poll.Start(10);
    });
    box.ShowModal();
    poll.Stop();

    EXPECT_TRUE(handledInside);
    EXPECT_EQ(PutStrings(dispid::kInputFile).back(), "/v/b.mpg");
    EXPECT_EQ(LogText(), "Compression failed:\r\n/v/b.mpg\r\n");
}

}  // namespace
