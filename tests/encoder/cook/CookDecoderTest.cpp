// Our cook encoder against libavcodec's cook decoder: every frame we write decodes, without a
// message, to what the encoder says the decoder will output (its own synthesis, given the
// decoder's noise signs), for each way of coding the channels and each frame length.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "cook/CookEncoder.h"
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

class CookDecoderTest : public ::testing::TestWithParam<Case> {};

TEST_P(CookDecoderTest, EveryFrameDecodesToTheEncodersOwnSynthesis)
{
    const cook::StreamParameters& stream = GetParam().stream;
    const int n = stream.frameSamples;
    const int frames = 2 * stream.sampleRate / n;
    std::vector<std::vector<float>> input;
    for (int c = 0; c < stream.channels; ++c)
        input.push_back(TestSignal(c, (frames + 1) * n, stream.sampleRate));

    AVLFG signs;
    av_lfg_init(&signs, 0);
    cook::Encoder encoder(stream);
    encoder.KeepSynthesis([&] { return av_lfg_get(&signs) < 0x80000000u; });

    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_COOK);
    ASSERT_NE(codec, nullptr);
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
    ASSERT_EQ(avcodec_open2(decoder.get(), codec, nullptr), 0) << g_log;

    std::vector<std::vector<float>> decoded(static_cast<std::size_t>(stream.channels));
    PacketPtr packet = MakePacket();
    FramePtr frame = MakeFrame();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stream.frameBytes));
    for (int f = 0; f <= frames; ++f) {
        std::vector<const float*> planes;
        for (const auto& channel : input)
            planes.push_back(channel.data() + static_cast<std::ptrdiff_t>(f) * n);
        if (!encoder.Encode(planes, bytes))
            continue;
        ASSERT_EQ(av_new_packet(packet.get(), stream.frameBytes), 0);
        std::memcpy(packet->data, bytes.data(), bytes.size());
        ASSERT_EQ(avcodec_send_packet(decoder.get(), packet.get()), 0) << "frame " << f << ": " << g_log;
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
    EXPECT_EQ(g_log, "");
    EXPECT_EQ(encoder.UnfittedUnits(), 0);

    // The decoder drops its first two frames' output.
    for (int c = 0; c < stream.channels; ++c) {
        const std::vector<float>& ours = encoder.Synthesis(c);
        const std::vector<float>& theirs = decoded[static_cast<std::size_t>(c)];
        ASSERT_EQ(theirs.size() + 2 * static_cast<std::size_t>(n), ours.size()) << "channel " << c;
        double signal = 0, error = 0, kept = 0;
        for (std::size_t i = 0; i < theirs.size(); ++i) {
            const double d = theirs[i] - ours[i + 2 * static_cast<std::size_t>(n)];
            signal += theirs[i] * static_cast<double>(theirs[i]);
            error += d * d;
            const double s = input[static_cast<std::size_t>(c)][i + 2 * static_cast<std::size_t>(n)];
            kept += s * s;
        }
        EXPECT_GT(10 * std::log10(signal / std::max(error, 1e-30)), 40.0) << "channel " << c;
        // Something was coded: the decoded level is near the input's.
        EXPECT_NEAR(10 * std::log10(signal / kept), 0.0, 3.0) << "channel " << c;
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

}  // namespace
}  // namespace quenlar::encoder::test
