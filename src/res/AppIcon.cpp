// Icon 128: the application icon, 32 x 32, our own drawing (a disc and an arrow on a blue tile),
// and renditions of the same drawing's scalable form for displays scaled above 1.
#include "res/Resources.h"

namespace res {

namespace {

// clang-format off
const char* const kAppIconXpm[] = {
    "32 32 9 1",
    ". c None",
    "b c #1E4E8C",
    "B c #163A69",
    "s c #D8DDE3",
    "S c #9AA4AF",
    "h c #1E4E8C",
    "o c #F28C28",
    "O c #B85F0E",
    "w c #FFFFFF",
    ".....bbbbbbbbbbbbbbbbbbbbbb.....",
    "..bbbbbbbbbbbbbbbbbbbbbbbbbbbb..",
    ".bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.",
    ".bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.",
    ".bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.",
    "bbbbbbbbbSSSSSSSSbbbbbbbbbbbbbbb",
    "bbbbbbbSSssssssssSSbbbbbbbbbbbbb",
    "bbbbbbSsswwwwwwwwssSbbbbbbbbbbbb",
    "bbbbbSsswwwwwwwwssssSbbbbbbbbbbb",
    "bbbbSsssswwwwwwwsssssSbbbbbbbbbb",
    "bbbbSssssswssssssssssSbbbbbbbbbb",
    "bbbSssssssssssssssssssSbbbbbbbbb",
    "bbbSsssssssSSSSsssssssSbbbbbbbbb",
    "bbbSssssssSShhSSssssssSbbbbbbbbb",
    "bbbSssssssShhhhSssssssSbbbbbbbbb",
    "bbbSssssssShhhhSssssssSbbbbbbbbb",
    "bbbSssssssSShhSSssssssSbbbbbbbbb",
    "bbbSsssssssSSSSsssssssSbbbbbbbbb",
    "bbbSssssssssssssssssssSbbbbbbbbb",
    "bbbbSssssssssssssssssSbbbbbbbbbb",
    "bbbbSssssssssssssssssSbboobbbbbb",
    "bbbbbSssssssssssssssSbbbooobbbbb",
    "bbbbbbSssssssssssssSbbbboooobbbb",
    "bbbbbbbSSssssssssoooooooooooobbb",
    "bbbbbbbbbSSSSSSSSooooooooooooobb",
    "bbbbbbbbbbbbbbbbbooooooooooooobb",
    "bbbbbbbbbbbbbbbbbOOOOOOOOOOOObbb",
    ".bbbbbbbbbbbbbbbbbbbbbbbOOOObbb.",
    ".bbbbbbbbbbbbbbbbbbbbbbbOOObbbb.",
    ".BBBBBBBBBBBBBBBBBBBBBBBOOBBBBB.",
    "..BBBBBBBBBBBBBBBBBBBBBBBBBBBB..",
    ".....BBBBBBBBBBBBBBBBBBBBBB....."
};
// clang-format on

// Sizes rendered from the drawing for scaled displays: 1.5, 2, 3 and 4 times the picture's.
constexpr int kRenditions[] = {48, 64, 96, 128};

}  // namespace

wxIcon LoadIconResource(int resourceId)
{
    if (resourceId != IDR_MAINFRAME)
        return wxIcon();
    return wxIcon(kAppIconXpm);
}

wxBitmapBundle LoadIconBundle(int resourceId)
{
    if (resourceId != IDR_MAINFRAME)
        return wxBitmapBundle();
    const wxBitmapBundle drawing = wxBitmapBundle::FromSVG(kAppIconSvg, wxSize(32, 32));
    wxVector<wxBitmap> bitmaps;
    bitmaps.push_back(wxBitmap(kAppIconXpm));
    for (const int size : kRenditions)
        bitmaps.push_back(drawing.GetBitmap(wxSize(size, size)));
    return wxBitmapBundle::FromBitmaps(bitmaps);
}

wxIconBundle WindowIcons(int resourceId, double scale)
{
    wxIconBundle icons;
    const wxIcon picture = LoadIconResource(resourceId);
    if (!picture.IsOk())
        return icons;
    icons.AddIcon(picture);
    if (scale > 1.0) {
        const wxBitmapBundle drawing = wxBitmapBundle::FromSVG(kAppIconSvg, wxSize(32, 32));
        for (const int size : kRenditions) {
            wxIcon icon;
            icon.CopyFromBitmap(drawing.GetBitmap(wxSize(size, size)));
            icons.AddIcon(icon);
        }
    }
    return icons;
}

}  // namespace res
