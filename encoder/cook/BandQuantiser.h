// One band of 20 coefficients at one category: the vector indices that represent it best among
// those the category's code can say, their bits and their error.
#pragma once

#include <array>
#include <cstdint>

#include "Allocation.h"
#include "BitWriter.h"

namespace quenlar::cook {

struct BandCode {
    int bits = 0;        // vector codes and sign bits
    float error = 0;     // squared error in the coefficients' own units
    std::array<std::uint8_t, kBandSize> index{};
    std::uint32_t negative = 0;  // a bit per coefficient
    std::array<std::uint16_t, kBandSize / 2> symbols{};  // each vector's code; categories 0-2 pair
};

// `category` 0 to 6; `scale` is the band's envelope scale, 2^(envelope / 2).
void QuantiseBand(const float* coefficients, float scale, int category, BandCode& out);

// A band as its category's vectors: each vector's code, then a sign bit for each nonzero index.
void WriteBand(const BandCode& band, int category, BitWriter& writer);

// The value an index decodes to, in units of the band's scale (0 for a zero index, whose noise
// has no known sign).
float Centroid(int category, int index);

// The error a band left to noise (category 7) has: its energy and the noise's, whose signs are
// the decoder's.
float NoiseBandError(const float* coefficients, float scale);

}  // namespace quenlar::cook
