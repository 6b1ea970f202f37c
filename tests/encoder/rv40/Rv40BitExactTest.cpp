// Our rv40 encoder against libavcodec's rv40 decoder: every picture the decoder outputs equals
// the encoder's reconstruction, pixel for pixel, with and without its SIMD code, and the decoder
// reports nothing; with B pictures, the decoder's pictures in display order equal the
// reconstructions coded in decoding order. Also the motion search's shortcut: a macroblock's quarter sums give the SATD of
// every partition exactly; the vector quantiser gives each coefficient's level by the rounding
// rule, in its own position; the B pictures' blends give each pixel by the decoder's rule; the
// forward transforms of several blocks at once equal each block's alone; and so does the loop
// filter of a whole inner edge each segment's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "encoder/engine/ClipFixtures.h"
#include "engine/LibavPtr.h"

extern "C" {
#include <libavutil/cpu.h>
}

#include "rv40/EdgeFilter.h"
#include "rv40/FrameState.h"
#include "rv40/Metrics.h"
#include "rv40/MotionCompensate.h"
#include "rv40/Picture.h"
#include "rv40/Rv40Encoder.h"
#include "rv40/SubpelPlanes.h"
#include "rv40/Transform.h"
#include "rv40/tables/Rv40Tables.h"

namespace quenlar::encoder::test {
namespace {

struct Case {
    const char* name;
    const char* picture; // lavfi source
    int width;
    int height;
    int frames;
    int keyInterval; // 1: intra only
    int quant;
    bool instancePerRun; // each run from a key picture by an encoder of its own, as threads would
    int bFrames;         // B pictures between references (a run still ends on a reference)
    std::uint32_t firstMs; // the first picture's timestamp (13 bits are coded: they wrap)
};

// Display indexes in decoding order: each run's key picture, then every reference (every
// bFrames + 1-th picture and the run's last) followed by the B pictures before it.
std::vector<int> DecodingOrder(int frames, int keyInterval, int bFrames)
{
    std::vector<int> order;
    for (int start = 0; start < frames; start += keyInterval) {
        const int end = std::min(frames, start + keyInterval);
        order.push_back(start);
        for (int previous = start; previous + 1 < end;) {
            const int next = std::min(end - 1, previous + bFrames + 1);
            order.push_back(next);
            for (int b = previous + 1; b < next; ++b)
                order.push_back(b);
            previous = next;
        }
    }
    return order;
}

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

// The decoder's messages, from any thread; concealment of damaged macroblocks is only "info".
std::mutex g_logMutex;
std::string g_log;

void CollectLog(void* avcl, int level, const char* format, va_list args)
{
    if (level > AV_LOG_INFO)
        return;
    char line[1024];
    int prefix = 1;
    av_log_format_line(avcl, level, format, args, line, sizeof line, &prefix);
    std::lock_guard lock(g_logMutex);
    g_log.append(line, strnlen(line, sizeof line));
}

// The visible picture of a yuv420p image, planes one after another.
std::vector<std::uint8_t> Visible(const std::uint8_t* const data[3], const int stride[3], int width, int height)
{
    std::vector<std::uint8_t> out;
    for (int p = 0; p < 3; ++p) {
        const int w = p ? width / 2 : width, h = p ? height / 2 : height;
        for (int y = 0; y < h; ++y)
            out.insert(out.end(), data[p] + y * stride[p], data[p] + y * stride[p] + w);
    }
    return out;
}

std::vector<std::uint8_t> Visible(const rv40::Picture& picture, int width, int height)
{
    const std::uint8_t* data[3] = {picture.y.Row(0), picture.u.Row(0), picture.v.Row(0)};
    const int stride[3] = {picture.y.Stride(), picture.u.Stride(), picture.v.Stride()};
    return Visible(data, stride, width, height);
}

// Where two pictures first differ, as text; empty when they are equal.
std::string FirstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, int width,
                            int height)
{
    if (a.size() != b.size())
        return "sizes differ";
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) {
            const std::size_t lumaSize = static_cast<std::size_t>(width) * height;
            const int plane = i < lumaSize ? 0 : i < lumaSize * 5 / 4 ? 1 : 2;
            const std::size_t at = plane ? (i - lumaSize - (plane - 1) * lumaSize / 4) : i;
            const int w = plane ? width / 2 : width;
            return "plane " + std::to_string(plane) + " x " + std::to_string(at % w) + " y " + std::to_string(at / w) +
                   ": decoded " + std::to_string(a[i]) + ", encoder " + std::to_string(b[i]);
        }
    return "";
}

