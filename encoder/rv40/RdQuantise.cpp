#include "RdQuantise.h"

#include <bit>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quenlar::rv40 {
namespace {

// Squared error in the unscaled transform's units to squared pixel error * 256.
constexpr float kErrorScale = 256.0f / 456976.0f;

// Bits of one level beyond its class in the subblock code: escape and sign. Levels past the
// class are rare; the common ones are priced without a branch.
int EscapeBits(int a, int escape, const Code* coefficient)
{
    const int v = a - escape;
    if (v <= 23)
        return coefficient[v].length + 1;
    const int n = std::bit_width(static_cast<unsigned>(v - 22)) - 1;
    return coefficient[23 + n].length + n + 1;
}

inline int LevelBits(int a, int escape, const Code* coefficient)
{
    return a >= escape ? EscapeBits(a, escape, coefficient) : a > 0;
}

// Each coefficient's nearest level and the one below, in coded order (four 2x2 subblocks of four).
// The level below is worth weighing where it is the value rounded down, or zero instead of one;
// further down the error always outweighs the bits.
struct Candidates {
    int level[2][16];  // nearest magnitude and the one below (equal where there is no choice)
    float cost[2][16]; // squared error * 256 of each
};

// The best magnitudes for the subblock at `at` given its table; returns lambda * bits + error
// and writes the chosen magnitudes and their bits. `pattern` >= 0 marks the first subblock,
// whose code also carries the later subblocks' flags (and must exist).
float ChooseSubblock(const Candidates& c, int at, const Code* table, int pattern, const Code* coefficient,
                     float lambda, int chosen[4], int* chosenBits, bool allowEmpty)
{
    const int* nearest = c.level[0] + at;
    const int* below = c.level[1] + at;
    *chosenBits = 0;
    if (allowEmpty && !(nearest[0] | nearest[1] | nearest[2] | nearest[3])) {
        chosen[0] = chosen[1] = chosen[2] = chosen[3] = 0;
        return c.cost[0][at] + c.cost[0][at + 1] + c.cost[0][at + 2] + c.cost[0][at + 3];
    }
    // Each choice's share of the class code and its cost with its own escape and sign bits.
    static constexpr int kWeight[4] = {27, 9, 3, 1};
    int code[4][2];
    float cost[4][2];
    // Both choices are priced whether or not they differ: the test would mispredict more often
    // than the pricing costs.
    int choices = 0;
    for (int i = 0; i < 4; ++i) {
        const int escape = i ? 2 : 3;
        const int a = nearest[i], b = below[i];
        code[i][0] = (a < escape ? a : escape) * kWeight[i];
        cost[i][0] = c.cost[0][at + i] + lambda * static_cast<float>(LevelBits(a, escape, coefficient));
        code[i][1] = (b < escape ? b : escape) * kWeight[i];
        cost[i][1] = c.cost[1][at + i] + lambda * static_cast<float>(LevelBits(b, escape, coefficient));
        choices |= (b != a) << i;
    }
    // The first subblock's code must exist; a later one may be left out only where allowed.
    const bool first = pattern >= 0;
    const Code* row = first ? table + pattern : table;
    const int scale = first ? 8 : 1;
    float best = 1e30f;
    int bestCombo = -1, bestBits = 0;
    for (int combo = choices;; combo = (combo - 1) & choices) {
        const int p0 = combo & 1, p1 = combo >> 1 & 1, p2 = combo >> 2 & 1, p3 = combo >> 3 & 1;
        const int index = code[0][p0] + code[1][p1] + code[2][p2] + code[3][p3];
        const int length = row[index * scale].length;
        const bool empty = !first && !index;
        const int bits = empty ? 0 : length;
        const bool valid = empty ? allowEmpty : length != 0;
        const float total = cost[0][p0] + cost[1][p1] + cost[2][p2] + cost[3][p3] + lambda * static_cast<float>(bits);
        const bool better = valid && total < best;
        best = better ? total : best;
        bestCombo = better ? combo : bestCombo;
        bestBits = better ? bits : bestBits;
        if (!combo)
            break;
    }
    if (bestCombo >= 0)
        for (int i = 0; i < 4; ++i) {
            const int a = c.level[bestCombo >> i & 1][at + i];
            chosen[i] = a;
            bestBits += LevelBits(a, i ? 2 : 3, coefficient);
        }
    *chosenBits = bestBits;
    return best;
}

}  // namespace

