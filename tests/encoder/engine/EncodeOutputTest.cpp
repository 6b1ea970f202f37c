// Real encodes of small clips, read back by ffprobe and decoded by the ffmpeg CLI.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>

#include "ClipFixtures.h"
#include "engine/InputReader.h"
#include "engine/VideoFilter.h"
#include "RecordingListener.h"

namespace quenlar::encoder::test {
namespace {

struct Expected {
    const char* name;
    const std::string& (*clip)();
    int width;
    int height;
    bool deinterlace;
    VideoCodec codec = VideoCodec::Rv20;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const Expected& expected, std::ostream* os)
{
    *os << expected.name;
}

class EncodeOutputTest : public ::testing::TestWithParam<Expected> {};

TEST_P(EncodeOutputTest, WritesPlayableRmWithTagsAtTheTargetRate)
{
    const Expected expected = GetParam();
    const std::string source = expected.clip();
    const std::string folder = Clips::NewFolder();
    const std::string target = folder + "/out.rm";
    EncodeSettings settings = SettingsFor(source, target);
    settings.deinterlace = expected.deinterlace;
    settings.videoCodec = expected.codec;
    RecordingListener listener;
    EncodeToEnd(settings, listener);

    EXPECT_EQ(listener.Result(), EncodeResult::Ok) << listener.ErrorText();
    EXPECT_EQ(listener.Trace(), "OSPF");
    EXPECT_EQ(listener.Width(), expected.width);
    EXPECT_EQ(listener.Height(), expected.height);
    EXPECT_EQ(ListFolder(folder), "out.rm") << "the temporary file must be gone";
    ASSERT_FALSE(listener.Progress().empty());
    EXPECT_EQ(listener.Progress().back().percent, 100);

    const auto in = Probe(source);
    const auto out = Probe(target);
    EXPECT_EQ(out.at("format.format_name"), "rm");
    EXPECT_EQ(out.at("streams.stream.0.codec_name"), VideoCodecName(expected.codec));
    EXPECT_EQ(ProbeNumber(out, "streams.stream.0.width"), expected.width);
    EXPECT_EQ(ProbeNumber(out, "streams.stream.0.height"), expected.height);
    EXPECT_EQ(out.at("streams.stream.1.codec_name"), "cook");
    EXPECT_EQ(ProbeNumber(out, "streams.stream.1.sample_rate"), 44100);
    EXPECT_EQ(ProbeNumber(out, "streams.stream.1.channels"), 2);
    EXPECT_EQ(out.at("format.tags.title"), "Clip title");
    EXPECT_EQ(out.at("format.tags.author"), "Clip author");
    EXPECT_EQ(out.at("format.tags.comment"), "Quenlar");

    const double sourceDuration = ProbeNumber(in, "format.duration");
    const double duration = ProbeNumber(out, "format.duration");
    EXPECT_NEAR(duration, sourceDuration, sourceDuration * 0.05);
    // Every frame once: as many packets as the engine encoded, as many as the source's time holds.
    const std::string packets = Output("ffprobe -v error -select_streams v -count_packets -show_entries "
                                       "stream=nb_read_packets,r_frame_rate -of csv=p=0 '" + target + "'");
    const int fps = std::atoi(packets.c_str());
    EXPECT_EQ(std::atoll(packets.c_str() + packets.find(',') + 1), listener.Progress().back().frames) << packets;
    EXPECT_NEAR(static_cast<double>(listener.Progress().back().frames), sourceDuration * fps, 1.0) << packets;
    // A short file too, its first key frame included.
    const double bitRate = ProbeNumber(out, "format.bit_rate");
    EXPECT_NEAR(bitRate, settings.totalKbps * 1000.0, settings.totalKbps * 1000.0 * 0.05);
    EXPECT_EQ(DecodeErrors(target), "");
    // At a whole rate of up to 30, every picture, the last one too: it often leaves the decoder
    // untimed.
    const std::string rate = in.at("streams.stream.0.avg_frame_rate");
    if (rate.ends_with("/1") && std::stoi(rate) <= 30) {
        EXPECT_EQ(VideoFrames(target), VideoFrames(source)) << rate;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, EncodeOutputTest,
    ::testing::Values(Expected{"PalVcd", &Clips::PalVcd, 352, 288, false},
                      Expected{"NtscVcd", &Clips::NtscVcd, 352, 240, false},
                      Expected{"VideoCdDat", &Clips::VideoCdDat, 352, 288, true},
                      // Square pixels at the display aspect, as many as the rate gives; one size
                      // for one display aspect, whatever the storage size and codec.
                      Expected{"Dvd", &Clips::Dvd, 388, 292, true},
                      Expected{"WideDvd", &Clips::WideDvd, 456, 256, false},
                      Expected{"FullHd", &Clips::FullHd, 456, 256, false},
                      Expected{"WideSar", &Clips::WideSar, 432, 264, false},
                      Expected{"NtscDvd", &Clips::NtscDvd, 356, 268, false},
                      Expected{"OddSize", &Clips::OddSize, 348, 284, false},
                      Expected{"Transport", &Clips::Transport, 352, 288, false},
                      Expected{"Mp4", &Clips::Mp4, 352, 288, false},
                      Expected{"UntimedEnd", &Clips::UntimedEnd, 352, 288, false},
                      Expected{"PalVcdRv40", &Clips::PalVcd, 352, 288, false, VideoCodec::Rv40},
                      Expected{"NtscVcdRv40", &Clips::NtscVcd, 352, 240, false, VideoCodec::Rv40},
                      Expected{"WideDvdRv40", &Clips::WideDvd, 556, 312, false, VideoCodec::Rv40},
                      Expected{"OddSizeRv40", &Clips::OddSize, 348, 284, false, VideoCodec::Rv40}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncodeOutput, DatFileGivesTheSamePicturesAsThePlainStream)
{
    const std::string folder = Clips::NewFolder();
    RecordingListener fromMpg;
    EncodeToEnd(SettingsFor(Clips::PalVcd(), folder + "/mpg.rm"), fromMpg);
    RecordingListener fromDat;
    EncodeToEnd(SettingsFor(Clips::VideoCdDat(), folder + "/dat.rm"), fromDat);
    ASSERT_EQ(fromMpg.Result(), EncodeResult::Ok);
    ASSERT_EQ(fromDat.Result(), EncodeResult::Ok);
    // Same decoded frames in, same encoder: same video frame count out.
    ASSERT_FALSE(fromMpg.Progress().empty());
    ASSERT_FALSE(fromDat.Progress().empty());
    EXPECT_EQ(fromMpg.Progress().back().frames, 75);
    EXPECT_EQ(fromDat.Progress().back().frames, fromMpg.Progress().back().frames);
}

TEST(EncodeOutput, EveryAudioRowCarriesItsCodecAtItsRate)
{
    struct Row {
        int named;
        AudioCodec codec;
        int kbps;  // what the file carries: cook at the named rate, AC3 at its nearest
    };
    const Row rows[] = {{32, AudioCodec::Cook, 32},  {44, AudioCodec::Cook, 44},  {64, AudioCodec::Cook, 64},
                        {96, AudioCodec::Cook, 96},  {105, AudioCodec::Ac3, 112}, {132, AudioCodec::Ac3, 128},
                        {176, AudioCodec::Ac3, 160}, {264, AudioCodec::Ac3, 256}};
    const std::string folder = Clips::NewFolder();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.named);
        const std::string target = folder + "/audio" + std::to_string(row.named) + ".rm";
        EncodeSettings settings = SettingsFor(Clips::Short(), target);
        settings.audioCodec = row.codec;
        settings.audioKbps = row.named;
        settings.totalKbps = 700;
        RecordingListener listener;
        EncodeToEnd(settings, listener);
        ASSERT_EQ(listener.Result(), EncodeResult::Ok) << listener.ErrorText();
        const auto out = Probe(target);
        EXPECT_EQ(out.at("streams.stream.1.codec_name"), AudioCodecName(row.codec));
        EXPECT_NEAR(SoundBitRate(row.codec, row.named), row.kbps * 1000, row.kbps * 10) << "within 1 %";
        // The bytes the sound's packets carry, less rm's packet headers, over its duration.
        const double bits = 8 * std::stod(Output("ffprobe -v error -select_streams a -show_entries packet=size "
                                                 "-of csv=p=0 '" + target + "' | awk '{ s += $1 } END { print s }'"));
        EXPECT_NEAR(bits / ProbeNumber(out, "streams.stream.1.duration"), row.kbps * 1000, row.kbps * 10);
    }
}

TEST(EncodeOutput, EveryShapeOfSoundComesOutAsStereoCook)
{
    // Telephone rate, studio rate, mono and 5.1 (mixed down): each row's file has all of its
    // sound, decodes cleanly and is not silent.
    const std::string folder = Clips::NewFolder();
    for (const auto& [rate, channels] : {std::pair{8000, 1}, {96'000, 2}, {48'000, 6}, {22'050, 2}}) {
        for (const int kbps : {32, 96}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " channels, " +
                         std::to_string(kbps) + " kbit/s");
            const std::string target = folder + "/sound.rm";
            EncodeSettings settings = SettingsFor(Clips::Sound(rate, channels), target);
            settings.audioKbps = kbps;
            RecordingListener listener;
            EncodeToEnd(settings, listener);
            ASSERT_EQ(listener.Result(), EncodeResult::Ok) << listener.ErrorText();
            const auto out = Probe(target);
            EXPECT_EQ(out.at("streams.stream.1.codec_name"), "cook");
            EXPECT_EQ(ProbeNumber(out, "streams.stream.1.sample_rate"), 44'100);
            EXPECT_EQ(ProbeNumber(out, "streams.stream.1.channels"), 2);
            EXPECT_NEAR(ProbeNumber(out, "streams.stream.1.duration"), 1.0, 0.15);
            EXPECT_EQ(DecodeErrors(target), "");
            const std::string volume = Output("ffmpeg -nostdin -i '" + target +
                                              "' -vn -af volumedetect -f null - 2>&1 | sed -n 's/.*mean_volume: //p'");
            EXPECT_GT(std::atof(volume.c_str()), -30.0) << volume;
        }
    }
}

TEST(EncodeOutput, PreviewShowsTheSourceAndTheEncodedFrameDecodedBackAtEverySize)
{
    // Widths that are not a multiple of 16 (388, 356, 348) made the conversion write past the
    // picture; two encodes in a row met the damage. rv40's encoded picture is its own
    // reconstruction, in whole macroblocks.
    const std::string folder = Clips::NewFolder();
    for (const auto& [clip, codec] :
         {std::pair{Clips::PalVcd(), VideoCodec::Rv20}, {Clips::Dvd(), VideoCodec::Rv20},
          {Clips::NtscDvd(), VideoCodec::Rv20}, {Clips::OddSize(), VideoCodec::Rv20},
          {Clips::PalVcd(), VideoCodec::Rv40}, {Clips::OddSize(), VideoCodec::Rv40}}) {
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(clip + " " + VideoCodecName(codec) + " round " + std::to_string(round));
            EncodeSettings settings = SettingsFor(clip, folder + "/out.rm");
            settings.preview = true;
            settings.videoCodec = codec;
            RecordingListener listener;
            EncodeToEnd(settings, listener);
            ASSERT_EQ(listener.Result(), EncodeResult::Ok) << listener.ErrorText();
            ASSERT_GE(listener.Previews(), 1);
            const PreviewPicture source = listener.LastSource();
            const PreviewPicture encoded = listener.LastEncoded();
            EXPECT_EQ(source.width, listener.Width());
            EXPECT_EQ(source.height, listener.Height());
            EXPECT_EQ(encoded.width, listener.Width());
            EXPECT_EQ(encoded.height, listener.Height());
            ASSERT_EQ(source.rgb.size(), size_t(listener.Width()) * listener.Height() * 3);
            ASSERT_EQ(encoded.rgb.size(), source.rgb.size());
            // The encoded picture is the same scene with some loss: near, but not identical.
            double difference = 0;
            for (size_t i = 0; i < source.rgb.size(); ++i)
                difference += std::abs(int(source.rgb[i]) - int(encoded.rgb[i]));
            difference /= static_cast<double>(source.rgb.size());
            EXPECT_LT(difference, 20.0);
            EXPECT_GT(difference, 0.0);
        }
    }
}

TEST(EncodeOutput, JoinedClipsKeepBothHalvesInStep)
{
    // The second half's times start again from the first's; every picture must stay.
    const std::string target = Clips::NewFolder() + "/out.rm";
    RecordingListener listener;
    EncodeToEnd(SettingsFor(Clips::Joined(Clips::PalVcd()), target), listener);
    ASSERT_EQ(listener.Result(), EncodeResult::Ok) << listener.ErrorText();
    const auto out = Probe(target);
    EXPECT_NEAR(ProbeNumber(out, "streams.stream.0.duration"), 6.0, 0.2);
    EXPECT_NEAR(ProbeNumber(out, "streams.stream.1.duration"), 6.0, 0.2);
    ASSERT_FALSE(listener.Progress().empty());
    EXPECT_NEAR(listener.Progress().back().frames, 150, 3);
    EXPECT_EQ(DecodeErrors(target), "");
}

TEST(EncodeOutput, SoundThatStartsLateStaysInStepWithThePicture)
{
    const std::string target = Clips::NewFolder() + "/out.rm";
    RecordingListener listener;
    EncodeToEnd(SettingsFor(Clips::LateAudio(), target), listener);
    ASSERT_EQ(listener.Result(), EncodeResult::Ok) << listener.ErrorText();
    // The tone must begin three seconds in, where it began against the source's picture.
    const std::string report = Output("ffmpeg -nostdin -i '" + target +
                                      "' -af silencedetect=n=-40dB:d=0.2 -vn -f null - 2>&1");
    const auto at = report.find("silence_end: ");
    ASSERT_NE(at, std::string::npos) << report;
    EXPECT_NEAR(std::atof(report.c_str() + at + 13), 3.0, 0.06);
    EXPECT_EQ(report.find("silence_start: ", report.find("silence_start: ") + 1), std::string::npos)
        << "one silence only, at the start";
}

TEST(EncodeOutput, NoisyPicturesAtHighRatesStayWithinTheRmPacketLimit)
{
    // Up to the highest rate the control passes on: above what rm carries at this frame rate
    // the encode runs at the highest it can instead of failing.
    const std::string folder = Clips::NewFolder();
    for (const auto& [codec, kbps] : {std::pair{VideoCodec::Rv20, 300}, {VideoCodec::Rv20, 3000},
                                      {VideoCodec::Rv20, 12000}, {VideoCodec::Rv20, 100000}, {VideoCodec::Rv40, 300},
                                      {VideoCodec::Rv40, 3000}, {VideoCodec::Rv40, 100000}}) {
        SCOPED_TRACE(std::string(VideoCodecName(codec)) + " at " + std::to_string(kbps));
        const std::string target = folder + "/noisy" + std::to_string(kbps) + VideoCodecName(codec) + ".rm";
        EncodeSettings settings = SettingsFor(Clips::Noisy(), target);
        settings.totalKbps = kbps;
        settings.videoCodec = codec;
        RecordingListener listener;
        EncodeToEnd(settings, listener);
        EXPECT_EQ(listener.Result(), EncodeResult::Ok) << listener.ErrorText();
        EXPECT_EQ(DecodeErrors(target), "");
    }
}

// This process's threads whose names start with `prefix`.
int ThreadsNamed(const std::string& prefix)
{
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        count += name.rfind(prefix, 0) == 0;
    }
    return count;
}

TEST(EncodeOutput, SeveralVideoEncodersMakeOneValidStreamAtTheRate)
{
    // Runs of whole GOPs on three encoders (as the environment asks, over the automatic one
    // a 20 s clip gets), handed on in order: every frame once, in time, decodable throughout,
    // interleaved with the sound, and the rate of one encoder.
    const std::string target = Clips::NewFolder() + "/out.rm";
    const EncodeSettings settings = SettingsFor(Clips::Long(), target);
    ASSERT_EQ(settings.videoThreads, 0);
    RecordingListener listener;
    int encoderThreads = 0;
    listener.onStarted = [&] { encoderThreads = ThreadsNamed(std::string("qn-") + VideoCodecName(settings.videoCodec) + "-"); };
    ::setenv("QUENLAR_VIDEO_THREADS", "3", 1);
    EncodeToEnd(settings, listener);
    ::unsetenv("QUENLAR_VIDEO_THREADS");
    ASSERT_EQ(listener.Result(), EncodeResult::Ok) << listener.ErrorText();
    EXPECT_EQ(encoderThreads, 3);
    EXPECT_EQ(listener.Progress().back().frames, 500);
    EXPECT_EQ(DecodeErrors(target), "");
    // The pictures as decoded, in display order (the packets come in decoding order).
    const std::string times = Output("ffprobe -v error -select_streams v -show_entries frame=pts_time -of csv=p=0 '" +
                                     target + "' | awk '{ if (NR > 1 && $1 <= last) bad++; last = $1; n++ } "
                                              "END { print n, bad + 0, last }'");
    EXPECT_EQ(times, "500 0 19.960000\n");
    // The sound stays beside its picture in the file, though the reader runs runs ahead of the
    // encoders: a player reading through short queues must not find seconds of one stream first.
    const std::string lead = Output("ffprobe -v error -show_entries packet=stream_index,pts_time -of csv=p=0 '" +
                                    target + "' | awk -F, '{ if ($1 == 1) a = $2; else v = $2; "
                                             "if (v != \"\" && a - v > m) m = a - v } END { print (m < 0.5) }'");
    EXPECT_EQ(lead, "1\n") << "sound written ahead of its picture";
    const auto out = Probe(target);
    EXPECT_NEAR(ProbeNumber(out, "format.bit_rate"), 500'000, 500'000 * 0.10);
}

TEST(EncodeOutput, ShortFilesUseEveryCoreAndTheLastRunsAreSharedEvenly)
{
    auto encode = [](const std::string& clip, int& encoderThreads) {
        const std::string target = Clips::NewFolder() + "/out.rm";
        RecordingListener listener;
        listener.onStarted = [&] { encoderThreads = ThreadsNamed("qn-rv40-"); };
        EncodeToEnd(SettingsFor(clip, target), listener);
        EXPECT_EQ(listener.Result(), EncodeResult::Ok) << listener.ErrorText();
        EXPECT_EQ(DecodeErrors(target), "");
        return target;
    };
    // rv40 takes an encoder per 2 s of picture, up to one per core.
    int automatic = 0;
    encode(Clips::LateAudio(), automatic);
    EXPECT_EQ(automatic, std::min(3, static_cast<int>(std::thread::hardware_concurrency())));

    // Whole 4 s runs while more is left than one each; the rest in equal shares, so that
    // neither encoder waits for the other at the end.
    struct Case {
        const std::string& clip;
        const char* keyFrames;
    };
    const Case cases[] = {
        {Clips::LateAudio(), "0 75"},           // 6 s: not 100 and 50
        {Clips::Long(), "0 100 200 300 400"},  // 20 s: the tail is two whole runs anyway
    };
    ::setenv("QUENLAR_VIDEO_THREADS", "2", 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clip);
        int threads = 0;
        const std::string target = encode(c.clip, threads);
        EXPECT_EQ(threads, 2);
        EXPECT_EQ(Output("ffprobe -v error -select_streams v -show_entries packet=flags -of csv=p=0 '" + target +
                         "' | awk '{ if (index($1, \"K\")) printf \"%s%d\", n++ ? \" \" : \"\", NR - 1 }'"),
                  c.keyFrames);
    }
    ::unsetenv("QUENLAR_VIDEO_THREADS");
}

TEST(EncodeOutput, VideoGetsWhatTheAudioLeaves)
{
    EXPECT_EQ(VideoBitRateFor(500, 64'000, 25), 431'200) << "rm's framing: 19 bytes a frame, a kbit/s for the sound";
    EXPECT_EQ(VideoBitRateFor(500, 0, 25), 496'200);
    EXPECT_EQ(VideoBitRateFor(300, 256'000, 25), 48'000) << "never starve the video below its floor";
}

TEST(EncodeOutput, SizeFollowsTheDisplayAspectTheRateAndTheFrameRate)
{
    struct Source {
        const char* name;
        int width;
        int height;
        AVRational sampleAspect;
        int fps;
        FrameSize at300;  // Kbps, with the default sound (44 Kbps cook)
        FrameSize at450;
        FrameSize at1500;
    };
    const Source sources[] = {
        // 16:9: one size whatever the storage; at 1500 Kbps rm's frame limit caps the pixels.
        {"1920x1080", 1920, 1080, {1, 1}, 25, {348, 196}, {432, 244}, {592, 332}},
        {"1280x720", 1280, 720, {1, 1}, 25, {348, 196}, {432, 244}, {592, 332}},
        {"640x360", 640, 360, {1, 1}, 25, {348, 196}, {432, 244}, {592, 332}},
        {"16:9 DVD", 720, 576, {64, 45}, 25, {348, 196}, {432, 244}, {592, 332}},
        {"1080p at 30 fps", 1920, 1080, {1, 1}, 30, {312, 176}, {400, 224}, {592, 332}},
        {"1774x1080 SAR 1775:1774", 1774, 1080, {1775, 1774}, 25, {328, 200}, {420, 256}, {564, 344}},
        {"640x480", 640, 480, {1, 1}, 25, {300, 224}, {380, 284}, {512, 384}},
        // Never more than the source shows; near that, all of it.
        {"4:3 VCD", 352, 288, {178, 163}, 25, {300, 224}, {384, 288}, {384, 288}},
        {"NTSC 4:3 VCD", 352, 240, {10, 11}, 30, {272, 204}, {320, 240}, {320, 240}},
        {"320x180", 320, 180, {1, 1}, 30, {320, 180}, {320, 180}, {320, 180}},
        {"NTSC 4:3 DVD", 720, 480, {8, 9}, 30, {272, 204}, {348, 260}, {512, 384}},
        {"350x286", 350, 286, {1, 1}, 25, {284, 232}, {348, 284}, {348, 284}},
    };
    const int kbps[] = {300, 450, 1500};
    const int kDefaultSound = SoundBitRate(AudioCodec::Cook, 44);
    for (const Source& source : sources) {
        const FrameSize expected[] = {source.at300, source.at450, source.at1500};
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(std::string(source.name) + " at " + std::to_string(kbps[i]) + " Kbps");
            const FrameSize size = EncodedSizeFor(source.width, source.height, source.sampleAspect,
                                                  VideoBitRateFor(kbps[i], kDefaultSound, source.fps), {source.fps, 1},
                                                  VideoCodec::Rv20);
            EXPECT_EQ(size.width, expected[i].width);
            EXPECT_EQ(size.height, expected[i].height);
        }
    }
    // rv40 codes more picture for the bits: two thirds of rv20's bits a pixel (a Video CD at
    // 300 Kbps comes near enough to its whole picture).
    const Source rv40[] = {
        {"16:9 DVD", 720, 576, {64, 45}, 25, {420, 236}, {532, 300}, {592, 332}},
        {"4:3 VCD", 352, 288, {178, 163}, 25, {384, 288}, {384, 288}, {384, 288}},
    };
    for (const Source& source : rv40) {
        const FrameSize expected[] = {source.at300, source.at450, source.at1500};
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(std::string("rv40 ") + source.name + " at " + std::to_string(kbps[i]) + " Kbps");
            const FrameSize size = EncodedSizeFor(source.width, source.height, source.sampleAspect,
                                                  VideoBitRateFor(kbps[i], kDefaultSound, source.fps), {source.fps, 1},
                                                  VideoCodec::Rv40);
            EXPECT_EQ(size.width, expected[i].width);
            EXPECT_EQ(size.height, expected[i].height);
        }
    }
}

TEST(EncodeOutput, FramesFollowTheSourcesAverageRateAndAreNeverRepeatedToFillIt)
{
    struct Rate {
        AVRational source;
        int encoded;
    };
    // At most 30, every n-th frame of a faster source while that leaves 24, never rounded up
    // by more than 2 %; 25 when unknown.
    const Rate rates[] = {{{25, 1}, 25},       {{30000, 1001}, 30}, {{24000, 1001}, 24}, {{50, 1}, 25},
                          {{60000, 1001}, 30}, {{48, 1}, 24},       {{120, 1}, 30},      {{40, 1}, 30},
                          {{5900, 199}, 30},   {{15, 2}, 7},        {{0, 0}, 25}};
    for (const Rate& rate : rates) {
        SCOPED_TRACE(std::to_string(rate.source.num) + "/" + std::to_string(rate.source.den));
        EXPECT_EQ(av_cmp_q(EncodedFrameRate(rate.source), AVRational{rate.encoded, 1}), 0);
    }

    // A variable-rate source's nominal rate (60 here) would repeat every frame.
    const std::string source = Clips::VariableRate();
    const std::string target = Clips::NewFolder() + "/out.rm";
    RecordingListener listener;
    EncodeToEnd(SettingsFor(source, target), listener);
    ASSERT_EQ(listener.Result(), EncodeResult::Ok) << listener.ErrorText();
    EXPECT_EQ(listener.Width(), 320);
    EXPECT_EQ(listener.Height(), 180);
    const double sourceFrames = ProbeNumber(Probe(source), "streams.stream.0.nb_frames");
    ASSERT_GT(sourceFrames, 250);
    ASSERT_FALSE(listener.Progress().empty());
    const double frames = static_cast<double>(listener.Progress().back().frames);
    EXPECT_LE(frames, sourceFrames * 1.05);
    EXPECT_GE(frames, sourceFrames * 0.95);
    const auto out = Probe(target);
    EXPECT_EQ(out.at("streams.stream.0.r_frame_rate"), "30/1");
    EXPECT_NEAR(ProbeNumber(out, "streams.stream.0.duration"), 10.0, 0.2);
    EXPECT_EQ(DecodeErrors(target), "");
}

}  // namespace
}  // namespace quenlar::encoder::test
