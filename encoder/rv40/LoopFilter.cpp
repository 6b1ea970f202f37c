#include "LoopFilter.h"

#include <cstdint>

#include "EdgeFilter.h"
#include "tables/Rv40Tables.h"

namespace quenlar::rv40 {
namespace {

enum { kCur, kTop, kLeft, kBottom };

}  // namespace

void FilterRow(const FilterFrame& frame, int row)
{
    const int mbWidth = frame.mbWidth;
    const int q = frame.quant;
    MbInfo* rowMbs = frame.mbs + row * mbWidth;
    for (int x = 0; x < mbWidth; ++x) {
        MbInfo& mb = rowMbs[x];
        if (mb.strong)
            mb.cbpLuma = mb.deblock = 0xFFFF;
        if (mb.type == kMbIntra || mb.type == kMbIntra16)
            mb.cbpChroma = 0xFF;
    }
    const int alpha = tables::kFilterAlpha[q];
    const int beta = tables::kFilterBeta[q];
    const int betaY = beta * 3 + (frame.small ? beta : 0);
    const int betaC = beta * 3;
    Plane& yPlane = frame.picture->y;
    Plane* chromaPlanes[2] = {&frame.picture->u, &frame.picture->v};

    for (int x = 0; x < mbWidth; ++x) {
        const bool avail[4] = {true, row > 0, x > 0, row < frame.mbHeight - 1};
        const int offset[4] = {0, -mbWidth, -1, mbWidth};
        unsigned mvmasks[4];
        int cbp[4], uvcbp[4][2], clip[4];
        bool strong[4];
        for (int i = 0; i < 4; ++i) {
            const MbInfo& n = avail[i] ? frame.mbs[(row * mbWidth + x) + offset[i]] : rowMbs[x];
            mvmasks[i] = avail[i] ? n.deblock : 0;
            cbp[i] = avail[i] ? n.cbpLuma : 0;
            uvcbp[i][0] = avail[i] ? n.cbpChroma & 15 : 0;
            uvcbp[i][1] = avail[i] ? n.cbpChroma >> 4 : 0;
            strong[i] = n.strong;
            clip[i] = tables::kFilterClip[strong[i] + 1][q];
        }
        const unsigned yToDeblock = mvmasks[kCur] | (mvmasks[kBottom] << 16);
        unsigned yH = yToDeblock | ((cbp[kCur] << 4) & ~0x000Fu) | ((cbp[kTop] & 0xF000) >> 12);
        unsigned yV = yToDeblock | ((cbp[kCur] << 1) & ~0x1111u) | ((cbp[kLeft] & 0x8888) >> 3);
        if (!x)
            yV &= ~0x1111u;
        if (!row)
            yH &= ~0x000Fu;
        const bool strongBelow = row == frame.mbHeight - 1 || strong[kCur] || strong[kBottom];
        if (strongBelow)
            yH &= ~(0x000Fu << 16);
        unsigned cToDeblock[2], cV[2], cH[2];
        for (int i = 0; i < 2; ++i) {
            cToDeblock[i] = (uvcbp[kBottom][i] << 4) | uvcbp[kCur][i];
            cV[i] = cToDeblock[i] | ((uvcbp[kCur][i] << 1) & ~0x5u) | ((uvcbp[kLeft][i] & 0xA) >> 1);
            cH[i] = cToDeblock[i] | ((uvcbp[kTop][i] & 0xC) >> 2) | (uvcbp[kCur][i] << 2);
            if (!x)
                cV[i] &= ~0x5u;
            if (!row)
                cH[i] &= ~0x3u;
            if (strongBelow)
                cH[i] &= ~(0x3u << 4);
        }
        // Most macroblocks of a P picture have no edge to filter at all.
        if (!(yH | yV | cH[0] | cV[0] | cH[1] | cV[1]))
            continue;
        const bool strongLeft = strong[kCur] || strong[kLeft];
        const bool strongTop = strong[kCur] || strong[kTop];

        // The edges inside the macroblock between rows of blocks first, a row at a time, then
        // the others a column at a time, where the decoder goes block by block: no pixel that one
        // of these edges changes is read by another that the decoder filters before it and this
        // order after, so the picture is the same.
        const int ys = yPlane.Stride();
        std::uint8_t* const yTop = yPlane.Row(row * 16) + x * 16;
        for (int j = 0; j < 16; j += 4) {
            int below[4], above[4];
            for (int i = 0; i < 4; ++i) {
                below[i] = yToDeblock & (0x10u << (i + j)) ? clip[kCur] : 0;
                above[i] = yToDeblock & (1u << (i + j)) ? clip[kCur] : 0;
            }
            if (const unsigned segments = yH >> (4 + j) & 0xF)
                FilterInnerEdge(yTop + (j + 4) * ys, ys, false, 4, segments, below, above, alpha, beta);
        }
        for (int i = 0; i < 4; ++i) {
            std::uint8_t* const y = yTop + 4 * i;
            const int clipTopRow = yToDeblock & (1u << i) ? clip[kCur] : 0;
            if (i || !strongLeft) {
                unsigned segments = 0;
                int right[4], left[4];
                for (int k = 0; k < 4; ++k) {
                    const int ij = i + 4 * k;
                    segments |= (yV >> ij & 1) << k;
                    right[k] = yToDeblock & (1u << ij) ? clip[kCur] : 0;
                    left[k] = !i ? (mvmasks[kLeft] & (0x8u << 4 * k) ? clip[kLeft] : 0)
                                 : (yToDeblock & (1u << (ij - 1)) ? clip[kCur] : 0);
                }
                if (segments)
                    FilterInnerEdge(y, ys, true, 4, segments, right, left, alpha, beta);
            }
            if (yH & (1u << i) && strongTop)
                FilterEdge(y, ys, i * 4, clipTopRow, mvmasks[kTop] & (0x1000u << i) ? clip[kTop] : 0, alpha, beta,
                           betaY, false, true, false);
            if (!i && strongLeft)
                for (int j = 0; j < 16; j += 4)
                    if (yV & (1u << j))
                        FilterEdge(y + j * ys, ys, j, yToDeblock & (1u << j) ? clip[kCur] : 0,
                                   mvmasks[kLeft] & (0x8u << j) ? clip[kLeft] : 0, alpha, beta, betaY, false, true,
                                   true);
        }
        for (int k = 0; k < 2; ++k) {
            Plane& plane = *chromaPlanes[k];
            const int cs = plane.Stride();
            std::uint8_t* const cTop = plane.Row(row * 8) + x * 8;
            for (int j = 0; j < 2; ++j) {
                int below[4] = {}, above[4] = {};
                for (int i = 0; i < 2; ++i) {
                    below[i] = cToDeblock[k] & (1u << (i + j * 2 + 2)) ? clip[kCur] : 0;
                    above[i] = cToDeblock[k] & (1u << (i + j * 2)) ? clip[kCur] : 0;
                }
                if (const unsigned segments = cH[k] >> (2 + j * 2) & 3)
                    FilterInnerEdge(cTop + (j * 4 + 4) * cs, cs, false, 2, segments, below, above, alpha, beta);
            }
            for (int i = 0; i < 2; ++i) {
                std::uint8_t* const c = cTop + 4 * i;
                if (i || !strongLeft) {
                    unsigned segments = 0;
                    int right[4] = {}, left[4] = {};
                    for (int j = 0; j < 2; ++j) {
                        const int ij = i + j * 2;
                        segments |= (cV[k] >> ij & 1) << j;
                        right[j] = cToDeblock[k] & (1u << ij) ? clip[kCur] : 0;
                        left[j] = !i ? (uvcbp[kLeft][k] & (1 << (2 * j + 1)) ? clip[kLeft] : 0)
                                     : (cToDeblock[k] & (1u << (ij - 1)) ? clip[kCur] : 0);
                    }
                    if (segments)
                        FilterInnerEdge(c, cs, true, 2, segments, right, left, alpha, beta);
                }
                if (cH[k] & (1u << i) && strongTop)
                    FilterEdge(c, cs, i * 8, cToDeblock[k] & (1u << i) ? clip[kCur] : 0,
                               uvcbp[kTop][k] & (1 << (i + 2)) ? clip[kTop] : 0, alpha, beta, betaC, true, true, false);
                if (!i && strongLeft)
                    for (int j = 0; j < 2; ++j)
                        if (cV[k] & (1u << (j * 2)))
                            FilterEdge(c + j * 4 * cs, cs, j * 8, cToDeblock[k] & (1u << (j * 2)) ? clip[kCur] : 0,
                                       uvcbp[kLeft][k] & (1 << (2 * j + 1)) ? clip[kLeft] : 0, alpha, beta, betaC,
                                       true, true, true);
            }
        }
    }
}

}  // namespace quenlar::rv40
