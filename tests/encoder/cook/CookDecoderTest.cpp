// Our cook encoder against libavcodec's cook decoder: every frame we write decodes, without a
// message, to what the encoder says the decoder will output (its own synthesis, given the
// decoder's noise signs), for each way of coding the channels and each frame length.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <cstring>
#include <string>
#include <vector>

#include "cook/CookEncoder.h"
#include "engine/CookPresets.h"
#include "engine/LibavPtr.h"

extern "C" {
#include <libavutil/lfg.h>
}

namespace quenlar::encoder::test {
namespace {

struct Case {
    const char* name;
    cook::StreamParameters stream;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

std::string g_log;

void CollectLog(void* avcl, int level, const char* format, va_list args)
{
    if (level > AV_LOG_WARNING)
        return;
    char line[1024];
    int prefix = 1;
    av_log_format_line(avcl, level, format, args, line, sizeof line, &prefix);
    g_log.append(line, strnlen(line, sizeof line));
}

// Music-like: tones with vibrato and harmonics, a noise that comes and goes, and sharp attacks,
// panned differently in each channel.
std::vector<float> TestSignal(int channel, int samples, int rate)
{
    std::vector<float> out(static_cast<std::size_t>(samples));
    std::uint32_t seed = 12345u + static_cast<std::uint32_t>(channel);
    for (int i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / rate;
        double x = 0;
        for (int h = 1; h <= 6; ++h) {
            const double f = 220.0 * h * (1 + 0.01 * std::sin(2 * M_PI * 5 * t));
            x += 0.12 / h * std::sin(2 * M_PI * f * t + h + channel);
        }
        x += (channel ? 0.05 : 0.1) * std::sin(2 * M_PI * (1000 + 3000 * t) * t);
        seed = seed * 1664525u + 1013904223u;
        const double noise = (static_cast<double>(seed >> 8) / (1 << 24) - 0.5);
        x += 0.08 * noise * (0.5 + 0.5 * std::sin(2 * M_PI * 1.5 * t));
        const double sinceAttack = std::fmod(t, 0.37);
        x += 0.3 * std::exp(-30 * sinceAttack) * std::sin(2 * M_PI * 3100 * t);
        out[static_cast<std::size_t>(i)] = static_cast<float>(x);
    }
    return out;
}

struct RoundTrip {
    std::string log;                // what the decoder said
    int unfitted = 0;               // units the encoder could not fit
    int shaped = 0;                 // blocks coded under a gain profile
    std::vector<double> snr;        // decoded against the encoder's synthesis, dB, per channel
    std::vector<double> level;      // decoded against the input, dB, per channel
    double peak = 0;                // the loudest decoded sample
    std::vector<std::vector<float>> decoded;  // aligned with the input: sample i is input's i
};

// Encodes `input` (whole frames per channel), decodes every frame with libavcodec and compares.
RoundTrip EncodeAndDecode(const cook::StreamParameters& stream, const std::vector<std::vector<float>>& input)
{
    RoundTrip result;
    const int n = stream.frameSamples;
    const int frames = static_cast<int>(input[0].size()) / n;
    AVLFG signs;
    av_lfg_init(&signs, 0);
    cook::Encoder encoder(stream);
    encoder.KeepSynthesis([&] { return av_lfg_get(&signs) < 0x80000000u; });

    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_COOK);
    CodecContextPtr decoder(avcodec_alloc_context3(codec));
    decoder->sample_rate = stream.sampleRate;
    av_channel_layout_default(&decoder->ch_layout, stream.channels);
    decoder->block_align = stream.frameBytes;
    const std::vector<std::uint8_t> codecData = stream.CodecData();
    decoder->extradata = static_cast<std::uint8_t*>(av_mallocz(codecData.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(decoder->extradata, codecData.data(), codecData.size());
    decoder->extradata_size = static_cast<int>(codecData.size());
    g_log.clear();
    av_log_set_callback(CollectLog);
    if (avcodec_open2(decoder.get(), codec, nullptr) != 0)
        g_log += "cannot open the decoder";

    std::vector<std::vector<float>> decoded(static_cast<std::size_t>(stream.channels));
    PacketPtr packet = MakePacket();
    FramePtr frame = MakeFrame();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stream.frameBytes));
    for (int f = 0; f < frames; ++f) {
        std::vector<const float*> planes;
        for (const auto& channel : input)
            planes.push_back(channel.data() + static_cast<std::ptrdiff_t>(f) * n);
        if (!encoder.Encode(planes, bytes))
            continue;
        av_new_packet(packet.get(), stream.frameBytes);
        std::memcpy(packet->data, bytes.data(), bytes.size());
        if (avcodec_send_packet(decoder.get(), packet.get()) != 0)
            g_log += "frame " + std::to_string(f) + " refused\n";
        av_packet_unref(packet.get());
        while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
            for (int c = 0; c < stream.channels; ++c) {
                const auto* samples = reinterpret_cast<const float*>(frame->extended_data[c]);
                decoded[static_cast<std::size_t>(c)].insert(decoded[static_cast<std::size_t>(c)].end(), samples,
                                                            samples + frame->nb_samples);
            }
        }
    }
    av_log_set_callback(av_log_default_callback);
    result.log = g_log;
    result.unfitted = encoder.UnfittedUnits();
    result.shaped = encoder.ShapedBlocks();

