// What the encoder keeps of each coded macroblock: what its neighbours' coding and the loop
// filter need, in the form the decoder keeps it.
#pragma once

#include <cstdint>

namespace quenlar::rv40 {

// Macroblock types as coded (the type codes' symbols).
enum MbType : std::uint8_t {
    kMbIntra = 0,
    kMbIntra16 = 1,
    kMbP16x16 = 2,
    kMbP8x8 = 3,
    kMbForward = 4,  // B-frames: from the earlier reference
    kMbBackward = 5, // from the later one
    kMbSkip = 6,
    kMbDirect = 7,   // both, with the vectors of the later reference's macroblock scaled
    kMbP16x8 = 8,
    kMbP8x16 = 9,
    kMbBidir = 10,   // both, a vector each, the plain mean
    kMbMix16x16 = 11,
};

struct MbInfo {
    MbType type = kMbIntra;
    // Intra, or with a separate DC block: the loop filter treats its edges as strong.
    bool strong = false;
    // Coded 4x4 blocks (bit 4 * y + x), chroma (U in the low nibble, V in the high one), and the
    // luma edges to filter; the loop filter widens all three for strong macroblocks.
    std::uint16_t cbpLuma = 0;
    std::uint8_t cbpChroma = 0;
    std::uint16_t deblock = 0;
    // 4x4 modes as context for the neighbours' mode codes: the 16x16 mode for 16x16 macroblocks,
    // 0 for inter ones.
    std::int8_t modes[16] = {};
    // Quarter-pel vectors of the four 8x8 blocks; zero for intra and skipped macroblocks. In
    // B-frames the forward vector, zero where there is none (as the decoder keeps it).
    std::int16_t mv[4][2] = {};
};

}  // namespace quenlar::rv40

namespace quenlar::rv40 {

// Everything the writer needs of one coded (not skipped) macroblock.
struct MbCoding {
    MbType type = kMbIntra;
    int mode16 = 0;           // 16x16 intra mode
    std::int8_t modes[16] = {}; // 4x4 intra modes
    int mvCount = 0;
    std::int16_t mvd[4][2] = {}; // vector differences in coded order
    std::uint32_t cbp = 0;       // bits 0-15 luma 4x4 blocks, 16-19 U, 20-23 V
    std::int16_t dc[16] = {};    // the separate DC block (16x16 intra, mixed)
    std::int16_t luma[16][16] = {};
    std::int16_t chroma[8][16] = {}; // U blocks 0-3, then V
    // For rate estimates: the length of each coded block's code (by cbp bit) with the code sets
    // it was chosen with, 0 where not known.
    std::int16_t blockBits[24] = {};
};

}  // namespace quenlar::rv40
