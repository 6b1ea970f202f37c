#include "EdgeFilter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "tables/Rv40Tables.h"

namespace quenlar::rv40 {
namespace {

#if !defined(__SSE2__)
using tables::kFilterDitherLeft;
using tables::kFilterDitherRight;

inline std::uint8_t Clip8(int v)
{
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// Across the edge, pixels are `step` apart; the four lines along it are `line` apart.
void WeakFilter(std::uint8_t* src, int step, int line, bool filterP1, bool filterQ1, int alpha, int beta, int limP0Q0,
                int limQ1, int limP1)
{
    for (int i = 0; i < 4; ++i, src += line) {
        const int diffP1P0 = src[-2 * step] - src[-step];
        const int diffQ1Q0 = src[step] - src[0];
        const int diffP1P2 = src[-2 * step] - src[-3 * step];
        const int diffQ1Q2 = src[step] - src[2 * step];
        int t = src[0] - src[-step];
        if (!t)
            continue;
        if (((alpha * std::abs(t)) >> 7) > 3 - (filterP1 && filterQ1))
            continue;
        t *= 4;
        if (filterP1 && filterQ1)
            t += src[-2 * step] - src[step];
        const int diff = std::clamp((t + 4) >> 3, -limP0Q0, limP0Q0);
        src[-step] = Clip8(src[-step] + diff);
        src[0] = Clip8(src[0] - diff);
        if (filterP1 && std::abs(diffP1P2) <= beta) {
            t = (diffP1P0 + diffP1P2 - diff) >> 1;
            src[-2 * step] = Clip8(src[-2 * step] - std::clamp(t, -limP1, limP1));
        }
        if (filterQ1 && std::abs(diffQ1Q2) <= beta) {
            t = (diffQ1Q0 + diffQ1Q2 + diff) >> 1;
            src[step] = Clip8(src[step] - std::clamp(t, -limQ1, limQ1));
        }
    }
}

void StrongFilter(std::uint8_t* src, int step, int line, int alpha, int lims, int dither, bool chroma)
{
    for (int i = 0; i < 4; ++i, src += line) {
        const int t = src[0] - src[-step];
        if (!t)
            continue;
        const int sflag = (alpha * std::abs(t)) >> 7;
        if (sflag > 1)
            continue;
        const int m4 = src[-4 * step], m3 = src[-3 * step], m2 = src[-2 * step], m1 = src[-step];
        const int p0q = src[0], p1q = src[step], p2q = src[2 * step], p3q = src[3 * step];
        int p0 = (25 * m3 + 26 * m2 + 26 * m1 + 26 * p0q + 25 * p1q + kFilterDitherLeft[dither + i]) >> 7;
        int q0 = (25 * m2 + 26 * m1 + 26 * p0q + 26 * p1q + 25 * p2q + kFilterDitherRight[dither + i]) >> 7;
        if (sflag) {
            p0 = std::clamp(p0, m1 - lims, m1 + lims);
            q0 = std::clamp(q0, p0q - lims, p0q + lims);
        }
        int p1 = (25 * m4 + 26 * m3 + 26 * m2 + 26 * p0 + 25 * p0q + kFilterDitherLeft[dither + i]) >> 7;
        int q1 = (25 * m1 + 26 * q0 + 26 * p1q + 26 * p2q + 25 * p3q + kFilterDitherRight[dither + i]) >> 7;
        if (sflag) {
            p1 = std::clamp(p1, m2 - lims, m2 + lims);
            q1 = std::clamp(q1, p1q - lims, p1q + lims);
        }
        src[-2 * step] = static_cast<std::uint8_t>(p1);
        src[-step] = static_cast<std::uint8_t>(p0);
        src[0] = static_cast<std::uint8_t>(q0);
        src[step] = static_cast<std::uint8_t>(q1);
        if (!chroma) {
            src[-3 * step] = static_cast<std::uint8_t>((25 * p0 + 26 * p1 + 51 * m3 + 26 * m4 + 64) >> 7);
            src[2 * step] = static_cast<std::uint8_t>((25 * q0 + 26 * q1 + 51 * p2q + 26 * p3q + 64) >> 7);
        }
    }
}

// Returns whether the strong filter applies; sets which sides may change their second pixel.
bool Strength(const std::uint8_t* src, int step, int line, int beta, int beta2, bool edge, bool* p1, bool* q1)
{
    int sumP1P0 = 0, sumQ1Q0 = 0, sumP1P2 = 0, sumQ1Q2 = 0;
    const std::uint8_t* ptr = src;
    for (int i = 0; i < 4; ++i, ptr += line) {
        sumP1P0 += ptr[-2 * step] - ptr[-step];
        sumQ1Q0 += ptr[step] - ptr[0];
    }
    *p1 = std::abs(sumP1P0) < (beta << 2);
    *q1 = std::abs(sumQ1Q0) < (beta << 2);
    if ((!*p1 && !*q1) || !edge)
        return false;
    ptr = src;
    for (int i = 0; i < 4; ++i, ptr += line) {
        sumP1P2 += ptr[-2 * step] - ptr[-3 * step];
        sumQ1Q2 += ptr[step] - ptr[2 * step];
    }
    return *p1 && std::abs(sumP1P2) < beta2 && *q1 && std::abs(sumQ1Q2) < beta2;
}

void FilterEdgePlain(std::uint8_t* src, int stride, int dither, int limQ1, int limP1, int alpha, int beta,
                     int beta2, bool chroma, bool edge, bool vertical)
{
    const int step = vertical ? 1 : stride;
    const int line = vertical ? stride : 1;
    bool p1, q1;
    const bool strong = Strength(src, step, line, beta, beta2, edge, &p1, &q1);
    const int lims = p1 + q1 + ((limQ1 + limP1) >> 1) + 1;
    if (strong)
        StrongFilter(src, step, line, alpha, lims, dither, chroma);
    else if (p1 && q1)
        WeakFilter(src, step, line, true, true, alpha, beta, lims, limQ1, limP1);
    else if (p1 || q1)
        WeakFilter(src, step, line, p1, q1, alpha, beta, lims >> 1, limQ1 >> 1, limP1 >> 1);
}

#else
// The eight pixels across an edge, p3 p2 p1 p0 q0 q1 q2 q3, each a register whose 16-bit lanes
// 0-3 are the four lines along the edge (lanes 4-7 are not used).
struct Lines {
    __m128i c[8];
};

// Transposes a 4x4 block of bytes held column by column (four bytes each) into rows, or back.
inline __m128i Transpose4x4Bytes(__m128i v)
{
    const __m128i a = _mm_unpacklo_epi8(v, _mm_srli_si128(v, 8));
    return _mm_unpacklo_epi8(a, _mm_srli_si128(a, 8));
}

Lines LoadLines(const std::uint8_t* src, int stride, bool vertical)
{
    const __m128i z = _mm_setzero_si128();
    Lines l;
    if (!vertical) {
        for (int k = 0; k < 8; ++k) {
            std::int32_t four;
            std::memcpy(&four, src + (k - 4) * stride, 4);
            l.c[k] = _mm_unpacklo_epi8(_mm_cvtsi32_si128(four), z);
        }
        return l;
    }
    // Four rows of eight pixels; their 4x4 halves turned into columns.
    __m128i rows[4];
    for (int i = 0; i < 4; ++i)
        rows[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src - 4 + i * stride));
    const __m128i rows02 = _mm_unpacklo_epi32(rows[0], rows[2]), rows13 = _mm_unpacklo_epi32(rows[1], rows[3]);
    const __m128i left = Transpose4x4Bytes(_mm_unpacklo_epi32(rows02, rows13));
    const __m128i right = Transpose4x4Bytes(_mm_unpackhi_epi32(rows02, rows13));
    const __m128i halves[4] = {_mm_unpacklo_epi8(left, z), _mm_unpackhi_epi8(left, z), _mm_unpacklo_epi8(right, z),
                               _mm_unpackhi_epi8(right, z)};
    for (int k = 0; k < 4; ++k) {
        l.c[2 * k] = halves[k];
        l.c[2 * k + 1] = _mm_srli_si128(halves[k], 8);
    }
    return l;
}

// Writes back the pixels from `first` to `last` across the edge.
void StoreLines(std::uint8_t* src, int stride, bool vertical, const Lines& l, int first, int last)
{
    if (!vertical) {
        for (int k = first; k <= last; ++k) {
            const std::int32_t four = _mm_cvtsi128_si32(_mm_packus_epi16(l.c[k], l.c[k]));
            std::memcpy(src + (k - 4) * stride, &four, 4);
        }
        return;
    }
    // Columns back into four rows of eight pixels (the unchanged ones as they were).
    const __m128i left = Transpose4x4Bytes(_mm_packus_epi16(_mm_unpacklo_epi64(l.c[0], l.c[1]),
                                                            _mm_unpacklo_epi64(l.c[2], l.c[3])));
    const __m128i right = Transpose4x4Bytes(_mm_packus_epi16(_mm_unpacklo_epi64(l.c[4], l.c[5]),
                                                             _mm_unpacklo_epi64(l.c[6], l.c[7])));
    const __m128i rows01 = _mm_unpacklo_epi32(left, right), rows23 = _mm_unpackhi_epi32(left, right);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(src - 4), rows01);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(src - 4 + stride), _mm_srli_si128(rows01, 8));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(src - 4 + 2 * stride), rows23);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(src - 4 + 3 * stride), _mm_srli_si128(rows23, 8));
}

