// CBatchDialog: the main window. It owns every control, hosts the encoder control over the
// placeholder area, carries the options the batch uses, and runs the batch in its handlers.
// The handlers live beside the subsystem they belong to: encoding/ (the batch), sources/ (the
// queue and the settings files), about/ (the help page).
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <wx/icon.h>

#include "platform/Controls.h"
#include "about/AboutIcon.h"
#include "app/ResizableDialog.h"
#include "platform/automation/EventSink.h"
#include "encoding/ProducerControl2.h"
#include "platform/desktop/SingleInstance.h"
#include "platform/desktop/SleepInhibitor.h"

class PrivateProfile;
class wxEventLoopBase;
class wxTopLevelWindow;

constexpr unsigned WM_ENCODE_STALLED = platform::WM_USER + 11;
constexpr unsigned WM_ENCODE_NEXT = platform::WM_USER + 12;

class CBatchDialog : public CResizableDialog, public automation::IEventSink {
public:
    explicit CBatchDialog(wxWindow* parent = nullptr);
    ~CBatchDialog() override;

    BOOL OnInitDialog() override;
    void OnOK() override;       // Start/Stop
    void OnCancel() override;   // close box, Escape

    // Painting while minimised: the centred icon. Returns false when the default painting runs.
    bool OnPaint();
    const wxIcon& OnQueryDragIcon() const { return m_hIcon; }

    // The queue.
    void OnAddFiles();
    void OnRemoveFiles();
    void AddSourceFile(const std::string& path, platform::CListBox& list);
    // Files handed over from outside (dropped, or on the command line): each one that can be
    // queued is, as "+" would; the others are told in one box.
    void QueueSourceFiles(const std::vector<std::string>& paths);
    // Makes this window the one for its settings file: files of later launches join its queue
    // as the command line's would, and it comes to the front. Set before Create.
    void ServeInstance(std::unique_ptr<platform::SingleInstance> instance) { m_instance = std::move(instance); }
    // Files to queue once the settings are loaded (the desktop's "Open with"); set before Create.
    void SetStartupFiles(std::vector<std::string> paths) { m_startupFiles = std::move(paths); }

    void OnHelpPage();

    // The batch.
    void OnTimer(unsigned id) override;
    long OnEncodeStalled(long wParam, long lParam);
    long OnEncodeNext(long wParam, long lParam);
    void StopBatch();
    void OnEncodeStarted();
    void OnEncodeFinished();
    void OnEncodeProgress(long elapsed, long duration, long percent, long frames);
    void OnEncodeError(long code, const std::string& text);
    void OnEncoderSize(long cx, long cy);
    BOOL PowerOffSystem();
    static void BringWindowToFront(wxTopLevelWindow* window);
    void AppendLog(const std::string& text);
    void AppendLogLine(const std::string& text);

    // Settings, queue and log between runs.
    void SaveSettings();
    void LoadSettings();
    // The checkpoint after each finished file: queue and log only.
    void SaveQueueAndLog();
    // The settings or log files whose last write failed.
    const std::set<std::string>& UnsavedFiles() const { return m_unsavedFiles; }

    // SIGTERM, SIGINT or SIGHUP: closes as Yes on the exit question would, asking nothing.
    void OnTerminationSignal();

    // Events of the hosted encoder control, delivered on the UI thread.
    void FireEvent(int childId, automation::DISPID eventId,
                   const std::vector<automation::Variant>& params) override;

    // Fields, in declaration order.
    platform::CProgressCtrl m_progress;
    platform::CEdit m_log;
    platform::CListBox m_list;
    int m_nBitRate = 0;
    BOOL m_bFolderAsPrefix = FALSE;
    BOOL m_bAutoShutdown = FALSE;
    std::string m_strAuthor;
    int m_nAudioSetting = -1;
    BOOL m_bDeInterlace = FALSE;
    wxIcon m_hIcon;
    wxRect m_rcPlaceholder;  // screen coordinates
    wxRect m_rcDialog;       // screen coordinates, as the dialog opened
    BOOL m_bStopRequested = FALSE;
    CAboutIcon m_aboutIcon;
    unsigned m_nIdleTicks = 0;
    unsigned m_nTimerId = 0;
    CProducerControl2 m_producer;
    // The file being encoded, its target, and whether an error or a stall was reported for it.
    std::string m_strEncodingSource;
    std::string m_strEncodingTarget;
    BOOL m_bEncodingFailed = FALSE;
    // Targets written by this batch, each with the source it was written from.
    std::map<std::string, std::string> m_writtenTargets;
    std::vector<std::string> m_startupFiles;
    // The queue entry being encoded, followed through removals by "-"; -1 when there is none
    // (not started, or removed by the user meanwhile).
    int m_nEncodingEntry = -1;
    // Keeps the machine awake from Start until the batch ends, stops or the window closes.
    platform::SleepInhibitor m_inhibitor;
    // Files of this batch that were converted, and that failed (errors, stalls, refusals).
    int m_nConverted = 0;
    int m_nFailed = 0;

protected:
    void DoDataExchange(platform::CDataExchange* pDX) override;
    void LayoutControls(int dx, int dy) override;
    long OnPostedMessage(unsigned message, long wParam, long lParam) override;

private:
    // Takes the placeholder's rectangle into m_rcPlaceholder and creates m_producer over it, as
    // at start-up and before each file.
    void CreateProducerInPlaceholder();
    void WriteQueueAndLog(PrivateProfile& profile);
    void NoteSaved(const std::string& file, bool saved);
    // Stops and destroys a running control, saves everything and ends the dialog.
    void CloseAfterStopping();
    // The signal's close, once the loop of a box it closed (if any) is no longer the running one.
    void CloseForSignalOutside(const wxEventLoopBase* boxLoop);
    std::set<std::string> m_unsavedFiles;
    // Where the window stood before it grew around the encoder's display.
    wxPoint m_ptBeforeGrowth;
    bool m_bGrown = false;
    std::unique_ptr<platform::SingleInstance> m_instance;
    // Files a later launch handed over (the instance's open handler).
    void OnOpenFromLaunch(const std::vector<std::string>& files, const std::string& startupId);
    // Adds what can be queued and saves the queue; returns the paths refused, for one box.
    std::vector<std::string> QueueAndSave(const std::vector<std::string>& paths);
    // The batch ran to its end: the user is told without the window taking the focus.
    void TellBatchDone();
    // A file left the queue and the checkpoint for it is still to be written.
    BOOL m_bCheckpointDue = FALSE;
    void SaveDueCheckpoint();

    // The head file is done with (converted, failed or refused): drop it, then set up the next
    // one or end the batch.
    void DropHeadAndGoOn();
    // The audio box's selected row, whole, as its tooltip.
    void ShowAudioSettingToolTip();
    // A child's (or the dialog's own) rectangle in screen coordinates, also before the first show.
    wxRect ScreenRectOf(wxWindow& window) const;
    void OnPaintEvent(wxPaintEvent& event);
};

// The encoder's display at the largest size that fits `room`, in its own shape; unchanged when it
// fits already.
wxSize FitDisplayWithin(const wxSize& display, const wxSize& room);

// Where the minimised window draws its icon: centred, rounding as the integer division does.
wxPoint MinimisedIconPosition(const wxSize& client, const wxSize& icon);
