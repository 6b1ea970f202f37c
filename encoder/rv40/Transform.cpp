#include "Transform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace quenlar::rv40 {
namespace {

// One 1-D forward pass: rows of T times the four inputs.
inline void Forward1d(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t* o, int step)
{
    const std::int32_t s03 = a + d, d03 = a - d, s12 = b + c, d12 = b - c;
    o[0] = 13 * (s03 + s12);
    o[step] = 17 * d03 + 7 * d12;
    o[2 * step] = 13 * (s03 - s12);
    o[3 * step] = 7 * d03 - 17 * d12;
}

}  // namespace

void ForwardTransform(const std::int32_t in[16], std::int32_t out[16])
{
    std::int32_t tmp[16];
    // Horizontal: each row's four pixels give its four horizontal frequencies.
    for (int y = 0; y < 4; ++y)
        Forward1d(in[y * 4], in[y * 4 + 1], in[y * 4 + 2], in[y * 4 + 3], tmp + y * 4, 1);
    // Vertical: coefficient [v * 4 + h].
    for (int x = 0; x < 4; ++x)
        Forward1d(tmp[x], tmp[4 + x], tmp[8 + x], tmp[12 + x], out + x, 4);
}

void ForwardTransform(const std::uint8_t* src, int srcStride, const std::uint8_t* pred, int predStride,
                      std::int32_t out[16])
{
#if defined(__SSE2__)
    const __m128i z = _mm_setzero_si128();
    auto row = [&](int y) {
        std::int32_t s, p;
        std::memcpy(&s, src + y * srcStride, 4);
        std::memcpy(&p, pred + y * predStride, 4);
        return _mm_sub_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(s), z), _mm_unpacklo_epi8(_mm_cvtsi32_si128(p), z));
    };
    const __m128i x0 = row(0), x1 = row(1), x2 = row(2), x3 = row(3);
    // Down the columns in 16 bits (at most 13 * 4 * 255).
    const __m128i a = _mm_add_epi16(x0, x3), d = _mm_sub_epi16(x0, x3);
    const __m128i b = _mm_add_epi16(x1, x2), c = _mm_sub_epi16(x1, x2);
    const __m128i k13 = _mm_set1_epi16(13), k17 = _mm_set1_epi16(17), k7 = _mm_set1_epi16(7);
    const __m128i v0 = _mm_mullo_epi16(k13, _mm_add_epi16(a, b)), v2 = _mm_mullo_epi16(k13, _mm_sub_epi16(a, b));
    const __m128i v1 = _mm_add_epi16(_mm_mullo_epi16(k17, d), _mm_mullo_epi16(k7, c));
    const __m128i v3 = _mm_sub_epi16(_mm_mullo_epi16(k7, d), _mm_mullo_epi16(k17, c));
    // Columns next to each other, then along the rows in 32 bits: pairs of columns times pairs
    // of basis values.
    const __m128i t0 = _mm_unpacklo_epi16(_mm_unpacklo_epi64(v0, v1), _mm_unpacklo_epi64(v2, v3));
    const __m128i t1 = _mm_unpackhi_epi16(_mm_unpacklo_epi64(v0, v1), _mm_unpacklo_epi64(v2, v3));
    const __m128i u0 = _mm_unpacklo_epi16(t0, t1), u1 = _mm_unpackhi_epi16(t0, t1); // columns 0 1, 2 3
    const __m128i p01 = _mm_unpacklo_epi16(u0, _mm_srli_si128(u0, 8));
    const __m128i p23 = _mm_unpacklo_epi16(u1, _mm_srli_si128(u1, 8));
    auto basis = [&](int b0, int b1, int b2, int b3) {
        return _mm_add_epi32(_mm_madd_epi16(p01, _mm_set1_epi32((b1 << 16) | (b0 & 0xFFFF))),
                             _mm_madd_epi16(p23, _mm_set1_epi32((b3 << 16) | (b2 & 0xFFFF))));
    };
    const __m128i h0 = basis(13, 13, 13, 13), h1 = basis(17, 7, -7, -17);
    const __m128i h2 = basis(13, -13, -13, 13), h3 = basis(7, -17, 17, -7);
    // h[k] holds column k; back to rows.
    const __m128i r01a = _mm_unpacklo_epi32(h0, h1), r23a = _mm_unpacklo_epi32(h2, h3);
    const __m128i r01b = _mm_unpackhi_epi32(h0, h1), r23b = _mm_unpackhi_epi32(h2, h3);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi64(r01a, r23a));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi64(r01a, r23a));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpacklo_epi64(r01b, r23b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), _mm_unpackhi_epi64(r01b, r23b));