// The sum of lanes 0-3.
inline int Sum4(__m128i v)
{
    const __m128i pairs = _mm_madd_epi16(v, _mm_set_epi16(0, 0, 0, 0, 1, 1, 1, 1));
    return _mm_cvtsi128_si32(_mm_add_epi32(pairs, _mm_srli_si128(pairs, 4)));
}

inline __m128i Clamp16(__m128i v, __m128i low, __m128i high)
{
    return _mm_min_epi16(_mm_max_epi16(v, low), high);
}

inline __m128i Select(__m128i mask, __m128i a, __m128i b)
{
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

inline __m128i Abs16(__m128i v)
{
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

inline __m128i Abs32(__m128i v)
{
    const __m128i sign = _mm_srai_epi32(v, 31);
    return _mm_sub_epi32(_mm_xor_si128(v, sign), sign);
}

void WeakLines(Lines& l, bool filterP1, bool filterQ1, int alpha, int beta, int limP0Q0, int limQ1, int limP1)
{
    const __m128i p2 = l.c[1], p1 = l.c[2], p0 = l.c[3], q0 = l.c[4], q1 = l.c[5], q2 = l.c[6];
    const __m128i z = _mm_setzero_si128(), top = _mm_set1_epi16(255);
    const bool both = filterP1 && filterQ1;
    const __m128i t = _mm_sub_epi16(q0, p0);
    // alpha * |t| stays below 2^15.
    const __m128i strength = _mm_srai_epi16(_mm_mullo_epi16(_mm_set1_epi16(static_cast<short>(alpha)), Abs16(t)), 7);
    const __m128i active = _mm_andnot_si128(_mm_cmpeq_epi16(t, z),
                                            _mm_cmplt_epi16(strength, _mm_set1_epi16(static_cast<short>(4 - both))));
    __m128i tt = _mm_slli_epi16(t, 2);
    if (both)
        tt = _mm_add_epi16(tt, _mm_sub_epi16(p1, q1));
    const __m128i lim = _mm_set1_epi16(static_cast<short>(limP0Q0));
    const __m128i diff = _mm_and_si128(
        active, Clamp16(_mm_srai_epi16(_mm_add_epi16(tt, _mm_set1_epi16(4)), 3), _mm_sub_epi16(z, lim), lim));
    l.c[3] = Clamp16(_mm_add_epi16(p0, diff), z, top);
    l.c[4] = Clamp16(_mm_sub_epi16(q0, diff), z, top);
    const __m128i betaV = _mm_set1_epi16(static_cast<short>(beta));
    if (filterP1) {
        const __m128i p1p2 = _mm_sub_epi16(p1, p2);
        const __m128i use = _mm_andnot_si128(_mm_cmpgt_epi16(Abs16(p1p2), betaV), active);
        const __m128i limV = _mm_set1_epi16(static_cast<short>(limP1));
        const __m128i d = _mm_srai_epi16(_mm_sub_epi16(_mm_add_epi16(_mm_sub_epi16(p1, p0), p1p2), diff), 1);
        l.c[2] = Select(use, Clamp16(_mm_sub_epi16(p1, Clamp16(d, _mm_sub_epi16(z, limV), limV)), z, top), p1);
    }
    if (filterQ1) {
        const __m128i q1q2 = _mm_sub_epi16(q1, q2);
        const __m128i use = _mm_andnot_si128(_mm_cmpgt_epi16(Abs16(q1q2), betaV), active);
        const __m128i limV = _mm_set1_epi16(static_cast<short>(limQ1));
        const __m128i d = _mm_srai_epi16(_mm_add_epi16(_mm_add_epi16(_mm_sub_epi16(q1, q0), q1q2), diff), 1);
        l.c[5] = Select(use, Clamp16(_mm_sub_epi16(q1, Clamp16(d, _mm_sub_epi16(z, limV), limV)), z, top), q1);
    }
}

// 25 a + 26 (b + c + d) + 25 e + bias, over 128; every sum stays below 2^15.
inline __m128i Smooth(__m128i a, __m128i b, __m128i c, __m128i d, __m128i e, __m128i bias)
{
    const __m128i k25 = _mm_set1_epi16(25), k26 = _mm_set1_epi16(26);
    const __m128i v = _mm_add_epi16(_mm_mullo_epi16(k25, _mm_add_epi16(a, e)),
                                    _mm_mullo_epi16(k26, _mm_add_epi16(_mm_add_epi16(b, c), d)));
    return _mm_srai_epi16(_mm_add_epi16(v, bias), 7);
}

void StrongLines(Lines& l, int alpha, int lims, int dither, bool chroma)
{
    const __m128i m4 = l.c[0], m3 = l.c[1], m2 = l.c[2], m1 = l.c[3], q0 = l.c[4], q1 = l.c[5], q2 = l.c[6],
                  q3 = l.c[7];
    const __m128i z = _mm_setzero_si128();
    const __m128i t = _mm_sub_epi16(q0, m1);
    const __m128i sflag = _mm_srai_epi16(_mm_mullo_epi16(_mm_set1_epi16(static_cast<short>(alpha)), Abs16(t)), 7);
    const __m128i active = _mm_andnot_si128(_mm_cmpeq_epi16(t, z), _mm_cmplt_epi16(sflag, _mm_set1_epi16(2)));
    const __m128i clamped = _mm_cmpeq_epi16(sflag, _mm_set1_epi16(1));
    const std::uint8_t* dl = tables::kFilterDitherLeft + dither;
    const std::uint8_t* dr = tables::kFilterDitherRight + dither;
    const __m128i left = _mm_set_epi16(0, 0, 0, 0, dl[3], dl[2], dl[1], dl[0]);
    const __m128i right = _mm_set_epi16(0, 0, 0, 0, dr[3], dr[2], dr[1], dr[0]);
    const __m128i limV = _mm_set1_epi16(static_cast<short>(lims));
    auto near = [&](__m128i v, __m128i centre) {
        return Select(clamped, Clamp16(v, _mm_sub_epi16(centre, limV), _mm_add_epi16(centre, limV)), v);
    };
    const __m128i p0 = near(Smooth(m3, m2, m1, q0, q1, left), m1);
    const __m128i r0 = near(Smooth(m2, m1, q0, q1, q2, right), q0);
    const __m128i p1 = near(Smooth(m4, m3, m2, p0, q0, left), m2);
    const __m128i r1 = near(Smooth(m1, r0, q1, q2, q3, right), q1);
    l.c[2] = Select(active, p1, m2);
    l.c[3] = Select(active, p0, m1);
    l.c[4] = Select(active, r0, q0);
    l.c[5] = Select(active, r1, q1);
    if (!chroma) {
        const __m128i k25 = _mm_set1_epi16(25), k26 = _mm_set1_epi16(26), k51 = _mm_set1_epi16(51);
        const __m128i bias = _mm_set1_epi16(64);
        const __m128i p2 = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(k25, p0), _mm_mullo_epi16(k26, p1)),
                                         _mm_add_epi16(_mm_mullo_epi16(k51, m3), _mm_mullo_epi16(k26, m4)));
        const __m128i r2 = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(k25, r0), _mm_mullo_epi16(k26, r1)),
                                         _mm_add_epi16(_mm_mullo_epi16(k51, q2), _mm_mullo_epi16(k26, q3)));
        l.c[1] = Select(active, _mm_srai_epi16(_mm_add_epi16(p2, bias), 7), m3);
        l.c[6] = Select(active, _mm_srai_epi16(_mm_add_epi16(r2, bias), 7), q2);
    }
}
// Filters two segments of an edge inside a macroblock as FilterEdge does (weak filter only):
// c holds p2 p1 p0 q0 q1 q2, a 16-bit lane a line, lanes 0-3 the first segment and 4-7 the
// second; `pair` says which are filtered, with their clips. Changes p1 p0 q0 q1 (c[1] to c[4]).
void WeakPair(__m128i c[6], unsigned pair, const int* limQ1, const int* limP1, int alpha, int beta)
{
    const __m128i z = _mm_setzero_si128(), top = _mm_set1_epi16(255);
    const __m128i betaV = _mm_set1_epi16(static_cast<short>(beta));
    const __m128i p2 = c[0], p1 = c[1], p0 = c[2], q0 = c[3], q1 = c[4], q2 = c[5];
    // Each segment's decisions and limits as FilterEdge makes them, as masks over its lanes:
    // the sums over a segment's four lines end up in both 32-bit lanes of its half.
    const __m128i ones = _mm_set1_epi16(1);
    auto segmentSum = [&](__m128i v) {
        const __m128i pairs = _mm_madd_epi16(v, ones);
        return Abs32(_mm_add_epi32(pairs, _mm_shuffle_epi32(pairs, 0xB1)));
    };
    const int first = -static_cast<int>(pair & 1), second = -static_cast<int>(pair >> 1);
    const __m128i on = _mm_set_epi32(second, second, first, first);
    const __m128i flatness = _mm_set1_epi32(beta << 2);
    const __m128i fp = _mm_and_si128(on, _mm_cmplt_epi32(segmentSum(_mm_sub_epi16(p1, p0)), flatness));
    const __m128i fq = _mm_and_si128(on, _mm_cmplt_epi32(segmentSum(_mm_sub_epi16(q1, q0)), flatness));
    const __m128i bothV = _mm_and_si128(fp, fq), anyV = _mm_or_si128(fp, fq);
    auto perSegment = [&](const int* v) {
        const int a = v[0] & 0xFFFF, b = v[1] & 0xFFFF;
        return _mm_set_epi32(b | b << 16, b | b << 16, a | a << 16, a | a << 16);
    };
    const __m128i clipQ = perSegment(limQ1), clipP = perSegment(limP1);
    // lims = p1 + q1 + ((limQ1 + limP1) >> 1) + 1; all three halved unless both sides are filtered.
    const __m128i lims = _mm_sub_epi16(
        _mm_sub_epi16(_mm_add_epi16(_mm_srai_epi16(_mm_add_epi16(clipQ, clipP), 1), ones), fp), fq);
    auto halved = [&](__m128i v) { return Select(bothV, v, _mm_srai_epi16(v, 1)); };
    const __m128i t = _mm_sub_epi16(q0, p0);
    const __m128i strength =
        _mm_srai_epi16(_mm_mullo_epi16(_mm_set1_epi16(static_cast<short>(alpha)), Abs16(t)), 7);
    // Below 4, or 3 where both sides are filtered (both is -1 there).
    const __m128i active = _mm_and_si128(
        anyV, _mm_andnot_si128(_mm_cmpeq_epi16(t, z),
                               _mm_cmplt_epi16(strength, _mm_add_epi16(_mm_set1_epi16(4), bothV))));
    const __m128i tt = _mm_add_epi16(_mm_slli_epi16(t, 2), _mm_and_si128(bothV, _mm_sub_epi16(p1, q1)));
    const __m128i limV = halved(lims);
    const __m128i diff = _mm_and_si128(
        active, Clamp16(_mm_srai_epi16(_mm_add_epi16(tt, _mm_set1_epi16(4)), 3), _mm_sub_epi16(z, limV), limV));
    const __m128i newP0 = Clamp16(_mm_add_epi16(p0, diff), z, top);
    const __m128i newQ0 = Clamp16(_mm_sub_epi16(q0, diff), z, top);
    // The second pixel on each side, where its side is filtered and flat enough: the same on
    // both sides but for the sign of diff.
    auto outer = [&](__m128i x1, __m128i x0, __m128i x2, __m128i side, __m128i clip, __m128i signedDiff) {
        const __m128i x1x2 = _mm_sub_epi16(x1, x2);
        const __m128i use = _mm_and_si128(side, _mm_andnot_si128(_mm_cmpgt_epi16(Abs16(x1x2), betaV), active));
        const __m128i lim = halved(clip);
        const __m128i d = _mm_srai_epi16(_mm_add_epi16(_mm_add_epi16(_mm_sub_epi16(x1, x0), x1x2), signedDiff), 1);
        return Select(use, Clamp16(_mm_sub_epi16(x1, Clamp16(d, _mm_sub_epi16(z, lim), lim)), z, top), x1);
    };
    const __m128i newP1 = outer(p1, p0, p2, fp, clipP, _mm_sub_epi16(z, diff));
    const __m128i newQ1 = outer(q1, q0, q2, fq, clipQ, diff);
    c[1] = newP1;
    c[2] = newP0;
    c[3] = newQ0;
    c[4] = newQ1;
}

