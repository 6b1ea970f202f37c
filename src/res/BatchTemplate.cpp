// Dialog template 102: the main window.
#include "res/Resources.h"

#include "common/AudioRows.h"
#include "platform/WinDefs.h"

namespace res {

using platform::ControlClass;

namespace {

constexpr uint32_t kChild = WS_CHILD | WS_VISIBLE;

}  // namespace

const std::vector<std::string>& AudioSettingRows()
{
    static const std::vector<std::string> rows = [] {
        std::vector<std::string> names;
        for (const AudioRow& row : kAudioRows)
            names.emplace_back(row.name);
        return names;
    }();
    return rows;
}

const platform::DialogTemplate& BatchDialogTemplate()
{
    static const platform::DialogTemplate tmpl = {
        IDD_BATCH_DIALOG,
        WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT,
        WS_EX_APPWINDOW,
        "Quenlar",
        0, 0, 244, 210,
        "System", 9,
        {
            {IDOK, ControlClass::Button, "Start", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 208, 3, 29, 14},
            {IDC_PROGRESS, ControlClass::Progress, "", kChild | WS_BORDER, 0, 7, 194, 230, 9},
            {-1, ControlClass::Static, "Source Files:", kChild | SS_LEFT, 0, 7, 8, 44, 8},
            {IDC_ADD_FILES, ControlClass::Button, "+", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 54, 7, 12, 10},
            {IDC_REMOVE_FILES, ControlClass::Button, "-", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 69, 7, 12, 10},
            {IDC_SOURCE_LIST, ControlClass::ListBox, "",
             kChild | WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                 LBS_EXTENDEDSEL,
             0, 7, 18, 129, 57},
            {-1, ControlClass::Static, "Target File Name:", kChild | SS_LEFT, 0, 7, 78, 59, 8},
            {IDC_FOLDER_AS_PREFIX, ControlClass::Button, "Use Folder Name As Prefix",
             kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 67, 78, 99, 10},
            {-1, ControlClass::Static, "Target Bitrate:", kChild | SS_LEFT, 0, 7, 92, 47, 8},
            {-1, ControlClass::Static, "Kbps", kChild | SS_LEFT, 0, 80, 92, 18, 8},
            {IDC_BITRATE, ControlClass::Edit, "", kChild | WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_RIGHT | ES_AUTOHSCROLL,
             0, 56, 90, 21, 12},
            {-1, ControlClass::Static, "Author:", kChild | SS_LEFT, 0, 112, 92, 24, 8},
            {IDC_AUTHOR, ControlClass::Edit, "", kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, 137, 90, 100, 12},
            {IDC_INFO_LABEL, ControlClass::Static, "Info:", kChild | SS_LEFT, 0, 141, 9, 15, 8},
            {IDC_AUTO_SHUTDOWN, ControlClass::Button, "Auto Shutdown", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0,
             180, 107, 57, 10},
            {IDC_LOG, ControlClass::Edit, "",
             kChild | WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY, 0, 141, 18, 96,
             57},
            {IDC_ABOUT_ICON, ControlClass::Static, "128", kChild | SS_ICON | SS_NOTIFY, 0, 119, 0, 20, 20},
            {IDC_HELP_PAGE, ControlClass::Button, "Help", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 176, 3, 29, 14},
            {-1, ControlClass::Static, "Audio Settings:", kChild | SS_LEFT, 0, 7, 107, 50, 8},
            {IDC_AUDIO_SETTING, ControlClass::ComboBox, "", kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0,
             57, 105, 113, 101},
            {IDC_PLACEHOLDER, ControlClass::Static, "", WS_CHILD | SS_LEFT, WS_EX_TRANSPARENT, 7, 120, 230, 70},
            {IDC_DEINTERLACE, ControlClass::Button, "DeInterlace", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 184, 78,
             53, 10},
        },
        {{IDC_AUDIO_SETTING, AudioSettingRows()}},
        &LoadIconBundle,
    };
    return tmpl;
}

}  // namespace res
