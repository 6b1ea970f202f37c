// The batch: CBatchDialog's handlers for Start/Stop, closing, the watchdog, the two private
// messages and the encoder control's events. All run on the UI thread; the next file is only
// ever set up from the posted WM_ENCODE_NEXT, never from inside an encoder event.
#include "app/BatchDialog.h"

#include <cstdio>
#include <string>

#include <algorithm>

#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/display.h>
#include <wx/evtloop.h>
#include <wx/toplevel.h>

#include "encoding/BatchMessages.h"
#include "encoding/ConfigureEncoder.h"
#include "common/BatchSettings.h"
#include "common/TargetPath.h"
#include "platform/MessageBox.h"
#include "platform/PowerOff.h"
#include "platform/desktop/AppId.h"
#include "platform/desktop/DesktopNotification.h"
#include "platform/gtk/WindowAttention.h"
#include "res/Resources.h"

namespace {

constexpr unsigned kWatchdogTimerId = 1;
constexpr unsigned kWatchdogPeriodMs = 10000;
// The stall is declared on the tick that takes the count past this: the 19th silent one.
constexpr unsigned kIdleTickLimit = 18;

void SetStartStopCaption(CBatchDialog& dialog, const char* caption)
{
    if (wxWindow* button = dialog.GetDlgItem(IDOK))
        button->SetLabel(caption);
}

// The text of one audio-setting row; empty when there is no such row (no selection was
// stored), which matches no codec name of the encoder.
std::string AudioSettingText(const CBatchDialog& dialog, int row)
{
    auto* choice = dynamic_cast<wxChoice*>(dialog.GetDlgItem(res::IDC_AUDIO_SETTING));
    if (!choice || row < 0 || static_cast<unsigned>(row) >= choice->GetCount())
        return std::string();
    return choice->GetString(static_cast<unsigned>(row)).utf8_string();
}

// The window a top-level window last handed the user to: the newest shown dialog it owns.
wxTopLevelWindow* LastActivePopup(wxTopLevelWindow* window)
{
    wxTopLevelWindow* popup = window;
    for (wxWindow* candidate : wxTopLevelWindows) {
        auto* top = dynamic_cast<wxTopLevelWindow*>(candidate);
        if (top && top != window && top->IsShown() && top->GetParent() == window)
            popup = top;
    }
    return popup;
}

// The work area (the screen less panels and docks) of the monitor the window is on.
wxRect WorkAreaOf(const wxWindow& window)
{
    const int display = wxDisplay::GetFromWindow(&window);
    return wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea();
}

}  // namespace

wxSize FitDisplayWithin(const wxSize& display, const wxSize& room)
{
    if (display.x <= room.x && display.y <= room.y)
        return display;
    const double scale = std::max(0.0, std::min(double(room.x) / display.x, double(room.y) / display.y));
    return wxSize(std::max(1, int(display.x * scale)), std::max(1, int(display.y * scale)));
}

void CBatchDialog::OnOK()
{
    if (m_producer.IsEncoding()) {
        StopBatch();
        return;
    }
    // Without a control every call would be skipped and the batch would only ever stall.
    if (!m_producer.GetSafeHwnd()) {
        platform::AfxMessageBox(batchtext::kNoEncoderControl);
        return;
    }
    if (m_list.GetCount() < 1) {
        platform::AfxMessageBox(batchtext::kSelectSourceFirst);
        return;
    }
    UpdateData(TRUE);
    if (m_nBitRate < settings::kMinBitRate) {
        platform::AfxMessageBox(batchtext::kBitrateTooLow);
        return;
    }
    m_bStopRequested = FALSE;
    m_writtenTargets.clear();
    m_nConverted = m_nFailed = 0;
    m_log.SetWindowText(std::string());
    SetStartStopCaption(*this, batchtext::kStopCaption);
    m_nIdleTicks = 0;
    m_nTimerId = SetTimer(kWatchdogTimerId, kWatchdogPeriodMs);
    // An idle desktop would suspend the machine under an overnight batch.
    m_inhibitor.Take(kProgramName, batchtext::ConvertingReason(m_list.GetCount()));
    // A crash during the first file, often the longest, must not lose the queue just built.
    SaveQueueAndLog();
    PostMessage(WM_ENCODE_NEXT, 0, 0);
}

