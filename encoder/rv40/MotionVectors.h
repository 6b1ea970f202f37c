// Motion vector prediction and the loop filter's motion edges, as the decoder derives them.
#pragma once

#include <bit>
#include <cstdint>

#include "Macroblock.h"

namespace quenlar::rv40 {

struct Mv {
    int x = 0;
    int y = 0;
    // One test instead of two: the search compares vectors in its inner loops, unpredictably.
    bool operator==(const Mv& o) const { return ((x ^ o.x) | (y ^ o.y)) == 0; }
};

// The decoded macroblocks around one macroblock (null where unavailable); topLeft is given
// whenever top and left are, since the decoder reads it then.
struct MvNeighbours {
    const MbInfo* left;
    const MbInfo* top;
    const MbInfo* topRight;
    const MbInfo* topLeft;
};

// The prediction for the partition starting at 8x8 block `sub` (0-3, raster) that is `width`
// 8x8 blocks wide; `current` holds the vectors of the macroblock's earlier partitions.
Mv PredictMv(const MvNeighbours& n, const std::int16_t current[4][2], int sub, int width);

// The luma edges whose 8x8 blocks' vectors differ by a pixel or more, in the loop filter's
// pattern (bit 4 * y + x of each 4x4 block whose left or top edge is meant).
std::uint16_t MotionEdges(const MvNeighbours& n, const std::int16_t mv[4][2], bool firstRow, bool leftColumn);

// Bits of a signed interleaved exp-Golomb code.
inline int SignedCodeBits(int v)
{
    // 2v - 1 for positive v, -2v otherwise, without a branch on the sign.
    const unsigned sign = static_cast<unsigned>(v >> 31);
    const unsigned u = 2 * ((static_cast<unsigned>(v) ^ sign) - sign) - (v > 0);
    return 2 * std::bit_width(u + 1) - 1;
}

}  // namespace quenlar::rv40
