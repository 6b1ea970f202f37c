// The format's Huffman codes as an encoder needs them: each symbol's code and length, built from
// the decoder's tables (code lengths in order, canonical codes).
#pragma once

#include <array>
#include <cstdint>

namespace quenlar::cook {

struct Code {
    std::uint32_t bits = 0;  // right-aligned
    int length = 0;          // 0: the symbol has no code
};

// Envelope differences (-12 to 11) with each of the 13 tables.
inline constexpr int kEnvelopeTables = 13;
inline constexpr int kEnvelopeMinDelta = -12;
inline constexpr int kEnvelopeMaxDelta = 11;
// Coefficient vectors: the most a symbol can be (category 3: five levels, four coefficients).
inline constexpr int kMaxVectorSymbol = 625;
// Coupling values of 2 to 6 bits.
inline constexpr int kMinCouplingBits = 2;
inline constexpr int kMaxCouplingBits = 6;

struct CodeBook {
    std::array<std::array<Code, 24>, kEnvelopeTables> envelope;  // [table][delta + 12]
    std::array<std::array<Code, kMaxVectorSymbol>, 7> vectors;     // [category][symbol]
    std::array<std::array<Code, 64>, 5> coupling;                  // [bits - 2][value]
};

// Built once, on first use; thread-safe.
const CodeBook& Codes();

}  // namespace quenlar::cook