// Eight rows of eight bytes (the low halves) into eight columns, or back.
void Transpose8x8(__m128i v[8])
{
    const __m128i a = _mm_unpacklo_epi8(v[0], v[1]), b = _mm_unpacklo_epi8(v[2], v[3]);
    const __m128i c = _mm_unpacklo_epi8(v[4], v[5]), d = _mm_unpacklo_epi8(v[6], v[7]);
    const __m128i e = _mm_unpacklo_epi16(a, b), f = _mm_unpackhi_epi16(a, b);
    const __m128i g = _mm_unpacklo_epi16(c, d), h = _mm_unpackhi_epi16(c, d);
    const __m128i pairs[4] = {_mm_unpacklo_epi32(e, g), _mm_unpackhi_epi32(e, g), _mm_unpacklo_epi32(f, h),
                              _mm_unpackhi_epi32(f, h)};
    for (int k = 0; k < 4; ++k) {
        v[2 * k] = pairs[k];
        v[2 * k + 1] = _mm_srli_si128(pairs[k], 8);
    }
}

__attribute__((target("avx2"))) inline __m256i Pixel16(__m256i v)
{
    return _mm256_min_epi16(_mm256_max_epi16(v, _mm256_setzero_si256()), _mm256_set1_epi16(255));
}

// WeakPair's second pixel on one side, for WeakQuad.
__attribute__((target("avx2"))) inline __m256i OuterQuad(__m256i x1, __m256i x0, __m256i x2, __m256i side,
                                                         __m256i sideClip, __m256i signedDiff, __m256i active,
                                                         __m256i bothV, __m256i betaV)
{
    const __m256i z = _mm256_setzero_si256();
    const __m256i x1x2 = _mm256_sub_epi16(x1, x2);
    const __m256i use =
        _mm256_and_si256(side, _mm256_andnot_si256(_mm256_cmpgt_epi16(_mm256_abs_epi16(x1x2), betaV), active));
    const __m256i lim = _mm256_blendv_epi8(_mm256_srai_epi16(sideClip, 1), sideClip, bothV);
    const __m256i d = _mm256_srai_epi16(_mm256_add_epi16(_mm256_add_epi16(_mm256_sub_epi16(x1, x0), x1x2), signedDiff), 1);
    const __m256i step = _mm256_min_epi16(_mm256_max_epi16(d, _mm256_sub_epi16(z, lim)), lim);
    return _mm256_blendv_epi8(x1, Pixel16(_mm256_sub_epi16(x1, step)), use);
}

