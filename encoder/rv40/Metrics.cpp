#include "Metrics.h"

#include <cstdlib>

namespace quenlar::rv40 {
namespace {

int Satd4x4(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride)
{
    int d[16];
    for (int y = 0; y < 4; ++y) {
        const int d0 = a[y * aStride] - b[y * bStride], d1 = a[y * aStride + 1] - b[y * bStride + 1];
        const int d2 = a[y * aStride + 2] - b[y * bStride + 2], d3 = a[y * aStride + 3] - b[y * bStride + 3];
        const int s01 = d0 + d1, t01 = d0 - d1, s23 = d2 + d3, t23 = d2 - d3;
        d[y * 4 + 0] = s01 + s23;
        d[y * 4 + 1] = s01 - s23;
        d[y * 4 + 2] = t01 - t23;
        d[y * 4 + 3] = t01 + t23;
    }
    int sum = 0;
    for (int x = 0; x < 4; ++x) {
        const int s01 = d[x] + d[4 + x], t01 = d[x] - d[4 + x];
        const int s23 = d[8 + x] + d[12 + x], t23 = d[8 + x] - d[12 + x];
        sum += std::abs(s01 + s23) + std::abs(s01 - s23) + std::abs(t01 - t23) + std::abs(t01 + t23);
    }
    return sum >> 1;
}

}  // namespace

int Sad(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int w, int h)
{
    int sum = 0;
    for (int y = 0; y < h; ++y, a += aStride, b += bStride)
        for (int x = 0; x < w; ++x)
            sum += std::abs(a[x] - b[x]);
    return sum;
}

int Satd(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int w, int h)
{
    int sum = 0;
    for (int y = 0; y < h; y += 4)
        for (int x = 0; x < w; x += 4)
            sum += Satd4x4(a + y * aStride + x, aStride, b + y * bStride + x, bStride);
    return sum;
}

int Ssd(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int w, int h)
{
    int sum = 0;
    for (int y = 0; y < h; ++y, a += aStride, b += bStride)
        for (int x = 0; x < w; ++x) {
            const int d = a[x] - b[x];
            sum += d * d;
        }
    return sum;
}

}  // namespace quenlar::rv40
