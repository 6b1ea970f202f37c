#include "InterCoder.h"

#include <cstring>

#include "BitWriter.h"
#include "MotionCompensate.h"
#include "Residual.h"

namespace quenlar::rv40 {
namespace {

void Fill(std::int16_t mv[4][2], int first, int count, int step, Mv v)
{
    for (int i = 0; i < count; ++i) {
        mv[first + i * step][0] = static_cast<std::int16_t>(v.x);
        mv[first + i * step][1] = static_cast<std::int16_t>(v.y);
    }
}

// The 8x8 blocks a partition covers: its first block, how many, and the step between them.
struct Partition {
    int first;
    int count;
    int step;
    int width; // in 8x8 blocks
    int x;     // pixel offset in the macroblock
    int y;
    int w;
    int h;
};

int Partitions(MbType type, Partition out[4])
{
    switch (type) {
    case kMbP16x8:
        out[0] = {0, 2, 1, 2, 0, 0, 16, 8};
        out[1] = {2, 2, 1, 2, 0, 8, 16, 8};
        return 2;
    case kMbP8x16:
        out[0] = {0, 2, 2, 1, 0, 0, 8, 16};
        out[1] = {1, 2, 2, 1, 8, 0, 8, 16};
        return 2;
    case kMbP8x8:
        for (int i = 0; i < 4; ++i)
            out[i] = {i, 1, 1, 1, (i & 1) * 8, (i >> 1) * 8, 8, 8};
        return 4;
    default:
        out[0] = {0, 4, 1, 2, 0, 0, 16, 16};
        return 1;
    }
}

// Whether the skipped macroblock's residual quantises to nothing anywhere.
bool SkipCodesNothing(const FrameState& f, int mbx, int mby, const MbWindow& w)
{
    const Picture& src = *f.source;
    const int x0 = mbx * 16, y0 = mby * 16;
    return QuantisesToZero(src.y.Row(y0) + x0, src.y.Stride(), w.Y(), MbWindow::kStride, 16, 16,
                           f.quantisers.interLuma) &&
           QuantisesToZero(src.u.Row(y0 / 2) + x0 / 2, src.u.Stride(), w.C(0), MbWindow::kChromaStride, 8, 8,
                           f.quantisers.interChroma) &&
           QuantisesToZero(src.v.Row(y0 / 2) + x0 / 2, src.v.Stride(), w.C(1), MbWindow::kChromaStride, 8, 8,
                           f.quantisers.interChroma);
}

}  // namespace

std::int64_t CodeInterResidual(const FrameState& f, int mbx, int mby, const MbContext& ctx, MbCoding& coding,
                               MbWindow& w)
{
    const Picture& src = *f.source;
    const int x0 = mbx * 16, y0 = mby * 16;
    const std::uint8_t* srcY = src.y.Row(y0) + x0;
    const int ys = src.y.Stride();
    coding.cbp = 0;
    const RdWeights rd{CodesFor(*f.interSet, 0, 0), f.lambdaSsd};
    coding.cbp = CodeLuma16x16(srcY, ys, w.Y(), MbWindow::kStride, f.quantisers.interLuma, coding.luma, &rd,
                               coding.blockBits);
    const Plane* planes[2] = {&src.u, &src.v};
    const RdWeights chromaRd{CodesFor(*f.interSet, 1, 1), f.lambdaSsd};
    for (int k = 0; k < 2; ++k) {
        const unsigned cbp = CodeChroma8x8(planes[k]->Row(y0 / 2) + x0 / 2, planes[k]->Stride(), w.C(k),
                                           MbWindow::kChromaStride, f.quantisers.interChroma, &coding.chroma[k * 4],
                                           &chromaRd, coding.blockBits + 16 + 4 * k);
        coding.cbp |= cbp << (16 + 4 * k);
    }
    BitCounter bits;
    PutMacroblock(bits, coding, ctx);
    return (std::int64_t{WindowSsd(src, mbx, mby, w)} << 8) + f.lambdaSsd * (bits.Bits() + 1);
}

void InterCoder::BeginFrame(const FrameState& f, const SubpelPlanes& planes)
{
    search_.SetFrame(f.source->y, f.reference->y, planes, f.lambdaSatd);
    mbWidth_ = f.mbWidth;
    const std::size_t count = static_cast<std::size_t>(f.mbWidth) * f.mbHeight;
    std::swap(previous_, current_);
    if (previous_.size() != count)
        previous_.assign(count, Mv{});
    current_.assign(count, Mv{});
}

int InterCoder::SearchPartitions(int mbx, int mby, MbType type, const MvNeighbours& mvn,
                                 const std::int16_t start[4][2], std::int16_t mv[4][2], std::int16_t mvd[4][2])
{
    Partition parts[4];
    const int count = Partitions(type, parts);
    int total = 0;
    for (int p = 0; p < count; ++p) {
        const Partition& part = parts[p];
        const Mv pred = PredictMv(mvn, mv, part.first, part.width);
        const Mv candidates[2] = {{start[part.first][0], start[part.first][1]}, pred};
        const SearchResult r =
            search_.Refine(mbx * 16 + part.x, mby * 16 + part.y, part.w, part.h, pred, candidates, 2);
        Fill(mv, part.first, part.count, part.step, r.mv);
        mvd[p][0] = static_cast<std::int16_t>(r.mv.x - pred.x);
        mvd[p][1] = static_cast<std::int16_t>(r.mv.y - pred.y);
        total += r.cost;
    }
    return total;
}

std::int64_t InterCoder::Reconstruct(const FrameState& f, int mbx, int mby, const MbContext& ctx,
                                     const std::int16_t mv[4][2], MbCoding& coding, MbWindow& w)
{
    const Picture& ref = *f.reference;
    const int x0 = mbx * 16, y0 = mby * 16;
    Partition parts[4];
    const int count = Partitions(coding.type, parts);
    for (int p = 0; p < count; ++p) {
        const Partition& part = parts[p];
        const int mvx = mv[part.first][0], mvy = mv[part.first][1];
        PredictLuma(ref.y, x0 + part.x, y0 + part.y, mvx, mvy, part.w, part.h,
                    w.Y() + part.y * MbWindow::kStride + part.x, MbWindow::kStride);
        PredictChroma(ref.u, x0 / 2 + part.x / 2, y0 / 2 + part.y / 2, mvx, mvy, part.w / 2, part.h / 2,
                      w.C(0) + part.y / 2 * MbWindow::kChromaStride + part.x / 2, MbWindow::kChromaStride);
        PredictChroma(ref.v, x0 / 2 + part.x / 2, y0 / 2 + part.y / 2, mvx, mvy, part.w / 2, part.h / 2,
                      w.C(1) + part.y / 2 * MbWindow::kChromaStride + part.x / 2, MbWindow::kChromaStride);
    }
    return CodeInterResidual(f, mbx, mby, ctx, coding, w);
}

bool InterCoder::Code(const FrameState& f, int mbx, int mby, const MbNeighbours& n, const MvNeighbours& mvn,
                      const MbContext& ctx, MbWindow& window, MbCoding& out, std::int16_t mv[4][2])
{
    const Picture& src = *f.source;
    const Picture& ref = *f.reference;
    const int x0 = mbx * 16, y0 = mby * 16;
    const int index = mby * f.mbWidth + mbx;
    std::int16_t zero[4][2] = {};
    std::memcpy(mv, zero, sizeof zero);

    // Skipped: the picture before, unmoved, and nothing coded. Where that leaves less error than
    // a few bits are worth, no coding could pay for itself and nothing else is tried; nor where
    // it leaves somewhat more but nothing the quantiser would keep (on film a third of the skips
    // are found so, at 0.02 dB). The best coding so far and the one being tried are in two
    // windows whose roles swap.
    MbWindow* best = &best_;
    MbWindow* trial = &trial_;
    best->CopyEdgesFrom(window);
    PredictLuma(ref.y, x0, y0, 0, 0, 16, 16, best->Y(), MbWindow::kStride);
    PredictChroma(ref.u, x0 / 2, y0 / 2, 0, 0, 8, 8, best->C(0), MbWindow::kChromaStride);
    PredictChroma(ref.v, x0 / 2, y0 / 2, 0, 0, 8, 8, best->C(1), MbWindow::kChromaStride);
    const std::int64_t skipSsd = WindowSsd(src, mbx, mby, *best);
    if (skipSsd * 256 < kEarlySkipBits * f.lambdaSsd ||
        (skipSsd * 256 < kQuietSkipBits * f.lambdaSsd && SkipCodesNothing(f, mbx, mby, *best))) {
        std::memcpy(&window, best, sizeof window);
        return true;
    }
    std::int64_t bestCost = (skipSsd << 8) + f.lambdaSsd;
    bool skip = true;

    // 16x16 from the neighbours' and the last picture's vectors.
    const Mv pred16 = PredictMv(mvn, zero, 0, 2);
    Mv candidates[5];
    int count = 0;
    candidates[count++] = Mv{};
    candidates[count++] = previous_[index];
    if (mvn.left)
        candidates[count++] = {mvn.left->mv[1][0], mvn.left->mv[1][1]};
    if (mvn.top)
        candidates[count++] = {mvn.top->mv[2][0], mvn.top->mv[2][1]};
    if (mvn.topRight)
        candidates[count++] = {mvn.topRight->mv[2][0], mvn.topRight->mv[2][1]};
    const SearchResult r16 = search_.Search(x0, y0, 16, 16, pred16, candidates, count);
    current_[index] = r16.mv;

    // Smaller partitions where the 16x16 prediction leaves much unexplained; their SATD decides.
    MbType type = kMbP16x16;
    std::int16_t typeMv[4][2];
    Fill(typeMv, 0, 4, 1, r16.mv);
    MbCoding& coding = trialCoding_;
    coding.type = kMbP16x16;
    coding.mvCount = 1;
    coding.mvd[0][0] = static_cast<std::int16_t>(r16.mv.x - pred16.x);
    coding.mvd[0][1] = static_cast<std::int16_t>(r16.mv.y - pred16.y);
    const int typeBits = 3; // roughly what a partitioned type costs over 16x16
    int interCost = r16.cost;
    if (std::int64_t{r16.cost} * 256 > std::int64_t{kSplitThreshold} * f.lambdaSatd) {
        // The halves first; 8x8 only where a half split pays, from its vectors.
        std::int16_t splitMv[4][2], splitMvd[4][2];
        for (const MbType t : {kMbP16x8, kMbP8x16, kMbP8x8}) {
            if (t == kMbP8x8 && type == kMbP16x16)
                break;
            std::memset(splitMv, 0, sizeof splitMv);
            // Each part starts from the vector of the best split so far that covers it.
            const int cost = SearchPartitions(mbx, mby, t, mvn, typeMv, splitMv, splitMvd) +
                             ((typeBits * f.lambdaSatd) >> 8);
            if (cost < interCost) {
                interCost = cost;
                type = t;
                coding.type = t;
                coding.mvCount = t == kMbP8x8 ? 4 : 2;
                std::memcpy(coding.mvd, splitMvd, sizeof splitMvd);
                std::memcpy(typeMv, splitMv, sizeof splitMv);
            }
        }
    }
    const std::int64_t interRd = Reconstruct(f, mbx, mby, ctx, typeMv, coding, *trial);
    // A still block without residual is cheaper skipped, and decodes the same.
    if (interRd < bestCost && !(type == kMbP16x16 && !coding.cbp && r16.mv == Mv{})) {
        bestCost = interRd;
        skip = false;
        out = coding;
        std::memcpy(mv, typeMv, sizeof typeMv);
        std::swap(best, trial);
    }
    // Intra where the 16x16 intra prediction is about as good as the motion.
    trial->CopyEdgesFrom(window);
    if (interCost * 256 > kIntraThreshold * f.lambdaSatd) {
        const Intra16Estimate estimate = IntraCoder::Estimate16x16(f, mbx, mby, n, *trial);
        const std::int64_t intraCost = estimate.Best() < interCost
                                           ? intra_.Code(f, mbx, mby, n, ctx, *trial, trialCoding_, bestCost, &estimate)
                                           : INT64_MAX;
        if (intraCost < bestCost) {
            skip = false;
            out = trialCoding_;
            std::memcpy(mv, zero, sizeof zero);
            std::swap(best, trial);
        }
    }
    std::memcpy(&window, best, sizeof window);
    return skip;
}

}  // namespace quenlar::rv40