void CBatchDialog::StopBatch()
{
    UpdateData(TRUE);
    // A stopped batch never powers the machine off; the cleared box shows it.
    m_bAutoShutdown = FALSE;
    UpdateData(FALSE);
    m_bStopRequested = TRUE;
    m_producer.StopEncoding();
    SetStartStopCaption(*this, batchtext::kStartCaption);
    m_inhibitor.Release();
}

void CBatchDialog::OnCancel()
{
    if (m_producer.GetSafeHwnd() && m_producer.IsEncoding() &&
        platform::AfxMessageBox(batchtext::kExitWhileEncoding, MB_YESNO) != IDYES)
        return;
    CloseAfterStopping();
    // Told once, here, rather than at every failed checkpoint during the night.
    if (!m_unsavedFiles.empty()) {
        std::string text = batchtext::kNotSaved;
        for (const std::string& file : m_unsavedFiles)
            text += "\n" + file;
        platform::AfxMessageBox(text);
    }
}

void CBatchDialog::CloseAfterStopping()
{
    if (m_producer.GetSafeHwnd() && m_producer.IsEncoding()) {
        StopBatch();
        m_producer.DestroyWindow();
    }
    m_inhibitor.Release();
    // Later launches wait from here on instead of handing files to a window that is going; the
    // settings file is theirs once it has been written for the last time.
    if (m_instance)
        m_instance->StopServing();
    SaveSettings();
    m_instance.reset();
    CResizableDialog::OnCancel();
}

void CBatchDialog::OnTerminationSignal()
{
    // Nobody is there to answer: an open box (the exit question, a refusal, the chooser) is
    // closed first, and this dialog ends only once the box's own loop has returned - ended from
    // inside it, the outer loop would not notice.
    bool closedBox = false;
    for (wxWindow* window : wxTopLevelWindows) {
        auto* box = dynamic_cast<wxDialog*>(window);
        if (box && box != this && box->IsModal()) {
            box->EndModal(wxID_CANCEL);
            closedBox = true;
        }
    }
    CloseForSignalOutside(closedBox ? wxEventLoopBase::GetActive() : nullptr);
}

