#include "Metrics.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace quenlar::rv40 {
namespace {

#if !defined(__SSE2__)
// Sum of absolute values of the 4x4 Hadamard transform of a - b (not halved).
int Hadamard4x4(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride)
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
    return sum;
}
#endif

#if defined(__SSE2__)

inline __m128i Abs16(__m128i v)
{
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

// The transform of four rows of differences (two 4x4 blocks side by side, 16 bits each), as
// absolute values summed in 16-bit lanes, halved: the last stage's |a + b| + |a - b| is
// 2 max(|a|, |b|). The transposition keeps the left block in the low half of every register and
// the right one in the high half.
inline __m128i HadamardHalfAbs(const __m128i d[4])
{
    // Down the columns.
    __m128i s01 = _mm_add_epi16(d[0], d[1]), t01 = _mm_sub_epi16(d[0], d[1]);
    __m128i s23 = _mm_add_epi16(d[2], d[3]), t23 = _mm_sub_epi16(d[2], d[3]);
    const __m128i r0 = _mm_add_epi16(s01, s23), r1 = _mm_sub_epi16(s01, s23);
    const __m128i r2 = _mm_sub_epi16(t01, t23), r3 = _mm_add_epi16(t01, t23);
    // Transpose each 4x4 so that columns become registers, then along the rows.
    const __m128i a0 = _mm_unpacklo_epi16(r0, r1), a1 = _mm_unpacklo_epi16(r2, r3);
    const __m128i a2 = _mm_unpackhi_epi16(r0, r1), a3 = _mm_unpackhi_epi16(r2, r3);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a1), b1 = _mm_unpackhi_epi32(a0, a1);
    const __m128i b2 = _mm_unpacklo_epi32(a2, a3), b3 = _mm_unpackhi_epi32(a2, a3);
    const __m128i c0 = _mm_unpacklo_epi64(b0, b2), c1 = _mm_unpackhi_epi64(b0, b2);
    const __m128i c2 = _mm_unpacklo_epi64(b1, b3), c3 = _mm_unpackhi_epi64(b1, b3);
    s01 = _mm_add_epi16(c0, c1), t01 = _mm_sub_epi16(c0, c1);
    s23 = _mm_add_epi16(c2, c3), t23 = _mm_sub_epi16(c2, c3);
    return _mm_add_epi16(_mm_max_epi16(Abs16(s01), Abs16(s23)), _mm_max_epi16(Abs16(t01), Abs16(t23)));
}

// Both blocks' sums together.
inline int HadamardRows(const __m128i d[4])
{
    __m128i total = _mm_madd_epi16(HadamardHalfAbs(d), _mm_set1_epi16(2));
    total = _mm_add_epi32(total, _mm_shuffle_epi32(total, 0x4E));
    total = _mm_add_epi32(total, _mm_shuffle_epi32(total, 0xB1));
    return _mm_cvtsi128_si32(total);
}

// Each block's sum on its own.
inline void HadamardPair(const __m128i d[4], int* left, int* right)
{
    __m128i total = _mm_madd_epi16(HadamardHalfAbs(d), _mm_set1_epi16(2));
    total = _mm_add_epi32(total, _mm_shuffle_epi32(total, 0xB1));
    *left = _mm_cvtsi128_si32(total);
    *right = _mm_cvtsi128_si32(_mm_srli_si128(total, 8));
}

int Hadamard8x4(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride)
{
    const __m128i z = _mm_setzero_si128();
    __m128i d[4];
    for (int y = 0; y < 4; ++y) {
        const __m128i pa = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + y * aStride)), z);
        const __m128i pb = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + y * bStride)), z);
        d[y] = _mm_sub_epi16(pa, pb);
    }
    return HadamardRows(d);
}

// One 4x4 block in the left half; the right half is zero and adds nothing.
int Hadamard4x4Sse2(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride)
{
    const __m128i z = _mm_setzero_si128();
    __m128i d[4];
    for (int y = 0; y < 4; ++y) {
        std::int32_t wa, wb;
        std::memcpy(&wa, a + y * aStride, 4);
        std::memcpy(&wb, b + y * bStride, 4);
        d[y] = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(wa), z), _mm_unpacklo_epi8(_mm_cvtsi32_si128(wb), z));
    }
    return HadamardRows(d);
}

