// Layout on size changes: one LayoutControls per real change of the client size, with the
// deltas since the last layout, and the main dialog's rule applied to real control rectangles.
#include <gtest/gtest.h>

#include <wx/app.h>

#include <map>
#include <vector>

#include "app/BatchDialog.h"
#include "res/Resources.h"
#include "support/BatchDialogHost.h"
#include "support/WxTestEnvironment.h"

namespace {

// The real dialog, recording each LayoutControls call before applying it.
class RecordingBatchDialog : public CBatchDialog {
public:
    std::vector<wxSize> layouts;

protected:
    void LayoutControls(int dx, int dy) override
    {
        layouts.emplace_back(dx, dy);
        CBatchDialog::LayoutControls(dx, dy);
    }
};

const int kLaidOutIds[] = {res::IDC_SOURCE_LIST, res::IDC_LOG, res::IDC_PROGRESS, IDOK, res::IDC_HELP_PAGE,
                           res::IDC_INFO_LABEL, res::IDC_PLACEHOLDER, res::IDC_AUTHOR, res::IDC_AUDIO_SETTING};

class ResizableDialog : public BatchDialogTest<RecordingBatchDialog> {
protected:
    void SetUp() override
    {
        BatchDialogTest::SetUp();
        if (HasFatalFailure())
            return;
        dialog->Show();
        dialog->layouts.clear();
        initial = Rects();
    }
    std::map<int, wxRect> Rects() const
    {
        std::map<int, wxRect> rects;
        for (int id : kLaidOutIds)
            rects[id] = dialog->FindWindow(id)->GetRect();
        return rects;
    }

    // Changes the client size by (dx, dy) and delivers the size message.
    void Resize(int dx, int dy)
    {
        const wxSize client = dialog->GetClientSize();
        dialog->SetClientSize(client.x + dx, client.y + dy);
        const wxSize now = dialog->GetClientSize();
        dialog->OnSize(SIZE_RESTORED, now.x, now.y);
    }

    static wxRect Moved(wxRect r, int dx, int dy)
    {
        r.Offset(dx, dy);
        return r;
    }
    static wxRect Grown(wxRect r, int dx, int dy) { return wxRect(r.x, r.y, r.width + dx, r.height + dy); }

    std::map<int, wxRect> initial;
};

}  // namespace

TEST_F(ResizableDialog, GrowAndReturnLayOutByTheDeltasAndRestoreTheControls)
{
    Resize(40, 30);
    ASSERT_EQ(dialog->layouts, std::vector<wxSize>({wxSize(40, 30)}));
    const auto grown = Rects();
    EXPECT_EQ(grown.at(res::IDC_SOURCE_LIST), Grown(initial.at(res::IDC_SOURCE_LIST), 20, 0));
    EXPECT_EQ(grown.at(res::IDC_LOG), Moved(Grown(initial.at(res::IDC_LOG), 20, 0), 20, 0));
    EXPECT_EQ(grown.at(res::IDC_PROGRESS), Moved(Grown(initial.at(res::IDC_PROGRESS), 40, 0), 0, 30));
    EXPECT_EQ(grown.at(IDOK), Moved(initial.at(IDOK), 40, 0));
    EXPECT_EQ(grown.at(res::IDC_HELP_PAGE), Moved(initial.at(res::IDC_HELP_PAGE), 40, 0));
    EXPECT_EQ(grown.at(res::IDC_INFO_LABEL), Moved(initial.at(res::IDC_INFO_LABEL), 20, 0));
    for (int id : {res::IDC_PLACEHOLDER, res::IDC_AUTHOR, res::IDC_AUDIO_SETTING})
        EXPECT_EQ(grown.at(id), initial.at(id)) << id;

    Resize(-40, -30);
    EXPECT_EQ(dialog->layouts.back(), wxSize(-40, -30));
    EXPECT_EQ(Rects(), initial);
}

TEST_F(ResizableDialog, HalfOfTheWidthChangeTruncatesTowardZero)
{
    Resize(1, 0);
    auto rects = Rects();
    EXPECT_EQ(rects.at(IDOK), Moved(initial.at(IDOK), 1, 0));
    EXPECT_EQ(rects.at(res::IDC_HELP_PAGE), Moved(initial.at(res::IDC_HELP_PAGE), 1, 0));
    EXPECT_EQ(rects.at(res::IDC_PROGRESS), Grown(initial.at(res::IDC_PROGRESS), 1, 0));
    for (int id : {res::IDC_SOURCE_LIST, res::IDC_LOG, res::IDC_INFO_LABEL})
        EXPECT_EQ(rects.at(id), initial.at(id)) << id;

    Resize(10, 0);  // room to shrink: the window never gets smaller than it opened
    const auto before = Rects();
    Resize(-3, 0);  // h = -1, not -2
    rects = Rects();
    EXPECT_EQ(rects.at(res::IDC_SOURCE_LIST), Grown(before.at(res::IDC_SOURCE_LIST), -1, 0));
    EXPECT_EQ(rects.at(res::IDC_LOG), Moved(Grown(before.at(res::IDC_LOG), -1, 0), -1, 0));
    EXPECT_EQ(rects.at(IDOK), Moved(before.at(IDOK), -3, 0));
}

TEST_F(ResizableDialog, NoLayoutWithoutAChangeOrWhileMinimised)
{
    const wxSize client = dialog->GetClientSize();
    dialog->OnSize(SIZE_RESTORED, client.x, client.y);
    dialog->OnSize(SIZE_MINIMIZED, 0, 0);
    dialog->OnSize(SIZE_RESTORED, client.x, client.y);
    dialog->OnSize(SIZE_RESTORED, -1, client.y);
    EXPECT_TRUE(dialog->layouts.empty());
    EXPECT_EQ(Rects(), initial);

    // Moving or growing by nothing, an unknown id or no window changes nothing.
    dialog->MoveControl(0, 0, IDOK);
    dialog->GrowControl(0, 0, IDOK);
    dialog->MoveControl(5, 5, 4242);
    dialog->GrowControl(5, 5, 4242);
    dialog->GrowControl(5, 5, static_cast<wxWindow*>(nullptr));
    EXPECT_EQ(Rects(), initial);
}

TEST_F(ResizableDialog, MinimumTrackingSizeIsTheWindowSizeAtInitialisation)
{
    EXPECT_EQ(dialog->GetMinWidth(), dialog->m_rcDialog.width);
    EXPECT_EQ(dialog->GetMinHeight(), dialog->m_rcDialog.height);
    MINMAXINFO info{};
    info.ptMinTrackSize = wxPoint(1, 1);
    dialog->OnGetMinMaxInfo(&info);
    EXPECT_EQ(info.ptMinTrackSize, wxPoint(dialog->m_rcDialog.width, dialog->m_rcDialog.height));
    Resize(40, 30);
    dialog->OnGetMinMaxInfo(&info);
    EXPECT_EQ(info.ptMinTrackSize, wxPoint(dialog->m_rcDialog.width, dialog->m_rcDialog.height));
}

TEST(ResizableDialogBeforeInit, SizeMessagesLayOutNothing)
{
    REQUIRE_DISPLAY();
    RecordingBatchDialog dialog;  // constructed, never created
    dialog.OnSize(SIZE_RESTORED, 400, 300);
    EXPECT_TRUE(dialog.layouts.empty());
    MINMAXINFO info{};
    info.ptMinTrackSize = wxPoint(7, 9);
    dialog.OnGetMinMaxInfo(&info);
    EXPECT_EQ(info.ptMinTrackSize, wxPoint(7, 9));
}
