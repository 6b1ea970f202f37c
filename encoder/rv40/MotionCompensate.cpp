#include "MotionCompensate.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "FrameState.h"
#include "tables/Rv40Tables.h"

namespace quenlar::rv40 {
namespace {

// A whole-pel block: with the width known to the compiler each row is a move or two, not a call.
template <int W>
void CopyRows(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, int h)
{
    for (int j = 0; j < h; ++j)
        std::memcpy(dst + j * dstStride, src + j * srcStride, W);
}

void CopyBlock(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, int w, int h)
{
    switch (w) {
    case 16:
        return CopyRows<16>(src, srcStride, dst, dstStride, h);
    case 8:
        return CopyRows<8>(src, srcStride, dst, dstStride, h);
    case 4:
        return CopyRows<4>(src, srcStride, dst, dstStride, h);
    default:
        for (int j = 0; j < h; ++j)
            std::memcpy(dst + j * dstStride, src + j * srcStride, w);
    }
}

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

// The plain filter of one pixel whose taps are `step` apart.
inline std::uint8_t FilterPixel(const std::uint8_t* p, Taps t, int step)
{
    const int v = p[-2 * step] + p[3 * step] - 5 * (p[-step] + p[2 * step]) + t.c1 * p[0] + t.c2 * p[step];
    return Clip8((v + (1 << (t.shift - 1))) >> t.shift);
}

#if defined(__SSE2__)
// Sixteen bits hold every intermediate: at most 2 * 255 + 72 * 255 + 32, at least -10 * 255.
__attribute__((target("avx2"))) inline __m256i LoadWide(const std::uint8_t* p)
{
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

__attribute__((target("avx2"))) inline __m256i Taps6Avx2(__m256i r0, __m256i r1, __m256i r2, __m256i r3, __m256i r4,
                                                          __m256i r5, __m256i c1, __m256i c2, __m256i round,
                                                          __m128i shift)
{
    __m256i v = _mm256_add_epi16(r0, r5);
    v = _mm256_sub_epi16(v, _mm256_mullo_epi16(_mm256_set1_epi16(5), _mm256_add_epi16(r1, r4)));
    v = _mm256_add_epi16(v, _mm256_mullo_epi16(c1, r2));
    v = _mm256_add_epi16(v, _mm256_mullo_epi16(c2, r3));
    return _mm256_sra_epi16(_mm256_add_epi16(v, round), shift);
}

__attribute__((target("avx2"))) inline void Store16Avx2(std::uint8_t* dst, __m256i v)
{
    const __m256i packed = _mm256_packus_epi16(v, _mm256_permute2x128_si256(v, v, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm256_castsi256_si128(packed));
}

// Widths that are multiples of 16, with AVX2. Down the columns each strip 16 wide keeps its six
// rows in registers, so that every output row loads one new row.
__attribute__((target("avx2"))) void FilterAvx2(const std::uint8_t* src, int srcStride, std::uint8_t* dst,
                                                int dstStride, int w, int h, Taps t, int step)
{
    const __m256i c1 = _mm256_set1_epi16(static_cast<short>(t.c1)), c2 = _mm256_set1_epi16(static_cast<short>(t.c2));
    const __m256i round = _mm256_set1_epi16(static_cast<short>(1 << (t.shift - 1)));
    const __m128i shift = _mm_cvtsi32_si128(t.shift);
    if (step == srcStride) {
        for (int x = 0; x < w; x += 16) {
            const std::uint8_t* p = src + x;
            __m256i r0 = LoadWide(p - 2 * step), r1 = LoadWide(p - step), r2 = LoadWide(p);
            __m256i r3 = LoadWide(p + step), r4 = LoadWide(p + 2 * step);
            std::uint8_t* out = dst + x;
            for (int y = 0; y < h; ++y, p += step, out += dstStride) {
                const __m256i r5 = LoadWide(p + 3 * step);
                Store16Avx2(out, Taps6Avx2(r0, r1, r2, r3, r4, r5, c1, c2, round, shift));
                r0 = r1, r1 = r2, r2 = r3, r3 = r4, r4 = r5;
            }
        }
        return;
    }
    for (int y = 0; y < h; ++y, src += srcStride, dst += dstStride)
        for (int x = 0; x < w; x += 16) {
            const std::uint8_t* p = src + x;
            Store16Avx2(dst + x, Taps6Avx2(LoadWide(p - 2 * step), LoadWide(p - step), LoadWide(p), LoadWide(p + step),
                                           LoadWide(p + 2 * step), LoadWide(p + 3 * step), c1, c2, round, shift));
        }
}

// The three quarter positions along the rows in one pass: their filters share the outer taps.
__attribute__((target("avx2"))) void FilterRowsAllAvx2(const std::uint8_t* src, int srcStride,
                                                       std::uint8_t* const dst[3], int dstStride, int w, int h)
{
    const __m256i k20 = _mm256_set1_epi16(20), k52 = _mm256_set1_epi16(52), five = _mm256_set1_epi16(5);
    const __m256i r32 = _mm256_set1_epi16(32), r16 = _mm256_set1_epi16(16);
    for (int y = 0; y < h; ++y, src += srcStride) {
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(y) * dstStride;
        for (int x = 0; x < w; x += 16) {
            const std::uint8_t* p = src + x;
            const __m256i outer = _mm256_sub_epi16(_mm256_add_epi16(LoadWide(p - 2), LoadWide(p + 3)),
                                                   _mm256_mullo_epi16(five, _mm256_add_epi16(LoadWide(p - 1), LoadWide(p + 2))));
            const __m256i a = LoadWide(p), b = LoadWide(p + 1);
            const __m256i a20 = _mm256_mullo_epi16(k20, a), b20 = _mm256_mullo_epi16(k20, b);
            const __m256i quarter = _mm256_add_epi16(_mm256_add_epi16(outer, _mm256_mullo_epi16(k52, a)), b20);
            const __m256i half = _mm256_add_epi16(_mm256_add_epi16(outer, a20), b20);
            const __m256i threeQuarters = _mm256_add_epi16(_mm256_add_epi16(outer, a20), _mm256_mullo_epi16(k52, b));
            Store16Avx2(dst[0] + row + x, _mm256_srai_epi16(_mm256_add_epi16(quarter, r32), 6));
            Store16Avx2(dst[1] + row + x, _mm256_srai_epi16(_mm256_add_epi16(half, r16), 5));
            Store16Avx2(dst[2] + row + x, _mm256_srai_epi16(_mm256_add_epi16(threeQuarters, r32), 6));
        }
    }
}

// Widths that are multiples of 4 with SSE2; four-pixel tails are stored alone.
void FilterSse2(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, int w, int h, Taps t,
                int step)
{
    const __m128i z = _mm_setzero_si128();
    const __m128i c1 = _mm_set1_epi16(static_cast<short>(t.c1)), c2 = _mm_set1_epi16(static_cast<short>(t.c2));
    const __m128i five = _mm_set1_epi16(5), r = _mm_set1_epi16(static_cast<short>(1 << (t.shift - 1)));
    const __m128i shift = _mm_cvtsi32_si128(t.shift);
    auto load = [&](const std::uint8_t* p) {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), z);
    };
    for (int y = 0; y < h; ++y, src += srcStride, dst += dstStride)
        for (int x = 0; x < w; x += 8) {
            const std::uint8_t* p = src + x;
            __m128i v = _mm_add_epi16(load(p - 2 * step), load(p + 3 * step));
            v = _mm_sub_epi16(v, _mm_mullo_epi16(five, _mm_add_epi16(load(p - step), load(p + 2 * step))));
            v = _mm_add_epi16(v, _mm_mullo_epi16(c1, load(p)));
            v = _mm_add_epi16(v, _mm_mullo_epi16(c2, load(p + step)));
            v = _mm_sra_epi16(_mm_add_epi16(v, r), shift);
            const __m128i packed = _mm_packus_epi16(v, v);
            if (x + 8 <= w) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + x), packed);
            } else {
                const int four = _mm_cvtsi128_si32(packed);
                std::memcpy(dst + x, &four, 4);
            }
        }
}