// Absolute values of the transforms of four rows of differences with AVX2 (each 128-bit half as
// in HadamardRows), summed into 32-bit lanes.
__attribute__((target("avx2"))) inline __m256i HadamardAbsAvx2(const __m256i d[4])
{
    __m256i s01 = _mm256_add_epi16(d[0], d[1]), t01 = _mm256_sub_epi16(d[0], d[1]);
    __m256i s23 = _mm256_add_epi16(d[2], d[3]), t23 = _mm256_sub_epi16(d[2], d[3]);
    const __m256i r0 = _mm256_add_epi16(s01, s23), r1 = _mm256_sub_epi16(s01, s23);
    const __m256i r2 = _mm256_sub_epi16(t01, t23), r3 = _mm256_add_epi16(t01, t23);
    const __m256i a0 = _mm256_unpacklo_epi16(r0, r1), a1 = _mm256_unpacklo_epi16(r2, r3);
    const __m256i a2 = _mm256_unpackhi_epi16(r0, r1), a3 = _mm256_unpackhi_epi16(r2, r3);
    const __m256i b0 = _mm256_unpacklo_epi32(a0, a1), b1 = _mm256_unpackhi_epi32(a0, a1);
    const __m256i b2 = _mm256_unpacklo_epi32(a2, a3), b3 = _mm256_unpackhi_epi32(a2, a3);
    const __m256i c0 = _mm256_unpacklo_epi64(b0, b2), c1 = _mm256_unpackhi_epi64(b0, b2);
    const __m256i c2 = _mm256_unpacklo_epi64(b1, b3), c3 = _mm256_unpackhi_epi64(b1, b3);
    s01 = _mm256_add_epi16(c0, c1), t01 = _mm256_sub_epi16(c0, c1);
    s23 = _mm256_add_epi16(c2, c3), t23 = _mm256_sub_epi16(c2, c3);
    // As HadamardHalfAbs.
    const __m256i sum = _mm256_add_epi16(_mm256_max_epi16(_mm256_abs_epi16(s01), _mm256_abs_epi16(s23)),
                                         _mm256_max_epi16(_mm256_abs_epi16(t01), _mm256_abs_epi16(t23)));
    return _mm256_madd_epi16(sum, _mm256_set1_epi16(2));
}

// Row y of a block 16 wide, or rows y and y + 4 of one 8 wide, as sixteen 16-bit values.
template <int W>
__attribute__((target("avx2"))) inline __m256i LoadRowAvx2(const std::uint8_t* p, int stride, int y)
{
    if constexpr (W == 16)
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + y * stride)));
    const __m128i row = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + y * stride));
    const __m128i below = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + (y + 4) * stride));
    return _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(row, below));
}

// Blocks 16 wide, or 8 wide with rows y and y + 4 side by side (h a multiple of 8).
template <int W>
__attribute__((target("avx2"))) int SatdAvx2(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride,
                                             int h)
{
    __m256i total = _mm256_setzero_si256();
    constexpr int kRowStep = W == 16 ? 4 : 8;
    for (int y = 0; y < h; y += kRowStep) {
        const __m256i d[4] = {
            _mm256_sub_epi16(LoadRowAvx2<W>(a, aStride, y), LoadRowAvx2<W>(b, bStride, y)),
            _mm256_sub_epi16(LoadRowAvx2<W>(a, aStride, y + 1), LoadRowAvx2<W>(b, bStride, y + 1)),
            _mm256_sub_epi16(LoadRowAvx2<W>(a, aStride, y + 2), LoadRowAvx2<W>(b, bStride, y + 2)),
            _mm256_sub_epi16(LoadRowAvx2<W>(a, aStride, y + 3), LoadRowAvx2<W>(b, bStride, y + 3))};
        total = _mm256_add_epi32(total, HadamardAbsAvx2(d));
    }
    __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(total), _mm256_extracti128_si256(total, 1));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
    return _mm_cvtsi128_si32(sum);
}