class Rv40BitExactTest : public ::testing::TestWithParam<Case> {};

TEST_P(Rv40BitExactTest, DecoderPicturesEqualTheReconstruction)
{
    const Case c = GetParam();
    const std::string raw = Clips::NewFolder() + "/clip.yuv";
    ASSERT_EQ(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i '" + std::string(c.picture) + "' -frames:v " +
                  std::to_string(c.frames) + " -pix_fmt yuv420p -f rawvideo '" + raw + "'"),
              0);
    std::ifstream in(raw, std::ios::binary);
    const std::size_t frameSize = static_cast<std::size_t>(c.width) * c.height * 3 / 2;

    // Two decoders: libavcodec's usual one (SIMD where the processor has it) and its plain C
    // code, whose 16-bit and 32-bit arithmetic must agree on our streams.
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_RV40);
    ASSERT_NE(codec, nullptr);
    CodecContextPtr decoders[2];
    for (int d = 0; d < 2; ++d) {
        decoders[d].reset(avcodec_alloc_context3(codec));
        decoders[d]->width = c.width;
        decoders[d]->height = c.height;
        decoders[d]->thread_count = 1;
        av_force_cpu_flags(d ? 0 : -1);
        ASSERT_EQ(avcodec_open2(decoders[d].get(), codec, nullptr), 0);
    }
    av_force_cpu_flags(-1);
    PacketPtr packet(av_packet_alloc());
    FramePtr decoded(av_frame_alloc());
    g_log.clear();
    av_log_set_callback(CollectLog);

    std::vector<std::vector<std::uint8_t>> source;
    std::vector<std::uint8_t> frame(frameSize);
    for (int i = 0; i < c.frames && in.read(reinterpret_cast<char*>(frame.data()), frameSize); ++i)
        source.push_back(frame);
    ASSERT_EQ(static_cast<int>(source.size()), c.frames);

    auto encoder = std::make_unique<rv40::Encoder>(c.width, c.height);
    std::vector<std::vector<std::uint8_t>> expected(c.frames);
    std::vector<std::vector<std::uint8_t>> output[2];
    std::vector<bool> keys(c.frames), bidirectional(c.frames);
    auto receive = [&] {
        for (int d = 0; d < 2; ++d)
            while (avcodec_receive_frame(decoders[d].get(), decoded.get()) == 0) {
                output[d].push_back(Visible(decoded->data, decoded->linesize, c.width, c.height));
                av_frame_unref(decoded.get());
            }
    };
    rv40::EncodedFrame encoded;
    int lastReference = -1;
    for (const int i : DecodingOrder(c.frames, c.keyInterval, c.bFrames)) {
        const std::uint8_t* planes[3] = {source[i].data(), source[i].data() + c.width * c.height,
                                         source[i].data() + c.width * c.height * 5 / 4};
        const rv40::SourcePicture picture{{planes[0], planes[1], planes[2]}, {c.width, c.width / 2, c.width / 2}};
        const bool key = i % c.keyInterval == 0;
        const bool b = i < lastReference;
        if (!b)
            lastReference = i;
        if (key && i && c.instancePerRun)
            encoder = std::make_unique<rv40::Encoder>(c.width, c.height);
        encoder->Encode(picture, {key, c.quant, c.firstMs + static_cast<std::uint32_t>(i * 40), b}, encoded);
        keys[i] = encoded.key;
        bidirectional[i] = encoded.bidirectional;
        expected[i] = Visible(encoder->Reconstruction(), c.width, c.height);
        for (auto& decoder : decoders) {
            ASSERT_EQ(av_new_packet(packet.get(), static_cast<int>(encoded.data.size())), 0);
            std::copy(encoded.data.begin(), encoded.data.end(), packet->data);
            ASSERT_EQ(avcodec_send_packet(decoder.get(), packet.get()), 0) << "frame " << i;
            av_packet_unref(packet.get());
        }
        receive();
    }
    for (auto& decoder : decoders)
        avcodec_send_packet(decoder.get(), nullptr);
    receive();
    av_log_set_callback(av_log_default_callback);

    EXPECT_EQ(g_log, "");
    for (int i = 0; i < c.frames; ++i) {
        EXPECT_EQ(keys[i], c.keyInterval == 1 || i % c.keyInterval == 0) << "frame " << i;
        const int inRun = i % c.keyInterval, runEnd = std::min(c.frames, i - inRun + c.keyInterval) - 1;
        EXPECT_EQ(bidirectional[i], c.bFrames && inRun % (c.bFrames + 1) && i != runEnd) << "frame " << i;
    }
    for (int d = 0; d < 2; ++d) {
        ASSERT_EQ(output[d].size(), expected.size()) << (d ? "plain C decoder" : "decoder");
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(FirstDifference(output[d][i], expected[i], c.width, c.height), "")
                << (d ? "plain C decoder, " : "decoder, ") << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Clips, Rv40BitExactTest,
    ::testing::Values(
        Case{"Pattern176x144Intra", "testsrc2=size=176x144:rate=25", 176, 144, 3, 1, 12, false, 0, 0},
        Case{"Pattern176x144Runs", "testsrc2=size=176x144:rate=25", 176, 144, 8, 4, 12, true, 0, 0},
        Case{"Noisy200x120", "testsrc2=size=200x120:rate=25,noise=alls=24:allf=t", 200, 120, 5, 5, 0, false, 0, 0},
        Case{"Mandelbrot352x288", "mandelbrot=size=352x288:rate=25", 352, 288, 6, 6, 31, false, 0, 0},
        // Unchanged pictures: every macroblock but the last skipped.
        Case{"Still100x60", "color=c=0x3070a0:size=100x60:rate=25", 100, 60, 3, 3, 16, false, 0, 0},
        // B pictures: one between references (equal weights), two (weights in 14 bits) in runs
        // of their own instances with timestamps that wrap, still ones (all skipped or direct),
        // and motion whose references split their macroblocks, two and three apart.
        Case{"Pattern176x144OneB", "testsrc2=size=176x144:rate=25", 176, 144, 9, 9, 12, false, 1, 0},
        Case{"Noisy200x120TwoB", "testsrc2=size=200x120:rate=25,noise=alls=12:allf=t", 200, 120, 12, 6, 4, true, 2,
             8000},
        Case{"Still100x60TwoB", "color=c=0x3070a0:size=100x60:rate=25", 100, 60, 4, 4, 16, false, 2, 0},
        Case{"Mandelbrot352x288TwoB", "mandelbrot=size=352x288:rate=25", 352, 288, 8, 8, 20, false, 2, 0},
        Case{"Mandelbrot352x288ThreeB", "mandelbrot=size=352x288:rate=25", 352, 288, 10, 10, 20, false, 3, 0}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// A B picture needs two references before it; the first picture is a key picture whatever it
// asks.
TEST(Rv40BPictures, RefusedWithoutTwoReferences)
{
    std::vector<std::uint8_t> frame(32 * 32 * 3 / 2, 128);
    const rv40::SourcePicture picture{{frame.data(), frame.data() + 32 * 32, frame.data() + 32 * 32 * 5 / 4},
                                      {32, 16, 16}};
    rv40::Encoder encoder(32, 32);
    rv40::EncodedFrame out;
    encoder.Encode(picture, {false, 16, 0, true}, out);
    EXPECT_TRUE(out.key);
    EXPECT_FALSE(out.bidirectional);
    EXPECT_THROW(encoder.Encode(picture, {false, 16, 40, true}, out), std::logic_error);
    encoder.Encode(picture, {false, 16, 80}, out);
    encoder.Encode(picture, {false, 16, 40, true}, out);
    EXPECT_TRUE(out.bidirectional);
}

// Direct vectors may reach any distance past the picture, where the decoder repeats its edge
// pixels: predicted from planes with the usual border, blocks equal those from a plane whose
// border is wide enough, at every quarter position.
TEST(Rv40Prediction, VectorsFarPastTheBorderRepeatTheEdge)
{
    std::uint32_t seed = 99;
    auto next = [&seed] { return static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 23); };
    for (const bool chroma : {false, true}) {
        const int size = chroma ? 24 : 48, pad = chroma ? rv40::kLumaPad / 2 : rv40::kLumaPad, wide = 4 * size;
        rv40::Plane usual, wider;
        usual.Allocate(size, size, pad);
        wider.Allocate(size, size, wide);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                usual.Row(y)[x] = wider.Row(y)[x] = next();
        usual.ExtendBorders();
        wider.ExtendBorders();
        const int block = chroma ? 4 : 8;
        for (const int far : {-3 * size, -size - 9, 0, size + 7, 2 * size}) {
            for (int frac = 0; frac < 16; ++frac) {
                const int mvx = 4 * far + (frac & 3) * (chroma ? 2 : 1), mvy = -4 * far / 2 + (frac >> 2);
                std::uint8_t got[64], want[64];
                if (chroma) {
                    rv40::PredictChromaAnywhere(usual, 8, 4, mvx * 2, mvy * 2, block, block, got, 8);
                    rv40::PredictChroma(wider, 8, 4, mvx * 2, mvy * 2, block, block, want, 8);
                } else {
                    rv40::PredictLumaAnywhere(usual, 16, 8, mvx, mvy, block, block, got, 8);
                    rv40::PredictLuma(wider, 16, 8, mvx, mvy, block, block, want, 8);
                }
                for (int i = 0; i < 8 * block; ++i)
                    ASSERT_EQ(got[i], want[i]) << (chroma ? "chroma" : "luma") << " vector " << mvx << "," << mvy;
            }
        }
    }
}

// The three-quarter position both ways is the decoder's rounded mean of four pixels, eight at a
// time with a pixel-wise tail, in every block width the coder predicts.
TEST(Rv40Prediction, ThreeQuartersBothWaysIsTheMeanOfFour)
{
    rv40::Plane ref;
    ref.Allocate(32, 32, rv40::kLumaPad);
    std::uint32_t seed = 7;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ref.Row(y)[x] = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 23);
    ref.ExtendBorders();
    for (const int w : {4, 8, 16}) {
        std::uint8_t got[16 * 16];
        rv40::PredictLuma(ref, 8, 4, 4 * 3 + 3, 4 * 2 + 3, w, w, got, 16);
        for (int y = 0; y < w; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* p = ref.Row(4 + 2 + y) + 8 + 3 + x;
                ASSERT_EQ(got[y * 16 + x], (p[0] + p[1] + p[ref.Stride()] + p[ref.Stride() + 1] + 2) >> 2)
                    << "width " << w << " at " << x << "," << y;
            }
    }
}

