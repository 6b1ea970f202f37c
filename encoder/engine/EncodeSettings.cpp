#include "engine/EncodeSettings.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace quenlar::encoder {

namespace {

// The rates an AC3 stream may have, kbit/s.
constexpr std::array<int, 19> kAc3Rates = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                           192, 224, 256, 320, 384, 448, 512, 576, 640};

// Below this rv20 sits at its coarsest quantiser anyway; asking for less only makes it overshoot.
constexpr int kMinVideoBitRate = 48'000;

}  // namespace

int NearestAc3Kbps(int kbps)
{
    int best = kAc3Rates.front();
    for (int rate : kAc3Rates) {
        if (std::abs(rate - kbps) < std::abs(best - kbps))
            best = rate;
    }
    return best;
}

int VideoBitRateFor(int totalKbps, int ac3Kbps)
{
    const long long video = (static_cast<long long>(totalKbps) - ac3Kbps) * 1000;
    return static_cast<int>(std::clamp<long long>(video, kMinVideoBitRate, 100'000'000));
}

}  // namespace quenlar::encoder