__attribute__((target("avx2"))) void SatdQuartersAvx2(const std::uint8_t* a, int aStride, const std::uint8_t* b,
                                                      int bStride, int out[4])
{
    for (int half = 0; half < 2; ++half) {
        __m256i total = _mm256_setzero_si256();
        for (int y = half * 8; y < half * 8 + 8; y += 4) {
            const __m256i d[4] = {
                _mm256_sub_epi16(LoadRowAvx2<16>(a, aStride, y), LoadRowAvx2<16>(b, bStride, y)),
                _mm256_sub_epi16(LoadRowAvx2<16>(a, aStride, y + 1), LoadRowAvx2<16>(b, bStride, y + 1)),
                _mm256_sub_epi16(LoadRowAvx2<16>(a, aStride, y + 2), LoadRowAvx2<16>(b, bStride, y + 2)),
                _mm256_sub_epi16(LoadRowAvx2<16>(a, aStride, y + 3), LoadRowAvx2<16>(b, bStride, y + 3))};
            total = _mm256_add_epi32(total, HadamardAbsAvx2(d));
        }
        // The low 128 bits hold the left quarter, the high ones the right.
        for (int side = 0; side < 2; ++side) {
            __m128i sum = side ? _mm256_extracti128_si256(total, 1) : _mm256_castsi256_si128(total);
            sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
            sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
            out[half * 2 + side] = _mm_cvtsi128_si32(sum);
        }
    }
}

const bool g_avx2 = __builtin_cpu_supports("avx2");

// The squares of the sixteen byte differences, summed in pairs into four 32-bit lanes.
inline __m128i SquaredDifferences(__m128i a, __m128i b)
{
    const __m128i z = _mm_setzero_si128();
    const __m128i lo = _mm_sub_epi16(_mm_unpacklo_epi8(a, z), _mm_unpacklo_epi8(b, z));
    const __m128i hi = _mm_sub_epi16(_mm_unpackhi_epi8(a, z), _mm_unpackhi_epi8(b, z));
    return _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi));
}

inline int Sum32(__m128i v)
{
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0x4E));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0xB1));
    return _mm_cvtsi128_si32(v);
}

__attribute__((target("avx2"))) int Ssd16Avx2(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride,
                                               int h)
{
    __m256i total = _mm256_setzero_si256();
    for (int y = 0; y < h; ++y, a += aStride, b += bStride) {
        const __m256i d = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a))),
                                           _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b))));
        total = _mm256_add_epi32(total, _mm256_madd_epi16(d, d));
    }
    return Sum32(_mm_add_epi32(_mm256_castsi256_si128(total), _mm256_extracti128_si256(total, 1)));
}

#endif

}  // namespace

int Sad(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int w, int h)
{
#if defined(__SSE2__)
    if (w == 16) {
        __m128i total = _mm_setzero_si128();
        for (int y = 0; y < h; ++y, a += aStride, b += bStride)
            total = _mm_add_epi64(total, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(b))));
        return _mm_cvtsi128_si32(total) + _mm_cvtsi128_si32(_mm_srli_si128(total, 8));
    }
    if (w == 8) {
        __m128i total = _mm_setzero_si128();
        for (int y = 0; y < h; ++y, a += aStride, b += bStride)
            total = _mm_add_epi64(total, _mm_sad_epu8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)),
                                                      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b))));
        return _mm_cvtsi128_si32(total);
    }
#endif
    int sum = 0;
    for (int y = 0; y < h; ++y, a += aStride, b += bStride)
        for (int x = 0; x < w; ++x)
            sum += std::abs(a[x] - b[x]);
    return sum;
}

int Satd(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int w, int h)
{
#if defined(__SSE2__)
    if (g_avx2 && w == 16)
        return SatdAvx2<16>(a, aStride, b, bStride, h) >> 1;
    if (g_avx2 && w == 8 && h % 8 == 0)
        return SatdAvx2<8>(a, aStride, b, bStride, h) >> 1;
#endif
    int sum = 0;
    for (int y = 0; y < h; y += 4) {
        int x = 0;
#if defined(__SSE2__)
        for (; x + 8 <= w; x += 8)
            sum += Hadamard8x4(a + y * aStride + x, aStride, b + y * bStride + x, bStride);
        for (; x < w; x += 4)
            sum += Hadamard4x4Sse2(a + y * aStride + x, aStride, b + y * bStride + x, bStride);
#else
        for (; x < w; x += 4)
            sum += Hadamard4x4(a + y * aStride + x, aStride, b + y * bStride + x, bStride);
#endif
    }
    return sum >> 1;
}