#else
    std::int32_t diff[16];
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            diff[y * 4 + x] = src[y * srcStride + x] - pred[y * predStride + x];
    ForwardTransform(diff, out);
#endif
}

#if defined(__SSE2__)
namespace {

// Four blocks at once: x[y] holds row y of the four blocks' differences, block k in 16-bit lanes
// 4k to 4k + 3. Down the columns in 16 bits as above, then along the rows: pairs of columns
// times pairs of basis values, each block's two halves added by hadd (which keeps the blocks of
// a 128-bit half apart: A0 B0 A1 B1 for blocks A and B).
__attribute__((target("avx2"))) void Forward4Avx2(const __m256i x[4], std::int32_t out[4][16])
{
    const __m256i a = _mm256_add_epi16(x[0], x[3]), d = _mm256_sub_epi16(x[0], x[3]);
    const __m256i b = _mm256_add_epi16(x[1], x[2]), c = _mm256_sub_epi16(x[1], x[2]);
    const __m256i k13 = _mm256_set1_epi16(13), k17 = _mm256_set1_epi16(17), k7 = _mm256_set1_epi16(7);
    const __m256i v[4] = {_mm256_mullo_epi16(k13, _mm256_add_epi16(a, b)),
                          _mm256_add_epi16(_mm256_mullo_epi16(k17, d), _mm256_mullo_epi16(k7, c)),
                          _mm256_mullo_epi16(k13, _mm256_sub_epi16(a, b)),
                          _mm256_sub_epi16(_mm256_mullo_epi16(k7, d), _mm256_mullo_epi16(k17, c))};
    auto basis = [](int b0, int b1, int b2, int b3) {
        return static_cast<long long>((static_cast<std::uint64_t>(b3 & 0xFFFF) << 48) |
                                      (static_cast<std::uint64_t>(b2 & 0xFFFF) << 32) |
                                      (static_cast<std::uint64_t>(b1 & 0xFFFF) << 16) | static_cast<std::uint64_t>(b0 & 0xFFFF));
    };
    const __m256i h0 = _mm256_set1_epi64x(basis(13, 13, 13, 13)), h1 = _mm256_set1_epi64x(basis(17, 7, -7, -17));
    const __m256i h2 = _mm256_set1_epi64x(basis(13, -13, -13, 13)), h3 = _mm256_set1_epi64x(basis(7, -17, 17, -7));
    for (int j = 0; j < 4; ++j) {
        const __m256i low = _mm256_hadd_epi32(_mm256_madd_epi16(v[j], h0), _mm256_madd_epi16(v[j], h1));
        const __m256i high = _mm256_hadd_epi32(_mm256_madd_epi16(v[j], h2), _mm256_madd_epi16(v[j], h3));
        // A0 A1 B0 B1 and A2 A3 B2 B3: block A's row, then B's.
        const __m256i l = _mm256_shuffle_epi32(low, 0xD8), h = _mm256_shuffle_epi32(high, 0xD8);
        const __m256i first = _mm256_unpacklo_epi64(l, h), second = _mm256_unpackhi_epi64(l, h);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out[0] + 4 * j), _mm256_castsi256_si128(first));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out[1] + 4 * j), _mm256_castsi256_si128(second));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out[2] + 4 * j), _mm256_extracti128_si256(first, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out[3] + 4 * j), _mm256_extracti128_si256(second, 1));
    }
}

