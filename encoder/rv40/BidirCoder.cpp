#include "BidirCoder.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "InterCoder.h"
#include "Metrics.h"
#include "MotionCompensate.h"
#include "Residual.h"

namespace quenlar::rv40 {
namespace {

Mv Scaled(const std::int16_t v[2], int fraction)
{
    auto one = [fraction](int c) { return (c * fraction + 0x2000) >> 14; };
    return {one(v[0]), one(v[1])};
}

int Median(int a, int b, int c)
{
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

void BlendWindows(const FrameState& f, bool weighted, const MbWindow& later, MbWindow& w, bool luma, bool chroma)
{
    auto blend = [&](const std::uint8_t* l, std::uint8_t* e, int stride, int size) {
        if (weighted)
            BlendWeighted(e, stride, l, stride, e, stride, size, size, f.weights);
        else
            BlendMean(e, stride, l, stride, e, stride, size, size);
    };
    if (luma)
        blend(later.Y(), w.Y(), MbWindow::kStride, 16);
    if (chroma) {
        blend(later.C(0), w.C(0), MbWindow::kChromaStride, 8);
        blend(later.C(1), w.C(1), MbWindow::kChromaStride, 8);
    }
}

int SatdOf(const FrameState& f, int mbx, int mby, const MbWindow& w)
{
    const Plane& y = f.source->y;
    return Satd(y.Row(mby * 16) + mbx * 16, y.Stride(), w.Y(), MbWindow::kStride, 16, 16);
}

}  // namespace

void BidirCoder::BeginFrame(const FrameState& f, const SubpelPlanes& earlier, const SubpelPlanes& later,
                            std::uint64_t laterSerial)
{
    std::swap(lastForward_, forward_);
    lastToEarlier_ = toEarlier_;
    toEarlier_ = f.weights.toEarlier;
    haveLast_ = lastSerial_ == laterSerial && lastToEarlier_ > 0;
    lastSerial_ = laterSerial;
    search_[0].SetFrame(f.source->y, f.reference->y, earlier, f.lambdaSatd);
    search_[1].SetFrame(f.source->y, f.later->y, later, f.lambdaSatd);
    mbWidth_ = f.mbWidth;
    const std::size_t count = static_cast<std::size_t>(f.mbWidth) * f.mbHeight;
    directions_.assign(count, 0);
    forward_.assign(count, Mv{});
    for (auto& v : vectors_)
        v.assign(count, Mv{});
}

void BidirCoder::PredictOneLuma(const Picture& ref, int mbx, int mby, Mv mv, MbWindow& w)
{
    PredictLumaAnywhere(ref.y, mbx * 16, mby * 16, mv.x, mv.y, 16, 16, w.Y(), MbWindow::kStride);
}

void BidirCoder::PredictOneChroma(const Picture& ref, int mbx, int mby, Mv mv, MbWindow& w)
{
    PredictChromaAnywhere(ref.u, mbx * 8, mby * 8, mv.x, mv.y, 8, 8, w.C(0), MbWindow::kChromaStride);
    PredictChromaAnywhere(ref.v, mbx * 8, mby * 8, mv.x, mv.y, 8, 8, w.C(1), MbWindow::kChromaStride);
}

void BidirCoder::PredictDirect(const FrameState& f, int mbx, int mby, MbWindow& w, bool luma, bool chroma)
{
    // The later reference's macroblock in the same place: its vectors scaled by the distances,
    // none where it was intra or skipped, per 8x8 block where it was split.
    const MbInfo& co = f.laterMbs[mby * f.mbWidth + mbx];
    const bool still = IsIntra(co.type) || co.type == kMbSkip;
    const bool split = co.type == kMbP16x8 || co.type == kMbP8x16 || co.type == kMbP8x8;
    Mv forward[4], backward[4];
    for (int i = 0; i < 4; ++i)
        if (!still) {
            forward[i] = Scaled(co.mv[i], f.weights.toEarlier);
            backward[i] = Scaled(co.mv[i], -f.weights.toLater);
        }
    if (!split) {
        if (luma) {
            PredictOneLuma(*f.reference, mbx, mby, forward[0], w);
            PredictOneLuma(*f.later, mbx, mby, backward[0], other_);
        }
        if (chroma) {
            PredictOneChroma(*f.reference, mbx, mby, forward[0], w);
            PredictOneChroma(*f.later, mbx, mby, backward[0], other_);
        }
    } else {
        const int x0 = mbx * 16, y0 = mby * 16;
        for (int d = 0; d < 2; ++d) {
            const Picture& ref = d ? *f.later : *f.reference;
            MbWindow& out = d ? other_ : w;
            for (int b = 0; b < 4; ++b) {
                const Mv mv = d ? backward[b] : forward[b];
                const int bx = (b & 1) * 8, by = (b >> 1) * 8;
                if (luma)
                    PredictLumaAnywhere(ref.y, x0 + bx, y0 + by, mv.x, mv.y, 8, 8,
                                        out.Y() + by * MbWindow::kStride + bx, MbWindow::kStride);
                if (!chroma)
                    continue;
                const int cx = x0 / 2 + bx / 2, cy = y0 / 2 + by / 2;
                const int offset = by / 2 * MbWindow::kChromaStride + bx / 2;
                PredictChromaAnywhere(ref.u, cx, cy, mv.x, mv.y, 4, 4, out.C(0) + offset, MbWindow::kChromaStride);
                PredictChromaAnywhere(ref.v, cx, cy, mv.x, mv.y, 4, 4, out.C(1) + offset, MbWindow::kChromaStride);
            }
        }
    }
    BlendWindows(f, f.weights.weighted, other_, w, luma, chroma);
}

Mv BidirCoder::PredictVector(const FrameState& f, int mbx, int mby, const MbNeighbours& n, int dir) const
{
    // Only neighbours with a vector in the same direction count: the median of three, the mean
    // of two (rounded towards zero), else the one there is, or none.
    const int index = mby * f.mbWidth + mbx;
    const unsigned mask = 1u << dir;
    const std::vector<Mv>& v = vectors_[dir];
    Mv sum;
    Mv a, b, c;
    int count = 0;
    auto take = [&](int at, Mv& into) {
        into = v[at];
        sum.x += into.x;
        sum.y += into.y;
        ++count;
    };
    if (n.left && (directions_[index - 1] & mask))
        take(index - 1, a);
    if (n.top && (directions_[index - f.mbWidth] & mask))
        take(index - f.mbWidth, b);
    if (n.top && n.topRight && (directions_[index - f.mbWidth + 1] & mask))
        take(index - f.mbWidth + 1, c);
    else if (mbx + 1 == f.mbWidth && n.topLeft && (directions_[index - f.mbWidth - 1] & mask))
        take(index - f.mbWidth - 1, c);
    if (count == 3)
        return {Median(a.x, b.x, c.x), Median(a.y, b.y, c.y)};
    if (count == 2)
        return {sum.x / 2, sum.y / 2};
    return sum;
}

bool BidirCoder::Code(const FrameState& f, int mbx, int mby, const MbNeighbours& n, const MbContext& ctx,
                      MbWindow& window, MbCoding& out, std::int16_t mv[4][2])
{
    const Picture& src = *f.source;
    const int x0 = mbx * 16, y0 = mby * 16;
    const int index = mby * f.mbWidth + mbx;
    std::memset(mv, 0, sizeof(std::int16_t) * 8);
    directions_[index] = 0;

    // Skipped: the direct prediction with nothing coded, taken at once where it leaves little.
    MbWindow* best = &best_;
    MbWindow* trial = &trial_;
    // Its chroma is predicted only once the skip may still win: where the luma alone leaves too
    // much for it to be taken at once, and the coding found beats it on the luma's error alone,
    // it never counts.
    best->CopyEdgesFrom(window);
    PredictDirect(f, mbx, mby, *best, true, false);
    const std::int64_t lumaSsd = Ssd(src.y.Row(y0) + x0, src.y.Stride(), best->Y(), MbWindow::kStride, 16, 16);
    bool haveChroma = false;
    std::int64_t bestCost = 0;
    auto withChroma = [&] {
        if (haveChroma)
            return;
        PredictDirect(f, mbx, mby, *best, false, true);
        const std::int64_t chromaSsd = SsdPair8(src.u.Row(y0 / 2) + x0 / 2, src.v.Row(y0 / 2) + x0 / 2,
                                                src.u.Stride(), best->C(0), best->C(1), MbWindow::kChromaStride, 8);
        bestCost = ((lumaSsd + chromaSsd) << 8) + f.lambdaSsd;
        haveChroma = true;
    };
    if (lumaSsd * 256 < kQuietSkipBits * f.lambdaSsd) {
        withChroma();
        const std::int64_t skipSsd = (bestCost - f.lambdaSsd) >> 8;
        const bool quiet = skipSsd * 256 < kQuietSkipBits * f.lambdaSsd;
        if (skipSsd * 256 < kEarlySkipBits * f.lambdaSsd ||
            (quiet && QuantisesToZero(src.y.Row(y0) + x0, src.y.Stride(), best->Y(), MbWindow::kStride, 16, 16,
                                      f.quantisers.interLuma))) {
            std::memcpy(&window, best, sizeof window);
            return true;
        }
    }
    bool skip = true;

    const rv40::Code* typeCodes = ctx.codes->bType[ctx.typeContext];
    auto bitsCost = [&f](int bits) { return (bits * f.lambdaSatd) >> 8; };
    const int directCost = SatdOf(f, mbx, mby, *best) + bitsCost(typeCodes[kMbDirect].length);

    // Each direction searched on its own from its prediction, the neighbours' vectors and the
    // direct vector.
    Mv pred[2];
    SearchResult found[2];
    const MbInfo& co = f.laterMbs[index];
    const bool still = IsIntra(co.type) || co.type == kMbSkip;
    for (int d = 0; d < 2; ++d) {
        pred[d] = PredictVector(f, mbx, mby, n, d);
        Mv candidates[7];
        int count = 0;
        candidates[count++] = Mv{};
        if (!still)
            candidates[count++] = Scaled(co.mv[0], d ? -f.weights.toLater : f.weights.toEarlier);
        if (n.left && (directions_[index - 1] & (1u << d)))
            candidates[count++] = vectors_[d][index - 1];
        if (n.top && (directions_[index - f.mbWidth] & (1u << d)))
            candidates[count++] = vectors_[d][index - f.mbWidth];
        if (d == 1) {
            // The later direction refines the earlier one's vector turned round and scaled to
            // its distance, beside its own candidates: on film its own full search found next to
            // nothing more (0.015 dB) for 11 % of the conversion's time.
            const int toward = -f.weights.toLater, from = f.weights.toEarlier;
            if (from > 0)
                candidates[count++] = Mv{found[0].mv.x * toward / from, found[0].mv.y * toward / from};
            candidates[count++] = pred[d];
            found[d] = search_[d].Refine(x0, y0, 16, 16, pred[d], candidates, count);
        } else {
            // The earlier direction refines its candidates too, with the vector of the B picture
            // before between the same references scaled to this one's distance, in two rounds:
            // on film 5.5 % fewer instructions than its own full search for 0.01 dB or less
            // (one round and no such vector saved 8 % for 0.025).
            candidates[count++] = pred[d];
            if (haveLast_)
                candidates[count++] = Mv{lastForward_[index].x * f.weights.toEarlier / lastToEarlier_,
                                         lastForward_[index].y * f.weights.toEarlier / lastToEarlier_};
            found[d] = search_[d].Refine(x0, y0, 16, 16, pred[d], candidates, count, 2);
            forward_[index] = found[d].mv;
        }
    }
    const int oneWay[2] = {found[0].cost + bitsCost(typeCodes[kMbForward].length),
                           found[1].cost + bitsCost(typeCodes[kMbBackward].length)};
    // The luma of each direction (forward in `trial`, backward in `other_`) and their mean in
    // `both_`; the chroma waits for the type chosen.
    PredictOneLuma(*f.reference, mbx, mby, found[0].mv, *trial);
    PredictOneLuma(*f.later, mbx, mby, found[1].mv, other_);
    BlendMean(trial->Y(), MbWindow::kStride, other_.Y(), MbWindow::kStride, both_.Y(), MbWindow::kStride, 16, 16);
    const int vectorBits = SignedCodeBits(found[0].mv.x - pred[0].x) + SignedCodeBits(found[0].mv.y - pred[0].y) +
                           SignedCodeBits(found[1].mv.x - pred[1].x) + SignedCodeBits(found[1].mv.y - pred[1].y);
    const int bidirCost = SatdOf(f, mbx, mby, both_) + bitsCost(vectorBits + typeCodes[kMbBidir].length);

    MbType type = kMbDirect;
    int interCost = directCost;
    if (oneWay[0] < interCost)
        interCost = oneWay[0], type = kMbForward;
    if (oneWay[1] < interCost)
        interCost = oneWay[1], type = kMbBackward;
    if (bidirCost < interCost)
        interCost = bidirCost, type = kMbBidir;

    MbCoding& coding = trialCoding_;
    coding.type = type;
    coding.mvCount = 0;
    // The forward luma is still in `trial`: copying the edges leaves the block itself alone.
    trial->CopyEdgesFrom(window);
    auto copyLuma = [trial](const MbWindow& from) {
        for (int y = 0; y < 16; ++y)
            std::memcpy(trial->Y() + y * MbWindow::kStride, from.Y() + y * MbWindow::kStride, 16);
    };
    if (type == kMbDirect) {
        withChroma();
        std::memcpy(trial->luma, best->luma, sizeof trial->luma);
        std::memcpy(trial->chroma, best->chroma, sizeof trial->chroma);
    } else if (type == kMbForward) {
        PredictOneChroma(*f.reference, mbx, mby, found[0].mv, *trial);
    } else if (type == kMbBackward) {
        copyLuma(other_);
        PredictOneChroma(*f.later, mbx, mby, found[1].mv, *trial);
    } else {
        copyLuma(both_);
        PredictOneChroma(*f.reference, mbx, mby, found[0].mv, *trial);
        PredictOneChroma(*f.later, mbx, mby, found[1].mv, other_);
        for (int k = 0; k < 2; ++k)
            BlendMean(trial->C(k), MbWindow::kChromaStride, other_.C(k), MbWindow::kChromaStride, trial->C(k),
                      MbWindow::kChromaStride, 8, 8);
    }
    for (int d = 0; d < 2; ++d)
        if (type == kMbBidir || (type == kMbForward && !d) || (type == kMbBackward && d)) {
            coding.mvd[coding.mvCount][0] = static_cast<std::int16_t>(found[d].mv.x - pred[d].x);
            coding.mvd[coding.mvCount][1] = static_cast<std::int16_t>(found[d].mv.y - pred[d].y);
            ++coding.mvCount;
        }
    const std::int64_t interRd = CodeInterResidual(f, mbx, mby, ctx, coding, *trial);
    if (interRd >= (lumaSsd << 8) + f.lambdaSsd)
        withChroma();
    else if (!haveChroma)
        bestCost = INT64_MAX; // beaten whatever its chroma
    // A direct macroblock without residual decodes as the skip does.
    if (interRd < bestCost && !(type == kMbDirect && !coding.cbp)) {
        bestCost = interRd;
        skip = false;
        out = coding;
        std::swap(best, trial);
    } else {
        type = kMbDirect;
    }
    trial->CopyEdgesFrom(window);
    if (interCost * 256 > kIntraThreshold * f.lambdaSatd) {
        const Intra16Estimate estimate = IntraCoder::Estimate16x16(f, mbx, mby, n, *trial);
        const std::int64_t intraCost = estimate.Best() < interCost
                                           ? intra_.Code(f, mbx, mby, n, ctx, *trial, trialCoding_, bestCost, &estimate)
                                           : INT64_MAX;
        if (intraCost < bestCost) {
            skip = false;
            out = trialCoding_;
            type = kMbIntra;
            std::swap(best, trial);
        }
    }
    const unsigned directions = type == kMbForward ? 1 : type == kMbBackward ? 2 : type == kMbBidir ? 3 : 0;
    directions_[index] = static_cast<std::uint8_t>(directions);
    for (int d = 0; d < 2; ++d)
        if (directions & (1u << d))
            vectors_[d][index] = found[d].mv;
    if (directions & 1)
        for (int i = 0; i < 4; ++i) {
            mv[i][0] = static_cast<std::int16_t>(found[0].mv.x);
            mv[i][1] = static_cast<std::int16_t>(found[0].mv.y);
        }
    std::memcpy(&window, best, sizeof window);
    return skip;
}

}  // namespace quenlar::rv40