// WeakPair over four segments, lanes 4k to 4k + 3 the k-th; every step stays within its 128-bit
// half, so each half is the pair WeakPair filters.
__attribute__((target("avx2"))) void WeakQuad(__m256i c[6], unsigned segments, const int* limQ1, const int* limP1,
                                              int alpha, int beta)
{
    const __m256i z = _mm256_setzero_si256();
    const __m256i betaV = _mm256_set1_epi16(static_cast<short>(beta));
    const __m256i p2 = c[0], p1 = c[1], p0 = c[2], q0 = c[3], q1 = c[4], q2 = c[5];
    const __m256i ones = _mm256_set1_epi16(1);
    auto on = [segments](int k) { return -static_cast<int>(segments >> k & 1); };
    const __m256i active4 = _mm256_set_epi32(on(3), on(3), on(2), on(2), on(1), on(1), on(0), on(0));
    const __m256i flatness = _mm256_set1_epi32(beta << 2);
    const __m256i pP = _mm256_madd_epi16(_mm256_sub_epi16(p1, p0), ones);
    const __m256i pQ = _mm256_madd_epi16(_mm256_sub_epi16(q1, q0), ones);
    const __m256i sumP = _mm256_abs_epi32(_mm256_add_epi32(pP, _mm256_shuffle_epi32(pP, 0xB1)));
    const __m256i sumQ = _mm256_abs_epi32(_mm256_add_epi32(pQ, _mm256_shuffle_epi32(pQ, 0xB1)));
    const __m256i fp = _mm256_and_si256(active4, _mm256_cmpgt_epi32(flatness, sumP));
    const __m256i fq = _mm256_and_si256(active4, _mm256_cmpgt_epi32(flatness, sumQ));
    const __m256i bothV = _mm256_and_si256(fp, fq), anyV = _mm256_or_si256(fp, fq);
    auto clip = [](const int* v, int k) { return (v[k] & 0xFFFF) | (v[k] & 0xFFFF) << 16; };
    const __m256i clipQ = _mm256_set_epi32(clip(limQ1, 3), clip(limQ1, 3), clip(limQ1, 2), clip(limQ1, 2),
                                           clip(limQ1, 1), clip(limQ1, 1), clip(limQ1, 0), clip(limQ1, 0));
    const __m256i clipP = _mm256_set_epi32(clip(limP1, 3), clip(limP1, 3), clip(limP1, 2), clip(limP1, 2),
                                           clip(limP1, 1), clip(limP1, 1), clip(limP1, 0), clip(limP1, 0));
    const __m256i lims = _mm256_sub_epi16(
        _mm256_sub_epi16(_mm256_add_epi16(_mm256_srai_epi16(_mm256_add_epi16(clipQ, clipP), 1), ones), fp), fq);
    const __m256i t = _mm256_sub_epi16(q0, p0);
    const __m256i strength =
        _mm256_srai_epi16(_mm256_mullo_epi16(_mm256_set1_epi16(static_cast<short>(alpha)), _mm256_abs_epi16(t)), 7);
    const __m256i active = _mm256_and_si256(
        anyV, _mm256_andnot_si256(_mm256_cmpeq_epi16(t, z),
                                  _mm256_cmpgt_epi16(_mm256_add_epi16(_mm256_set1_epi16(4), bothV), strength)));
    const __m256i tt = _mm256_add_epi16(_mm256_slli_epi16(t, 2), _mm256_and_si256(bothV, _mm256_sub_epi16(p1, q1)));
    const __m256i limV = _mm256_blendv_epi8(_mm256_srai_epi16(lims, 1), lims, bothV);
    const __m256i diff = _mm256_and_si256(
        active, _mm256_min_epi16(_mm256_max_epi16(_mm256_srai_epi16(_mm256_add_epi16(tt, _mm256_set1_epi16(4)), 3),
                                                  _mm256_sub_epi16(z, limV)),
                                 limV));
    const __m256i newP0 = Pixel16(_mm256_add_epi16(p0, diff));
    const __m256i newQ0 = Pixel16(_mm256_sub_epi16(q0, diff));
    c[1] = OuterQuad(p1, p0, p2, fp, clipP, _mm256_sub_epi16(z, diff), active, bothV, betaV);
    c[2] = newP0;
    c[3] = newQ0;
    c[4] = OuterQuad(q1, q0, q2, fq, clipQ, diff, active, bothV, betaV);
}

