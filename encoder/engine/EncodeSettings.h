// What one encode is asked to do, and how it ended.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quenlar::encoder {

// The picture's codec: rv20 through libavcodec, or rv40 through our own encoder.
enum class VideoCodec { Rv20, Rv40 };

// What the converter and the control write unless told otherwise.
inline constexpr VideoCodec kDefaultVideoCodec = VideoCodec::Rv40;
// rv40's B pictures between references: on film, at an equal rate, three give +0.7 dB over none
// (two +0.6, four gain on a DVD and lose on a Video CD, and fewer where pictures change much
// lost up to 0.4), and every player we know plays and seeks them.
inline constexpr int kDefaultBFrames = 3;
inline constexpr int kMaxBFrames = 3;

// "rv20", "rv40": the names the converter takes.
const char* VideoCodecName(VideoCodec codec);
std::optional<VideoCodec> VideoCodecNamed(std::string_view name);

// The sound's codec: cook from our own encoder, or AC3 through libavcodec.
enum class AudioCodec { Cook, Ac3 };

// "cook", "ac3": the names the audio rows give.
const char* AudioCodecName(AudioCodec codec);
std::optional<AudioCodec> AudioCodecNamed(std::string_view name);

struct EncodeSettings {
    std::string inputPath;
    std::string outputPath;
    std::string title;
    std::string author;
    std::string comment;  // the program name goes here
    bool deinterlace = false;
    int totalKbps = 500;  // the whole stream; video gets what the audio leaves
    AudioCodec audioCodec = AudioCodec::Cook;
    int audioKbps = 64;   // the rate the chosen audio row names; AC3 takes the nearest it has
    bool preview = false; // hand source and encoded pictures to the listener now and then
    int videoThreads = 0; // video encoder instances; 0: one per core
    VideoCodec videoCodec = kDefaultVideoCodec;
    // rv40: B pictures between references, 0 to kMaxBFrames; -1: QUENLAR_B_FRAMES where set, else
    // kDefaultBFrames.
    int bFrames = -1;
};

// Small, stable numbers: the control passes them on as the error code of its error event.
enum class EncodeResult {
    Ok = 0,
    CannotOpenInput = 1,
    NoVideoStream = 2,
    UnsupportedInput = 3,
    ReadError = 4,      // nothing of the video could be read
    DamagedInput = 5,   // converted as far as it could be read; the output exists
    CannotCreateOutput = 6,
    EncoderFailure = 7,
    WriteFailure = 8,
    Stopped = 9,
};

// True when the target file was written.
inline bool OutputWritten(EncodeResult result)
{
    return result == EncodeResult::Ok || result == EncodeResult::DamagedInput;
}

// The AC3 bit rate (kbit/s) nearest to the asked one; ties go to the lower rate.
int NearestAc3Kbps(int kbps);

// The bit rate (bit/s) of the coded sound the settings ask for, rm's framing left out.
int SoundBitRate(AudioCodec codec, int kbps);

// Video bit rate (bit/s) left by the sound (bit/s, 0: none) and rm's framing within the whole
// stream, never below a usable floor.
int VideoBitRateFor(int totalKbps, int soundBitRate, double framesPerSecond);

}  // namespace quenlar::encoder
