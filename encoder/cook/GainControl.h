// Pre-echo control: where a block turns loud after a quiet stretch, the stretch is coded louder
// and the decoder turns it down again by the frame's gain profile, and the coding noise that the
// attack spreads over the whole frame with it.
#pragma once

#include <array>
#include <span>

#include "SideInfo.h"

namespace quenlar::cook {

inline constexpr int kGainSegments = 8;
using SegmentEnergies = std::array<double, kGainSegments>;

// Adds each eighth of `block`'s energy to `energies` (channels coded under one profile add up).
void AddSegmentEnergies(std::span<const float> block, SegmentEnergies& energies);

// The profile for the current block, given the block before it (which the frame also covers).
GainProfile ChooseGain(const SegmentEnergies& previous, const SegmentEnergies& current);

}  // namespace quenlar::cook