void SatdQuarters(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int out[4])
{
#if defined(__SSE2__)
    if (g_avx2) {
        SatdQuartersAvx2(a, aStride, b, bStride, out);
        return;
    }
#endif
    for (int q = 0; q < 4; ++q) {
        const int x = (q & 1) * 8, y0 = (q >> 1) * 8;
        int sum = 0;
        for (int y = y0; y < y0 + 8; y += 4) {
#if defined(__SSE2__)
            sum += Hadamard8x4(a + y * aStride + x, aStride, b + y * bStride + x, bStride);
#else
            for (int i = x; i < x + 8; i += 4)
                sum += Hadamard4x4(a + y * aStride + i, aStride, b + y * bStride + i, bStride);
#endif
        }
        out[q] = sum;
    }
}

void Satd4x4Many(const std::uint8_t* a, int aStride, const std::uint8_t (*b)[16], int count, int* out)
{
#if defined(__SSE2__)
    const __m128i z = _mm_setzero_si128();
    __m128i rows[4];
    for (int y = 0; y < 4; ++y) {
        std::int32_t row;
        std::memcpy(&row, a + y * aStride, 4);
        rows[y] = _mm_unpacklo_epi8(_mm_set1_epi32(row), z);
    }
    int i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b[i]));
        const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b[i + 1]));
        const __m128i rows01 = _mm_unpacklo_epi32(p, q), rows23 = _mm_unpackhi_epi32(p, q); // p0 q0 p1 q1 ...
        __m128i d[4] = {_mm_sub_epi16(rows[0], _mm_unpacklo_epi8(rows01, z)),
                        _mm_sub_epi16(rows[1], _mm_unpackhi_epi8(rows01, z)),
                        _mm_sub_epi16(rows[2], _mm_unpacklo_epi8(rows23, z)),
                        _mm_sub_epi16(rows[3], _mm_unpackhi_epi8(rows23, z))};
        int first, second;
        HadamardPair(d, &first, &second);
        out[i] = first >> 1;
        out[i + 1] = second >> 1;
    }
    if (i < count)
        out[i] = Hadamard4x4Sse2(a, aStride, b[i], 4) >> 1;
#else
    for (int i = 0; i < count; ++i)
        out[i] = Hadamard4x4(a, aStride, b[i], 4) >> 1;
#endif
}

int Ssd(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int w, int h)
{
#if defined(__SSE2__)
    if (g_avx2 && w == 16)
        return Ssd16Avx2(a, aStride, b, bStride, h);
    if (w == 16 || w == 8 || w == 4) {
        __m128i total = _mm_setzero_si128();
        auto load = [w](const std::uint8_t* p) {
            if (w == 16)
                return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            if (w == 8)
                return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
            std::int32_t four;
            std::memcpy(&four, p, 4);
            return _mm_cvtsi32_si128(four);
        };
        for (int y = 0; y < h; ++y, a += aStride, b += bStride)
            total = _mm_add_epi32(total, SquaredDifferences(load(a), load(b)));
        return Sum32(total);
    }
#endif
    int sum = 0;
    for (int y = 0; y < h; ++y, a += aStride, b += bStride)
        for (int x = 0; x < w; ++x) {
            const int d = a[x] - b[x];
            sum += d * d;
        }
    return sum;
}

int SsdPair8(const std::uint8_t* a0, const std::uint8_t* a1, int aStride, const std::uint8_t* b0,
             const std::uint8_t* b1, int bStride, int h)
{
#if defined(__SSE2__)
    __m128i total = _mm_setzero_si128();
    for (int y = 0; y < h; ++y) {
        auto row = [y](const std::uint8_t* p, int stride) {
            return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + y * stride));
        };
        total = _mm_add_epi32(total, SquaredDifferences(_mm_unpacklo_epi64(row(a0, aStride), row(a1, aStride)),
                                                        _mm_unpacklo_epi64(row(b0, bStride), row(b1, bStride))));
    }
    return Sum32(total);
#else
    return Ssd(a0, aStride, b0, bStride, 8, h) + Ssd(a1, aStride, b1, bStride, 8, h);
#endif
}

}  // namespace quenlar::rv40
