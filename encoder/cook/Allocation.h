// The decoder's bit allocation, reproduced: from a unit's envelope and the bits left after its
// side information, the category of every band, and the order in which the frame's "vector
// count" coarsens bands one category at a time. The encoder only chooses that count.
#pragma once

#include <array>
#include <span>

namespace quenlar::cook {

inline constexpr int kBandSize = 20;      // coefficients a band holds
inline constexpr int kMaxUnitBands = 53;  // bands of a unit, both channels' in joint stereo
inline constexpr int kNotCoded = 7;       // the category of a band left to noise

struct Allocation {
    std::array<int, kMaxUnitBands> category{};  // with no adjustment applied: the finest
    std::array<int, 127> order{};               // the band each adjustment coarsens
    int adjustments = 0;                        // how many of `order` the decoder defines
};

// `envelope`: the unit's band scales; `bitsLeft`: the unit's bits less those already written;
// `frameSamples`: per channel; `countLimit`: 1 << (the vector count's bits).
Allocation Allocate(std::span<const int> envelope, int bitsLeft, int frameSamples, int countLimit);

}  // namespace quenlar::cook
