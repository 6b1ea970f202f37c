#include "JointStereo.h"

#include <algorithm>
#include <cmath>

#include "Allocation.h"
#include "tables/CookTables.h"

namespace quenlar::cook {

namespace {

// A coded band made from channels nearly in opposite phase would need a large gain to keep
// their level; past this the level is let go.
constexpr float kMaxCouplingGain = 2.0f;

float Energy(const float* x, int count)
{
    float sum = 0;
    for (int i = 0; i < count; ++i)
        sum += x[i] * x[i];
    return sum;
}

struct Shares {
    float left;
    float right;
};

Shares SharesOf(int bits, int value)
{
    const float* scale = tables::kCouplingScales[bits - 2];
    return {scale[value + 1], scale[(1 << bits) - 1 - value]};
}

}  // namespace

int CouplingBand(int band)
{
    return tables::kCouplingBand[band];
}

void Couple(const StreamParameters& stream, const float* left, const float* right, float* unit, Coupling& coupling)
{
    const int start = stream.jointStart;
    for (int band = 0; band < start; ++band) {
        std::copy(left + band * kBandSize, left + (band + 1) * kBandSize, unit + 2 * band * kBandSize);
        std::copy(right + band * kBandSize, right + (band + 1) * kBandSize, unit + (2 * band + 1) * kBandSize);
    }
    const int first = CouplingBand(start);
    const int last = CouplingBand(stream.subbands - 1);
    coupling.bits = stream.couplingBits;
    coupling.values.assign(static_cast<std::size_t>(last - first + 1), 0);
    const int values = (1 << coupling.bits) - 1;  // the all-ones value is not allowed
    for (int group = first; group <= last; ++group) {
        float energyLeft = 0;
        float energyRight = 0;
        for (int band = start; band < stream.subbands; ++band) {
            if (CouplingBand(band) == group) {
                energyLeft += Energy(left + band * kBandSize, kBandSize);
                energyRight += Energy(right + band * kBandSize, kBandSize);
            }
        }
        const float total = energyLeft + energyRight;
        const float wantLeft = total > 0 ? std::sqrt(energyLeft / total) : std::sqrt(0.5f);
        const float wantRight = total > 0 ? std::sqrt(energyRight / total) : std::sqrt(0.5f);
        int best = 0;
        float bestError = 0;
        for (int value = 0; value < values; ++value) {
            const Shares shares = SharesOf(coupling.bits, value);
            const float error = (shares.left - wantLeft) * (shares.left - wantLeft) +
                                (shares.right - wantRight) * (shares.right - wantRight);
            if (value == 0 || error < bestError) {
                best = value;
                bestError = error;
            }
        }
        coupling.values[static_cast<std::size_t>(group - first)] = best;
        const Shares shares = SharesOf(coupling.bits, best);
        // The projection on the shares, scaled so that the decoded channels keep their energy.
        float projected = 0;
        for (int band = start; band < stream.subbands; ++band) {
            if (CouplingBand(band) != group)
                continue;
            float* coded = unit + (start + band) * kBandSize;
            for (int i = 0; i < kBandSize; ++i) {
                coded[i] = shares.left * left[band * kBandSize + i] + shares.right * right[band * kBandSize + i];
                projected += coded[i] * coded[i];
            }
        }
        const float sharesEnergy = shares.left * shares.left + shares.right * shares.right;
        const float gain = projected > 0 ? std::min(std::sqrt(total / sharesEnergy / projected), kMaxCouplingGain) : 1.0f;
        for (int band = start; band < stream.subbands; ++band) {
            if (CouplingBand(band) != group)
                continue;
            float* coded = unit + (start + band) * kBandSize;
            for (int i = 0; i < kBandSize; ++i)
                coded[i] *= gain;
        }
    }
}

void Decouple(const StreamParameters& stream, const Coupling& coupling, const float* unit, float* left, float* right)
{
    const int start = stream.jointStart;
    for (int band = 0; band < start; ++band) {
        std::copy(unit + 2 * band * kBandSize, unit + (2 * band + 1) * kBandSize, left + band * kBandSize);
        std::copy(unit + (2 * band + 1) * kBandSize, unit + (2 * band + 2) * kBandSize, right + band * kBandSize);
    }
    const int first = CouplingBand(start);
    for (int band = start; band < stream.subbands; ++band) {
        const Shares shares =
            SharesOf(coupling.bits, coupling.values[static_cast<std::size_t>(CouplingBand(band) - first)]);
        const float* coded = unit + (start + band) * kBandSize;
        for (int i = 0; i < kBandSize; ++i) {
            left[band * kBandSize + i] = shares.left * coded[i];
            right[band * kBandSize + i] = shares.right * coded[i];
        }
    }
    const int coded = stream.subbands * kBandSize;
    std::fill(left + coded, left + stream.frameSamples, 0.0f);
    std::fill(right + coded, right + stream.frameSamples, 0.0f);
}

}  // namespace quenlar::cook
