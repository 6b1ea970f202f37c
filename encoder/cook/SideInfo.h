// What a coded unit carries before its coefficients: the gain profile of its frame's second half
// and, in joint stereo, the coupling of the upper bands. Both are written MSB first.
#pragma once

#include <array>
#include <vector>

#include "BitWriter.h"

namespace quenlar::cook {

// Gains (powers of two) at the 8 segment starts of a frame's second half and at its end; the
// decoder scales the output by them, ramping between neighbours. The end is always 0.
struct GainProfile {
    std::array<int, 9> gain{};

    bool Flat() const;
};

// Gain values the format can hold: -7 to 8.
inline constexpr int kMinGain = -7;
inline constexpr int kMaxGain = 8;

int GainBits(const GainProfile& profile);
void WriteGain(const GainProfile& profile, BitWriter& writer);

// One value per coupling band, each picking the left and right shares of the coded band.
struct Coupling {
    int bits = 0;               // 2 to 6
    std::vector<int> values;    // 0 to 2^bits - 2
};

// The cheaper of fixed-length values and their Huffman codes, with the flag that says which.
int CouplingBits(const Coupling& coupling);
void WriteCoupling(const Coupling& coupling, BitWriter& writer);

}  // namespace quenlar::cook
