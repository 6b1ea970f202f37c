// Our rv40 encoder alone on raw yuv420p pictures, as one encoder thread of the program codes them
// (runs of one key-frame interval, B pictures between references, the lookahead's plan and the
// rate control), for counting its instructions: it links nothing of FFmpeg, whose libraries pull
// in code valgrind cannot run. Timings on the shared machines vary by 15 % from run to run; the
// instruction count of one run tells a change of 1 %. Prints the pictures coded and their rate.
// Run by hand after a build, e.g.
//   ffmpeg -i clip.mpg -t 12 -vf scale=520:288:flags=area -f rawvideo -pix_fmt yuv420p clip.yuv
//   valgrind --tool=callgrind build/bench/rv40_instructions 520 288 406 clip.yuv [B pictures (3)]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "rv40/Lookahead.h"
#include "rv40/RateControl.h"
#include "rv40/Rv40Encoder.h"

namespace {

using namespace quenlar::rv40;

constexpr double kFps = 25;
constexpr std::size_t kRunPictures = 100;      // the program's key-frame interval, 4 s
constexpr int kMaxFrameBits = 8 * (0xFFFF - 23); // what one rm packet carries

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s width height kbit/s file.yuv [B pictures]\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
    const double bitRate = 1000.0 * std::atof(argv[3]);
    const std::size_t bFrames = argc > 5 ? std::strtoul(argv[5], nullptr, 10) : 3;
    std::FILE* in = std::fopen(argv[4], "rb");
    if (!in) {
        std::perror(argv[4]);
        return 1;
    }
    const std::size_t size = static_cast<std::size_t>(width) * height * 3 / 2;
    std::vector<std::vector<std::uint8_t>> pictures;
    for (std::vector<std::uint8_t> p(size); std::fread(p.data(), 1, size, in) == size;)
        pictures.push_back(p);
    std::fclose(in);

    Encoder encoder(width, height);
    Lookahead lookahead(width, height);
    RateControl rate(bitRate, kFps, kMaxFrameBits, width * height);
    auto source = [&](std::size_t i) {
        const std::uint8_t* y = pictures[i].data();
        const int area = width * height;
        return SourcePicture{{y, y + area, y + area + area / 4}, {width, width / 2, width / 2}};
    };
    long long bytes = 0;
    EncodedFrame coded;
    for (std::size_t start = 0; start < pictures.size(); start += kRunPictures) {
        const std::size_t count = std::min(kRunPictures, pictures.size() - start);
        // Each reference before the B pictures ahead of it; the run starts and ends on one.
        std::vector<std::size_t> order, waiting;
        std::vector<bool> bidirectional(count, false);
        for (std::size_t i = 0; i < count; ++i) {
            bidirectional[i] = i > 0 && i + 1 < count && i % (bFrames + 1) != 0;
            if (bidirectional[i]) {
                waiting.push_back(i);
                continue;
            }
            order.push_back(i);
            order.insert(order.end(), waiting.begin(), waiting.end());
            waiting.clear();
        }
        std::vector<double> costs(count), plannedCosts;
        std::vector<bool> plannedBidirectional;
        for (std::size_t i = 0; i < count; ++i)
            costs[i] = lookahead.Cost(source(start + i), i == 0);
        for (const std::size_t i : order) {
            plannedCosts.push_back(costs[i]);
            plannedBidirectional.push_back(bidirectional[i]);
        }
        rate.BeginRun(std::move(plannedCosts), std::move(plannedBidirectional));
        bool key = true;
        for (const std::size_t i : order) {
            int quant = rate.Quantiser();
            key = key && !bidirectional[i];
            for (;;) {
                const auto ms = static_cast<std::uint32_t>((start + i) * 1000 / kFps);
                encoder.Encode(source(start + i), {key, quant, ms, bidirectional[i]}, coded);
                // The rate control counts the slices, without the frame's table of them.
                const std::size_t table = coded.data.empty() ? 0 : 1 + 8 * (std::size_t{coded.data[0]} + 1);
                const auto again = rate.Coded(key, quant, static_cast<int>(8 * (coded.data.size() - table)));
                if (!again)
                    break;
                key = !bidirectional[i];
                quant = *again;
            }
            key = false;
            bytes += static_cast<long long>(coded.data.size());
        }
    }
    std::printf("%zu pictures, %.1f kbit/s\n", pictures.size(),
                pictures.empty() ? 0.0 : 8.0 * static_cast<double>(bytes) * kFps / pictures.size() / 1000);
    return 0;
}