// Transpose8x8 on each 128-bit half.
__attribute__((target("avx2"))) void Transpose8x8Twice(__m256i v[8])
{
    const __m256i a = _mm256_unpacklo_epi8(v[0], v[1]), b = _mm256_unpacklo_epi8(v[2], v[3]);
    const __m256i c = _mm256_unpacklo_epi8(v[4], v[5]), d = _mm256_unpacklo_epi8(v[6], v[7]);
    const __m256i e = _mm256_unpacklo_epi16(a, b), f = _mm256_unpackhi_epi16(a, b);
    const __m256i g = _mm256_unpacklo_epi16(c, d), h = _mm256_unpackhi_epi16(c, d);
    const __m256i pairs[4] = {_mm256_unpacklo_epi32(e, g), _mm256_unpackhi_epi32(e, g), _mm256_unpacklo_epi32(f, h),
                              _mm256_unpackhi_epi32(f, h)};
    for (int k = 0; k < 4; ++k) {
        v[2 * k] = pairs[k];
        v[2 * k + 1] = _mm256_srli_si256(pairs[k], 8);
    }
}

// A luma edge's four segments at once: sixteen lines, across a horizontal edge a row's sixteen
// pixels, across a vertical one rows 0-7 in the low half and 8-15 in the high half.
__attribute__((target("avx2"))) void FilterInnerEdge4Avx2(std::uint8_t* src, int stride, bool vertical,
                                                          unsigned segments, const int limQ1[4], const int limP1[4],
                                                          int alpha, int beta)
{
    __m256i c[6];
    if (!vertical) {
        for (int k = 0; k < 6; ++k)
            c[k] = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + (k - 3) * stride)));
        WeakQuad(c, segments, limQ1, limP1, alpha, beta);
        for (int k = 1; k < 5; ++k) {
            const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(c[k], c[k]), 0x08);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(src + (k - 3) * stride), _mm256_castsi256_si128(packed));
        }
        return;
    }
    std::uint8_t* const s = src - 4;
    __m256i bytes[8];
    for (int k = 0; k < 8; ++k)
        bytes[k] = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + k * stride))),
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + (k + 8) * stride)), 1);
    Transpose8x8Twice(bytes);
    const __m256i z = _mm256_setzero_si256();
    for (int k = 0; k < 6; ++k)
        c[k] = _mm256_unpacklo_epi8(bytes[k + 1], z);
    WeakQuad(c, segments, limQ1, limP1, alpha, beta);
    for (int k = 1; k < 5; ++k)
        bytes[k + 1] = _mm256_packus_epi16(c[k], c[k]);
    Transpose8x8Twice(bytes);
    for (int k = 0; k < 8; ++k) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(s + k * stride), _mm256_castsi256_si128(bytes[k]));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(s + (k + 8) * stride), _mm256_extracti128_si256(bytes[k], 1));
    }
}

