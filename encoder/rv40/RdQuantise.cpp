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

// Bits of one level beyond its class in the subblock code: escape and sign.
int LevelBits(int a, int escape, const Code* coefficient)
{
    if (!a)
        return 0;
    if (a < escape)
        return 1;
    const int v = a - escape;
    if (v <= 23)
        return coefficient[v].length + 1;
    const int n = std::bit_width(static_cast<unsigned>(v - 22)) - 1;
    return coefficient[23 + n].length + n + 1;
}

struct Candidate {
    int level[2];  // nearest magnitude and the one below (equal where there is no choice)
    float cost[2]; // squared error * 256 of each
};

// The best magnitudes for one subblock given its table; returns lambda * bits + error and
// writes the chosen magnitudes. `pattern` >= 0 marks the first subblock, whose code also
// carries the later subblocks' flags (and must exist).
float ChooseSubblock(const Candidate* c, const Code* table, int pattern, const Code* coefficient, float lambda,
                     int chosen[4], bool allowEmpty)
{
    if (allowEmpty && !(c[0].level[0] | c[1].level[0] | c[2].level[0] | c[3].level[0])) {
        chosen[0] = chosen[1] = chosen[2] = chosen[3] = 0;
        return c[0].cost[0] + c[1].cost[0] + c[2].cost[0] + c[3].cost[0];
    }
    // Each choice's share of the class code and its cost with its own escape and sign bits.
    static constexpr int kWeight[4] = {27, 9, 3, 1};
    int code[4][2];
    float cost[4][2];
    int choices = 0;
    for (int i = 0; i < 4; ++i) {
        const int escape = i ? 2 : 3;
        for (int k = 0; k < 2; ++k) {
            const int a = c[i].level[k];
            code[i][k] = (a < escape ? a : escape) * kWeight[i];
            cost[i][k] = c[i].cost[k] + lambda * static_cast<float>(LevelBits(a, escape, coefficient));
        }
        choices |= (c[i].level[1] != c[i].level[0]) << i;
    }
    float best = 1e30f;
    int bestCombo = -1;
    for (int combo = choices;; combo = (combo - 1) & choices) {
        const int p0 = combo & 1, p1 = combo >> 1 & 1, p2 = combo >> 2 & 1, p3 = combo >> 3 & 1;
        const int index = code[0][p0] + code[1][p1] + code[2][p2] + code[3][p3];
        int bits = -1;
        if (pattern >= 0)
            bits = table[index * 8 + pattern].length ? table[index * 8 + pattern].length : -1;
        else if (index)
            bits = table[index].length;
        else if (allowEmpty)
            bits = 0;
        if (bits >= 0) {
            const float total =
                cost[0][p0] + cost[1][p1] + cost[2][p2] + cost[3][p3] + lambda * static_cast<float>(bits);
            if (total < best) {
                best = total;
                bestCombo = combo;
            }
        }
        if (!combo)
            break;
    }
    if (bestCombo >= 0)
        for (int i = 0; i < 4; ++i)
            chosen[i] = c[i].level[bestCombo >> i & 1];
    return best;
}

}  // namespace