// The search's planes are built once per reference and shared by P and B pictures: a serial seen
// before gets its own planes back, a new one replaces the older of the two kept.
TEST(Rv40Subpel, EachReferenceKeptUntilTwoNewerCame)
{
    rv40::Plane refs[3];
    for (int i = 0; i < 3; ++i) {
        refs[i].Allocate(32, 32, rv40::kLumaPad);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                refs[i].Row(y)[x] = static_cast<std::uint8_t>(i * 80 + x + y);
        refs[i].ExtendBorders();
    }
    rv40::SubpelCache cache;
    auto built = [](const rv40::SubpelPlanes& planes) { // the plane the whole-pel block is read from
        std::uint8_t scratch[256];
        int stride;
        return planes.Block(0, 0, {}, 16, 16, scratch, &stride);
    };
    const rv40::SubpelPlanes* first = &cache.Of(refs[0], 1);
    const rv40::SubpelPlanes* second = &cache.Of(refs[1], 2);
    EXPECT_NE(first, second);
    EXPECT_EQ(&cache.Of(refs[0], 1), first);
    EXPECT_EQ(built(*first), refs[0].Row(0));
    // A third reference evicts the first, whatever was asked for last.
    EXPECT_EQ(&cache.Of(refs[2], 3), first);
    EXPECT_EQ(built(*first), refs[2].Row(0));
    EXPECT_EQ(&cache.Of(refs[1], 2), second);
    EXPECT_EQ(built(*second), refs[1].Row(0));
}

