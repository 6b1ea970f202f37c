// Chooses and reconstructs the coding of a P-frame macroblock: skipped, one of the inter
// partitions (16x16, 16x8, 8x16, 8x8) or intra, by rate and distortion. (16x16 with a separate
// DC block is not tried: on film it gained nothing measurable.)
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

// Codes the residual of an inter macroblock predicted in `w` (its reconstruction on return) into
// `coding`, whose type and vectors are set, and returns its rate-distortion cost.
std::int64_t CodeInterResidual(const FrameState& f, int mbx, int mby, const MbContext& ctx, MbCoding& coding,
                               MbWindow& w);

class InterCoder {
public:
    // `planes`: the reference's.
    void BeginFrame(const FrameState& f, const SubpelPlanes& planes);
    // `window` holds the macroblock's edges on entry and its reconstruction on return. Returns
    // whether the macroblock is skipped; otherwise `out` holds its coding. `mv` gets the vectors
    // of its four 8x8 blocks.
    bool Code(const FrameState& f, int mbx, int mby, const MbNeighbours& n, const MvNeighbours& mvn,
              const MbContext& ctx, MbWindow& window, MbCoding& out, std::int16_t mv[4][2]);

private:
    // Predicts the partitions of `coding` (vectors in `mv`) into `w`, codes the residual and
    // returns the rate-distortion cost.
    std::int64_t Reconstruct(const FrameState& f, int mbx, int mby, const MbContext& ctx, const std::int16_t mv[4][2],
                             MbCoding& coding, MbWindow& w);
    // Searches the partitions of `type` from the vectors `start` of the 8x8 blocks; fills the
    // vectors and their differences in coded order, returns the cost.
    int SearchPartitions(int mbx, int mby, MbType type, const MvNeighbours& mvn, const std::int16_t start[4][2],
                         std::int16_t mv[4][2], std::int16_t mvd[4][2]);

    // In units of lambda (SATD per bit): a 16x16 prediction this costly tries smaller
    // partitions; an inter cost this high tries intra.
    static constexpr int kSplitThreshold = 500;
    static constexpr int kIntraThreshold = 24;
    // Bits whose worth in squared error a skipped macroblock may leave for it to be taken at once.
    static constexpr int kEarlySkipBits = 8;
    // The same where the skip's residual quantises to nothing.
    static constexpr int kQuietSkipBits = 16;

    MotionSearch search_;
    IntraCoder intra_;
    MbWindow trial_;
    MbWindow best_;
    MbCoding trialCoding_;
    std::vector<Mv> previous_; // each macroblock's vector in the last P-frame, a search candidate
    std::vector<Mv> current_;
    int mbWidth_ = 0;
};

}  // namespace quenlar::rv40
