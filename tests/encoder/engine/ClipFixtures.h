// Small MPEG clips made once per test run with the ffmpeg CLI, and ffprobe read-back.
#pragma once

#include <map>
#include <string>

namespace quenlar::encoder::test {

// Paths of generated clips; each is made on first use and kept until the test binary exits.
class Clips {
public:
    static const std::string& PalVcd();     // 352x288, 25 fps, MPEG-1, mp2 44.1 kHz, 3 s
    static const std::string& NtscVcd();    // 352x240, 29.97 fps, 3 s
    static const std::string& VideoCdDat(); // PalVcd wrapped in RIFF/CDXA raw sectors
    static const std::string& Dvd();        // 720x576 MPEG-2 4:3, ac3 48 kHz, 3 s
    static const std::string& WideDvd();    // the same at 16:9
    static const std::string& NtscDvd();    // 720x480 MPEG-2 4:3, 29.97 fps, 3 s
    static const std::string& FullHd();     // 1920x1080 MPEG-1 16:9, 3 s
    static const std::string& WideSar();    // 1774x1080 H.264 with pixels 1775:1774 wide, 3 s
    static const std::string& VariableRate(); // 320x180 H.264, about 29 of 60 possible frames a second, 10 s
    static const std::string& Transport();  // PalVcd's content as an MPEG transport stream .mpg
    static const std::string& Mp4();        // H.264 and AAC in MP4, 352x288, 3 s
    static const std::string& OddSize();    // 350x286 MPEG-2, 3 s
    static const std::string& Short();      // 352x288, 1 s, for many quick encodes
    static const std::string& UntimedEnd(); // 352x288, 2 s: the last picture leaves the decoder untimed
    static const std::string& Long();       // 352x288, 20 s, for stopping mid-way
    static const std::string& LateAudio();  // PAL VCD whose sound starts 3 s after the picture, 6 s
    static const std::string& Noisy();      // 720x576 noise, 1 s: the hardest frames rv20 gets
    static const std::string& Truncated();  // PalVcd cut off inside a packet
    static const std::string& RandomBytes();
    static const std::string& AudioOnly();         // an MPEG program stream without video
    // 1 s of picture with a different tone in each of `channels` (1, 2 or 6: 5.1) at `rate` Hz,
    // in Matroska with PCM sound.
    static const std::string& Sound(int rate, int channels);

    // `clip` twice over, as `cat a b > joined` makes it.
    static const std::string& Joined(const std::string& clip);

    // A fresh empty folder inside the run's temporary folder.
    static std::string NewFolder();
};

// Runs a shell command; its exit status.
int Run(const std::string& command);

// ffprobe's flat output of format and streams: keys like "format.duration",
// "streams.stream.0.codec_name", "format.tags.title".
std::map<std::string, std::string> Probe(const std::string& path);
double ProbeNumber(const std::map<std::string, std::string>& probe, const std::string& key);

// The pictures of a file's first video stream, counted by decoding them.
int VideoFrames(const std::string& path);

// What `ffmpeg -v error -i path -f null -` prints; empty for a clean file.
std::string DecodeErrors(const std::string& path);

// The output of a shell command, standard error included.
std::string Output(const std::string& command);

// Entries of a folder, names only, sorted.
std::string ListFolder(const std::string& folder);

// Writes an MPEG program stream as a Video CD .dat file: RIFF/CDXA with raw 2352-byte sectors.
void WrapInVideoCdSectors(const std::string& mpegPath, const std::string& datPath);

}  // namespace quenlar::encoder::test
