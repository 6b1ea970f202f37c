#include "GainControl.h"

#include <algorithm>
#include <cmath>

namespace quenlar::cook {

namespace {

// An attack is a segment at least this much more energetic than everything before it in the
// frame (12 dB); below that, pre-echo hides under the sound that is already there.
constexpr double kAttackRatio = 16.0;
// Energy per sample under which a segment counts as silent (about -90 dBFS): no attack starts
// from dither.
constexpr double kSilentEnergy = 1e-9;

}  // namespace

void AddSegmentEnergies(std::span<const float> block, SegmentEnergies& energies)
{
    const std::size_t segment = block.size() / kGainSegments;
    for (std::size_t s = 0; s < kGainSegments; ++s) {
        double sum = 0;
        for (std::size_t i = s * segment; i < (s + 1) * segment; ++i)
            sum += static_cast<double>(block[i]) * block[i];
        energies[s] += sum / static_cast<double>(segment);
    }
}

GainProfile ChooseGain(const SegmentEnergies& previous, const SegmentEnergies& current)
{
    GainProfile profile;
    double before = *std::max_element(previous.begin(), previous.end());
    for (int s = 0; s < kGainSegments; ++s) {
        if (s > 0)
            before = std::max(before, current[static_cast<std::size_t>(s - 1)]);
        const double attack = current[static_cast<std::size_t>(s)];
        if (attack < kSilentEnergy || attack < kAttackRatio * before)
            continue;
        // Lift the stretch by a power of two that leaves it below the attack (amplitudes: half
        // the energy ratio's log, less one step). The decoder ramps up to full gain across the
        // attack's own segment: noise just after an onset hides under it, just before it does not.
        const double ratio = attack / std::max(before, kSilentEnergy / kAttackRatio);
        const int lift = std::clamp(static_cast<int>(std::floor(0.5 * std::log2(ratio))) - 1, 1, -kMinGain);
        for (int i = 0; i <= s; ++i)
            profile.gain[static_cast<std::size_t>(i)] = -lift;
        break;
    }
    return profile;
}

}  // namespace quenlar::cook