void CBatchDialog::CloseForSignalOutside(const wxEventLoopBase* boxLoop)
{
    if (boxLoop && wxEventLoopBase::GetActive() == boxLoop) {
        CallAfter([this, boxLoop] { CloseForSignalOutside(boxLoop); });
        return;
    }
    // Boxes the close itself would show (an exchange failure) are answered as dismissed.
    const platform::MessageBoxHook previous = platform::SetMessageBoxHook(
        [](const platform::MessageBoxCall& call) { return (call.type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK; });
    CloseAfterStopping();
    platform::SetMessageBoxHook(previous);
}

long CBatchDialog::OnEncodeNext(long, long)
{
    if (m_list.GetCount() < 1) {
        SaveDueCheckpoint();
        return 0;
    }
    const std::string source = m_list.GetText(0);
    const std::string target = BuildTargetPath(source, m_bFolderAsPrefix != FALSE);
    const std::string audioSetting = AudioSettingText(*this, m_nAudioSetting);
    // Two sources with one target (movie.mpg, movie.mpeg): the second would replace the
    // first's result.
    if (const auto written = m_writtenTargets.find(target); written != m_writtenTargets.end()) {
        m_nEncodingEntry = 0;
        ++m_nFailed;
        AppendLogLine(std::string(batchtext::kSameTargetNotConverted) + source + " (its target " + target +
                      " was written from " + written->second + " in this batch)");
        DropHeadAndGoOn();
        return 0;
    }
    m_strEncodingSource = source;
    m_strEncodingTarget = target;
    m_bEncodingFailed = FALSE;
    m_nEncodingEntry = 0;

    // Each file gets a fresh control, so that nothing of the previous encode carries over.
    if (m_producer.GetSafeHwnd())
        m_producer.DestroyWindow();
    CreateProducerInPlaceholder();
    if (!m_producer.GetSafeHwnd()) {
        // Nothing would ever report on this file, and the button could no longer stop the
        // batch: end it here, leaving the file at the head of the queue.
        KillTimer(m_nTimerId);
        SetStartStopCaption(*this, batchtext::kStartCaption);
        m_inhibitor.Release();
        SaveDueCheckpoint();
        platform::AfxMessageBox(batchtext::kNoEncoderControl);
        return 0;
    }

    ConfigureEncoder(m_producer, source, target, m_strAuthor, audioSetting, m_nBitRate,
                     m_bDeInterlace, FALSE);
    // Written once this file is under way, so that the disk's waits overlap its encode.
    SaveDueCheckpoint();
    return 0;
}

void CBatchDialog::OnTimer(unsigned id)
{
    if (id == kWatchdogTimerId) {
        if (++m_nIdleTicks > kIdleTickLimit) {
            PostMessage(WM_ENCODE_STALLED, 0, 0);
            m_nIdleTicks = 0;
        }
    }
    CResizableDialog::OnTimer(id);
}

long CBatchDialog::OnEncodeStalled(long, long)
{
    m_bEncodingFailed = TRUE;
    AppendLogLine(batchtext::kCompressionFailed);
    // The file that stalled, even when the user has removed its entry meanwhile (entry 0 would
    // then name another file, or none).
    AppendLogLine(m_strEncodingSource.empty() ? m_list.GetText(0) : m_strEncodingSource);
    m_nIdleTicks = 0;
    // The control's finished event drops the file and moves the batch on.
    m_producer.StopEncoding();
    return 0;
}

void CBatchDialog::OnEncodeStarted()
{
    m_progress.SetPos(0);
    m_nIdleTicks = 0;
}

void CBatchDialog::OnEncodeProgress(long, long, long percent, long)
{
    m_progress.SetPos(static_cast<int>(percent));
    m_nIdleTicks = 0;
}

void CBatchDialog::OnEncodeError(long code, const std::string& text)
{
    m_bEncodingFailed = TRUE;
    AppendLogLine(m_producer.GetInputFile());
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, batchtext::kErrorPrefixFormat, static_cast<int>(code));
    AppendLog(prefix);
    AppendLogLine(text);
}

void CBatchDialog::OnEncodeFinished()
{
    m_nIdleTicks = 0;
    m_progress.SetPos(100);
    if (m_bStopRequested) {
        // The stopped file stays at the head of the queue for the next Start.
        KillTimer(m_nTimerId);
        return;
    }
    // Only a clean end has written the target (the control replaces it on success only).
    if (!m_bEncodingFailed && !m_strEncodingTarget.empty())
        m_writtenTargets.emplace(m_strEncodingTarget, m_strEncodingSource);
    ++(m_bEncodingFailed ? m_nFailed : m_nConverted);
    // A file that ended after an error or a stall leaves the queue all the same.
    DropHeadAndGoOn();
}

void CBatchDialog::DropHeadAndGoOn()
{
    // The entry of the file that was encoded, wherever "-" has moved it; none when the user
    // removed it meanwhile.
    if (m_nEncodingEntry >= 0)
        m_list.DeleteString(m_nEncodingEntry);
    m_nEncodingEntry = -1;
    // A crash or a power cut later loses at most the file in progress.
    m_bCheckpointDue = TRUE;
    if (m_list.GetCount() > 0) {
        PostMessage(WM_ENCODE_NEXT, 0, 0);
        return;
    }
    SaveDueCheckpoint();
    KillTimer(m_nTimerId);
    m_nTimerId = 0;
    SetStartStopCaption(*this, batchtext::kStartCaption);
    // Released before a power-off too: logind would otherwise refuse it, or delay it.
    m_inhibitor.Release();
    TellBatchDone();
    // Auto Shutdown ticked or cleared during the batch counts.
    UpdateData(TRUE);
    if (m_bAutoShutdown) {
        SaveSettings();
        // A refusal is only known once asked; the reason is saved with the log for the morning.
        if (!PowerOffSystem())
            SaveSettings();
    }
}