const bool g_avx2 = __builtin_cpu_supports("avx2");
#endif

// Pixels `step` apart are the filter's taps.
void Filter(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, int w, int h, Taps t,
            int step)
{
#if defined(__SSE2__)
    if (w % 4 == 0) {
        if (g_avx2 && w % 16 == 0)
            FilterAvx2(src, srcStride, dst, dstStride, w, h, t, step);
        else
            FilterSse2(src, srcStride, dst, dstStride, w, h, t, step);
        return;
    }
#endif
    for (int y = 0; y < h; ++y, src += srcStride, dst += dstStride)
        for (int x = 0; x < w; ++x)
            dst[x] = FilterPixel(src + x, t, step);
}

}  // namespace

void FilterRows(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, int w, int h, int frac)
{
    Filter(src, srcStride, dst, dstStride, w, h, kTaps[frac], 1);
}

void FilterRowsAll(const std::uint8_t* src, int srcStride, std::uint8_t* const dst[3], int dstStride, int w, int h)
{
#if defined(__SSE2__)
    if (g_avx2 && w % 16 == 0) {
        FilterRowsAllAvx2(src, srcStride, dst, dstStride, w, h);
        return;
    }
#endif
    for (int frac = 1; frac <= 3; ++frac)
        FilterRows(src, srcStride, dst[frac - 1], dstStride, w, h, frac);
}

