// Quantisation by rate and distortion: each coefficient's nearest level or the one below, chosen
// per 2x2 subblock with the exact lengths of the codes that would carry them.
#pragma once

#include <cstdint>

#include "Syntax.h"
#include "Transform.h"

namespace quenlar::rv40 {

// What a block's levels are weighed with: its codes, and squared error * 256 per bit.
struct RdWeights {
    BlockCodes codes;
    std::int64_t lambda;
};

// Returns the number of nonzero levels; none when coding the block would not pay. `bits`, when
// given, gets the length of the block's code for a nonzero result.
int QuantiseRd(const std::int32_t coeffs[16], const QuantMatrix& q, const RdWeights& rd, std::int16_t levels[16],
               int* bits = nullptr);

}  // namespace quenlar::rv40
