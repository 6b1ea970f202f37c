// Block distortion measures used by the decisions.
#pragma once

#include <cstdint>

namespace quenlar::rv40 {

int Sad(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int w, int h);
// Sum of absolute Hadamard-transformed differences over 4x4 blocks, halved (w, h multiples of 4).
int Satd(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int w, int h);
// The four 8x8 quarters' sums of a 16x16 Satd, not halved (raster order): Satd of any union of
// them is its sum halved.
void SatdQuarters(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int out[4]);
// Satd of one 4x4 block against each of `count` 4x4 blocks of 16 bytes (stride 4).
void Satd4x4Many(const std::uint8_t* a, int aStride, const std::uint8_t (*b)[16], int count, int* out);
int Ssd(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int w, int h);
// Ssd of two 8-wide blocks at once (a macroblock's U and V), each pair with its stride.
int SsdPair8(const std::uint8_t* a0, const std::uint8_t* a1, int aStride, const std::uint8_t* b0,
             const std::uint8_t* b1, int bStride, int h);

}  // namespace quenlar::rv40