const bool g_avx2 = __builtin_cpu_supports("avx2");
#endif

}  // namespace

void FilterEdge(std::uint8_t* src, int stride, int dither, int limQ1, int limP1, int alpha, int beta, int beta2,
                bool chroma, bool edge, bool vertical)
{
#if defined(__SSE2__)
    Lines l = LoadLines(src, stride, vertical);
    const int sumP1P0 = Sum4(_mm_sub_epi16(l.c[2], l.c[3])), sumQ1Q0 = Sum4(_mm_sub_epi16(l.c[5], l.c[4]));
    const bool p1 = std::abs(sumP1P0) < (beta << 2);
    const bool q1 = std::abs(sumQ1Q0) < (beta << 2);
    const bool strong = edge && p1 && q1 && std::abs(Sum4(_mm_sub_epi16(l.c[2], l.c[1]))) < beta2 &&
                        std::abs(Sum4(_mm_sub_epi16(l.c[5], l.c[6]))) < beta2;
    const int lims = p1 + q1 + ((limQ1 + limP1) >> 1) + 1;
    if (strong) {
        StrongLines(l, alpha, lims, dither, chroma);
        StoreLines(src, stride, vertical, l, chroma ? 2 : 1, chroma ? 5 : 6);
    } else if (p1 || q1) {
        if (p1 && q1)
            WeakLines(l, true, true, alpha, beta, lims, limQ1, limP1);
        else
            WeakLines(l, p1, q1, alpha, beta, lims >> 1, limQ1 >> 1, limP1 >> 1);
        StoreLines(src, stride, vertical, l, 2, 5);
    }
#else
    FilterEdgePlain(src, stride, dither, limQ1, limP1, alpha, beta, beta2, chroma, edge, vertical);
#endif
}