__attribute__((target("avx2"))) inline __m256i Difference16(const std::uint8_t* src, const std::uint8_t* pred)
{
    return _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src))),
                            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pred))));
}

// Eight pixels of row y and eight of row y + 4, widened.
__attribute__((target("avx2"))) inline __m256i TwoRows8(const std::uint8_t* p, int stride)
{
    return _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                                   _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 4 * stride))));
}

__attribute__((target("avx2"))) void ForwardTransform16x4Avx2(const std::uint8_t* src, int srcStride,
                                                              const std::uint8_t* pred, int predStride,
                                                              std::int32_t out[4][16])
{
    __m256i x[4];
    for (int y = 0; y < 4; ++y)
        x[y] = Difference16(src + y * srcStride, pred + y * predStride);
    Forward4Avx2(x, out);
}

__attribute__((target("avx2"))) void ForwardTransform8x8Avx2(const std::uint8_t* src, int srcStride,
                                                             const std::uint8_t* pred, int predStride,
                                                             std::int32_t out[4][16])
{
    __m256i x[4];
    for (int y = 0; y < 4; ++y)
        x[y] = _mm256_sub_epi16(TwoRows8(src + y * srcStride, srcStride), TwoRows8(pred + y * predStride, predStride));
    // The low half holds the upper two blocks, the high half the lower two.
    Forward4Avx2(x, out);
}

const bool g_avx2 = __builtin_cpu_supports("avx2");

}  // namespace
#endif

void ForwardTransform16x4(const std::uint8_t* src, int srcStride, const std::uint8_t* pred, int predStride,
                          std::int32_t out[4][16])
{
#if defined(__SSE2__)
    if (g_avx2) {
        ForwardTransform16x4Avx2(src, srcStride, pred, predStride, out);
        return;
    }
#endif
    for (int k = 0; k < 4; ++k)
        ForwardTransform(src + 4 * k, srcStride, pred + 4 * k, predStride, out[k]);
}

void ForwardTransform8x8(const std::uint8_t* src, int srcStride, const std::uint8_t* pred, int predStride,
                         std::int32_t out[4][16])
{
#if defined(__SSE2__)
    if (g_avx2) {
        ForwardTransform8x8Avx2(src, srcStride, pred, predStride, out);
        return;
    }
#endif
    for (int k = 0; k < 4; ++k) {
        const int x = (k & 1) * 4, y = (k >> 1) * 4;
        ForwardTransform(src + y * srcStride + x, srcStride, pred + y * predStride + x, predStride, out[k]);
    }
}

#if defined(__SSE2__)
namespace {

// 32-bit lanes times the transform's constants, without SSE4's multiply.
inline __m128i Times7(__m128i v)
{
    return _mm_sub_epi32(_mm_slli_epi32(v, 3), v);
}
inline __m128i Times13(__m128i v)
{
    return _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(v, 3), _mm_slli_epi32(v, 2)), v);
}
inline __m128i Times17(__m128i v)
{
    return _mm_add_epi32(_mm_slli_epi32(v, 4), v);
}

inline void Transpose4(__m128i& a, __m128i& b, __m128i& c, __m128i& d)
{
    const __m128i ab0 = _mm_unpacklo_epi32(a, b), ab1 = _mm_unpackhi_epi32(a, b);
    const __m128i cd0 = _mm_unpacklo_epi32(c, d), cd1 = _mm_unpackhi_epi32(c, d);
    a = _mm_unpacklo_epi64(ab0, cd0);
    b = _mm_unpackhi_epi64(ab0, cd0);
    c = _mm_unpacklo_epi64(ab1, cd1);
    d = _mm_unpackhi_epi64(ab1, cd1);
}

}  // namespace
#endif

