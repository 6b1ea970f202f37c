#include "engine/EncodeSettings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "engine/CookPresets.h"

namespace quenlar::encoder {

namespace {

// The rates an AC3 stream may have, kbit/s.
constexpr std::array<int, 19> kAc3Rates = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                           192, 224, 256, 320, 384, 448, 512, 576, 640};

// Below this rv20 sits at its coarsest quantiser anyway; asking for less only makes it overshoot.
constexpr int kMinVideoBitRate = 48'000;
// What rm adds around the streams: a 12-byte packet header and 7 bytes of framing a video
// frame, and about a kbit/s of packet headers for the sound.
constexpr int kRmBitsPerVideoFrame = 19 * 8;
constexpr int kRmAudioBitsPerSecond = 1'000;

}  // namespace

const char* VideoCodecName(VideoCodec codec)
{
    return codec == VideoCodec::Rv40 ? "rv40" : "rv20";
}

std::optional<VideoCodec> VideoCodecNamed(std::string_view name)
{
    for (const VideoCodec codec : {VideoCodec::Rv20, VideoCodec::Rv40}) {
        if (name == VideoCodecName(codec))
            return codec;
    }
    return std::nullopt;
}

const char* AudioCodecName(AudioCodec codec)
{
    return codec == AudioCodec::Cook ? "cook" : "ac3";
}

std::optional<AudioCodec> AudioCodecNamed(std::string_view name)
{
    for (const AudioCodec codec : {AudioCodec::Cook, AudioCodec::Ac3}) {
        if (name == AudioCodecName(codec))
            return codec;
    }
    return std::nullopt;
}

int NearestAc3Kbps(int kbps)
{
    int best = kAc3Rates.front();
    for (int rate : kAc3Rates) {
        if (std::abs(rate - kbps) < std::abs(best - kbps))
            best = rate;
    }
    return best;
}

int SoundBitRate(AudioCodec codec, int kbps)
{
    return codec == AudioCodec::Cook ? CookStreamFor(kbps).BitRate() : NearestAc3Kbps(kbps) * 1000;
}

int VideoBitRateFor(int totalKbps, int soundBitRate, double framesPerSecond)
{
    const long long video = static_cast<long long>(totalKbps) * 1000 - soundBitRate -
                            std::llround(framesPerSecond * kRmBitsPerVideoFrame) -
                            (soundBitRate > 0 ? kRmAudioBitsPerSecond : 0);
    return static_cast<int>(std::clamp<long long>(video, kMinVideoBitRate, 100'000'000));
}

}  // namespace quenlar::encoder
