#include "MotionVectors.h"

#include <algorithm>
#include <cstdlib>

namespace quenlar::rv40 {
namespace {

inline int Median(int a, int b, int c)
{
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

inline Mv At(const std::int16_t mv[2])
{
    return {mv[0], mv[1]};
}

bool Differs(const std::int16_t a[2], const std::int16_t b[2])
{
    return std::abs(a[0] - b[0]) > 3 || std::abs(a[1] - b[1]) > 3;
}

}  // namespace

Mv PredictMv(const MvNeighbours& n, const std::int16_t current[4][2], int sub, int width)
{
    // A: left of the partition, B: above, C: above-right (above-left for the last 8x8 block).
    bool hasA = true, hasB = true;
    Mv a, b, c;
    switch (sub) {
    case 0:
        hasA = n.left;
        hasB = n.top;
        a = hasA ? At(n.left->mv[1]) : Mv{};
        b = hasB ? At(n.top->mv[2]) : a;
        break;
    case 1:
        hasB = n.top;
        a = At(current[0]);
        b = hasB ? At(n.top->mv[3]) : a;
        break;
    case 2:
        hasA = n.left;
        a = hasA ? At(n.left->mv[3]) : Mv{};
        b = At(current[0]);
        break;
    default:
        a = At(current[2]);
        b = At(current[1]);
        break;
    }
    const MbInfo* cMb = nullptr; // where C lies when it is in another macroblock
    int cBlock = -1;             // its 8x8 block, or in this macroblock
    bool hasC;
    if (sub == 3) {
        hasC = true;
        c = At(current[0]);
    } else if (sub == 0 && width == 2) {
        hasC = n.topRight, cMb = n.topRight, cBlock = 2;
    } else if (sub == 0) {
        hasC = n.top, cMb = n.top, cBlock = 3;
    } else if (sub == 1) {
        hasC = n.topRight, cMb = n.topRight, cBlock = 2;
    } else {
        hasC = width == 1; // the right half of the top row, decoded first; nothing right of a 16x8 half
        c = At(current[1]);
    }
    if (cMb && hasC)
        c = At(cMb->mv[cBlock]);
    if (!hasC) {
        // The block above-left instead, when there are blocks above and to the left.
        if (hasA && hasB)
            c = sub == 0 ? At(n.topLeft->mv[3]) : sub == 1 ? At(n.top->mv[2]) : At(n.left->mv[1]);
        else
            c = a;
    }
    return {Median(a.x, b.x, c.x), Median(a.y, b.y, c.y)};
}

std::uint16_t MotionEdges(const MvNeighbours& n, const std::int16_t mv[4][2], bool firstRow, bool leftColumn)
{
    static const std::int16_t kZero[2] = {0, 0};
    unsigned vertical = 0, horizontal = 0;
    for (int row = 0; row < 2; ++row)
        for (int i = 0; i < 2; ++i) {
            const std::int16_t* cur = mv[row * 2 + i];
            const std::int16_t* left = i ? mv[row * 2] : n.left ? n.left->mv[row * 2 + 1] : kZero;
            const std::int16_t* top = row ? mv[i] : n.top ? n.top->mv[2 + i] : kZero;
            if (Differs(cur, left))
                vertical |= 0x11u << (row * 8 + i * 2);
            if (Differs(cur, top))
                horizontal |= 0x03u << (row * 8 + i * 2);
        }
    if (firstRow)
        horizontal &= ~0x000Fu;
    if (leftColumn)
        vertical &= ~0x1111u;
    return static_cast<std::uint16_t>(horizontal | vertical);
}

}  // namespace quenlar::rv40