int QuantiseRd(const std::int32_t coeffs[16], const QuantMatrix& q, const RdWeights& rd, std::int16_t levels[16])
{
    static constexpr int kOrder[4][4] = {{0, 1, 4, 5}, {2, 3, 6, 7}, {8, 12, 9, 13}, {10, 11, 14, 15}};
    // Each coefficient's nearest level and the one below: that is worth weighing where it is the
    // value rounded down, or zero instead of one; further down the error always outweighs the bits.
    Candidate cand[16];
    float zeroCost = 0;
    bool any = false;
#if defined(__SSE2__)
    int nearestLevels[16], belowLevels[16];
    float nearestCosts[16], belowCosts[16];
    __m128i anyLevel = _mm_setzero_si128();
    __m128 zeroCosts = _mm_setzero_ps();
    const __m128 scale = _mm_set1_ps(kErrorScale);
    for (int i = 0; i < 16; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coeffs + i));
        const __m128i sign = _mm_srai_epi32(v, 31);
        const __m128 c = _mm_cvtepi32_ps(_mm_sub_epi32(_mm_xor_si128(v, sign), sign));
        const __m128 unit = _mm_loadu_ps(q.unit + i);
        const __m128 x = _mm_mul_ps(c, _mm_loadu_ps(q.inverseUnit + i));
        __m128i nearest = _mm_cvttps_epi32(_mm_add_ps(x, _mm_set1_ps(0.5f)));
        const __m128i top = _mm_set1_epi32(kMaxLevel);
        const __m128i over = _mm_cmpgt_epi32(nearest, top);
        nearest = _mm_or_si128(_mm_and_si128(over, top), _mm_andnot_si128(over, nearest));
        const __m128 nearestF = _mm_cvtepi32_ps(nearest);
        const __m128i lower = _mm_and_si128(
            _mm_cmpgt_epi32(nearest, _mm_setzero_si128()),
            _mm_or_si128(_mm_castps_si128(_mm_cmplt_ps(x, nearestF)), _mm_cmpeq_epi32(nearest, _mm_set1_epi32(1))));
        const __m128i below = _mm_add_epi32(nearest, lower);
        const __m128 e0 = _mm_sub_ps(c, _mm_mul_ps(nearestF, unit));
        const __m128 e1 = _mm_sub_ps(c, _mm_mul_ps(_mm_cvtepi32_ps(below), unit));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(nearestLevels + i), nearest);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(belowLevels + i), below);
        _mm_storeu_ps(nearestCosts + i, _mm_mul_ps(_mm_mul_ps(e0, e0), scale));
        _mm_storeu_ps(belowCosts + i, _mm_mul_ps(_mm_mul_ps(e1, e1), scale));
        zeroCosts = _mm_add_ps(zeroCosts, _mm_mul_ps(_mm_mul_ps(c, c), scale));
        anyLevel = _mm_or_si128(anyLevel, nearest);
    }
    any = _mm_movemask_epi8(_mm_cmpeq_epi32(anyLevel, _mm_setzero_si128())) != 0xFFFF;
    for (int i = 0; i < 16; ++i) {
        levels[i] = 0;
        cand[i] = {{nearestLevels[i], belowLevels[i]}, {nearestCosts[i], belowCosts[i]}};
    }
    if (!any)
        return 0;
    float lanes[4];
    _mm_storeu_ps(lanes, zeroCosts);
    zeroCost = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
#else
    for (int i = 0; i < 16; ++i) {
        const float c = static_cast<float>(std::abs(coeffs[i]));
        const float unit = q.unit[i];
        const float x = c * q.inverseUnit[i];
        int nearest = static_cast<int>(x + 0.5f);
        if (nearest > kMaxLevel)
            nearest = kMaxLevel;
        const int below = nearest > 0 && (x < nearest || nearest == 1) ? nearest - 1 : nearest;
        cand[i].level[0] = nearest;
        cand[i].level[1] = below;
        for (int k = 0; k < 2; ++k) {
            const float e = c - static_cast<float>(cand[i].level[k]) * unit;
            cand[i].cost[k] = e * e * kErrorScale;
        }
        zeroCost += c * c * kErrorScale;
        any |= nearest > 0;
    }
    for (int i = 0; i < 16; ++i)
        levels[i] = 0;
    if (!any)
        return 0;
#endif

    const float lambda = static_cast<float>(rd.lambda);
    int chosen[4][4] = {};
    float total = 0;
    int pattern = 0;
    const Code* later[3] = {rd.codes.second, rd.codes.second, rd.codes.third};
    for (int s = 1; s < 4; ++s) {
        Candidate c[4];
        for (int i = 0; i < 4; ++i)
            c[i] = cand[kOrder[s][i]];
        total += ChooseSubblock(c, later[s - 1], -1, rd.codes.coefficient, lambda, chosen[s], true);
        if (chosen[s][0] | chosen[s][1] | chosen[s][2] | chosen[s][3])
            pattern |= 4 >> (s - 1);
    }
    Candidate c[4];
    for (int i = 0; i < 4; ++i)
        c[i] = cand[kOrder[0][i]];
    const float first = ChooseSubblock(c, rd.codes.first, pattern, rd.codes.coefficient, lambda, chosen[0], false);
    // Leaving the block out saves its code and about a bit of the coded-block pattern.
    if (first >= 1e29f || total + first + lambda >= zeroCost)
        return 0;
    int nonzero = 0;
    for (int s = 0; s < 4; ++s)
        for (int i = 0; i < 4; ++i) {
            const int k = kOrder[s][i];
            const int a = chosen[s][i];
            levels[k] = static_cast<std::int16_t>(coeffs[k] < 0 ? -a : a);
            nonzero += a != 0;
        }
    return nonzero;
}

}  // namespace quenlar::rv40
