#include "MotionCompensate.h"

#include <algorithm>
#include <cstring>

#include "tables/Rv40Tables.h"

namespace quenlar::rv40 {
namespace {

// The 6-tap filter at each quarter position: weights of the two middle taps and the shift.
struct Taps {
    int c1;
    int c2;
    int shift;
};
constexpr Taps kTaps[4] = {{0, 0, 0}, {52, 20, 6}, {20, 20, 5}, {20, 52, 6}};

inline std::uint8_t Clip8(int v)
{
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// Filters along `step` (1: across a row, stride: down a column).
template <int kStep>
void Filter(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, int w, int h, Taps t,
            int step)
{
    const int s = kStep ? kStep : step;
    const int round = 1 << (t.shift - 1);
    for (int y = 0; y < h; ++y, src += srcStride, dst += dstStride)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = src + x;
            const int v = p[-2 * s] + p[3 * s] - 5 * (p[-s] + p[2 * s]) + t.c1 * p[0] + t.c2 * p[s];
            dst[x] = Clip8((v + round) >> t.shift);
        }
}

}  // namespace

void PredictLuma(const Plane& ref, int x, int y, int mvx, int mvy, int w, int h, std::uint8_t* dst, int dstStride)
{
    const int lx = mvx & 3, ly = mvy & 3;
    const int stride = ref.Stride();
    const std::uint8_t* src = ref.Row(y + (mvy >> 2)) + x + (mvx >> 2);
    if (!lx && !ly) {
        for (int j = 0; j < h; ++j)
            std::memcpy(dst + j * dstStride, src + j * stride, w);
    } else if (lx == 3 && ly == 3) {
        for (int j = 0; j < h; ++j, src += stride, dst += dstStride)
            for (int i = 0; i < w; ++i)
                dst[i] = static_cast<std::uint8_t>((src[i] + src[i + 1] + src[i + stride] + src[i + stride + 1] + 2) >> 2);
    } else if (!ly) {
        Filter<1>(src, stride, dst, dstStride, w, h, kTaps[lx], 1);
    } else if (!lx) {
        Filter<0>(src, stride, dst, dstStride, w, h, kTaps[ly], stride);
    } else {
        // Horizontal pass over two rows more above and three below, rounded to pixels, then vertical.
        alignas(16) std::uint8_t tmp[16 * 21];
        Filter<1>(src - 2 * stride, stride, tmp, 16, w, h + 5, kTaps[lx], 1);
        Filter<0>(tmp + 2 * 16, 16, dst, dstStride, w, h, kTaps[ly], 16);
    }
}

void PredictChroma(const Plane& ref, int x, int y, int mvx, int mvy, int w, int h, std::uint8_t* dst,
                   int dstStride)
{
    // Half the luma vector, rounded toward zero, in quarter chroma pixels; the positions are
    // eighths, and three quarters in both directions is taken as a half.
    const int cx = mvx / 2, cy = mvy / 2;
    int fx = (cx & 3) * 2, fy = (cy & 3) * 2;
    if (fx == 6 && fy == 6)
        fx = fy = 4;
    const int stride = ref.Stride();
    const std::uint8_t* src = ref.Row(y + (cy >> 2)) + x + (cx >> 2);
    const int a = (8 - fx) * (8 - fy), b = fx * (8 - fy), c = (8 - fx) * fy, d = fx * fy;
    const int bias = tables::kChromaMcBias[fy >> 1][fx >> 1];
    for (int j = 0; j < h; ++j, src += stride, dst += dstStride)
        for (int i = 0; i < w; ++i)
            dst[i] = static_cast<std::uint8_t>(
                (a * src[i] + b * src[i + 1] + c * src[i + stride] + d * src[i + stride + 1] + bias) >> 6);
}

}  // namespace quenlar::rv40
