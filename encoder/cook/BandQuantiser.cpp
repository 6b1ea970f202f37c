#include "BandQuantiser.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Codes.h"
#include "tables/CookTables.h"

namespace quenlar::cook {

namespace {

struct Thresholds {
    // edges[k] < a <= edges[k + 1] picks index k (magnitudes in units of the scale), per category.
    std::array<std::array<float, 15>, 7> edges{};
    // Indices per unit of magnitude: the centroids are spaced evenly enough that the guess it
    // gives is never more than one index off.
    std::array<float, 7> density{};
};

const Thresholds& Midpoints()
{
    static const Thresholds thresholds = [] {
        Thresholds t;
        for (int category = 0; category < 7; ++category) {
            const int kmax = tables::kMaxIndex[category];
            auto& edges = t.edges[category];
            edges[0] = -1.0f;
            for (int k = 0; k < kmax; ++k)
                edges[k + 1] = 0.5f * (tables::kCentroids[category][k] + tables::kCentroids[category][k + 1]);
            edges[kmax + 1] = std::numeric_limits<float>::max();
            t.density[category] = static_cast<float>(kmax) / edges[kmax];
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

// When the code has no vector for the nearest indices: the best of those with some indices one
// lower, and at worst zeros, which every code has.
int FallBack(const float* a, int category, std::uint8_t* index, float& error)
{
    const int size = tables::kVectorSize[category];
    const auto& codes = Codes().vectors[category];
    std::uint8_t nearest[5];
    for (int j = 0; j < size; ++j)
        nearest[j] = index[j];
    int bestMask = -1;
    float bestError = 0;
    for (int mask = 1; mask < (1 << size); ++mask) {
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
    }
    if (bestMask < 0) {
        bestError = 0;
        for (int j = 0; j < size; ++j) {
            index[j] = 0;
            bestError += IndexError(category, 0, a[j]);
        }
    } else {
        for (int j = 0; j < size; ++j)
            index[j] = static_cast<std::uint8_t>(nearest[j] - ((bestMask >> j) & 1));
    }
    error += bestError;
    return Symbol(category, index);
}

}  // namespace

float Centroid(int category, int index)
{
    return index == 0 ? 0.0f : tables::kCentroids[category][index];
}

void QuantiseBand(const float* coefficients, float scale, int category, BandCode& out)
{
    const float inverse = 1.0f / scale;
    const Thresholds& thresholds = Midpoints();
    const auto& edges = thresholds.edges[category];
    const float density = thresholds.density[category];
    const auto kmax = static_cast<float>(tables::kMaxIndex[category]);
    float a[kBandSize];
    out.negative = 0;
    for (int i = 0; i < kBandSize; ++i) {
        a[i] = std::fabs(coefficients[i]) * inverse;
        out.negative |= static_cast<std::uint32_t>(coefficients[i] < 0) << i;
        // Without branches, which the coefficients would mispredict half the time; a NaN
        // becomes the top index rather than anything undefined.
        int k = static_cast<int>(std::min(kmax, a[i] * density));
        k -= a[i] <= edges[static_cast<std::size_t>(k)];
        k += a[i] > edges[static_cast<std::size_t>(k) + 1];
        out.index[i] = static_cast<std::uint8_t>(k);
    }
    const auto& codes = Codes().vectors[category];
    const int size = tables::kVectorSize[category];
    float error = 0;
    out.bits = 0;
    for (int v = 0; v < tables::kVectorsPerBand[category]; ++v) {
        std::uint8_t* index = out.index.data() + v * size;
        int symbol = Symbol(category, index);
        if (codes[symbol].length == 0) {
            symbol = FallBack(a + v * size, category, index, error);
        } else {
            for (int j = 0; j < size; ++j)
                error += IndexError(category, index[j], a[v * size + j]);
        }
        out.symbols[v] = static_cast<std::uint16_t>(symbol);
        out.bits += codes[symbol].length;
        for (int j = 0; j < size; ++j)
            out.bits += index[j] != 0;
    }
    out.error = error * scale * scale;
}

void WriteBand(const BandCode& band, int category, BitWriter& writer)
{
    const int size = tables::kVectorSize[category];
    const auto& codes = Codes().vectors[category];
    for (int v = 0; v < tables::kVectorsPerBand[category]; ++v) {
        const std::uint8_t* index = band.index.data() + v * size;
        writer.Put(codes[band.symbols[v]]);
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