void InverseTransformAdd(std::uint8_t* dst, int stride, const std::int16_t block[16])
{
#if defined(__SSE2__)
    // The decoder's 32-bit arithmetic, four lanes at a time: first down the columns, then along
    // the rows. The first pass multiplies 16-bit pairs of rows (0 and 2, 1 and 3) into exact
    // 32-bit sums.
    auto row = [&](int i) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(block + 4 * i)); };
    const __m128i even = _mm_unpacklo_epi16(row(0), row(2)), odd = _mm_unpacklo_epi16(row(1), row(3));
    auto pair = [](int a, int b) { return _mm_set1_epi32((b << 16) | (a & 0xFFFF)); };
    __m128i z0 = _mm_madd_epi16(even, pair(13, 13)), z1 = _mm_madd_epi16(even, pair(13, -13));
    __m128i z2 = _mm_madd_epi16(odd, pair(7, -17)), z3 = _mm_madd_epi16(odd, pair(17, 7));
    // Lane i of t_k is temp[4 i + k]; transposed, lane i of u_j is temp[4 j + i].
    __m128i u0 = _mm_add_epi32(z0, z3), u1 = _mm_add_epi32(z1, z2), u2 = _mm_sub_epi32(z1, z2),
            u3 = _mm_sub_epi32(z0, z3);
    Transpose4(u0, u1, u2, u3);
    const __m128i bias = _mm_set1_epi32(0x200);
    z0 = _mm_add_epi32(Times13(_mm_add_epi32(u0, u2)), bias);
    z1 = _mm_add_epi32(Times13(_mm_sub_epi32(u0, u2)), bias);
    z2 = _mm_sub_epi32(Times7(u1), Times17(u3));
    z3 = _mm_add_epi32(Times17(u1), Times7(u3));
    // Column k of the result, lane i its row i; transposed back to rows.
    __m128i c0 = _mm_srai_epi32(_mm_add_epi32(z0, z3), 10), c1 = _mm_srai_epi32(_mm_add_epi32(z1, z2), 10);
    __m128i c2 = _mm_srai_epi32(_mm_sub_epi32(z1, z2), 10), c3 = _mm_srai_epi32(_mm_sub_epi32(z0, z3), 10);
    Transpose4(c0, c1, c2, c3);
    const __m128i rows01 = _mm_packs_epi32(c0, c1), rows23 = _mm_packs_epi32(c2, c3);
    const __m128i z = _mm_setzero_si128();
    auto pixels = [&](int i) {
        std::int32_t v;
        std::memcpy(&v, dst + i * stride, 4);
        return _mm_cvtsi32_si128(v);
    };
    const __m128i p01 = _mm_unpacklo_epi8(_mm_unpacklo_epi32(pixels(0), pixels(1)), z);
    const __m128i p23 = _mm_unpacklo_epi8(_mm_unpacklo_epi32(pixels(2), pixels(3)), z);
    const __m128i out = _mm_packus_epi16(_mm_adds_epi16(p01, rows01), _mm_adds_epi16(p23, rows23));
    // Saturation on the way keeps the clamp to pixels the decoder applies.
    const std::int32_t out0 = _mm_cvtsi128_si32(out), out1 = _mm_cvtsi128_si32(_mm_srli_si128(out, 4));
    const std::int32_t out2 = _mm_cvtsi128_si32(_mm_srli_si128(out, 8)), out3 = _mm_cvtsi128_si32(_mm_srli_si128(out, 12));
    std::memcpy(dst, &out0, 4);
    std::memcpy(dst + stride, &out1, 4);
    std::memcpy(dst + 2 * stride, &out2, 4);
    std::memcpy(dst + 3 * stride, &out3, 4);
