// The state one picture is coded in: pictures, macroblock records, quantisers, code sets.
#pragma once

#include <cstdint>

#include "Codes.h"
#include "Macroblock.h"
#include "Picture.h"
#include "Transform.h"

namespace quenlar::rv40 {

// The quantiser of every block kind at the frame's quantiser.
struct Quantisers {
    QuantMatrix intraLuma;
    QuantMatrix intraChroma;
    QuantMatrix intraDc;   // the separate DC block of a 16x16 intra macroblock
    QuantMatrix luma16Ac;  // the other coefficients of 16x16 macroblocks
    QuantMatrix interLuma;
    QuantMatrix interChroma;
    QuantMatrix interDc;   // the separate DC block of a mixed macroblock
    void Set(int quant);
};

// How a B-frame weighs its two predictions, from the three pictures' timestamps as the decoder
// derives it.
struct BlendWeights {
    // 14-bit fractions: the picture's distance from the earlier reference, and the later one's
    // from it, over the references' distance; they scale the direct vectors.
    int toEarlier = 8192;
    int toLater = 8192;
    // Direct macroblocks blend by distance unless the later prediction's weight is 8192 (both
    // distances zero), then by the plain mean: with the fractions themselves where one is not a
    // multiple of 512 (each product rounded down by 9 bits first), else with them in 32nds.
    bool weighted = false;
    bool fine = false;
    int laterWeight = 8192;   // the nearer the earlier reference, the less the later one counts
    int earlierWeight = 8192;

    // Timestamps in milliseconds (13 bits are coded).
    static BlendWeights From(std::uint32_t earlier, std::uint32_t current, std::uint32_t later);
};

struct FrameState {
    const Picture* source = nullptr;
    Picture* recon = nullptr;           // the picture being reconstructed, unfiltered ahead of the filter
    const Picture* reference = nullptr; // the previous picture, filtered, borders extended
    // B-frames: `reference` is the earlier reference, `later` the later one, and `laterMbs` its
    // macroblocks, whose vectors the direct macroblocks scale.
    bool bidirectional = false;
    const Picture* later = nullptr;
    const MbInfo* laterMbs = nullptr;
    BlendWeights weights;
    MbInfo* mbs = nullptr;
    int mbWidth = 0;
    int mbHeight = 0;
    int quant = 0;
    bool inter = false;
    int sliceStart = 0;
    Quantisers quantisers;
    const Codes* codes = nullptr;
    const CoefficientCodes* intraSet = nullptr;
    const CoefficientCodes* interSet = nullptr;
    // Rate-distortion weights: squared error per bit (x256), and absolute transformed error per bit
    // (x256).
    std::int64_t lambdaSsd = 0;
    int lambdaSatd = 0;
};

// Which neighbouring macroblocks are decoded and in the same slice.
struct MbNeighbours {
    bool left;
    bool top;
    bool topRight;
    bool topLeft;
};

inline MbNeighbours NeighboursOf(const FrameState& f, int mbx, int mby)
{
    const int dist = mby * f.mbWidth + mbx - f.sliceStart;
    return {mbx > 0 && dist >= 1, dist >= f.mbWidth, mbx + 1 < f.mbWidth && dist >= f.mbWidth - 1,
            mbx > 0 && dist > f.mbWidth};
}

// A macroblock being reconstructed, with the row above it (and four pixels further right) and
// the column left of it copied from the picture, so that candidates do not touch the picture.
struct MbWindow {
    static constexpr int kStride = 32;
    static constexpr int kChromaStride = 16;
    alignas(16) std::uint8_t luma[17 * kStride];
    alignas(16) std::uint8_t chroma[2][9 * kChromaStride];

    std::uint8_t* Y() { return luma + kStride + 8; }
    const std::uint8_t* Y() const { return luma + kStride + 8; }
    std::uint8_t* C(int k) { return chroma[k] + kChromaStride + 4; }
    const std::uint8_t* C(int k) const { return chroma[k] + kChromaStride + 4; }

    void LoadEdges(const Picture& picture, int mbx, int mby);
    void CopyEdgesFrom(const MbWindow& other);
    void Store(Picture& picture, int mbx, int mby) const;
};

}  // namespace quenlar::rv40