// B pictures' blends, eight or sixteen pixels at a time with a pixel-wise tail, against the
// decoder's rule for each pixel: the mean, weights in 32nds and in 14 bits, in place or not.
TEST(Rv40Blend, EveryPixelByTheRule)
{
    std::uint32_t seed = 4242;
    auto next = [&seed] { return static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 23); };
    // The mean (kind 0), then weights in 32nds (equal distances, 1:3), in 14 bits (1:2, and
    // picture times that wrap), and the 14-bit ones on white.
    const rv40::BlendWeights weights[] = {{}, rv40::BlendWeights::From(0, 40, 80), rv40::BlendWeights::From(0, 10, 40),
                                          rv40::BlendWeights::From(0, 40, 120),
                                          rv40::BlendWeights::From(8150, 8190, 70)};
    EXPECT_TRUE(!weights[1].fine && !weights[2].fine && weights[3].fine && weights[4].fine);
    for (int kind = 0; kind < 6; ++kind)
        for (const int w : {16, 8, 12})
            for (const bool inPlace : {false, true}) {
                std::uint8_t earlier[8 * 24], later[8 * 20], out[8 * 32];
                for (auto& v : earlier)
                    v = kind == 5 ? 255 : next();
                for (auto& v : later)
                    v = kind == 5 ? 255 : next();
                std::uint8_t* dst = inPlace ? earlier : out;
                const int dstStride = inPlace ? 24 : 32;
                std::uint8_t want[8][16];
                const rv40::BlendWeights& bw = weights[kind == 5 ? 3 : kind];
                const unsigned we = static_cast<unsigned>(bw.earlierWeight), wl = static_cast<unsigned>(bw.laterWeight);
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < w; ++x) {
                        const unsigned e = earlier[y * 24 + x], l = later[y * 20 + x];
                        want[y][x] = static_cast<std::uint8_t>(
                            !kind ? (e + l + 1) >> 1
                            : bw.fine ? (((we * e) >> 9) + ((wl * l) >> 9) + 16) >> 5
                                      : (we * e + wl * l + 16) >> 5);
                    }
                if (!kind)
                    rv40::BlendMean(earlier, 24, later, 20, dst, dstStride, w, 8);
                else
                    rv40::BlendWeighted(earlier, 24, later, 20, dst, dstStride, w, 8, bw);
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < w; ++x)
                        ASSERT_EQ(dst[y * dstStride + x], want[y][x])
                            << "kind " << kind << " width " << w << (inPlace ? " in place" : "") << " at " << x << ","
                            << y;
            }
}