void FilterColumns(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, int w, int h,
                   int frac)
{
    Filter(src, srcStride, dst, dstStride, w, h, kTaps[frac], srcStride);
}

void PredictLuma(const Plane& ref, int x, int y, int mvx, int mvy, int w, int h, std::uint8_t* dst, int dstStride)
{
    const int lx = mvx & 3, ly = mvy & 3;
    const int stride = ref.Stride();
    const std::uint8_t* src = ref.Row(y + (mvy >> 2)) + x + (mvx >> 2);
    if (!lx && !ly) {
        CopyBlock(src, stride, dst, dstStride, w, h);
    } else if (lx == 3 && ly == 3) {
        for (int j = 0; j < h; ++j, src += stride, dst += dstStride) {
            int i = 0;
#if defined(__SSE2__)
            const __m128i z = _mm_setzero_si128(), two = _mm_set1_epi16(2);
            auto load = [z](const std::uint8_t* p) {
                return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), z);
            };
            for (; i + 8 <= w; i += 8) {
                const __m128i sum = _mm_add_epi16(_mm_add_epi16(load(src + i), load(src + i + 1)),
                                                  _mm_add_epi16(load(src + stride + i), load(src + stride + i + 1)));
                const __m128i mean = _mm_srli_epi16(_mm_add_epi16(sum, two), 2);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(mean, mean));
            }
