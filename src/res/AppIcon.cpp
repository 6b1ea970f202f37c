// Icon 128: the application icon, 32 x 32, our own drawing (a disc and an arrow on a blue tile).
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

}  // namespace

wxIcon LoadIconResource(int resourceId)
{
    if (resourceId != IDR_MAINFRAME)
        return wxIcon();
    return wxIcon(kAppIconXpm);
}

}  // namespace res
