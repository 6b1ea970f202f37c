// The 4x4 transform pair, the quantiser and the decoder's arithmetic limits.
#pragma once

#include <cstdint>

namespace quenlar::rv40 {

// Largest level magnitude the coefficient escape can carry.
constexpr int kMaxLevel = 535;

// Forward transform of src - pred (4x4), unscaled: T X T' with the format's basis.
void ForwardTransform(const std::uint8_t* src, int srcStride, const std::uint8_t* pred, int predStride,
                      std::int32_t out[16]);
// The same for the four 4x4 blocks side by side in a 16x4 area (left to right), and for the
// four of an 8x8 area (raster order), each as the call above gives it.
void ForwardTransform16x4(const std::uint8_t* src, int srcStride, const std::uint8_t* pred, int predStride,
                          std::int32_t out[4][16]);
void ForwardTransform8x8(const std::uint8_t* src, int srcStride, const std::uint8_t* pred, int predStride,
                         std::int32_t out[4][16]);
// Forward transform of sixteen values (the separate DC block of a 16x16 macroblock).
void ForwardTransform(const std::int32_t in[16], std::int32_t out[16]);

// Adds the inverse transform of dequantised coefficients to dst, rounding as the decoder does.
void InverseTransformAdd(std::uint8_t* dst, int stride, const std::int16_t block[16]);
// Inverse transform of the separate DC block, as the decoder does it (no rounding).
void InverseDcTransform(const std::int16_t in[16], std::int16_t out[16]);

// Whether the decoder's 16-bit transform reproduces this dequantised block without overflow.
bool FitsDecoder(const std::int16_t block[16]);

// Per-position quantiser of one block kind at one quantiser.
struct QuantMatrix {
    std::int32_t step[16];       // the decoder's dequantisation step
    std::int32_t multiplier[16]; // 2^20 / (27.89 * step): levels from unscaled coefficients
    std::int32_t deadZone[16];   // rounding offset in the same scale
    std::int32_t zeroBelow[16];  // coefficients smaller than this quantise to zero
    float unit[16];              // one level in the unscaled transform's units, and its inverse
    float inverseUnit[16];
    // steps: dequantisation step at position 0, at 1 and 4, and elsewhere; rounding in 1/64.
    void Set(int dcStep, int firstAcStep, int acStep, int rounding64);
};

// Whether every coefficient quantises to zero.
bool QuantisesToZero(const std::int32_t coeffs[16], const QuantMatrix& q);
// Quantises, returns the number of nonzero levels; levels are clamped to what can be coded.
int Quantise(const std::int32_t coeffs[16], const QuantMatrix& q, std::int16_t levels[16]);
// The decoder's dequantisation: (level * step + 8) >> 4. Returns false where a value leaves the
// 16 bits the decoder stores it in.
bool Dequantise(const std::int16_t levels[16], const QuantMatrix& q, std::int16_t out[16]);
// The forward transform of the sixteen 4x4 blocks' unscaled DC coefficients (raster order),
// scaled so that Quantise with the DC block's matrix gives its levels.
void ForwardDcTransform(const std::int32_t blockDc[16], std::int32_t out[16]);

}  // namespace quenlar::rv40
