#include "app/BatchDialog.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dcclient.h>

#include "common/EncoderContract.h"
#include "res/Resources.h"
#include "sources/SettingsStore.h"
#include "sources/SourceListDrop.h"

using automation::ArgI4;
using automation::ArgStr;
using automation::RequireArgCount;
using automation::Variant;

namespace {

using Args = std::vector<Variant>;

const automation::CEventSinkMap<CBatchDialog>& EventSinkMap()
{
    static const automation::CEventSinkMap<CBatchDialog> map = {
        {1000, dispid::kEventStarted, [](CBatchDialog& d, const Args& a) {
             RequireArgCount(a, 0);
             d.OnEncodeStarted();
         }},
        {1000, dispid::kEventFinished, [](CBatchDialog& d, const Args& a) {
             RequireArgCount(a, 0);
             d.OnEncodeFinished();
         }},
        {1000, dispid::kEventProgress, [](CBatchDialog& d, const Args& a) {
             RequireArgCount(a, 4);
             d.OnEncodeProgress(ArgI4(a, 0), ArgI4(a, 1), ArgI4(a, 2), ArgI4(a, 3));
         }},
        {1000, dispid::kEventError, [](CBatchDialog& d, const Args& a) {
             RequireArgCount(a, 2);
             d.OnEncodeError(ArgI4(a, 0), ArgStr(a, 1));
         }},
        {1000, dispid::kEventDisplaySize, [](CBatchDialog& d, const Args& a) {
             RequireArgCount(a, 2);
             d.OnEncoderSize(ArgI4(a, 0), ArgI4(a, 1));
         }},
    };
    return map;
}

}  // namespace

wxRect CBatchDialog::ScreenRectOf(wxWindow& window) const
{
    if (IsShownOnScreen())
        return window.GetScreenRect();
    // Before the dialog is first shown GTK knows no screen position of its children; the
    // position the dialog is about to take stands in (only the sizes are used afterwards).
    const wxPoint origin = GetPosition();
    return &window == this ? wxRect(origin, GetSize()) : wxRect(origin + window.GetPosition(), window.GetSize());
}

wxPoint MinimisedIconPosition(const wxSize& client, const wxSize& icon)
{
    return wxPoint((client.x - icon.x + 1) / 2, (client.y - icon.y + 1) / 2);
}

CBatchDialog::CBatchDialog(wxWindow* parent)
    : CResizableDialog(res::BatchDialogTemplate(), parent), m_hIcon(res::LoadIconResource(res::IDR_MAINFRAME))
{
    Bind(wxEVT_PAINT, &CBatchDialog::OnPaintEvent, this);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAddFiles(); }, res::IDC_ADD_FILES);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnRemoveFiles(); }, res::IDC_REMOVE_FILES);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnHelpPage(); }, res::IDC_HELP_PAGE);
    Bind(wxEVT_CHOICE, [this](wxCommandEvent& event) {
        ShowAudioSettingToolTip();
        event.Skip();
    }, res::IDC_AUDIO_SETTING);
}

void CBatchDialog::ShowAudioSettingToolTip()
{
    // The closed box cuts the longer rows short; the tooltip tells the whole row.
    auto* choice = dynamic_cast<wxChoice*>(GetDlgItem(res::IDC_AUDIO_SETTING));
    if (!choice)
        return;
    const int row = choice->GetSelection();
    if (row == wxNOT_FOUND)
        choice->UnsetToolTip();
    else
        choice->SetToolTip(choice->GetString(static_cast<unsigned>(row)));
}

CBatchDialog::~CBatchDialog()
{
    // The control stops and joins its work before the dialog's children go.
    m_producer.DestroyWindow();
}