#endif
            for (; i < w; ++i)
                dst[i] = static_cast<std::uint8_t>(
                    (src[i] + src[i + 1] + src[i + stride] + src[i + stride + 1] + 2) >> 2);
        }
    } else if (!ly) {
        FilterRows(src, stride, dst, dstStride, w, h, lx);
    } else if (!lx) {
        FilterColumns(src, stride, dst, dstStride, w, h, ly);
    } else {
        // Rows filtered two above and three below the block, rounded to pixels, then columns.
        alignas(16) std::uint8_t tmp[16 * 21];
        FilterRows(src - 2 * stride, stride, tmp, 16, w, h + 5, lx);
        FilterColumns(tmp + 2 * 16, 16, dst, dstStride, w, h, ly);
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
    if (!fx && !fy) {
        CopyBlock(src, stride, dst, dstStride, w, h);
        return;
    }
    const int a = (8 - fx) * (8 - fy), b = fx * (8 - fy), c = (8 - fx) * fy, d = fx * fy;
    const int bias = tables::kChromaMcBias[fy >> 1][fx >> 1];
#if defined(__SSE2__)
    // At most 64 * 255 + 32: sixteen bits suffice.
    const __m128i z = _mm_setzero_si128();
    const __m128i va = _mm_set1_epi16(static_cast<short>(a)), vb = _mm_set1_epi16(static_cast<short>(b));
    const __m128i vc = _mm_set1_epi16(static_cast<short>(c)), vd = _mm_set1_epi16(static_cast<short>(d));
    const __m128i vbias = _mm_set1_epi16(static_cast<short>(bias));
    auto load = [&](const std::uint8_t* p) {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), z);
    };
    for (int j = 0; j < h; ++j, src += stride, dst += dstStride) {
        __m128i v = _mm_add_epi16(_mm_mullo_epi16(va, load(src)), _mm_mullo_epi16(vb, load(src + 1)));
        v = _mm_add_epi16(v, _mm_mullo_epi16(vc, load(src + stride)));
        v = _mm_add_epi16(v, _mm_mullo_epi16(vd, load(src + stride + 1)));
        v = _mm_srli_epi16(_mm_add_epi16(v, vbias), 6);
        const __m128i packed = _mm_packus_epi16(v, v);
        if (w == 8) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), packed);
        } else {
            const int four = _mm_cvtsi128_si32(packed);
            std::memcpy(dst, &four, 4);
        }
    }
#else
    for (int j = 0; j < h; ++j, src += stride, dst += dstStride)
        for (int i = 0; i < w; ++i)
            dst[i] = static_cast<std::uint8_t>(
                (a * src[i] + b * src[i + 1] + c * src[i + stride] + d * src[i + stride + 1] + bias) >> 6);
#endif
}

}  // namespace quenlar::rv40

namespace quenlar::rv40 {
namespace {

// The w x h area at (x, y) and `margin` around it, with coordinates outside the plane's picture
// taken from its edge, as a plane of its own.
void CopyClamped(const Plane& ref, int x, int y, int w, int h, int margin, Plane& out)
{
    out.Allocate(w, h, margin);
    for (int r = -margin; r < h + margin; ++r) {
        const std::uint8_t* row = ref.Row(std::clamp(y + r, 0, ref.Height() - 1));
        std::uint8_t* to = out.Row(r);
        for (int c = -margin; c < w + margin; ++c)
            to[c] = row[std::clamp(x + c, 0, ref.Width() - 1)];
    }
}

bool Inside(const Plane& ref, int x0, int y0, int x1, int y1)
{
    const int pad = ref.Pad();
    return x0 >= -pad && y0 >= -pad && x1 < ref.Width() + pad && y1 < ref.Height() + pad;
}

}  // namespace

void PredictLumaAnywhere(const Plane& ref, int x, int y, int mvx, int mvy, int w, int h, std::uint8_t* dst,
                         int dstStride)
{
    const int ix = x + (mvx >> 2), iy = y + (mvy >> 2);
    // The filters read two pixels before and three after.
    if (Inside(ref, ix - 2, iy - 2, ix + w + 3, iy + h + 3)) {
        PredictLuma(ref, x, y, mvx, mvy, w, h, dst, dstStride);
        return;
    }
    Plane area;
    CopyClamped(ref, ix, iy, w, h, 16, area);
    PredictLuma(area, 0, 0, mvx & 3, mvy & 3, w, h, dst, dstStride);
}

void PredictChromaAnywhere(const Plane& ref, int x, int y, int mvx, int mvy, int w, int h, std::uint8_t* dst,
                           int dstStride)
{
    const int cx = mvx / 2, cy = mvy / 2;
    const int ix = x + (cx >> 2), iy = y + (cy >> 2);
    if (Inside(ref, ix, iy, ix + w + 1, iy + h + 1)) {
        PredictChroma(ref, x, y, mvx, mvy, w, h, dst, dstStride);
        return;
    }
    Plane area;
    CopyClamped(ref, ix, iy, w, h, 16, area);
    // The same eighth positions from a vector within the copy.
    PredictChroma(area, 0, 0, 2 * (cx & 3), 2 * (cy & 3), w, h, dst, dstStride);
}

void BlendMean(const std::uint8_t* earlier, int earlierStride, const std::uint8_t* later, int laterStride,
               std::uint8_t* dst, int dstStride, int w, int h)
{
    for (int y = 0; y < h; ++y, earlier += earlierStride, later += laterStride, dst += dstStride) {
        int x = 0;
#if defined(__SSE2__)
        // Each chunk is read before it is written, so dst may be earlier.
        for (; x + 16 <= w; x += 16)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x),
                             _mm_avg_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(earlier + x)),
                                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(later + x))));
        for (; x + 8 <= w; x += 8)
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + x),
                             _mm_avg_epu8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(earlier + x)),
                                          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(later + x))));
