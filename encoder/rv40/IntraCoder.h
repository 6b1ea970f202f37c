// Chooses and reconstructs the intra coding of a macroblock: one 16x16 prediction with a
// separate DC block, or sixteen 4x4 predictions (whose modes also steer chroma).
#pragma once

#include <climits>
#include <cstdint>

#include "FrameState.h"
#include "MacroblockWriter.h"

namespace quenlar::rv40 {

// SATD of the 16x16 predictions DC, vertical and horizontal (INT_MAX where not allowed).
struct Intra16Estimate {
    int satd[3];
    int Best() const;
};

class IntraCoder {
public:
    // `window` holds the macroblock's edges on entry, its reconstruction on return, and `out`
    // its coding. Returns the rate-distortion cost (squared error * 256 + lambda * bits), or
    // no less than `limit` where it would reach that (the window and coding are then undefined).
    // `estimate`, when given, is this macroblock's, from the same edges.
    std::int64_t Code(const FrameState& f, int mbx, int mby, const MbNeighbours& n, const MbContext& ctx,
                      MbWindow& window, MbCoding& out, std::int64_t limit = INT64_MAX,
                      const Intra16Estimate* estimate = nullptr);

    // A quick estimate for P-frames, without coding anything.
    static Intra16Estimate Estimate16x16(const FrameState& f, int mbx, int mby, const MbNeighbours& n,
                                         const MbWindow& window);

private:
    std::int64_t Try16x16(const FrameState& f, int mbx, int mby, const MbNeighbours& n, const MbContext& ctx,
                          const Intra16Estimate* estimate, MbWindow& window, MbCoding& out);
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
