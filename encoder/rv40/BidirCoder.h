// Chooses and reconstructs the coding of a B-frame macroblock: skipped (direct with nothing
// coded), direct, forward, backward or bidirectional 16x16, or 16x16 intra. The motion searches
// pick each direction's vector by SATD, the SATD picks the type, and rate and distortion decide
// between it, the skip and intra.
#pragma once

#include <cstdint>
#include <vector>

#include "FrameState.h"
#include "IntraCoder.h"
#include "MacroblockWriter.h"
#include "MotionSearch.h"
#include "MotionVectors.h"
#include "SubpelPlanes.h"

namespace quenlar::rv40 {

class BidirCoder {
public:
    // `earlier` and `later`: the references' planes; `laterSerial` names the later one's contents.
    void BeginFrame(const FrameState& f, const SubpelPlanes& earlier, const SubpelPlanes& later,
                    std::uint64_t laterSerial);
    // As InterCoder::Code; `mv` gets the forward vectors (zero where there is none), which is
    // what the decoder compares for the loop filter.
    bool Code(const FrameState& f, int mbx, int mby, const MbNeighbours& n, const MbContext& ctx, MbWindow& window,
              MbCoding& out, std::int16_t mv[4][2]);

private:
    // The direct prediction into `w` (its luma, its chroma, or both); the vectors of its 8x8
    // blocks per direction.
    void PredictDirect(const FrameState& f, int mbx, int mby, MbWindow& w, bool luma, bool chroma);
    // The decoder's prediction of this macroblock's vector from its neighbours with one in
    // direction `dir` (0 forward, 1 backward).
    Mv PredictVector(const FrameState& f, int mbx, int mby, const MbNeighbours& n, int dir) const;
    // One direction's 16x16 prediction of the macroblock into `w`: its luma or its chroma.
    static void PredictOneLuma(const Picture& ref, int mbx, int mby, Mv mv, MbWindow& w);
    static void PredictOneChroma(const Picture& ref, int mbx, int mby, Mv mv, MbWindow& w);

    MotionSearch search_[2]; // forward, backward
    IntraCoder intra_;
    MbWindow trial_;
    MbWindow best_;
    MbWindow other_;
    MbWindow both_;
    MbCoding trialCoding_;
    // Per macroblock of this picture: the directions its vector is in (bit 0 forward, 1
    // backward) and the vectors, for the neighbours' prediction.
    std::vector<std::uint8_t> directions_;
    std::vector<Mv> vectors_[2];
    int mbWidth_ = 0;
    // Each macroblock's forward vector in this picture and in the last B picture, whose later
    // reference `lastSerial_` names, and their distances from the earlier reference (14-bit
    // fractions as in BlendWeights).
    std::vector<Mv> forward_;
    std::vector<Mv> lastForward_;
    std::uint64_t lastSerial_ = 0;
    int toEarlier_ = 0;
    int lastToEarlier_ = 0;
    bool haveLast_ = false;
    // In units of lambda (SATD per bit), as in P-frames. Intra is tried only where the motion
    // leaves far more: on film, the P-frames' 24 tried it almost everywhere, and it won one
    // searched macroblock in 200, for 2 % of the instructions and 0.002 dB.
    static constexpr int kIntraThreshold = 200;
    // Twice the P-frames': on film 5 % fewer instructions for 0.01 dB or less (four times theirs
    // saved 13 % for up to 0.04 dB).
    static constexpr int kEarlySkipBits = 16;
    static constexpr int kQuietSkipBits = 32;
};

}  // namespace quenlar::rv40
