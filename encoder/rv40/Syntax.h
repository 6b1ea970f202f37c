// Writing the macroblock layer: coefficient blocks, coded-block patterns, 4x4 modes. Templates
// over the sink, so that a BitCounter prices exactly what a BitWriter would write.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdlib>

#include "Codes.h"

namespace quenlar::rv40 {

// The code tables one block is written with.
struct BlockCodes {
    const Code* first;
    const Code* second;
    const Code* third;
    const Code* coefficient;
};

inline BlockCodes CodesFor(const CoefficientCodes& set, int firstKind, int laterKind)
{
    return {set.firstPattern[firstKind], set.secondPattern[laterKind], set.thirdPattern[laterKind], set.coefficient};
}

namespace syntax {

// Magnitude class of a level: 0, 1, then `escape` for anything from `escape` up.
inline int Class(int level, int escape)
{
    const int a = std::abs(level);
    return a < escape ? a : escape;
}

template <class Sink>
inline void PutLevel(Sink& s, int level, int escape, const Code* coefficient)
{
    if (!level)
        return;
    const int a = std::abs(level);
    if (a >= escape) {
        const int v = a - escape;
        if (v <= 23) {
            s.Put(coefficient[v]);
        } else {
            const int w = v - 22;
            const int n = std::bit_width(static_cast<unsigned>(w)) - 1;
            s.Put(coefficient[23 + n]);
            s.Put(static_cast<std::uint32_t>(w - (1 << n)), n);
        }
    }
    s.PutBit(level < 0);
}

// A 2x2 subblock: its four levels in coded order, the first with the wider class.
template <class Sink>
inline void PutSubblock(Sink& s, const Code* codes, int a, int b, int c, int d, const Code* coefficient)
{
    s.Put(codes[Class(a, 3) * 27 + Class(b, 2) * 9 + Class(c, 2) * 3 + Class(d, 2)]);
    PutLevel(s, a, 3, coefficient);
    PutLevel(s, b, 2, coefficient);
    PutLevel(s, c, 2, coefficient);
    PutLevel(s, d, 2, coefficient);
}

}  // namespace syntax

// One 4x4 block of levels (raster order, [vertical * 4 + horizontal]).
template <class Sink>
void PutBlock(Sink& s, const std::int16_t* l, const BlockCodes& c)
{
    using namespace syntax;
    const int pattern = ((l[2] | l[3] | l[6] | l[7]) ? 4 : 0) | ((l[8] | l[9] | l[12] | l[13]) ? 2 : 0) |
                        ((l[10] | l[11] | l[14] | l[15]) ? 1 : 0);
    const int first = Class(l[0], 3) * 27 + Class(l[1], 2) * 9 + Class(l[4], 2) * 3 + Class(l[5], 2);
    s.Put(c.first[first * 8 + pattern]);
    PutLevel(s, l[0], 3, c.coefficient);
    PutLevel(s, l[1], 2, c.coefficient);
    PutLevel(s, l[4], 2, c.coefficient);
    PutLevel(s, l[5], 2, c.coefficient);
    if (pattern & 4)
        PutSubblock(s, c.second, l[2], l[3], l[6], l[7], c.coefficient);
    if (pattern & 2)
        PutSubblock(s, c.second, l[8], l[12], l[9], l[13], c.coefficient);
    if (pattern & 1)
        PutSubblock(s, c.third, l[10], l[11], l[14], l[15], c.coefficient);
}

// The coded-block pattern: bits 0-15 luma 4x4 blocks, 16-19 U, 20-23 V.
template <class Sink>
void PutCbp(Sink& s, const CoefficientCodes& set, int table, std::uint32_t cbp)
{
    static constexpr int kShift[4] = {0, 2, 8, 10};
    int quadrant[4];
    int pattern = 0;
    for (int q = 0; q < 4; ++q) {
        quadrant[q] = (cbp >> kShift[q]) & 0x33;
        if (quadrant[q])
            pattern |= 8 >> q;
    }
    int chroma = 0;
    for (int i = 0; i < 4; ++i)
        chroma = chroma * 3 + static_cast<int>(((cbp >> (16 + i)) & 1) + ((cbp >> (20 + i)) & 1));
    s.Put(set.cbpPattern[table][chroma * 16 + pattern]);
    // Without a population count instruction in the baseline, std::popcount is a library call.
    static constexpr int kQuadrants[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    const int ones = kQuadrants[pattern] - 1;
    for (int q = 0; q < 4; ++q)
        if (quadrant[q])
            s.Put(set.cbp[table][ones][quadrant[q]]);
    for (int i = 0; i < 4; ++i) {
        const bool u = (cbp >> (16 + i)) & 1, v = (cbp >> (20 + i)) & 1;
        if (u != v)
            s.PutBit(u);
    }
}

// The 4x4 modes a block may take given the modes above and to the left (-1: none there).
inline unsigned AllowedModes(int top, int left, bool sliceTopRow)
{
    if (sliceTopRow)
        return 1u << 0 | 1u << 2;
    if (top >= 0 && left >= 0)
        return 0x1FF;
    if (left < 0)
        return top < 2 ? (1u << 0 | 1u << 1) : 1u << 0;
    return left == 0 || left == 2 ? (1u << 0 | 1u << 2) : 1u << 0;
}

int ModePairContext(int topRight, int top, int left);

// The sixteen 4x4 modes of a macroblock. above: the four modes over its top row and the one
// after; left: the modes left of its four rows (-1 where there is no neighbour). topOfSlice: the
// macroblock is in its slice's first row.
template <class Sink>
void PutModes(Sink& s, const Codes& codes, const std::int8_t* modes, const std::int8_t* above,
              const std::int8_t* left, bool topOfSlice)
{
    for (int i = 0; i < 4; ++i) {
        const std::int8_t* row = modes + i * 4;
        if (!i && topOfSlice) {
            s.Put(codes.topRowModes[(row[0] == 2) << 3 | (row[1] == 2) << 2 | (row[2] == 2) << 1 | (row[3] == 2)]);
            continue;
        }
        const std::int8_t* up = i ? modes + (i - 1) * 4 : above;
        for (int j = 0; j < 4; ++j) {
            const int b = up[j];
            const int c = j ? row[j - 1] : left[i];
            if (j < 3) {
                const int k = ModePairContext(up[j + 1], b, c);
                if (k >= 0) {
                    s.Put(codes.modePair[k][row[j] * 9 + row[j + 1]]);
                    ++j;
                    continue;
                }
            }
            if (b >= 0 && c >= 0)
                s.Put(codes.modeSingle[b + c * 10][row[j]]);
            else if ((c < 0 && b < 2) || c == 0 || c == 2)
                s.PutBit(row[j] == 0);
        }
    }
}

}  // namespace quenlar::rv40