void FilterInnerEdge(std::uint8_t* src, int stride, bool vertical, int count, unsigned segments, const int limQ1[4],
                     const int limP1[4], int alpha, int beta)
{
#if defined(__SSE2__)
    // Where both halves of a luma edge have segments to filter, all four at once.
    if (g_avx2 && count == 4 && (segments & 3) && (segments >> 2)) {
        FilterInnerEdge4Avx2(src, stride, vertical, segments, limQ1, limP1, alpha, beta);
        return;
    }
    const __m128i z = _mm_setzero_si128();
    for (int half = 0; half < count; half += 2) {
        const unsigned pair = segments >> half & 3;
        if (!pair)
            continue;
        // Across a vertical edge the eight pixels of each line are a row's: eight lines are
        // turned into the eight positions across the edge, and back.
        std::uint8_t* const s = vertical ? src + half * 4 * stride - 4 : src + half * 4 - 4 * stride;
        __m128i bytes[8];
        for (int k = 0; k < 8; ++k)
            bytes[k] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + k * stride));
        if (vertical)
            Transpose8x8(bytes);
        __m128i c[6];
        for (int k = 0; k < 6; ++k)
            c[k] = _mm_unpacklo_epi8(bytes[k + 1], z);
        WeakPair(c, pair, limQ1 + half, limP1 + half, alpha, beta);
        for (int k = 1; k < 5; ++k)
            bytes[k + 1] = _mm_packus_epi16(c[k], c[k]);
        if (vertical)
            Transpose8x8(bytes);
        for (int k = vertical ? 0 : 2; k < (vertical ? 8 : 6); ++k)
            _mm_storel_epi64(reinterpret_cast<__m128i*>(s + k * stride), bytes[k]);
    }
#else
    for (int k = 0; k < count; ++k)
        if (segments >> k & 1)
            FilterEdge(src + 4 * k * (vertical ? stride : 1), stride, 0, limQ1[k], limP1[k], alpha, beta, 0, false,
                       false, vertical);
#endif
}

}  // namespace quenlar::rv40
