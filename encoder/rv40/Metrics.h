// Block distortion measures used by the decisions.
#pragma once

#include <cstdint>

namespace quenlar::rv40 {

int Sad(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int w, int h);
// Sum of absolute Hadamard-transformed differences over 4x4 blocks, halved (w, h multiples of 4).
int Satd(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int w, int h);
int Ssd(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int w, int h);

}  // namespace quenlar::rv40
