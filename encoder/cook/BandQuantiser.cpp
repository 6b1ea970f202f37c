#include "BandQuantiser.h"

#include <cmath>

#include "Codes.h"
#include "tables/CookTables.h"

namespace quenlar::cook {

namespace {

struct Thresholds {
    // Between index k and k + 1, in units of the scale, per category.
    std::array<std::array<float, 13>, 7> between{};
};

const Thresholds& Midpoints()
{
    static const Thresholds thresholds = [] {
        Thresholds t;
        for (int category = 0; category < 7; ++category) {
            for (int k = 0; k < tables::kMaxIndex[category]; ++k)
                t.between[category][k] =
                    0.5f * (tables::kCentroids[category][k] + tables::kCentroids[category][k + 1]);
        }
        return t;
    }();
    return thresholds;
}

// Squared error of `index` for a magnitude `a` (both in units of the scale); a zero index
// decodes to noise of the category's dither level with a random sign.
float IndexError(int category, int index, float a)
{
    if (index == 0) {
        const float dither = tables::kDither[category];
        return a * a + dither * dither;
    }
    const float d = a - tables::kCentroids[category][index];
    return d * d;
}

int Symbol(int category, const std::uint8_t* index)
{
    const int radix = tables::kMaxIndex[category] + 1;
    int symbol = 0;
    for (int j = 0; j < tables::kVectorSize[category]; ++j)
        symbol = symbol * radix + index[j];
    return symbol;
}

// The nearest indices first; when the code has no such vector, the best of those with some
// indices one lower, and at worst zeros, which every code has.
void QuantiseVector(const float* a, int category, std::uint8_t* index, float& error, int& bits)
{
    const int size = tables::kVectorSize[category];
    const int kmax = tables::kMaxIndex[category];
    const auto& between = Midpoints().between[category];
    const auto& codes = Codes().vectors[category];
    std::uint8_t nearest[5];
    for (int j = 0; j < size; ++j) {
        int k = 0;
        while (k < kmax && a[j] > between[k])
            ++k;
        nearest[j] = static_cast<std::uint8_t>(k);
    }
    int bestMask = -1;
    float bestError = 0;
    for (int mask = 0; mask < (1 << size); ++mask) {
        std::uint8_t trial[5];
        bool valid = true;
        for (int j = 0; j < size && valid; ++j) {
            const int lower = (mask >> j) & 1;
            valid = !(lower && nearest[j] == 0);
            trial[j] = static_cast<std::uint8_t>(nearest[j] - lower);
        }
        if (!valid || codes[Symbol(category, trial)].length == 0)
            continue;
        float e = 0;
        for (int j = 0; j < size; ++j)
            e += IndexError(category, trial[j], a[j]);
        if (bestMask < 0 || e < bestError) {
            bestMask = mask;
            bestError = e;
        }
        if (mask == 0)
            break;  // the nearest vector has a code
    }
    int nonzero = 0;
    if (bestMask < 0) {
        bestError = 0;
        for (int j = 0; j < size; ++j) {
            index[j] = 0;
            bestError += IndexError(category, 0, a[j]);
        }
    } else {
        for (int j = 0; j < size; ++j) {
            index[j] = static_cast<std::uint8_t>(nearest[j] - ((bestMask >> j) & 1));
            nonzero += index[j] != 0;
        }
    }
    error += bestError;
    bits += codes[Symbol(category, index)].length + nonzero;
}

}  // namespace

float Centroid(int category, int index)
{
    return index == 0 ? 0.0f : tables::kCentroids[category][index];
}

void QuantiseBand(const float* coefficients, float scale, int category, BandCode& out)
{
    const float inverse = 1.0f / scale;
    float a[kBandSize];
    out.negative = 0;
    for (int i = 0; i < kBandSize; ++i) {
        a[i] = std::fabs(coefficients[i]) * inverse;
        if (coefficients[i] < 0)
            out.negative |= 1u << i;
    }
    out.bits = 0;
    float error = 0;
    const int size = tables::kVectorSize[category];
    for (int v = 0; v < tables::kVectorsPerBand[category]; ++v)
        QuantiseVector(a + v * size, category, out.index.data() + v * size, error, out.bits);
    out.error = error * scale * scale;
}

void WriteBand(const BandCode& band, int category, BitWriter& writer)
{
    const int size = tables::kVectorSize[category];
    const auto& codes = Codes().vectors[category];
    for (int v = 0; v < tables::kVectorsPerBand[category]; ++v) {
        const std::uint8_t* index = band.index.data() + v * size;
        writer.Put(codes[Symbol(category, index)]);
        for (int j = 0; j < size; ++j) {
            if (index[j])
                writer.Put((band.negative >> (v * size + j)) & 1, 1);
        }
    }
}

float NoiseBandError(const float* coefficients, float scale)
{
    const float dither = tables::kDither[kNotCoded] * scale;
    float error = 0;
    for (int i = 0; i < kBandSize; ++i)
        error += coefficients[i] * coefficients[i] + dither * dither;
    return error;
}

}  // namespace quenlar::cook