#else
    int temp[16];
    for (int i = 0; i < 4; ++i) {
        const int z0 = 13 * (block[i] + block[i + 8]);
        const int z1 = 13 * (block[i] - block[i + 8]);
        const int z2 = 7 * block[i + 4] - 17 * block[i + 12];
        const int z3 = 17 * block[i + 4] + 7 * block[i + 12];
        temp[4 * i + 0] = z0 + z3;
        temp[4 * i + 1] = z1 + z2;
        temp[4 * i + 2] = z1 - z2;
        temp[4 * i + 3] = z0 - z3;
    }
    for (int i = 0; i < 4; ++i, dst += stride) {
        const int z0 = 13 * (temp[i] + temp[8 + i]) + 0x200;
        const int z1 = 13 * (temp[i] - temp[8 + i]) + 0x200;
        const int z2 = 7 * temp[4 + i] - 17 * temp[12 + i];
        const int z3 = 17 * temp[4 + i] + 7 * temp[12 + i];
        dst[0] = static_cast<std::uint8_t>(std::clamp(dst[0] + ((z0 + z3) >> 10), 0, 255));
        dst[1] = static_cast<std::uint8_t>(std::clamp(dst[1] + ((z1 + z2) >> 10), 0, 255));
        dst[2] = static_cast<std::uint8_t>(std::clamp(dst[2] + ((z1 - z2) >> 10), 0, 255));
        dst[3] = static_cast<std::uint8_t>(std::clamp(dst[3] + ((z0 - z3) >> 10), 0, 255));
    }
#endif
}

void InverseDcTransform(const std::int16_t in[16], std::int16_t out[16])
{
    int temp[16];
    for (int i = 0; i < 4; ++i) {
        const int z0 = 13 * (in[i] + in[i + 8]);
        const int z1 = 13 * (in[i] - in[i + 8]);
        const int z2 = 7 * in[i + 4] - 17 * in[i + 12];
        const int z3 = 17 * in[i + 4] + 7 * in[i + 12];
        temp[4 * i + 0] = z0 + z3;
        temp[4 * i + 1] = z1 + z2;
        temp[4 * i + 2] = z1 - z2;
        temp[4 * i + 3] = z0 - z3;
    }
    for (int i = 0; i < 4; ++i) {
        const int z0 = 39 * (temp[i] + temp[8 + i]);
        const int z1 = 39 * (temp[i] - temp[8 + i]);
        const int z2 = 21 * temp[4 + i] - 51 * temp[12 + i];
        const int z3 = 51 * temp[4 + i] + 21 * temp[12 + i];
        out[i * 4 + 0] = static_cast<std::int16_t>((z0 + z3) >> 11);
        out[i * 4 + 1] = static_cast<std::int16_t>((z1 + z2) >> 11);
        out[i * 4 + 2] = static_cast<std::int16_t>((z1 - z2) >> 11);
        out[i * 4 + 3] = static_cast<std::int16_t>((z0 - z3) >> 11);
    }
}

bool FitsDecoder(const std::int16_t block[16])
{
    // The decoder's SIMD first pass works in 16 bits: every product and sum must stay in range.
#if defined(__SSE2__)
    auto row = [&](int i) {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(block + 4 * i));
        return _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
    };
    const __m128i b0 = row(0), b1 = row(1), b2 = row(2), b3 = row(3);
    const __m128i z0 = Times13(_mm_add_epi32(b0, b2)), z1 = Times13(_mm_sub_epi32(b0, b2));
    const __m128i z2 = _mm_sub_epi32(Times7(b1), Times17(b3)), z3 = _mm_add_epi32(Times17(b1), Times7(b3));
    const __m128i values[10] = {z0, z1, Times17(b1), Times17(b3), z2, z3, _mm_add_epi32(z0, z3),
                                _mm_sub_epi32(z0, z3), _mm_add_epi32(z1, z2), _mm_sub_epi32(z1, z2)};
    const __m128i high = _mm_set1_epi32(32767), low = _mm_set1_epi32(-32767);
    __m128i out = _mm_setzero_si128();
    for (const __m128i& v : values)
        out = _mm_or_si128(out, _mm_or_si128(_mm_cmpgt_epi32(v, high), _mm_cmplt_epi32(v, low)));
    return _mm_movemask_epi8(out) == 0;
#else
    constexpr int kMax = 32767;
    for (int i = 0; i < 4; ++i) {
        const int b0 = block[i], b1 = block[i + 4], b2 = block[i + 8], b3 = block[i + 12];
        const int z0 = 13 * (b0 + b2), z1 = 13 * (b0 - b2);
        const int z2 = 7 * b1 - 17 * b3, z3 = 17 * b1 + 7 * b3;
        if (std::abs(z0) > kMax || std::abs(z1) > kMax || 17 * std::abs(b1) > kMax || 17 * std::abs(b3) > kMax ||
            std::abs(z2) > kMax || std::abs(z3) > kMax || std::abs(z0 + z3) > kMax || std::abs(z0 - z3) > kMax ||
            std::abs(z1 + z2) > kMax || std::abs(z1 - z2) > kMax)
            return false;
    }
    return true;