TEST(Rv40Satd, QuartersAddUpToEveryPartition)
{
    // The textbook sum: the absolute values of the 4x4 Hadamard transform of the differences.
    auto hadamard4 = [](const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride) {
        static constexpr int kSigns[4][4] = {{1, 1, 1, 1}, {1, -1, 1, -1}, {1, 1, -1, -1}, {1, -1, -1, 1}};
        int sum = 0;
        for (int u = 0; u < 4; ++u)
            for (int v = 0; v < 4; ++v) {
                int c = 0;
                for (int y = 0; y < 4; ++y)
                    for (int x = 0; x < 4; ++x)
                        c += kSigns[u][y] * kSigns[v][x] * (a[y * aStride + x] - b[y * bStride + x]);
                sum += std::abs(c);
            }
        return sum;
    };
    std::uint32_t seed = 12345;
    auto next = [&seed] { return static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 23); };
    for (int round = 0; round < 4; ++round) {
        std::uint8_t a[16 * 24], b[16 * 20];
        for (auto& v : a)
            v = round == 3 ? 255 : next();
        for (auto& v : b)
            v = round == 3 ? 0 : next();
        int q[4];
        rv40::SatdQuarters(a, 24, b, 20, q);
        EXPECT_EQ(rv40::Satd(a, 24, b, 20, 16, 16), (q[0] + q[1] + q[2] + q[3]) >> 1);
        EXPECT_EQ(rv40::Satd(a + 8 * 24, 24, b + 8 * 20, 20, 16, 8), (q[2] + q[3]) >> 1);
        EXPECT_EQ(rv40::Satd(a + 8, 24, b + 8, 20, 8, 16), (q[1] + q[3]) >> 1);
        for (int i = 0; i < 4; ++i) {
            const int x = (i & 1) * 8, y = (i >> 1) * 8;
            EXPECT_EQ(rv40::Satd(a + y * 24 + x, 24, b + y * 20 + x, 20, 8, 8), q[i] >> 1) << "quarter " << i;
            int reference = 0;
            for (int k = 0; k < 4; ++k)
                reference += hadamard4(a + (y + (k >> 1) * 4) * 24 + x + (k & 1) * 4, 24,
                                       b + (y + (k >> 1) * 4) * 20 + x + (k & 1) * 4, 20);
            EXPECT_EQ(q[i], reference) << "quarter " << i;
        }
    }
}