void CBatchDialog::TellBatchDone()
{
    // The user is elsewhere: told by the desktop, never by taking the keyboard from them.
    platform::NotifyDesktop({kProgramName, platform::kDesktopAppId, batchtext::kBatchDoneSummary,
                             batchtext::BatchDoneBody(m_nConverted, m_nFailed)});
    platform::gtk::RequestAttention(*this);
}

void CBatchDialog::SaveDueCheckpoint()
{
    if (m_bCheckpointDue) {
        m_bCheckpointDue = FALSE;
        SaveQueueAndLog();
    }
}

void CBatchDialog::OnEncoderSize(long cx, long cy)
{
    const int placeholderWidth = m_rcPlaceholder.GetWidth();
    const int placeholderHeight = m_rcPlaceholder.GetHeight();
    // In client terms: the window's frame is the window manager's, and unknown until the first
    // show, so whole-window sizes taken at start-up would leave the client area short by it and
    // the display would cover the progress bar.
    const wxSize initial = GetInitialClientSize();

    // Only the width decides between growing around the display and going back. Neither raises
    // the window: a file starting must not take the keyboard from whatever the user is doing.
    if (cx > placeholderWidth) {
        const wxSize around(initial.x - placeholderWidth + 1, initial.y - placeholderHeight + 1);
        // Never past the monitor's work area: a larger display is shown smaller, in its shape.
        const wxRect area = WorkAreaOf(*this);
        const wxSize frame = GetSize() - GetClientSize();
        const wxSize wanted(static_cast<int>(cx), static_cast<int>(cy));
        const wxSize display = FitDisplayWithin(wanted, area.GetSize() - frame - around);
        if (display != wanted && m_producer.GetSafeHwnd())
            m_producer.GetSafeHwnd()->SetSize(display);
        if (!m_bGrown)
            m_ptBeforeGrowth = GetPosition();
        m_bGrown = true;
        SetClientSize(around + display);
        // Grown where it stands, unless that would cross the area's right or bottom edge.
        const wxSize size = GetSize();
        const wxPoint at = GetPosition();
        const wxPoint inside(std::max(area.x, std::min(at.x, area.GetRight() + 1 - size.x)),
                             std::max(area.y, std::min(at.y, area.GetBottom() + 1 - size.y)));
        if (inside != at)
            Move(inside);
    } else {
        SetClientSize(initial);
        // Back where it was before it grew, whoever moved it to make room.
        if (m_bGrown && GetPosition() != m_ptBeforeGrowth)
            Move(m_ptBeforeGrowth);
        m_bGrown = false;
    }
}

BOOL CBatchDialog::PowerOffSystem()
{
    platform::IPowerOff& service = platform::PowerOffService();
    if (service.PowerOff())
        return TRUE;
    AppendLogLine(std::string(batchtext::kPowerOffFailed) + service.FailureReason());
    return FALSE;
}

void CBatchDialog::BringWindowToFront(wxTopLevelWindow* window)
{
    window->Show();
    if (window->IsMaximized())
        window->Maximize(false);
    window->Update();
    wxTopLevelWindow* popup = LastActivePopup(window);
    window->Raise();
    if (window->IsIconized()) {
        window->Iconize(false);
        window->Show();
        window->Update();
    }
    if (popup != window)
        popup->Raise();
}

void CBatchDialog::AppendLog(const std::string& text)
{
    const int end = m_log.GetWindowTextLength();
    m_log.SetSel(end, end);
    m_log.ScrollCaret();
    m_log.ReplaceSel(text);
}

void CBatchDialog::AppendLogLine(const std::string& text)
{
    AppendLog(text);
    AppendLog(batchtext::kLineEnd);
}
