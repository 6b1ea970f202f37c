// The eight audio settings: the rows of the dialog's audio box, the names of the encoder
// control's codecs, and the rates the engine is given for them. One list for all three.
#pragma once

#include <array>
#include <string_view>

struct AudioRow {
    std::string_view name;   // shown in the dialog and compared by the set-up, byte for byte
    int kbps;                // the rate it names
    std::string_view codec;  // "cook" at that rate, or "ac3" at the nearest rate AC3 has
};

inline constexpr std::array<AudioRow, 8> kAudioRows = {{
    {"32 Kbps Stereo Music High - RA8", 32, "cook"},
    {"44 Kbps Stereo Music High - RA8", 44, "cook"},
    {"64 Kbps Stereo Music - RA8", 64, "cook"},
    {"96 Kbps Stereo Music - RA8", 96, "cook"},
    {"105 Kbps Stereo Music - RA 8", 105, "ac3"},
    {"132 Kbps Stereo Music - RA 8", 132, "ac3"},
    {"176 Kbps Stereo Music - RA 8", 176, "ac3"},
    {"264 Kbps Stereo Music - RA 8", 264, "ac3"},
}};

// The row the encoder falls back to when it is given none it knows:
// "64 Kbps Stereo Music - RA8".
inline constexpr int kEncoderDefaultAudioRow = 2;
