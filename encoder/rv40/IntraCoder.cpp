#include "IntraCoder.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "BitWriter.h"
#include "IntraPredict.h"
#include "Metrics.h"
#include "RdQuantise.h"
#include "Residual.h"

namespace quenlar::rv40 {
namespace {

std::int64_t RdCost(const FrameState& f, int ssd, const MbCoding& coding, const MbContext& ctx)
{
    BitCounter bits;
    PutMacroblock(bits, coding, ctx);
    return (std::int64_t{ssd} << 8) + f.lambdaSsd * bits.Bits();
}

}  // namespace

int WindowSsd(const Picture& source, int mbx, int mby, const MbWindow& window)
{
    const int x0 = mbx * 16, y0 = mby * 16;
    return Ssd(source.y.Row(y0) + x0, source.y.Stride(), window.Y(), MbWindow::kStride, 16, 16) +
           SsdPair8(source.u.Row(y0 / 2) + x0 / 2, source.v.Row(y0 / 2) + x0 / 2, source.u.Stride(), window.C(0),
                    window.C(1), MbWindow::kChromaStride, 8);
}

std::int64_t IntraCoder::Code(const FrameState& f, int mbx, int mby, const MbNeighbours& n, const MbContext& ctx,
                              MbWindow& window, MbCoding& out, std::int64_t limit, const Intra16Estimate* estimate)
{
    trial_.CopyEdgesFrom(window);
    const std::int64_t cost16 = Try16x16(f, mbx, mby, n, ctx, estimate, trial_, trialCoding_);
    // In P pictures sixteen 4x4 predictions win too seldom to be worth trying (0.03 dB for a
    // twentieth of the time).
    const std::int64_t cost4 =
        f.inter ? INT64_MAX : Try4x4(f, mbx, mby, n, ctx, std::min(cost16, limit), window, out);
    if (cost16 <= cost4) {
        std::memcpy(&window, &trial_, sizeof window);
        out = trialCoding_;
        return cost16;
    }
    return cost4;
}

int Intra16Estimate::Best() const
{
    return std::min({satd[0], satd[1], satd[2]});
}

Intra16Estimate IntraCoder::Estimate16x16(const FrameState& f, int mbx, int mby, const MbNeighbours& n,
                                          const MbWindow& w)
{
    const std::uint8_t* srcY = f.source->y.Row(mby * 16) + mbx * 16;
    alignas(16) std::uint8_t pred[16 * 16];
    Intra16Estimate e{{INT_MAX, INT_MAX, INT_MAX}};
    for (int mode = kIntra16Dc; mode <= kIntra16Horizontal; ++mode) {
        if ((mode == kIntra16Vertical && !n.top) || (mode == kIntra16Horizontal && !n.left))
            continue;
        Predict16x16(w.Y(), MbWindow::kStride, mode, n.top, n.left, pred, 16);
        e.satd[mode] = Satd(srcY, f.source->y.Stride(), pred, 16, 16, 16);
    }
    return e;
}

std::int64_t IntraCoder::Try16x16(const FrameState& f, int mbx, int mby, const MbNeighbours& n,
                                  const MbContext& ctx, const Intra16Estimate* estimate, MbWindow& w, MbCoding& out)
{
    const Picture& src = *f.source;
    const int x0 = mbx * 16, y0 = mby * 16;
    const std::uint8_t* srcY = src.y.Row(y0) + x0;
    const int ys = src.y.Stride();

    // Modes that the missing neighbours would turn into another one are not tried.
    int best = kIntra16Dc, bestCost = INT_MAX;
    alignas(16) std::uint8_t pred[16 * 16];
    for (int mode = kIntra16Dc; mode <= kIntra16Plane; ++mode) {
        if ((mode == kIntra16Vertical || mode == kIntra16Plane) && !n.top)
            continue;
        if ((mode == kIntra16Horizontal || mode == kIntra16Plane) && !n.left)
            continue;
        int cost;
        if (estimate && mode != kIntra16Plane) {
            cost = estimate->satd[mode];
        } else {
            Predict16x16(w.Y(), MbWindow::kStride, mode, n.top, n.left, pred, 16);
            cost = Satd(srcY, ys, pred, 16, 16, 16);
        }
        if (cost < bestCost) {
            bestCost = cost;
            best = mode;
        }
    }
    out.type = kMbIntra16;
    out.mode16 = best;
    out.mvCount = 0;
    Predict16x16(w.Y(), MbWindow::kStride, best, n.top, n.left, w.Y(), MbWindow::kStride);
    const RdWeights rd{CodesFor(*f.intraSet, 2, 0), f.lambdaSsd};
    out.cbp = CodeBlock16(srcY, ys, w.Y(), MbWindow::kStride, f.quantisers.intraDc, f.quantisers.luma16Ac, out.dc,
                          out.luma, &rd);
    std::fill(out.blockBits, out.blockBits + 16, std::int16_t{0});
    const Plane* planes[2] = {&src.u, &src.v};
    const RdWeights chromaRd{CodesFor(*f.intraSet, 0, 1), f.lambdaSsd};
    for (int k = 0; k < 2; ++k) {
        PredictChroma8x8(w.C(k), MbWindow::kChromaStride, best, n.top, n.left, w.C(k), MbWindow::kChromaStride);
        const unsigned cbp = CodeChroma8x8(planes[k]->Row(y0 / 2) + x0 / 2, planes[k]->Stride(), w.C(k),
                                           MbWindow::kChromaStride, f.quantisers.intraChroma, &out.chroma[k * 4],
                                           &chromaRd, out.blockBits + 16 + 4 * k);
        out.cbp |= cbp << (16 + 4 * k);
    }
    return RdCost(f, WindowSsd(src, mbx, mby, w), out, ctx);
}

std::int64_t IntraCoder::Try4x4(const FrameState& f, int mbx, int mby, const MbNeighbours& n, const MbContext& ctx,
                                std::int64_t limit, MbWindow& w, MbCoding& out)
{
    const Picture& src = *f.source;
    const int x0 = mbx * 16, y0 = mby * 16;
    const int ys = src.y.Stride();
    out.type = kMbIntra;
    out.mvCount = 0;
    out.cbp = 0;
    const RdWeights rd{CodesFor(*f.intraSet, 1, 0), f.lambdaSsd};
    const RdWeights chromaRd{CodesFor(*f.intraSet, 0, 1), f.lambdaSsd};
    std::int64_t lumaCost = 0;
    for (int b = 0; b < 16; ++b) {
        const int i = b & 3, j = b >> 2;
        const int top = j ? out.modes[b - 4] : ctx.above[i];
        const int left = i ? out.modes[b - 1] : ctx.left[j];
        const unsigned allowed = AllowedModes(top, left, !j && ctx.topOfSlice);
        const Neighbours nb{j > 0 || n.top, i > 0 || n.left, i == 0 && j < 3 && n.left,
                            j ? i < 3 : (i < 3 ? n.top : n.topRight)};
        std::uint8_t* dst = w.Y() + j * 4 * MbWindow::kStride + i * 4;
        const std::uint8_t* s = src.y.Row(y0 + j * 4) + x0 + i * 4;
        // The few best modes by SATD, then the best of those coded, by rate and distortion.
        int allowedModes[kIntra4x4Modes], allowedCount = 0;
        for (int mode = 0; mode < kIntra4x4Modes; ++mode)
            if (allowed >> mode & 1)
                allowedModes[allowedCount++] = mode;
        alignas(16) std::uint8_t preds[kIntra4x4Modes][16];
        int satd[kIntra4x4Modes];
        Predict4x4Modes(dst, MbWindow::kStride, allowedModes, allowedCount, nb, preds);
        Satd4x4Many(s, ys, preds, allowedCount, satd);
        int picks[kRdModes] = {}, costs[kRdModes] = {}, count = 0;
        for (int k = 0; k < allowedCount; ++k) {
            const int mode = allowedModes[k];
            const int bits = top >= 0 && left >= 0 ? f.codes->modeSingle[top + left * 10][mode].length : 1;
            const int cost = satd[k] * 256 + f.lambdaSatd * bits;
            int at = count < kRdModes ? count++ : kRdModes;
            while (at > 0 && costs[at - 1] > cost) {
                if (at < kRdModes) {
                    costs[at] = costs[at - 1];
                    picks[at] = picks[at - 1];
                }
                --at;
            }
            if (at < kRdModes) {
                costs[at] = cost;
                picks[at] = k;
            }
        }
        std::int64_t bestRd = INT64_MAX;
        alignas(16) std::uint8_t trial[16], kept[16];
        std::int16_t levels[16];
        for (int c = 0; c < count; ++c) {
            const int mode = allowedModes[picks[c]];
            std::memcpy(trial, preds[picks[c]], sizeof trial);
            int blockBits = 0;
            const bool coded = CodeBlock(s, ys, trial, 4, f.quantisers.intraLuma, levels, &rd, &blockBits);
            BitCounter bits;
            bits.Put(0, top >= 0 && left >= 0 ? f.codes->modeSingle[top + left * 10][mode].length : 1);
            if (coded)
                PutCodedBlock(bits, levels, rd.codes, blockBits);
            const std::int64_t cost = (std::int64_t{Ssd(s, ys, trial, 4, 4, 4)} << 8) + f.lambdaSsd * (bits.Bits() + 1);
            if (cost < bestRd) {
                bestRd = cost;
                out.modes[b] = static_cast<std::int8_t>(mode);
                std::memcpy(kept, trial, sizeof kept);
                std::memcpy(out.luma[b], levels, sizeof levels);
                out.blockBits[b] = static_cast<std::int16_t>(blockBits);
                if (coded)
                    out.cbp |= 1u << b;
                else
                    out.cbp &= ~(1u << b);
            }
        }
        for (int y = 0; y < 4; ++y)
            std::memcpy(dst + y * MbWindow::kStride, kept + y * 4, 4);
        // The blocks so far already cost more than the alternative: the rest cannot win it back.
        lumaCost += bestRd;
        if (lumaCost >= limit)
            return INT64_MAX;
    }
    const Plane* planes[2] = {&src.u, &src.v};
    for (int k = 0; k < 2; ++k)
        for (int b = 0; b < 4; ++b) {
            const int i = b & 1, j = b >> 1;
            const Neighbours nb{j > 0 || n.top, i > 0 || n.left, b == 0, j ? i == 0 : (i ? n.topRight : n.top)};
            std::uint8_t* dst = w.C(k) + j * 4 * MbWindow::kChromaStride + i * 4;
            Predict4x4(dst, MbWindow::kChromaStride, out.modes[j * 8 + i * 2], nb, dst, MbWindow::kChromaStride);
            int blockBits = 0;
            if (CodeBlock(planes[k]->Row(y0 / 2 + j * 4) + x0 / 2 + i * 4, planes[k]->Stride(), dst,
                          MbWindow::kChromaStride, f.quantisers.intraChroma, out.chroma[k * 4 + b], &chromaRd,
                          &blockBits))
                out.cbp |= 1u << (16 + 4 * k + b);
            out.blockBits[16 + 4 * k + b] = static_cast<std::int16_t>(blockBits);
        }
    return RdCost(f, WindowSsd(src, mbx, mby, w), out, ctx);
}

}  // namespace quenlar::rv40
