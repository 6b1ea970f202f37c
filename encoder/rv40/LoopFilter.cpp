#include "LoopFilter.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "tables/Rv40Tables.h"

namespace quenlar::rv40 {
namespace {

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

// One 4-pixel edge; vertical: the edge runs down (pixels across it are neighbours in a row).
void FilterEdge(std::uint8_t* src, int stride, int dither, int limQ1, int limP1, int alpha, int beta, int beta2,
                bool chroma, bool edge, bool vertical)
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
        const bool strongLeft = strong[kCur] || strong[kLeft];
        const bool strongTop = strong[kCur] || strong[kTop];

        const int ys = yPlane.Stride();
        for (int j = 0; j < 16; j += 4) {
            std::uint8_t* y = yPlane.Row(row * 16 + j) + x * 16;
            for (int i = 0; i < 4; ++i, y += 4) {
                const int ij = i + j;
                const int clipCur = yToDeblock & (1u << ij) ? clip[kCur] : 0;
                const int dither = j ? ij : i * 4;
                if (yH & (0x10u << ij))
                    FilterEdge(y + 4 * ys, ys, dither, yToDeblock & (0x10u << ij) ? clip[kCur] : 0, clipCur, alpha,
                               beta, betaY, false, false, false);
                if (yV & (1u << ij) && (i || !strongLeft)) {
                    const int clipLeft = !i ? (mvmasks[kLeft] & (0x8u << j) ? clip[kLeft] : 0)
                                            : (yToDeblock & (1u << (ij - 1)) ? clip[kCur] : 0);
                    FilterEdge(y, ys, dither, clipCur, clipLeft, alpha, beta, betaY, false, false, true);
                }
                if (!j && yH & (1u << i) && strongTop)
                    FilterEdge(y, ys, dither, clipCur, mvmasks[kTop] & (0x1000u << i) ? clip[kTop] : 0, alpha, beta,
                               betaY, false, true, false);
                if (yV & (1u << ij) && !i && strongLeft) {
                    const int clipLeft = mvmasks[kLeft] & (0x8u << j) ? clip[kLeft] : 0;
                    FilterEdge(y, ys, dither, clipCur, clipLeft, alpha, beta, betaY, false, true, true);
                }
            }
        }
        for (int k = 0; k < 2; ++k) {
            Plane& plane = *chromaPlanes[k];
            const int cs = plane.Stride();
            for (int j = 0; j < 2; ++j) {
                std::uint8_t* c = plane.Row(row * 8 + j * 4) + x * 8;
                for (int i = 0; i < 2; ++i, c += 4) {
                    const int ij = i + j * 2;
                    const int clipCur = cToDeblock[k] & (1u << ij) ? clip[kCur] : 0;
                    if (cH[k] & (1u << (ij + 2))) {
                        const int clipBottom = cToDeblock[k] & (1u << (ij + 2)) ? clip[kCur] : 0;
                        FilterEdge(c + 4 * cs, cs, i * 8, clipBottom, clipCur, alpha, beta, betaC, true, false, false);
                    }
                    if (cV[k] & (1u << ij) && (i || !strongLeft)) {
                        const int clipLeft = !i ? (uvcbp[kLeft][k] & (1 << (2 * j + 1)) ? clip[kLeft] : 0)
                                                : (cToDeblock[k] & (1u << (ij - 1)) ? clip[kCur] : 0);
                        FilterEdge(c, cs, j * 8, clipCur, clipLeft, alpha, beta, betaC, true, false, true);
                    }
                    if (!j && cH[k] & (1u << ij) && strongTop) {
                        const int clipTop = uvcbp[kTop][k] & (1 << (ij + 2)) ? clip[kTop] : 0;
                        FilterEdge(c, cs, i * 8, clipCur, clipTop, alpha, beta, betaC, true, true, false);
                    }
                    if (cV[k] & (1u << ij) && !i && strongLeft) {
                        const int clipLeft = uvcbp[kLeft][k] & (1 << (2 * j + 1)) ? clip[kLeft] : 0;
                        FilterEdge(c, cs, j * 8, clipCur, clipLeft, alpha, beta, betaC, true, true, true);
                    }
                }
            }
        }
    }
}

}  // namespace quenlar::rv40
