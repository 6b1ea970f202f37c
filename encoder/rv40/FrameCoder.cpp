#include "FrameCoder.h"

#include <cmath>
#include <ctime>
#include <stdexcept>

#include "BitWriter.h"
#include "CodeSetCounter.h"
#include "LoopFilter.h"
#include "MacroblockWriter.h"
#include "SliceHeader.h"
#include "tables/Rv40Tables.h"

namespace quenlar::rv40 {

FrameCoder::FrameCoder(int width, int height)
    : width_(width), height_(height), mbWidth_((width + 15) / 16), mbHeight_((height + 15) / 16)
{
    source_.Allocate(mbWidth_, mbHeight_);
    for (auto& p : pictures_)
        p.Allocate(mbWidth_, mbHeight_);
    recon_ = &pictures_[0];
    reference_ = &pictures_[1];
    earlier_ = &pictures_[2];
    lastCoded_ = reference_;
    const std::size_t count = static_cast<std::size_t>(mbWidth_) * mbHeight_;
    mbs_.resize(count);
    codings_.resize(count);
    contexts_.resize(count);
    skipped_.resize(count);
    referenceMbs_.resize(count);
}

bool FrameCoder::Code(const SourcePicture& picture, const FrameOptions& options, std::vector<std::uint8_t>& packet)
{
    const bool key = options.key || !haveReference_;
    const bool bidirectional = options.bidirectional && !key;
    if (bidirectional && !haveEarlier_)
        throw std::logic_error("rv40: a B picture needs two reference pictures before it");
    source_.y.Load(picture.data[0], picture.stride[0], width_, height_);
    source_.u.Load(picture.data[1], picture.stride[1], width_ / 2, height_ / 2);
    source_.v.Load(picture.data[2], picture.stride[2], width_ / 2, height_ / 2);

    FrameState f;
    f.source = &source_;
    f.recon = recon_;
    f.reference = key ? nullptr : bidirectional ? earlier_ : reference_;
    if (bidirectional) {
        f.bidirectional = true;
        f.later = reference_;
        f.laterMbs = referenceMbs_.data();
        f.weights = BlendWeights::From(earlierTime_, options.timestampMs, referenceTime_);
    }
    f.mbs = mbs_.data();
    f.mbWidth = mbWidth_;
    f.mbHeight = mbHeight_;
    f.quant = options.quant < 0 ? 0 : options.quant > 31 ? 31 : options.quant;
    f.inter = !key;
    f.quantisers.Set(f.quant);
    f.codes = &Codes::Get();
    // Decisions weigh bits with the code sets the last picture of this kind chose; the slice
    // is then written with whichever of the three sets codes it shortest.
    int& shift = codeSetShift_[key ? 0 : bidirectional ? 2 : 1];
    SetCodes(f, shift);
    // Squared error weighed against bits as 0.136 step^2 (the weight H.264 encoders use, which
    // measured best here too), with the decoder's step in the units of an orthonormal transform.
    // B pictures, whose steps are far coarser than those of the pictures around them, weigh
    // bits at half their step's weight: their choices then spend a little more where the error
    // is large (on film, with steps 2.5 times the P pictures', +0.21 dB on a Video CD and +0.17
    // on a DVD over the full weight with steps twice theirs; shares of 0.2 to 0.7 all within 0.05).
    constexpr double kBidirLambdaShare = 0.5;
    const double step = 0.04125 * tables::kQuantScale[f.quant];
    const double weight = bidirectional ? 0.136 * kBidirLambdaShare : 0.136;
    f.lambdaSsd = std::llround(256 * weight * step * step);
    f.lambdaSatd = static_cast<int>(std::lround(256 * std::sqrt(weight) * step));

    CodeMacroblocks(f);
    // The best set changes slowly from one predicted picture to the next: they count it afresh
    // only every few (the count is a pass over the whole picture; 1.7 % of the time for 0.3 %
    // more bits on film); B pictures keep a cycle of their own, a key picture restarts the P one.
    int& sinceCount = picturesSinceCount_[bidirectional];
    if (key || sinceCount >= kCountEvery) {
        CodeSetCounter counter(f.intraSet, f.interSet);
        PutMacroblocks(counter, f);
        int best = 0;
        std::int64_t bestBits = 0;
        for (int candidate = 0; candidate < 3; ++candidate) {
            SetCodes(f, candidate);
            const std::int64_t bits = counter.Bits(*f.intraSet, *f.interSet);
            if (!candidate || bits < bestBits) {
                bestBits = bits;
                best = candidate;
            }
        }
        shift = best;
        sinceCount = 0;
    }
    ++sinceCount;
    const int best = shift;
    SetCodes(f, best);
    sliceData_.clear();
    BitWriter w(sliceData_);
    PutSliceHeader(w,
                   {key, bidirectional, f.quant, best, options.timestampMs, width_, height_, 0, mbWidth_ * mbHeight_});
    PutMacroblocks(w, f);
    w.Finish();
    PackFrame(sliceData_, {0}, packet);

    lastCoded_ = recon_;
    if (bidirectional)
        return false;
    // A reference: it becomes the latest, the latest the earlier one.
    recon_->ExtendBorders();
    Picture* freed = earlier_;
    earlier_ = reference_;
    reference_ = recon_;
    recon_ = freed;
    haveEarlier_ = haveReference_;
    haveReference_ = true;
    earlierTime_ = referenceTime_;
    referenceTime_ = options.timestampMs;
    ++referenceSerial_;
    std::copy(mbs_.begin(), mbs_.end(), referenceMbs_.begin());
    return key;
}

void FrameCoder::CodeMacroblocks(FrameState& f)
{
    const FilterFrame filter{f.recon, f.mbs, f.mbWidth, f.mbHeight, f.quant, width_ * height_ <= 176 * 144};
    // The latest reference is named by the count of references so far, the one before by one less.
    if (f.bidirectional)
        bidir_.BeginFrame(f, subpel_.Of(f.reference->y, referenceSerial_ - 1), subpel_.Of(f.later->y, referenceSerial_),
                          referenceSerial_);
    else if (f.inter)
        inter_.BeginFrame(f, subpel_.Of(f.reference->y, referenceSerial_));
    int skipped = 0;
    for (int mby = 0; mby < f.mbHeight; ++mby) {
        for (int mbx = 0; mbx < f.mbWidth; ++mbx) {
            const int index = mby * f.mbWidth + mbx;
            const MbNeighbours n = NeighboursOf(f, mbx, mby);
            MbContext& ctx = contexts_[index];
            ctx = ContextOf(f, mbx, mby, n);
            MbCoding& coding = codings_[index];
            window_.LoadEdges(*f.recon, mbx, mby);
            std::int16_t mv[4][2] = {};
            bool skip = false;
            if (f.bidirectional) {
                skip = bidir_.Code(f, mbx, mby, n, ctx, window_, coding, mv);
                if (skip && skipped == f.mbWidth * f.mbHeight - 1) {
                    // As below, the last one direct with nothing coded.
                    skip = false;
                    coding = MbCoding{};
                    coding.type = kMbDirect;
                }
                skipped = skip ? skipped + 1 : 0;
            } else if (f.inter) {
                const MbInfo* here = f.mbs + index;
                const MvNeighbours mvn{n.left ? here - 1 : nullptr, n.top ? here - f.mbWidth : nullptr,
                                       n.topRight ? here - f.mbWidth + 1 : nullptr,
                                       n.top && n.left ? here - f.mbWidth - 1 : nullptr};
                skip = inter_.Code(f, mbx, mby, n, mvn, ctx, window_, coding, mv);
                // A skip run cannot cover the whole picture: the last macroblock of an unchanged
                // picture is coded as unmoved instead, with nothing else, which decodes the same.
                if (skip && skipped == f.mbWidth * f.mbHeight - 1) {
                    skip = false;
                    coding = MbCoding{};
                    coding.type = kMbP16x16;
                    coding.mvCount = 1;
                }
                skipped = skip ? skipped + 1 : 0;
            } else {
                intra_.Code(f, mbx, mby, n, ctx, window_, coding);
            }
            skipped_[index] = skip;
            window_.Store(*f.recon, mbx, mby);
            Record(f, mbx, mby, n, skip, coding, mv);
        }
        if (mby > 0)
            Filter(filter, mby - 1);
    }
    Filter(filter, f.mbHeight - 1);
}

template <class Sink>
void FrameCoder::PutMacroblocks(Sink& s, const FrameState& f) const
{
    std::uint32_t skipped = 0;
    for (int i = 0; i < f.mbWidth * f.mbHeight; ++i) {
        if (skipped_[i]) {
            ++skipped;
            continue;
        }
        if (f.inter) {
            s.PutUe(skipped);
            skipped = 0;
        }
        MbContext ctx = contexts_[i];
        ctx.intraSet = f.intraSet;
        ctx.interSet = f.interSet;
        PutMacroblock(s, codings_[i], ctx);
    }
    if (skipped)
        s.PutUe(skipped);
}

void FrameCoder::Filter(const FilterFrame& frame, int row)
{
    if (!timeFilter_) {
        FilterRow(frame, row);
        return;
    }
    // Processor time of this thread: the benchmark compares it with decoding.
    timespec start, end;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    FilterRow(frame, row);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    filterSeconds_ +=
        static_cast<double>(end.tv_sec - start.tv_sec) + static_cast<double>(end.tv_nsec - start.tv_nsec) * 1e-9;
}

void FrameCoder::SetCodes(FrameState& f, int shift)
{
    // The slice header's shift picks the sets of a higher quantiser (+10, or +5 where that is
    // still below the top).
    int q = f.quant;
    if (shift == 2 && q < 19)
        q += 10;
    else if (shift && q < 26)
        q += 5;
    f.intraSet = &f.codes->intra[tables::kQuantToCodeSet[0][q]];
    f.interSet = &f.codes->inter[tables::kQuantToCodeSet[1][q]];
}

MbContext FrameCoder::ContextOf(const FrameState& f, int mbx, int mby, const MbNeighbours& n) const
{
    MbContext ctx{};
    ctx.codes = f.codes;
    ctx.intraSet = f.intraSet;
    ctx.interSet = f.interSet;
    ctx.interFrame = f.inter;
    ctx.bFrame = f.bidirectional;
    ctx.topOfSlice = !n.top;
    const MbInfo* here = f.mbs + mby * f.mbWidth + mbx;
    for (int i = 0; i < 4; ++i) {
        ctx.above[i] = n.top ? here[-f.mbWidth].modes[12 + i] : -1;
        ctx.left[i] = n.left ? here[-1].modes[i * 4 + 3] : -1;
    }
    if (f.inter) {
        // The code table follows the most common type among the neighbours above (ties to the
        // lower type), or the left one's; a skipped macroblock counts as 16x16 (in B-frames as
        // direct).
        const MbType skipAs = f.bidirectional ? kMbDirect : kMbP16x16;
        auto typeOf = [skipAs](const MbInfo& mb) { return mb.type == kMbSkip ? skipAs : mb.type; };
        int previous = 0;
        if (n.top) {
            int count[12] = {};
            if (n.left)
                ++count[typeOf(here[-1])];
            ++count[typeOf(here[-f.mbWidth])];
            if (n.topRight)
                ++count[typeOf(here[-f.mbWidth + 1])];
            if (n.topLeft)
                ++count[typeOf(here[-f.mbWidth - 1])];
            int most = 0;
            for (int i = 0; i < 12; ++i)
                if (count[i] > most) {
                    most = count[i];
                    previous = i;
                    if (most > 1)
                        break;
                }
        } else if (n.left) {
            previous = typeOf(here[-1]);
        }
        ctx.typeContext = f.bidirectional ? tables::kBTypeContext[previous] : tables::kPTypeContext[previous];
    }
    return ctx;
}

void FrameCoder::Record(const FrameState& f, int mbx, int mby, const MbNeighbours& n, bool skipped,
                        const MbCoding& coding, const std::int16_t mv[4][2])
{
    MbInfo& mb = f.mbs[mby * f.mbWidth + mbx];
    mb.type = skipped ? kMbSkip : coding.type;
    mb.strong = !skipped && (IsIntra(coding.type) || coding.type == kMbMix16x16);
    mb.cbpLuma = skipped ? 0 : static_cast<std::uint16_t>(coding.cbp);
    mb.cbpChroma = skipped ? 0 : static_cast<std::uint8_t>(coding.cbp >> 16);
    for (int i = 0; i < 4; ++i) {
        mb.mv[i][0] = mv[i][0];
        mb.mv[i][1] = mv[i][1];
    }
    for (int i = 0; i < 16; ++i)
        mb.modes[i] = mb.type == kMbIntra ? coding.modes[i]
                      : mb.type == kMbIntra16 ? static_cast<std::int8_t>(coding.mode16)
                                              : 0;
    if (!f.inter) {
        mb.deblock = 0xFFFF;
        return;
    }
    // The decoder compares with the macroblocks left and above whatever slice they are in.
    const MvNeighbours existing{mbx ? &mb - 1 : nullptr, mby ? &mb - f.mbWidth : nullptr, nullptr, nullptr};
    mb.deblock = static_cast<std::uint16_t>(MotionEdges(existing, mb.mv, !n.top, mbx == 0) | mb.cbpLuma);
}

}  // namespace quenlar::rv40
