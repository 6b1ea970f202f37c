#include "engine/CookPresets.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace quenlar::encoder {

namespace {

struct Preset {
    int kbps;
    int subbands;    // coded bandwidth: 20 coefficients of 21.5 Hz each
    int jointStart;  // bands below are coded for each channel
};

// Measured on ../shared/media/music-30s.ogg with bench/cook_quality.
constexpr std::array<Preset, 4> kPresets = {{
    {32, 30, 10},
    {44, 37, 16},
    {64, 40, 13},
    {96, 44, 9},
}};

constexpr int kSampleRate = 44'100;
constexpr int kFrameSamples = 1024;

}  // namespace

cook::StreamParameters CookStreamFor(int kbps)
{
    const Preset* nearest = &kPresets.front();
    for (const Preset& preset : kPresets) {
        if (std::abs(preset.kbps - kbps) < std::abs(nearest->kbps - kbps))
            nearest = &preset;
    }
    cook::StreamParameters stream;
    stream.sampleRate = kSampleRate;
    stream.channels = 2;
    stream.frameSamples = kFrameSamples;
    stream.subbands = nearest->subbands;
    stream.jointStart = nearest->jointStart;
    stream.frameBytes = static_cast<int>(std::lround(kbps * 1000.0 * kFrameSamples / (8.0 * kSampleRate)));
    return stream;
}

}  // namespace quenlar::encoder