#endif
        for (; x < w; ++x)
            dst[x] = static_cast<std::uint8_t>((earlier[x] + later[x] + 1) >> 1);
    }
}

void BlendWeighted(const std::uint8_t* earlier, int earlierStride, const std::uint8_t* later, int laterStride,
                   std::uint8_t* dst, int dstStride, int w, int h, const BlendWeights& weights)
{
    // Copied out: a byte store through dst may alias `weights` for all the compiler knows.
    const unsigned we = static_cast<unsigned>(weights.earlierWeight), wl = static_cast<unsigned>(weights.laterWeight);
    const bool fine = weights.fine;
#if defined(__SSE2__)
    // Fine weights are at most 2^14: each product (below 2^23) is put together from its 16-bit
    // halves already shifted down by 9; weights in 32nds keep the whole sum in 16 bits.
    const __m128i z = _mm_setzero_si128(), bias = _mm_set1_epi16(16), low = _mm_set1_epi16(0xFF);
    const __m128i vwe = _mm_set1_epi16(static_cast<short>(we)), vwl = _mm_set1_epi16(static_cast<short>(wl));
    auto shifted = [](__m128i v, __m128i weight) {
        return _mm_or_si128(_mm_slli_epi16(_mm_mulhi_epu16(v, weight), 7),
                            _mm_srli_epi16(_mm_mullo_epi16(v, weight), 9));
    };
    auto blend8 = [&](const std::uint8_t* e, const std::uint8_t* l) {
        const __m128i ve = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(e)), z);
        const __m128i vl = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(l)), z);
        const __m128i sum = fine ? _mm_add_epi16(shifted(ve, vwe), shifted(vl, vwl))
                                 : _mm_add_epi16(_mm_mullo_epi16(ve, vwe), _mm_mullo_epi16(vl, vwl));
        // Kept to the low byte as the plain code's conversion does.
        return _mm_and_si128(_mm_srli_epi16(_mm_add_epi16(sum, bias), 5), low);
    };
#endif
    for (int y = 0; y < h; ++y, earlier += earlierStride, later += laterStride, dst += dstStride) {
        int x = 0;
#if defined(__SSE2__)
        for (; x + 16 <= w; x += 16) {
            const __m128i first = blend8(earlier + x, later + x), second = blend8(earlier + x + 8, later + x + 8);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), _mm_packus_epi16(first, second));
        }
        for (; x + 8 <= w; x += 8) {
            const __m128i v = blend8(earlier + x, later + x);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + x), _mm_packus_epi16(v, v));
        }
#endif
        for (; x < w; ++x) {
            const unsigned e = earlier[x], l = later[x];
            const unsigned v = fine ? (((we * e) >> 9) + ((wl * l) >> 9) + 16) >> 5 : (we * e + wl * l + 16) >> 5;
            dst[x] = static_cast<std::uint8_t>(v);
        }
    }
}

}  // namespace quenlar::rv40