    // The decoder drops its first two frames' output.
    const std::size_t dropped = 2 * static_cast<std::size_t>(n);
    for (int c = 0; c < stream.channels; ++c) {
        const std::vector<float>& ours = encoder.Synthesis(c);
        const std::vector<float>& theirs = decoded[static_cast<std::size_t>(c)];
        const std::vector<float>& source = input[static_cast<std::size_t>(c)];
        double signal = 0, error = 0, kept = 0;
        for (std::size_t i = 0; i < theirs.size() && i + dropped < ours.size(); ++i) {
            const double d = theirs[i] - ours[i + dropped];
            result.peak = std::max(result.peak, std::fabs(static_cast<double>(theirs[i])));
            signal += theirs[i] * static_cast<double>(theirs[i]);
            error += d * d;
            kept += source[i + dropped] * static_cast<double>(source[i + dropped]);
        }
        result.snr.push_back(theirs.size() + dropped == ours.size() ? 10 * std::log10((signal + 1e-30) / (error + 1e-30))
                                                                    : -1);
        result.level.push_back(10 * std::log10((signal + 1e-30) / (kept + 1e-30)));
        std::vector<float> aligned(dropped, 0.0f);
        aligned.insert(aligned.end(), theirs.begin(), theirs.end());
        result.decoded.push_back(std::move(aligned));
    }
    return result;
}

class CookDecoderTest : public ::testing::TestWithParam<Case> {};

TEST_P(CookDecoderTest, EveryFrameDecodesToTheEncodersOwnSynthesis)
{
    const cook::StreamParameters& stream = GetParam().stream;
    const int frames = 2 * stream.sampleRate / stream.frameSamples;
    std::vector<std::vector<float>> input;
    for (int c = 0; c < stream.channels; ++c)
        input.push_back(TestSignal(c, frames * stream.frameSamples, stream.sampleRate));
    const RoundTrip trip = EncodeAndDecode(stream, input);
    EXPECT_EQ(trip.log, "");
    EXPECT_EQ(trip.unfitted, 0);
    for (int c = 0; c < stream.channels; ++c) {
        SCOPED_TRACE("channel " + std::to_string(c));
        EXPECT_GT(trip.snr[static_cast<std::size_t>(c)], 40.0);
        // Something was coded: the decoded level is near the input's.
        EXPECT_NEAR(trip.level[static_cast<std::size_t>(c)], 0.0, 3.0);
    }
}

cook::StreamParameters Stream(int channels, int frameSamples, int subbands, int jointStart, int frameBytes)
{
    cook::StreamParameters stream;
    stream.channels = channels;
    stream.frameSamples = frameSamples;
    stream.subbands = subbands;
    stream.jointStart = jointStart;
    stream.frameBytes = frameBytes;
    return stream;
}

INSTANTIATE_TEST_SUITE_P(Layouts, CookDecoderTest,
                         ::testing::Values(Case{"JointStereo1024", Stream(2, 1024, 37, 16, 128)},
                                           Case{"Stereo1024", Stream(2, 1024, 30, 0, 186)},
                                           Case{"JointStereo512OddBytes", Stream(2, 512, 24, 9, 93)},
                                           Case{"JointStereo256", Stream(2, 256, 12, 4, 40)},
                                           Case{"Mono1024", Stream(1, 1024, 40, 0, 100)}),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(CookEncoder, EveryRowFitsWhateverTheSound)
{
    // Sounds that push the rate control to its ends: nothing may overflow a frame, whatever
    // the row, and the decoder must still agree with the encoder sample for sample.
    constexpr int kRate = 44'100;
    constexpr int kSamples = 2 * kRate;
    using Shape = std::function<float(int channel, int i)>;
    // Castanet-like bursts over a quiet tone: where they start, in samples.
    constexpr int kBurstEvery = 13'671;
    constexpr int kFirstBurst = 11'025;
    auto burstAt = [](int i) { return i >= kFirstBurst && (i - kFirstBurst) % kBurstEvery < 2'646; };
    std::uint32_t seed = 1;
    auto noise = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / static_cast<float>(1 << 23) - 1.0f;
    };
    struct Sound {
        const char* name;
        Shape shape;
        int onsets = 0;  // sudden onsets after quiet besides the start, each for a gain profile
    };
    const std::vector<Sound> sounds = {
        {"full-scale noise", [&](int, int) { return noise(); }},
        {"castanets",
         [&](int c, int i) {
             const float tone = 0.003f * static_cast<float>(std::sin(2 * M_PI * 330 * i / kRate));
             const float n = noise();
             if (!burstAt(i))
                 return tone;
             const int since = (i - kFirstBurst) % kBurstEvery;
             return tone + (c ? 0.4f : 0.5f) * n * static_cast<float>(std::exp(-since / (0.008 * kRate)));
         },
         (kSamples - kFirstBurst + kBurstEvery - 1) / kBurstEvery},
        {"clipped squares",
         [](int c, int i) {
             const double x = std::sin(2 * M_PI * 100 * i / kRate) + std::sin(2 * M_PI * (3000 + 500 * c) * i / kRate);
             return x >= 0 ? 1.0f : -1.0f;
         }},
        {"silence", [](int, int) { return 0.0f; }},
        {"one impulse", [](int, int i) { return i == kRate / 2 ? 1.0f : 0.0f; }, 1},
        {"every other band loud",
         [](int, int i) {
             double x = 0;
             for (int band = 0; band < 50; band += 2)
                 x += std::sin(2 * M_PI * (band * 20 + 10) * 21.533 * i / kRate);
             return static_cast<float>(x / 25);
         }},
        {"channels in opposite phase",
         [&](int c, int i) { return (c ? -0.9f : 0.9f) * static_cast<float>(std::sin(2 * M_PI * 9000 * i / kRate)); }},
        {"mono", [](int, int i) { return 0.5f * static_cast<float>(std::sin(2 * M_PI * 440 * i / kRate)); }},
    };
    for (const int kbps : {32, 44, 64, 96}) {
        const cook::StreamParameters stream = CookStreamFor(kbps);
        for (const auto& [name, shape, onsets] : sounds) {
            SCOPED_TRACE(std::to_string(kbps) + " kbit/s, " + name);
            seed = 1;
            std::vector<std::vector<float>> input(2, std::vector<float>(kSamples));
            for (int i = 0; i < kSamples; ++i) {
                for (int c = 0; c < 2; ++c)
                    input[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] = shape(c, i);
            }
            const RoundTrip trip = EncodeAndDecode(stream, input);
            EXPECT_EQ(trip.log, "");
            EXPECT_EQ(trip.unfitted, 0);
            if (std::string(name) == "silence") {
                EXPECT_LT(trip.peak, 1e-4);
                continue;
            }
            for (const double snr : trip.snr)
                EXPECT_GT(snr, 40.0);
            // Each onset gets a profile, and the start from silence one per channel; steady
            // sound none. The noise an attack spreads into the quiet before it stays under that
            // quiet (about 22 dB over it with flat profiles).
            EXPECT_GE(trip.shaped, onsets);
            EXPECT_LE(trip.shaped, onsets + 2);
            if (std::string(name) == "castanets") {
                std::vector<double> preEcho;
                for (int start = kFirstBurst; start + kBurstEvery < kSamples; start += kBurstEvery) {
                    double quiet = 0, error = 0;
                    for (int i = start - 2048; i < start - 32; ++i) {
                        const auto at = static_cast<std::size_t>(i);
                        quiet += input[0][at] * static_cast<double>(input[0][at]);
                        const double d = trip.decoded[0][at] - input[0][at];
                        error += d * d;
                    }
                    preEcho.push_back(10 * std::log10(error / quiet));
                }
                std::sort(preEcho.begin(), preEcho.end());
                EXPECT_LT(preEcho[preEcho.size() / 2], 3.0) << "median pre-echo over the quiet, dB";
            }
        }
    }
}

}  // namespace
}  // namespace quenlar::encoder::test