// The forward transforms of four blocks at once (a 16x4 area's, an 8x8 one's) equal those of
// each block alone, on noise and on the largest differences either way.
TEST(Rv40Transform, FourBlocksAtOnceEqualEachAlone)
{
    std::uint32_t seed = 31337;
    auto next = [&seed] { return static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 23); };
    for (int round = 0; round < 6; ++round) {
        std::uint8_t src[8 * 24], pred[8 * 20];
        for (auto& v : src)
            v = round == 4 ? 255 : round == 5 ? 0 : next();
        for (auto& v : pred)
            v = round == 4 ? 0 : round == 5 ? 255 : next();
        std::int32_t strip[4][16], square[4][16], alone[16];
        rv40::ForwardTransform16x4(src + 24, 24, pred + 20, 20, strip);
        rv40::ForwardTransform8x8(src + 3, 24, pred + 5, 20, square);
        for (int k = 0; k < 4; ++k) {
            rv40::ForwardTransform(src + 24 + 4 * k, 24, pred + 20 + 4 * k, 20, alone);
            for (int i = 0; i < 16; ++i)
                ASSERT_EQ(strip[k][i], alone[i]) << "16x4, block " << k << " coefficient " << i;
            const int x = (k & 1) * 4, y = (k >> 1) * 4;
            rv40::ForwardTransform(src + 3 + y * 24 + x, 24, pred + 5 + y * 20 + x, 20, alone);
            for (int i = 0; i < 16; ++i)
                ASSERT_EQ(square[k][i], alone[i]) << "8x8, block " << k << " coefficient " << i;
        }
    }
}

// The inverse transform adds to the pixels what the decoder's 32-bit arithmetic gives, for
// coefficients of every size and for DC values up to the 16-bit limits.
TEST(Rv40Transform, InverseAddsByTheDecodersArithmetic)
{
    std::uint32_t seed = 8086;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 40; ++round) {
        std::int16_t block[16];
        const int range = round % 4 == 0 ? 32767 : round % 4 == 1 ? 2000 : 200;
        for (int i = 0; i < 16; ++i)
            block[i] = static_cast<std::int16_t>(round % 4 == 0 && i ? 0 : static_cast<int>(next() % (2 * range + 1)) - range);
        std::uint8_t got[4 * 6], want[4 * 6];
        for (int i = 0; i < 24; ++i)
            got[i] = want[i] = static_cast<std::uint8_t>(next());
        rv40::InverseTransformAdd(got, 6, block);
        int temp[16];
        for (int i = 0; i < 4; ++i) {
            const int z0 = 13 * (block[i] + block[i + 8]), z1 = 13 * (block[i] - block[i + 8]);
            const int z2 = 7 * block[i + 4] - 17 * block[i + 12], z3 = 17 * block[i + 4] + 7 * block[i + 12];
            const int t[4] = {z0 + z3, z1 + z2, z1 - z2, z0 - z3};
            std::copy(t, t + 4, temp + 4 * i);
        }
        for (int i = 0; i < 4; ++i) {
            const int z0 = 13 * (temp[i] + temp[8 + i]) + 0x200, z1 = 13 * (temp[i] - temp[8 + i]) + 0x200;
            const int z2 = 7 * temp[4 + i] - 17 * temp[12 + i], z3 = 17 * temp[4 + i] + 7 * temp[12 + i];
            const int add[4] = {(z0 + z3) >> 10, (z1 + z2) >> 10, (z1 - z2) >> 10, (z0 - z3) >> 10};
            for (int x = 0; x < 4; ++x)
                want[i * 6 + x] = static_cast<std::uint8_t>(std::clamp(want[i * 6 + x] + add[x], 0, 255));
        }
        for (int i = 0; i < 24; ++i)
            ASSERT_EQ(got[i], want[i]) << "round " << round << " at " << i % 6 << "," << i / 6;
    }
}