#endif
}

void QuantMatrix::Set(int dcStep, int firstAcStep, int acStep, int rounding64)
{
    for (int i = 0; i < 16; ++i) {
        const int s = i == 0 ? dcStep : (i == 1 || i == 4) ? firstAcStep : acStep;
        step[i] = s;
        // level = 16 * C / (676^2 / 1024 * step) = C / (27.89 * step)
        multiplier[i] = static_cast<std::int32_t>((std::int64_t{1} << 34) / (std::int64_t{456976} * s));
        deadZone[i] = rounding64 << 14;
        zeroBelow[i] = static_cast<std::int32_t>(((1 << 20) - deadZone[i] + multiplier[i] - 1) / multiplier[i]);
        unit[i] = static_cast<float>(456976.0 / 16384.0 * s);
        inverseUnit[i] = 1.0f / unit[i];
    }
}

bool QuantisesToZero(const std::int32_t coeffs[16], const QuantMatrix& q)
{
#if defined(__SSE2__)
    __m128i over = _mm_setzero_si128();
    for (int i = 0; i < 16; i += 4) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coeffs + i));
        const __m128i sign = _mm_srai_epi32(c, 31);
        const __m128i magnitude = _mm_sub_epi32(_mm_xor_si128(c, sign), sign);
        const __m128i limit = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q.zeroBelow + i));
        over = _mm_or_si128(over, _mm_cmpgt_epi32(magnitude, _mm_sub_epi32(limit, _mm_set1_epi32(1))));
    }
    return _mm_movemask_epi8(over) == 0;
#else
    for (int i = 0; i < 16; ++i)
        if (std::abs(coeffs[i]) >= q.zeroBelow[i])
            return false;
    return true;
#endif
}

int Quantise(const std::int32_t coeffs[16], const QuantMatrix& q, std::int16_t levels[16])
{
#if defined(__SSE2__)
    // The products reach 37 bits: two lanes at a time in 64, the odd lanes shifted down.
    const __m128i low32 = _mm_set_epi32(0, -1, 0, -1);
    const __m128i most = _mm_set1_epi16(kMaxLevel);
    __m128i zero[2];
    for (int i = 0; i < 16; i += 8) {
        __m128i half[2], signs[2];
        for (int k = 0; k < 2; ++k) {
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coeffs + i + 4 * k));
            const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q.multiplier + i + 4 * k));
            const __m128i dz = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q.deadZone + i + 4 * k));
            signs[k] = _mm_srai_epi32(c, 31);
            const __m128i magnitude = _mm_sub_epi32(_mm_xor_si128(c, signs[k]), signs[k]);
            const __m128i even = _mm_srli_epi64(_mm_add_epi64(_mm_mul_epu32(magnitude, m), _mm_and_si128(dz, low32)), 20);
            const __m128i odd = _mm_srli_epi64(
                _mm_add_epi64(_mm_mul_epu32(_mm_srli_epi64(magnitude, 32), _mm_srli_epi64(m, 32)), _mm_srli_epi64(dz, 32)),
                20);
            half[k] = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
        }
        const __m128i sign = _mm_packs_epi32(signs[0], signs[1]);
        const __m128i level = _mm_min_epi16(_mm_packs_epi32(half[0], half[1]), most);
        zero[i / 8] = _mm_cmpeq_epi16(level, _mm_setzero_si128());
        _mm_storeu_si128(reinterpret_cast<__m128i*>(levels + i), _mm_sub_epi16(_mm_xor_si128(level, sign), sign));
    }
    // A byte per level, one where it is zero, summed (the processors we build for may lack a
    // population count instruction).
    const __m128i ones = _mm_and_si128(_mm_packs_epi16(zero[0], zero[1]), _mm_set1_epi8(1));
    const __m128i sums = _mm_sad_epu8(ones, _mm_setzero_si128());
    return 16 - _mm_cvtsi128_si32(_mm_add_epi32(sums, _mm_srli_si128(sums, 8)));
