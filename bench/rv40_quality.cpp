// Our rv40 encoder at fixed quantisers on the film clip as the program sees a PAL Video CD
// (384x288 square pixels, 25 fps) or, with --dvd, a 16:9 PAL DVD (512x288): kbit/s, mean PSNR-Y
// and encode time per frame, intra-only and with P-frames, against the ffmpeg CLI's rv20 at the
// rates the quantisers gave (its PSNR interpolated to our rate) and its time on the same input in
// the same run (processor time, one thread each). Also the time per frame of our loop filter
// against decoding the frame with libavcodec.
// With --b N, also rows with N B pictures between references, coded --b-offset K quantiser steps
// coarser (default 2), and their gain over I+P at equal rates (I+P interpolated).
// Run by hand: [QUENLAR_MEDIA=folder] build/bench/rv40_quality [--dvd] [--no-intra] [--no-rv20]
//   [--b N [--b-offset K]] [seconds [key interval [quantisers...]]]
// --no-intra leaves out the intra-only rows, --no-rv20 the CLI (for profiling our encoder alone).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <time.h>
#include <vector>

#include "engine/LibavPtr.h"
#include "rv40/Rv40Encoder.h"

namespace {

using namespace quenlar;

// The picture as the program sizes it: PAL Video CD, or 16:9 PAL DVD halved.
int g_width = 384;
int g_height = 288;
constexpr int kFps = 25;
std::size_t g_frameSize = 384 * 288 * 3 / 2;

// Processor time of this thread, and of the finished child processes: other work on the
// machine inflates wall times but hardly these.
double ThreadSeconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double ChildSeconds()
{
    rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

void Run(const std::string& command)
{
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

std::vector<std::vector<std::uint8_t>> ReadFrames(const std::string& path)
{
    std::vector<std::vector<std::uint8_t>> frames;
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> frame(g_frameSize);
    while (in.read(reinterpret_cast<char*>(frame.data()), g_frameSize))
        frames.push_back(frame);
    return frames;
}

double PsnrY(const std::uint8_t* a, const std::uint8_t* b, int bStride)
{
    double sum = 0;
    for (int y = 0; y < g_height; ++y)
        for (int x = 0; x < g_width; ++x) {
            const int d = a[y * g_width + x] - b[y * bStride + x];
            sum += d * d;
        }
    const double mse = sum / (g_width * g_height);
    return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 100;
}

struct Point {
    double kbps;
    double psnr;
    double msPerFrame;
};

// FNV-1a over the visible planes, to compare pictures without keeping them.
std::uint64_t Hash(const std::uint8_t* const data[3], const int stride[3])
{
    std::uint64_t h = 1469598103934665603ull;
    for (int p = 0; p < 3; ++p)
        for (int y = 0; y < (p ? g_height / 2 : g_height); ++y)
            for (int x = 0; x < (p ? g_width / 2 : g_width); ++x)
                h = (h ^ data[p][y * stride[p] + x]) * 1099511628211ull;
    return h;
}

struct Rv40Run {
    Point point;
    double filterMsPerFrame;
    std::vector<std::vector<std::uint8_t>> packets;
    std::vector<std::uint64_t> hashes; // of each reconstruction
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

Rv40Run EncodeRv40(const std::vector<std::vector<std::uint8_t>>& frames, int quant, int keyInterval, int bFrames = 0,
                   int bOffset = 0)
{
    rv40::Encoder encoder(g_width, g_height);
    encoder.TimeLoopFilter();
    Rv40Run run;
    std::size_t bytes = 0;
    double psnr = 0;
    double coding = 0;
    rv40::EncodedFrame out;
    // Hashes in display order, as the decoder outputs.
    run.hashes.resize(frames.size());
    int lastReference = -1;
    for (const int i : DecodingOrder(static_cast<int>(frames.size()), keyInterval, bFrames)) {
        const std::uint8_t* y = frames[i].data();
        const rv40::SourcePicture picture{{y, y + g_width * g_height, y + g_width * g_height * 5 / 4},
                                          {g_width, g_width / 2, g_width / 2}};
        const bool b = i < lastReference;
        if (!b)
            lastReference = i;
        const double start = ThreadSeconds();
        encoder.Encode(picture,
                       {i % keyInterval == 0, b ? std::min(31, quant + bOffset) : quant,
                        static_cast<std::uint32_t>(i * 1000 / kFps), b},
                       out);
        coding += ThreadSeconds() - start;
        bytes += out.data.size();
        run.packets.push_back(out.data);
        const rv40::Picture& r = encoder.Reconstruction();
        psnr += PsnrY(y, r.y.Row(0), r.y.Stride());
        const std::uint8_t* planes[3] = {r.y.Row(0), r.u.Row(0), r.v.Row(0)};
        const int strides[3] = {r.y.Stride(), r.u.Stride(), r.v.Stride()};
        run.hashes[i] = Hash(planes, strides);
    }
    const double n = static_cast<double>(frames.size());
    run.point = {bytes * 8.0 * kFps / n / 1000, psnr / n, coding * 1000 / n};
    run.filterMsPerFrame = encoder.LoopFilterSeconds() * 1000 / n;
    return run;
}

int g_decoderMessages = 0;

void CountMessage(void*, int level, const char*, va_list)
{
    if (level <= AV_LOG_INFO)
        ++g_decoderMessages;
}

// Decodes our packets with libavcodec's rv40 decoder on one thread; calls `picture` with each
// output picture. Returns the time per frame.
template <class OnPicture>
double Decode(const std::vector<std::vector<std::uint8_t>>& packets, OnPicture picture)
{
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_RV40);
    encoder::CodecContextPtr ctx(avcodec_alloc_context3(codec));
    ctx->width = g_width;
    ctx->height = g_height;
    ctx->thread_count = 1;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return 0;
    encoder::PacketPtr packet(av_packet_alloc());
    encoder::FramePtr frame(av_frame_alloc());
    auto receive = [&] {
        while (avcodec_receive_frame(ctx.get(), frame.get()) == 0) {
            picture(frame.get());
            av_frame_unref(frame.get());
        }
    };
    const double start = ThreadSeconds();
    for (const auto& data : packets) {
        av_new_packet(packet.get(), static_cast<int>(data.size()));
        std::copy(data.begin(), data.end(), packet->data);
        avcodec_send_packet(ctx.get(), packet.get());
        av_packet_unref(packet.get());
        receive();
    }
    avcodec_send_packet(ctx.get(), nullptr);
    receive();
    return (ThreadSeconds() - start) * 1000 / static_cast<double>(packets.size());
}

// Pictures the decoder outputs that differ from the encoder's reconstruction, or are missing.
int Mismatches(const Rv40Run& run)
{
    std::size_t i = 0;
    int bad = 0;
    Decode(run.packets, [&](const AVFrame* frame) {
        const std::uint8_t* planes[3] = {frame->data[0], frame->data[1], frame->data[2]};
        bad += i >= run.hashes.size() || Hash(planes, frame->linesize) != run.hashes[i];
        ++i;
    });
    return bad + static_cast<int>(run.hashes.size() - std::min(i, run.hashes.size()));
}

// The CLI's rv20 at a video rate, in .rm as the program writes it: actual rate, PSNR-Y, time.
Point EncodeRv20(const std::string& folder, const std::string& clip,
                 const std::vector<std::vector<std::uint8_t>>& frames, double kbps)
{
    const std::string rm = folder + "/rv20.rm", yuv = folder + "/rv20.yuv";
    const std::string raw = "-f rawvideo -pix_fmt yuv420p -s " + std::to_string(g_width) + "x" +
                            std::to_string(g_height) + " -r " + std::to_string(kFps);
    const double start = ChildSeconds();
    Run("ffmpeg -nostdin -v error -y -threads 1 " + raw + " -i '" + clip + "' -c:v rv20 -b:v " +
        std::to_string(static_cast<int>(kbps)) + "k -f rm '" + rm + "'");
    const double seconds = ChildSeconds() - start;
    Run("ffmpeg -nostdin -v error -y -i '" + rm + "' -vsync passthrough -f rawvideo -pix_fmt yuv420p '" + yuv + "'");
    const auto decoded = ReadFrames(yuv);
    double psnr = 0;
    for (std::size_t i = 0; i < frames.size() && i < decoded.size(); ++i)
        psnr += PsnrY(frames[i].data(), decoded[i].data(), g_width);
    const double n = static_cast<double>(frames.size());
    // The video stream's payload: the file less a small header and index.
    const double bytes = static_cast<double>(std::filesystem::file_size(rm));
    return {bytes * 8 * kFps / n / 1000, psnr / n, seconds * 1000 / n};
}

// PSNR of the rv20 curve at a rate, linear in log-rate between the nearest points.
double InterpolatePsnr(std::vector<Point> curve, double kbps)
{
    std::sort(curve.begin(), curve.end(), [](const Point& a, const Point& b) { return a.kbps < b.kbps; });
    if (curve.size() < 2)
        return curve.empty() ? 0 : curve[0].psnr;
    std::size_t i = 1;
    while (i + 1 < curve.size() && curve[i].kbps < kbps)
        ++i;
    const Point& a = curve[i - 1];
    const Point& b = curve[i];
    const double t = (std::log(kbps) - std::log(a.kbps)) / (std::log(b.kbps) - std::log(a.kbps));
    return a.psnr + t * (b.psnr - a.psnr);
}

}  // namespace

int main(int argc, char** argv)
{
    bool dvd = false, intraRows = true, cli = true;
    int bFrames = 0, bOffset = 2;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--b" && i + 1 < argc)
            bFrames = std::max(0, std::atoi(argv[++i]));
        else if (arg == "--b-offset" && i + 1 < argc)
            bOffset = std::atoi(argv[++i]);
        else if (arg == "--dvd")
            dvd = true;
        else if (arg == "--no-intra")
            intraRows = false;
        else if (arg == "--no-rv20")
            cli = false;
        else
            args.push_back(arg);
    }
    if (dvd) {
        g_width = 512;
        g_height = 288;
        g_frameSize = static_cast<std::size_t>(g_width) * g_height * 3 / 2;
    }
    const double seconds = !args.empty() ? std::max(1.0, std::atof(args[0].c_str())) : 60;
    const int keyInterval = args.size() > 1 ? std::max(1, std::atoi(args[1].c_str())) : 50;
    std::vector<int> quants;
    for (std::size_t i = 2; i < args.size(); ++i)
        quants.push_back(std::atoi(args[i].c_str()));
    if (quants.empty())
        quants = {10, 14, 18, 22, 26};
    // The film clip beside the repository, or in $QUENLAR_MEDIA (a worktree elsewhere).
    const char* media = std::getenv("QUENLAR_MEDIA");
    const std::string film =
        (media ? std::string(media) : std::string(QUENLAR_SOURCE_DIR) + "/../shared/media") + "/bbb-60s.mp4";
    if (!std::filesystem::exists(film)) {
        std::fprintf(stderr, "missing %s\n", film.c_str());
        return 1;
    }
    char pattern[] = "/tmp/quenlar-rv40-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string folder = pattern;
    const std::string clip = folder + "/clip.yuv";
    Run("ffmpeg -nostdin -v error -y -i '" + film + "' -t " + std::to_string(seconds) + " -an -target " +
        (dvd ? "pal-dvd -aspect 16:9" : "pal-vcd") + " '" + folder + "/source.mpg'");
    Run("ffmpeg -nostdin -v error -y -i '" + folder + "/source.mpg' -vf scale=" + std::to_string(g_width) + ":" +
        std::to_string(g_height) + (dvd ? ":flags=area" : "") + " -pix_fmt yuv420p -f rawvideo '" + clip + "'");
    const auto frames = ReadFrames(clip);
    std::printf("%zu frames %dx%d, key picture every %d in I+P\n\n", frames.size(), g_width, g_height, keyInterval);

    std::printf("%-6s %6s %9s %8s %9s %10s %9s %10s\n", "mode", "quant", "kbit/s", "PSNR-Y", "ms/frame", "filter ms",
                "decode ms", "mismatch");
    av_log_set_callback(CountMessage);
    std::vector<Point> withP;
    for (const int interval : {1, keyInterval}) {
        if (interval == 1 && !intraRows)
            continue;
        for (const int q : quants) {
            const Rv40Run run = EncodeRv40(frames, q, interval);
            const double decodeMs = Decode(run.packets, [](const AVFrame*) {});
            const int mismatches = Mismatches(run);
            const Point& p = run.point;
            std::printf("%-6s %6d %9.1f %8.2f %9.2f %10.3f %9.3f %10d\n", interval == 1 ? "I" : "I+P", q, p.kbps,
                        p.psnr, p.msPerFrame, run.filterMsPerFrame, decodeMs, mismatches);
            if (interval != 1)
                withP.push_back(run.point);
        }
    }
    if (bFrames) {
        std::vector<Point> withB;
        for (const int q : quants) {
            const Rv40Run run = EncodeRv40(frames, q, keyInterval, bFrames, bOffset);
            const int mismatches = Mismatches(run);
            const Point& p = run.point;
            std::printf("%-6s %6d %9.1f %8.2f %9.2f %10.3f %9s %10d\n", "I+P+B", q, p.kbps, p.psnr, p.msPerFrame,
                        run.filterMsPerFrame, "", mismatches);
            withB.push_back(p);
        }
        std::printf("\n%d B pictures (quantiser +%d) against I+P at equal rates (I+P interpolated):\n%9s %8s %8s "
                    "%7s %11s\n",
                    bFrames, bOffset, "kbit/s", "I+P+B", "I+P", "gain", "time ratio");
        for (std::size_t i = 0; i < withB.size(); ++i) {
            const double base = InterpolatePsnr(withP, withB[i].kbps);
            std::printf("%9.1f %8.2f %8.2f %+7.2f %11.2f\n", withB[i].kbps, withB[i].psnr, base, withB[i].psnr - base,
                        withB[i].msPerFrame / withP[i].msPerFrame);
        }
    }
    if (!cli) {
        std::filesystem::remove_all(folder);
        return 0;
    }
    std::printf("\nrv20 (ffmpeg CLI) at the I+P rates:\n%9s %9s %8s %9s\n", "asked", "kbit/s", "PSNR-Y", "ms/frame");
    std::vector<Point> rv20;
    for (const Point& p : withP) {
        const Point r = EncodeRv20(folder, clip, frames, p.kbps);
        std::printf("%9.1f %9.1f %8.2f %9.2f\n", p.kbps, r.kbps, r.psnr, r.msPerFrame);
        rv20.push_back(r);
    }
    std::printf("\nAt equal rates (rv20 interpolated):\n%9s %8s %8s %7s %11s\n", "kbit/s", "rv40", "rv20", "gain",
                "time ratio");
    for (std::size_t i = 0; i < withP.size(); ++i)
        std::printf("%9.1f %8.2f %8.2f %+7.2f %11.2f\n", withP[i].kbps, withP[i].psnr,
                    InterpolatePsnr(rv20, withP[i].kbps), withP[i].psnr - InterpolatePsnr(rv20, withP[i].kbps),
                    withP[i].msPerFrame / rv20[i].msPerFrame);
    std::printf("\ndecoder messages: %d\n", g_decoderMessages);
    std::filesystem::remove_all(folder);
    return 0;
}
