// Coding the residual of predicted blocks: transform, quantisation and the decoder's
// reconstruction, in place over the prediction.
#pragma once

#include <cstdint>

#include "RdQuantise.h"
#include "Transform.h"

namespace quenlar::rv40 {

// One 4x4 block: dst holds the prediction on entry and the reconstruction on return. Returns
// whether any level is nonzero (the block is coded). Levels are chosen by the quantiser's dead
// zone; with `rd`, where that leaves more than two, by rate and distortion, and `bits` gets the
// length of such a block's code (0 where it is not known).
bool CodeBlock(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, const QuantMatrix& q,
               std::int16_t levels[16], const RdWeights* rd = nullptr, int* bits = nullptr);

// CodeBlock over the sixteen 4x4 blocks of a 16x16 area (raster order), each predicted on its
// own; returns their coded pattern (bit 4 * y + x) and the lengths of their codes in `bits`.
unsigned CodeLuma16x16(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, const QuantMatrix& q,
                       std::int16_t levels[16][16], const RdWeights* rd, std::int16_t bits[16]);

// Whether every 4x4 block of the w x h area's residual quantises to zero by the dead zone.
bool QuantisesToZero(const std::uint8_t* src, int srcStride, const std::uint8_t* pred, int predStride, int w, int h,
                     const QuantMatrix& q);

// A 16x16 luma area with its DC coefficients in a separate block. Returns the coded pattern of
// the sixteen blocks' remaining coefficients (bit 4 * y + x).
unsigned CodeBlock16(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride,
                     const QuantMatrix& dcQuant, const QuantMatrix& acQuant, std::int16_t dc[16],
                     std::int16_t levels[16][16], const RdWeights* rd = nullptr);

// An 8x8 chroma area as four 4x4 blocks; returns their coded pattern (bit 2 * y + x), and the
// lengths of their codes in `bits` as CodeBlock gives them.
unsigned CodeChroma8x8(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, const QuantMatrix& q,
                       std::int16_t levels[4][16], const RdWeights* rd = nullptr, std::int16_t bits[4] = nullptr);

}  // namespace quenlar::rv40
