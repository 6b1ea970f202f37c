// The program's resources: dialog template 102, the audio-setting rows, icon 128.
#pragma once

#include <string>
#include <vector>

#include <wx/bmpbndl.h>
#include <wx/icon.h>
#include <wx/iconbndl.h>

#include "platform/DialogTemplate.h"

namespace res {

constexpr int IDD_BATCH_DIALOG = 102;
constexpr int IDR_MAINFRAME = 128;

// Control ids of template 102.
constexpr int IDC_PROGRESS = 1001;
constexpr int IDC_ADD_FILES = 1002;
constexpr int IDC_REMOVE_FILES = 1003;
constexpr int IDC_SOURCE_LIST = 1004;
constexpr int IDC_FOLDER_AS_PREFIX = 1006;
constexpr int IDC_BITRATE = 1007;
constexpr int IDC_AUTHOR = 1010;
constexpr int IDC_AUTO_SHUTDOWN = 1012;
constexpr int IDC_LOG = 1013;
constexpr int IDC_INFO_LABEL = 1014;
constexpr int IDC_ABOUT_ICON = 1015;
constexpr int IDC_HELP_PAGE = 1016;
constexpr int IDC_AUDIO_SETTING = 1017;
constexpr int IDC_PLACEHOLDER = 1018;
constexpr int IDC_DEINTERLACE = 1020;

const platform::DialogTemplate& BatchDialogTemplate();

// The eight rows of the audio-setting box, in order; each is a codec name of the encoder.
const std::vector<std::string>& AudioSettingRows();

// Icon resources by id (128: the application icon, 32 x 32); an invalid icon for other ids.
wxIcon LoadIconResource(int resourceId);
// The same icon for any display scale: the 32 x 32 picture at scale 1, renditions of its
// scalable drawing above it. Empty for other ids.
wxBitmapBundle LoadIconBundle(int resourceId);
// The window icons for a display scale: the 32 x 32 picture, and above scale 1 also larger
// renditions of the drawing, so that the window manager need not blow the small one up.
wxIconBundle WindowIcons(int resourceId, double scale);

// The icon's scalable drawing (SVG).
extern const char* const kAppIconSvg;

}  // namespace res