#else
    int nonzero = 0;
    for (int i = 0; i < 16; ++i) {
        const std::int32_t c = coeffs[i];
        const std::int64_t magnitude = (std::int64_t{c < 0 ? -c : c} * q.multiplier[i] + q.deadZone[i]) >> 20;
        const int level = static_cast<int>(std::min<std::int64_t>(magnitude, kMaxLevel));
        levels[i] = static_cast<std::int16_t>(c < 0 ? -level : level);
        nonzero += level != 0;
    }
    return nonzero;
#endif
}

bool Dequantise(const std::int16_t levels[16], const QuantMatrix& q, std::int16_t out[16])
{
#if defined(__SSE2__)
    // Steps fit in 16 bits; the products are put together from their halves.
    const __m128i round = _mm_set1_epi32(8);
    const __m128i high = _mm_set1_epi32(32767), low = _mm_set1_epi32(-32768);
    __m128i outside = _mm_setzero_si128();
    for (int i = 0; i < 16; i += 8) {
        const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(levels + i));
        const __m128i step = _mm_packs_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q.step + i)),
                                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(q.step + i + 4)));
        const __m128i lo = _mm_mullo_epi16(l, step), hi = _mm_mulhi_epi16(l, step);
        const __m128i v0 = _mm_srai_epi32(_mm_add_epi32(_mm_unpacklo_epi16(lo, hi), round), 4);
        const __m128i v1 = _mm_srai_epi32(_mm_add_epi32(_mm_unpackhi_epi16(lo, hi), round), 4);
        outside = _mm_or_si128(outside, _mm_or_si128(_mm_cmpgt_epi32(v0, high), _mm_cmplt_epi32(v0, low)));
        outside = _mm_or_si128(outside, _mm_or_si128(_mm_cmpgt_epi32(v1, high), _mm_cmplt_epi32(v1, low)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(v0, v1));
    }
    return _mm_movemask_epi8(outside) == 0;
#else
    bool fits = true;
    for (int i = 0; i < 16; ++i) {
        const int v = (levels[i] * q.step[i] + 8) >> 4;
        fits &= v >= -32768 && v <= 32767;
        out[i] = static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
    }
    return fits;
#endif
}

void ForwardDcTransform(const std::int32_t blockDc[16], std::int32_t out[16])
{
    // The decoder takes the DC block's inverse transform as each block's dequantised DC (its
    // coefficient scale is 3/2048 against the blocks' 1/1024); the blocks' own forward
    // coefficients are 676^2/1024 times that. Together: T DC T' * 2048 / (3 * 676^2).
    std::int64_t tmp[16];
    for (int y = 0; y < 4; ++y) {
        const std::int64_t a = blockDc[y * 4], b = blockDc[y * 4 + 1], c = blockDc[y * 4 + 2], d = blockDc[y * 4 + 3];
        tmp[y * 4 + 0] = 13 * (a + b + c + d);
        tmp[y * 4 + 1] = 17 * (a - d) + 7 * (b - c);
        tmp[y * 4 + 2] = 13 * (a - b - c + d);
        tmp[y * 4 + 3] = 7 * (a - d) - 17 * (b - c);
    }
    for (int x = 0; x < 4; ++x) {
        const std::int64_t a = tmp[x], b = tmp[4 + x], c = tmp[8 + x], d = tmp[12 + x];
        const std::int64_t o[4] = {13 * (a + b + c + d), 17 * (a - d) + 7 * (b - c), 13 * (a - b - c + d),
                                   7 * (a - d) - 17 * (b - c)};
        for (int k = 0; k < 4; ++k)
            out[k * 4 + x] = static_cast<std::int32_t>(o[k] * 2048 / (3 * 456976));
    }
}

}  // namespace quenlar::rv40
