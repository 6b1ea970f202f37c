// The format's variable-length codes as (bits, length) pairs, built once from the code lengths.
#pragma once

#include <cstdint>

namespace quenlar::rv40 {

// One code, right-aligned; length 0 where the symbol has no code.
struct Code {
    std::uint16_t bits = 0;
    std::uint8_t length = 0;
};

// The codes of one coefficient set (chosen by quantiser and frame type).
struct CoefficientCodes {
    Code cbpPattern[2][1296];  // [is16][16 * chroma code + quadrant nibble]; inter sets use [0]
    Code cbp[2][4][64];        // [is16][coded quadrants - 1][the quadrant's 4x4 pattern]
    Code firstPattern[4][864]; // [block kind][8 * first 2x2 code + later subblock flags]
    Code secondPattern[2][108];
    Code thirdPattern[2][108];
    Code coefficient[32]; // escaped magnitudes
};

struct Codes {
    CoefficientCodes intra[5];
    CoefficientCodes inter[7];
    Code topRowModes[16];   // by the four top-row modes as a bit pattern (8: first block horizontal)
    Code modePair[20][81];  // [pair context][9 * first + second]
    Code modeSingle[90][9]; // [top + 10 * left][mode]
    Code pType[7][12];      // [type context][macroblock type]
    Code bType[6][12];      // the same in B-frames

    // Built on first use; shared by every encoder instance, read-only afterwards.
    static const Codes& Get();
};

}  // namespace quenlar::rv40