int QuantiseRd(const std::int32_t coeffs[16], const QuantMatrix& q, const RdWeights& rd, std::int16_t levels[16],
               int* bits)
{
    // Raster positions in coded order.
    static constexpr int kOrder[16] = {0, 1, 4, 5, 2, 3, 6, 7, 8, 12, 9, 13, 10, 11, 14, 15};
    std::int32_t coded[16];
    float unit[16], inverseUnit[16];
    for (int i = 0; i < 16; ++i) {
        coded[i] = coeffs[kOrder[i]];
        unit[i] = q.unit[kOrder[i]];
        inverseUnit[i] = q.inverseUnit[kOrder[i]];
        levels[i] = 0;
    }
    Candidates cand;
    float zeroCost = 0;
#if defined(__SSE2__)
    __m128i anyLevel = _mm_setzero_si128();
    __m128 zeroCosts = _mm_setzero_ps();
    const __m128 scale = _mm_set1_ps(kErrorScale);
    for (int i = 0; i < 16; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coded + i));
        const __m128i sign = _mm_srai_epi32(v, 31);
        const __m128 c = _mm_cvtepi32_ps(_mm_sub_epi32(_mm_xor_si128(v, sign), sign));
        const __m128 u = _mm_loadu_ps(unit + i);
        const __m128 x = _mm_mul_ps(c, _mm_loadu_ps(inverseUnit + i));
        __m128i nearest = _mm_cvttps_epi32(_mm_add_ps(x, _mm_set1_ps(0.5f)));
        const __m128i top = _mm_set1_epi32(kMaxLevel);
        const __m128i over = _mm_cmpgt_epi32(nearest, top);
        nearest = _mm_or_si128(_mm_and_si128(over, top), _mm_andnot_si128(over, nearest));
        const __m128 nearestF = _mm_cvtepi32_ps(nearest);
        const __m128i lower = _mm_and_si128(
            _mm_cmpgt_epi32(nearest, _mm_setzero_si128()),
            _mm_or_si128(_mm_castps_si128(_mm_cmplt_ps(x, nearestF)), _mm_cmpeq_epi32(nearest, _mm_set1_epi32(1))));
        const __m128i below = _mm_add_epi32(nearest, lower);
        const __m128 e0 = _mm_sub_ps(c, _mm_mul_ps(nearestF, u));
        const __m128 e1 = _mm_sub_ps(c, _mm_mul_ps(_mm_cvtepi32_ps(below), u));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(cand.level[0] + i), nearest);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(cand.level[1] + i), below);
        _mm_storeu_ps(cand.cost[0] + i, _mm_mul_ps(_mm_mul_ps(e0, e0), scale));
        _mm_storeu_ps(cand.cost[1] + i, _mm_mul_ps(_mm_mul_ps(e1, e1), scale));
        zeroCosts = _mm_add_ps(zeroCosts, _mm_mul_ps(_mm_mul_ps(c, c), scale));
        anyLevel = _mm_or_si128(anyLevel, nearest);
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(anyLevel, _mm_setzero_si128())) == 0xFFFF)
        return 0;
    float lanes[4];
    _mm_storeu_ps(lanes, zeroCosts);
    zeroCost = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
#else
    bool any = false;
    for (int i = 0; i < 16; ++i) {
        const float c = static_cast<float>(std::abs(coded[i]));
        const float x = c * inverseUnit[i];
        int nearest = static_cast<int>(x + 0.5f);
        if (nearest > kMaxLevel)
            nearest = kMaxLevel;
        const int below = nearest > 0 && (x < nearest || nearest == 1) ? nearest - 1 : nearest;
        cand.level[0][i] = nearest;
        cand.level[1][i] = below;
        for (int k = 0; k < 2; ++k) {
            const float e = c - static_cast<float>(cand.level[k][i]) * unit[i];
            cand.cost[k][i] = e * e * kErrorScale;
        }
        zeroCost += c * c * kErrorScale;
        any |= nearest > 0;
    }
    if (!any)
        return 0;
#endif

    const float lambda = static_cast<float>(rd.lambda);
    int chosen[16] = {};
    float total = 0;
    int pattern = 0, blockBits = 0;
    const Code* later[3] = {rd.codes.second, rd.codes.second, rd.codes.third};
    for (int s = 1; s < 4; ++s) {
        int* picked = chosen + 4 * s;
        int subblockBits;
        total += ChooseSubblock(cand, 4 * s, later[s - 1], -1, rd.codes.coefficient, lambda, picked, &subblockBits,
                                true);
        blockBits += subblockBits;
        if (picked[0] | picked[1] | picked[2] | picked[3])
            pattern |= 4 >> (s - 1);
    }
    int firstBits;
    const float first =
        ChooseSubblock(cand, 0, rd.codes.first, pattern, rd.codes.coefficient, lambda, chosen, &firstBits, false);
    // Leaving the block out saves its code and about a bit of the coded-block pattern.
    if (first >= 1e29f || total + first + lambda >= zeroCost)
        return 0;
    if (bits)
        *bits = blockBits + firstBits;
    int nonzero = 0;
    for (int i = 0; i < 16; ++i) {
        // Branch-free: the signs are unpredictable.
        const int k = kOrder[i];
        const int sign = coded[i] >> 31;
        levels[k] = static_cast<std::int16_t>((chosen[i] ^ sign) - sign);
        nonzero += chosen[i] != 0;
    }
    return nonzero;
}

}  // namespace quenlar::rv40
