// Chooses and reconstructs the intra coding of a macroblock: one 16x16 prediction with a
// separate DC block, or sixteen 4x4 predictions (whose modes also steer chroma).
#pragma once

#include <climits>
#include <cstdint>

#include "FrameState.h"
#include "MacroblockWriter.h"

namespace quenlar::rv40 {

class IntraCoder {
public:
    // `window` holds the macroblock's edges on entry, its reconstruction on return, and `out`
    // its coding. Returns the rate-distortion cost (squared error * 256 + lambda * bits), or
    // INT64_MAX where it would reach `limit` (the window and coding are then undefined).
    std::int64_t Code(const FrameState& f, int mbx, int mby, const MbNeighbours& n, const MbContext& ctx,
                      MbWindow& window, MbCoding& out, std::int64_t limit = INT64_MAX);

    // A quick estimate for P-frames: the best 16x16 prediction's SATD, without coding anything.
    static int Estimate16x16(const FrameState& f, int mbx, int mby, const MbNeighbours& n, const MbWindow& window);

private:
    std::int64_t Try16x16(const FrameState& f, int mbx, int mby, const MbNeighbours& n, const MbContext& ctx,
                          MbWindow& window, MbCoding& out);
    // Gives up (INT64_MAX) once the luma blocks reach `limit`.
    std::int64_t Try4x4(const FrameState& f, int mbx, int mby, const MbNeighbours& n, const MbContext& ctx,
                        std::int64_t limit, MbWindow& window, MbCoding& out);

    // 4x4 modes coded in full to choose among, the best by SATD.
    static constexpr int kRdModes = 2;

    MbWindow trial_;
    MbCoding trialCoding_;
};

// Squared error of a window's macroblock against the source picture.
int WindowSsd(const Picture& source, int mbx, int mby, const MbWindow& window);

}  // namespace quenlar::rv40
