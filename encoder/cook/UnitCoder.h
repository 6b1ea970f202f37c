// Codes one unit of a frame: one channel, or both channels in joint stereo. It chooses the band
// envelope, lets the decoder's allocation say each band's category, and takes the finest
// allocation whose coefficients fit the unit's bytes; nothing it writes ever overflows them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "Allocation.h"
#include "BandQuantiser.h"
#include "SideInfo.h"

namespace quenlar::cook {

struct UnitLayout {
    int bands = 0;         // coded bands in the unit
    int jointStart = 0;    // joint stereo: bands below are interleaved pairs; 0 otherwise
    int frameSamples = 0;  // per channel
    int countBits = 0;     // width of the vector count
};

// Tuning of the coder's choices; the defaults are what measured best.
struct UnitTuning {
    double envelopeOffset = 0.0;  // added to 2 log2(band rms) before rounding
};

class UnitCoder {
public:
    explicit UnitCoder(const UnitLayout& layout, const UnitTuning& tuning = {});

    // The decoder's noise signs, one per zero index in its order (true: negative); without it
    // the noise is left out of `decoded`.
    using NoiseSigns = std::function<bool()>;

    // `coefficients`: the unit's bands, 20 each, in coded order; `out`: the unit's bytes, stored
    // scrambled. `decoded` (bands * 20, or empty) gets the coefficients as the decoder makes
    // them. Returns false if even the coarsest choice did not fit, which no input has been seen
    // to need (the decoder then leaves the rest of the unit to noise).
    bool Code(const GainProfile& gain, const Coupling* coupling, std::span<const float> coefficients,
              std::span<std::uint8_t> out, std::span<float> decoded, const NoiseSigns& noise = {});

    // The vector count chosen for the last unit (for tests and benchmarks).
    int LastCount() const { return count_; }

private:
    void ChooseEnvelope(std::span<const float> coefficients, int budget);
    int EnvelopeBits() const;
    const BandCode& Band(int band, int category);
    bool Fit(int available);
    void WriteUnit(const GainProfile& gain, const Coupling* coupling, std::span<std::uint8_t> out);
    void Decode(std::span<float> decoded, const NoiseSigns& noise) const;

    UnitLayout layout_;
    UnitTuning tuning_;
    std::span<const float> coefficients_;
    std::array<int, kMaxUnitBands> envelope_{};
    std::array<float, kMaxUnitBands> scale_{};
    Allocation allocation_;
    std::array<int, kMaxUnitBands> category_{};
    int count_ = 0;
    // Each band's code at each category, made on first use in a unit.
    std::array<std::array<BandCode, 7>, kMaxUnitBands> codes_{};
    std::array<std::uint8_t, kMaxUnitBands> made_{};  // a bit per category
    std::array<bool, kMaxUnitBands> silenced_{};     // coded as zeros to make the unit fit
};

}  // namespace quenlar::cook