// An edge inside a macroblock filtered all at once equals FilterEdge on each of its segments in
// turn, across and along rows, for every pattern of segments, on pixels near enough to filter.
TEST(Rv40LoopFilter, InnerEdgeEqualsEachSegmentAlone)
{
    std::uint32_t seed = 2024;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    int changed = 0; // edges the filter changed: the pixels must be near enough for it to act
    for (int round = 0; round < 64; ++round) {
        const int q = static_cast<int>(next() % 32), spread = 2 + static_cast<int>(next() % 24);
        const int alpha = rv40::tables::kFilterAlpha[q], beta = rv40::tables::kFilterBeta[q];
        int limQ1[4], limP1[4];
        for (int k = 0; k < 4; ++k) {
            limQ1[k] = next() % 3 ? rv40::tables::kFilterClip[next() % 2 + 1][q] : 0;
            limP1[k] = next() % 3 ? rv40::tables::kFilterClip[next() % 2 + 1][q] : 0;
        }
        const unsigned segments = static_cast<unsigned>(round % 16);
        for (const bool vertical : {false, true}) {
            std::uint8_t got[24 * 24], want[24 * 24];
            for (int i = 0; i < 24 * 24; ++i) {
                const int across = vertical ? i % 24 : i / 24;
                got[i] = want[i] = static_cast<std::uint8_t>(
                    std::clamp(100 + (across >= 8 ? spread : 0) + static_cast<int>(next() % spread), 0, 255));
            }
            const int first = vertical ? 4 * 24 + 8 : 8 * 24 + 4, line = vertical ? 24 : 1;
            rv40::FilterInnerEdge(got + first, 24, vertical, 4, segments, limQ1, limP1, alpha, beta);
            changed += !std::equal(got, got + 24 * 24, want);
            for (int k = 0; k < 4; ++k)
                if (segments >> k & 1)
                    rv40::FilterEdge(want + first + 4 * k * line, 24, 0, limQ1[k], limP1[k], alpha, beta, 0, false,
                                     false, vertical);
            for (int i = 0; i < 24 * 24; ++i)
                ASSERT_EQ(got[i], want[i]) << "round " << round << (vertical ? " vertical" : " horizontal") << " at "
                                           << i % 24 << "," << i / 24;
        }
    }
    EXPECT_GT(changed, 40);
}

TEST(Rv40Quantise, EveryPositionByTheRoundingRule)
{
    std::uint32_t seed = 777;
    auto next = [&seed] { return static_cast<std::int32_t>((seed = seed * 1103515245u + 12345u) >> 8); };
    for (const int step : {1, 7, 60, 1000}) {
        rv40::QuantMatrix q;
        q.Set(step, step * 2, step * 3, 21);
        for (int round = 0; round < 50; ++round) {
            std::int32_t coeffs[16];
            for (int i = 0; i < 16; ++i) {
                // Zeros, small values around the dead zone, and the transform's extremes.
                const std::int32_t range = round % 3 == 0 ? 700000 : 100 * step;
                coeffs[i] = i % 5 == round % 5 ? 0 : next() % (2 * range + 1) - range;
            }
            std::int16_t levels[16];
            const int nonzero = rv40::Quantise(coeffs, q, levels);
            int expectedNonzero = 0;
            for (int i = 0; i < 16; ++i) {
                const std::int64_t magnitude =
                    std::min<std::int64_t>((std::int64_t{std::abs(coeffs[i])} * q.multiplier[i] + q.deadZone[i]) >> 20,
                                           rv40::kMaxLevel);
                EXPECT_EQ(levels[i], coeffs[i] < 0 ? -magnitude : magnitude) << "step " << step << " position " << i;
                expectedNonzero += magnitude != 0;
            }
            EXPECT_EQ(nonzero, expectedNonzero);
        }
    }
}

}  // namespace
}  // namespace quenlar::encoder::test
