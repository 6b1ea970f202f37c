#include "UnitCoder.h"

#include <algorithm>
#include <cmath>

#include "Codes.h"
#include "tables/CookTables.h"

namespace quenlar::cook {

namespace {

// The first band's envelope is sent as 6 bits less 6; the rest as differences.
constexpr int kFirstEnvelopeBits = 6;
constexpr int kFirstEnvelopeMin = -6;
constexpr int kFirstEnvelopeMax = 57;
constexpr int kEnvelopeMin = -63;
constexpr int kEnvelopeMax = 63;
// A band whose energy is below this is silent.
constexpr float kSilentEnergy = 1e-6f;
// Side information may take at most this share of a unit; past it the envelope is smoothed.
constexpr int kMaxEnvelopeShare = 2;
// The limits on neighbours' differences tried in turn, the first the format's own.
constexpr int kSmoothing[] = {-1, 8, 5, 3, 1, 0};

// The decoder picks the code table for the i-th envelope difference by its position; in joint
// stereo the interleaved pairs share one.
int EnvelopeTable(int position, int jointStart)
{
    int index = position;
    if (position < 2 * jointStart)
        index = std::max(position / 2, 1);
    else
        index = position - jointStart;
    return std::min(index, kEnvelopeTables) - 1;
}

}  // namespace

UnitCoder::UnitCoder(const UnitLayout& layout, const UnitTuning& tuning) : layout_(layout), tuning_(tuning) {}

void UnitCoder::ChooseEnvelope(std::span<const float> coefficients, int budget)
{
    const int bands = layout_.bands;
    std::array<int, kMaxUnitBands> wanted{};
    for (int band = 0; band < bands; ++band) {
        float energy = 0;
        for (int i = 0; i < kBandSize; ++i) {
            const float x = coefficients[band * kBandSize + i];
            energy += x * x;
        }
        // 2 log2 of the rms is the envelope: the band's scale is 2^(envelope / 2).
        wanted[band] = energy < kSilentEnergy
                           ? kEnvelopeMin
                           : static_cast<int>(std::lround(std::log2(energy / kBandSize) + tuning_.envelopeOffset));
        wanted[band] = std::clamp(wanted[band], kEnvelopeMin, kEnvelopeMax);
    }
    wanted[0] = std::clamp(wanted[0], kFirstEnvelopeMin, kFirstEnvelopeMax);

    // Only raising a band's envelope keeps its coefficients in the quantiser's range: rises
    // too steep for one difference lift the bands before them, falls lift the bands after.
    for (const int limit : kSmoothing) {
        const int rise = limit < 0 ? kEnvelopeMaxDelta : limit;
        const int fall = limit < 0 ? -kEnvelopeMinDelta : limit;
        envelope_ = wanted;
        for (int band = bands - 1; band > 0; --band)
            envelope_[band - 1] = std::max(envelope_[band - 1], envelope_[band] - rise);
        envelope_[0] = std::min(envelope_[0], kFirstEnvelopeMax);
        for (int band = 1; band < bands; ++band)
            envelope_[band] = std::clamp(envelope_[band], envelope_[band - 1] - fall, kEnvelopeMax);
        if (EnvelopeBits() * kMaxEnvelopeShare <= budget)
            break;
    }
    for (int band = 0; band < bands; ++band)
        scale_[band] = std::exp2(0.5f * static_cast<float>(envelope_[band]));
}

int UnitCoder::EnvelopeBits() const
{
    const auto& codes = Codes().envelope;
    int bits = kFirstEnvelopeBits;
    for (int band = 1; band < layout_.bands; ++band) {
        const int delta = envelope_[band] - envelope_[band - 1];
        bits += codes[EnvelopeTable(band, layout_.jointStart)][delta - kEnvelopeMinDelta].length;
    }
    return bits;
}

const BandCode& UnitCoder::Band(int band, int category)
{
    BandCode& code = codes_[band][category];
    if (!(made_[band] & (1u << category))) {
        made_[band] |= static_cast<std::uint8_t>(1u << category);
        QuantiseBand(coefficients_.data() + band * kBandSize, scale_[band], category, code);
    }
    return code;
}

// The fewest coarsening steps that fit; when even the coarsest allocation does not, bands from
// the top down are sent as zeros, which cost a few bits each.
bool UnitCoder::Fit(int available)
{
    const int bands = layout_.bands;
    auto bits = [&](int band) {
        const int category = category_[band];
        if (category >= kNotCoded)
            return 0;
        if (silenced_[band])
            return tables::kVectorsPerBand[category] * Codes().vectors[category][0].length;
        return Band(band, category).bits;
    };
    silenced_.fill(false);
    std::copy(allocation_.category.begin(), allocation_.category.begin() + bands, category_.begin());
    int total = 0;
    for (int band = 0; band < bands; ++band)
        total += bits(band);
    const int limit = std::min(allocation_.adjustments, (1 << layout_.countBits) - 1);
    count_ = 0;
    while (total > available && count_ < limit) {
        const int band = allocation_.order[count_++];
        total -= bits(band);
        ++category_[band];
        total += bits(band);
    }
    for (int band = bands - 1; band >= 0 && total > available; --band) {
        if (category_[band] >= kNotCoded)
            continue;
        total -= bits(band);
        silenced_[band] = true;
        total += bits(band);
    }
    return total <= available;
}

void UnitCoder::WriteUnit(const GainProfile& gain, const Coupling* coupling, std::span<std::uint8_t> out)
{
    BitWriter writer(out);
    WriteGain(gain, writer);
    if (coupling)
        WriteCoupling(*coupling, writer);
    writer.Put(static_cast<std::uint32_t>(envelope_[0] - kFirstEnvelopeMin), kFirstEnvelopeBits);
    const auto& codes = Codes().envelope;
    for (int band = 1; band < layout_.bands; ++band) {
        const int delta = envelope_[band] - envelope_[band - 1];
        writer.Put(codes[EnvelopeTable(band, layout_.jointStart)][delta - kEnvelopeMinDelta]);
    }
    writer.Put(static_cast<std::uint32_t>(count_), layout_.countBits);
    BandCode zeros;
    for (int band = 0; band < layout_.bands; ++band) {
        const int category = category_[band];
        if (category >= kNotCoded)
            continue;
        WriteBand(silenced_[band] ? zeros : Band(band, category), category, writer);
    }
    Scramble(out);
}

bool UnitCoder::Code(const GainProfile& gain, const Coupling* coupling, std::span<const float> coefficients,
                     std::span<std::uint8_t> out, std::span<float> decoded, const NoiseSigns& noise)
{
    coefficients_ = coefficients;
    made_.fill(0);
    const int budget = static_cast<int>(out.size()) * 8;
    const int sideBits = GainBits(gain) + (coupling ? CouplingBits(*coupling) : 0);
    ChooseEnvelope(coefficients, budget - sideBits);
    const int header = sideBits + EnvelopeBits() + layout_.countBits;
    allocation_ = Allocate(std::span<const int>(envelope_.data(), layout_.bands), budget - header,
                           layout_.frameSamples, 1 << layout_.countBits);
    const bool fitted = Fit(budget - header);
    WriteUnit(gain, coupling, out);
    if (!decoded.empty())
        Decode(decoded, noise);
    return fitted;
}

// As the decoder does it: a zero index, and every coefficient of a band left to noise, takes the
// category's noise level with the next random sign, also where that level is 0.
void UnitCoder::Decode(std::span<float> decoded, const NoiseSigns& noise) const
{
    for (int band = 0; band < layout_.bands; ++band) {
        float* target = decoded.data() + band * kBandSize;
        const int category = category_[band];
        const bool zeros = category >= kNotCoded || silenced_[band];
        const BandCode* code = zeros ? nullptr : &codes_[band][category];
        for (int i = 0; i < kBandSize; ++i) {
            const int index = code ? code->index[i] : 0;
            float value = 0;
            bool negative = code && ((code->negative >> i) & 1);
            if (index) {
                value = Centroid(category, index);
            } else if (noise) {
                value = tables::kDither[category];
                negative = noise();
            }
            value *= scale_[band];
            target[i] = negative ? -value : value;
        }
    }
}

}  // namespace quenlar::cook