void CBatchDialog::DoDataExchange(platform::CDataExchange* pDX)
{
    using namespace platform;
    CResizableDialog::DoDataExchange(pDX);
    DDX_Control(pDX, res::IDC_PROGRESS, m_progress);
    DDX_Control(pDX, res::IDC_LOG, m_log);
    DDX_Control(pDX, res::IDC_SOURCE_LIST, m_list);
    DDX_Text(pDX, res::IDC_BITRATE, m_nBitRate);
    DDX_Check(pDX, res::IDC_FOLDER_AS_PREFIX, m_bFolderAsPrefix);
    DDX_Check(pDX, res::IDC_AUTO_SHUTDOWN, m_bAutoShutdown);
    DDX_Text(pDX, res::IDC_AUTHOR, m_strAuthor);
    DDX_CBIndex(pDX, res::IDC_AUDIO_SETTING, m_nAudioSetting);
    DDX_Check(pDX, res::IDC_DEINTERLACE, m_bDeInterlace);
    if (!pDX->m_bSaveAndValidate)
        ShowAudioSettingToolTip();
}

BOOL CBatchDialog::OnInitDialog()
{
    CResizableDialog::OnInitDialog();
    // Big and small alike; on a scaled display also renditions that need no blowing up.
    SetIcons(res::WindowIcons(res::IDR_MAINFRAME, GetContentScaleFactor()));
    m_aboutIcon.SubclassDlgItem(res::IDC_ABOUT_ICON, this);
    m_progress.SetRange(0, 100);
    AcceptDroppedSourceFiles(*this);
    m_rcDialog = ScreenRectOf(*this);
    CreateProducerInPlaceholder();
    BuildProfilePaths();
    LoadSettings();
    if (!m_startupFiles.empty())
        QueueSourceFiles(m_startupFiles);
    if (m_instance) {
        m_instance->SetOpenHandler([this](const std::vector<std::string>& files, const std::string& startupId) {
            OnOpenFromLaunch(files, startupId);
        });
    }
    return TRUE;
}

void CBatchDialog::CreateProducerInPlaceholder()
{
    // A child's own rectangle is already in client coordinates; going through the screen would
    // fail before the window is first shown (GTK knows no screen position until then).
    wxWindow* placeholder = GetDlgItem(res::IDC_PLACEHOLDER);
    m_rcPlaceholder = ScreenRectOf(*placeholder);
    const wxRect client = placeholder->GetRect();
    // Whether a control could be created is not examined here; without one every call is skipped.
    m_producer.Create(nullptr, nullptr, WS_VISIBLE, client, this, 1000);
}

bool CBatchDialog::OnPaint()
{
    if (!IsIconized())
        return false;
    wxPaintDC dc(this);
    dc.Clear();
    const wxPoint at = MinimisedIconPosition(GetClientSize(), wxSize(32, 32));
    dc.DrawIcon(m_hIcon, at);
    return true;
}

void CBatchDialog::OnPaintEvent(wxPaintEvent& event)
{
    if (!OnPaint())
        event.Skip();
}

void CBatchDialog::LayoutControls(int dx, int dy)
{
    const int h = dx / 2;  // C++ division truncates toward zero, as the layout wants
    GrowControl(h, 0, res::IDC_SOURCE_LIST);
    GrowControl(h, 0, res::IDC_LOG);
    MoveControl(h, 0, res::IDC_LOG);
    GrowControl(dx, 0, res::IDC_PROGRESS);
    MoveControl(0, dy, res::IDC_PROGRESS);
    MoveControl(dx, 0, IDOK);
    MoveControl(dx, 0, res::IDC_HELP_PAGE);
    MoveControl(h, 0, res::IDC_INFO_LABEL);
}

long CBatchDialog::OnPostedMessage(unsigned message, long wParam, long lParam)
{
    switch (message) {
    case WM_ENCODE_STALLED: return OnEncodeStalled(wParam, lParam);
    case WM_ENCODE_NEXT: return OnEncodeNext(wParam, lParam);
    default: return CResizableDialog::OnPostedMessage(message, wParam, lParam);
    }
}

void CBatchDialog::FireEvent(int childId, automation::DISPID eventId, const std::vector<Variant>& params)
{
    EventSinkMap().Dispatch(*this, childId, eventId, params);
}
