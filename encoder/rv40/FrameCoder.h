// Codes whole pictures: the macroblock loop, the slice, the loop filter behind it, and the two
// latest references kept for the pictures after them.
#pragma once

#include <cstdint>
#include <vector>

#include "BidirCoder.h"
#include "BitWriter.h"
#include "FrameState.h"
#include "InterCoder.h"
#include "IntraCoder.h"
#include "LoopFilter.h"
#include "Rv40Encoder.h"

namespace quenlar::rv40 {

class FrameCoder {
public:
    FrameCoder(int width, int height);
    // Returns whether the picture was coded as a key picture.
    bool Code(const SourcePicture& picture, const FrameOptions& options, std::vector<std::uint8_t>& packet);
    const Picture& Reconstruction() const { return *lastCoded_; }
    void TimeLoopFilter() { timeFilter_ = true; }
    double LoopFilterSeconds() const { return filterSeconds_; }

private:
    // Decides and reconstructs every macroblock, keeping their codings for the writing.
    void CodeMacroblocks(FrameState& f);
    // Writes the kept codings with the frame's code sets.
    template <class Sink>
    void PutMacroblocks(Sink& s, const FrameState& f) const;
    static void SetCodes(FrameState& f, int shift);
    void Filter(const FilterFrame& frame, int row);
    MbContext ContextOf(const FrameState& f, int mbx, int mby, const MbNeighbours& n) const;
    void Record(const FrameState& f, int mbx, int mby, const MbNeighbours& n, bool skipped, const MbCoding& coding,
                const std::int16_t mv[4][2]);

    int width_;
    int height_;
    int mbWidth_;
    int mbHeight_;
    Picture source_;
    Picture pictures_[3];
    Picture* recon_;
    Picture* reference_; // the latest reference
    Picture* earlier_;   // the one before it
    Picture* lastCoded_;
    bool haveReference_ = false;
    bool haveEarlier_ = false;
    std::uint32_t referenceTime_ = 0;
    std::uint32_t earlierTime_ = 0;
    // Counts the references coded, to name their contents.
    std::uint64_t referenceSerial_ = 0;
    std::vector<MbInfo> referenceMbs_; // the latest reference's, for direct macroblocks
    bool timeFilter_ = false;
    double filterSeconds_ = 0;
    std::vector<MbInfo> mbs_;
    std::vector<MbCoding> codings_;
    std::vector<MbContext> contexts_;
    std::vector<std::uint8_t> skipped_;
    int codeSetShift_[3] = {}; // last choice for key, P and B pictures
    static constexpr int kCountEvery = 4;
    int picturesSinceCount_[2] = {}; // P and B pictures
    std::vector<std::uint8_t> sliceData_;
    IntraCoder intra_;
    InterCoder inter_;
    BidirCoder bidir_;
    SubpelCache subpel_;
    MbWindow window_;
};

}  // namespace quenlar::rv40
