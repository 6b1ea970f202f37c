#include "Allocation.h"

#include <algorithm>

#include "tables/CookTables.h"

namespace quenlar::cook {

namespace {

int ClampCategory(int value)
{
    return std::clamp(value, 0, 7);
}

int Cost(int category)
{
    return tables::kCategoryBits[category];
}

}  // namespace

// Integer arithmetic as the decoder's, division truncating toward zero: any difference would
// give the two sides different categories.
Allocation Allocate(std::span<const int> envelope, int bitsLeft, int frameSamples, int countLimit)
{
    const int bands = static_cast<int>(envelope.size());
    if (bitsLeft > frameSamples)
        bitsLeft = frameSamples + (bitsLeft - frameSamples) * 5 / 8;

    int bias = -32;
    for (int step = 32; step > 0; step /= 2) {
        int bits = 0;
        for (int band = 0; band < bands; ++band)
            bits += Cost(ClampCategory((step - envelope[band] + bias) / 2));
        if (bits >= bitsLeft - 32)
            bias += step;
    }

    std::array<int, kMaxUnitBands> coarse{};
    std::array<int, kMaxUnitBands> fine{};
    int bits = 0;
    for (int band = 0; band < bands; ++band) {
        coarse[band] = fine[band] = ClampCategory((bias - envelope[band]) / 2);
        bits += Cost(coarse[band]);
    }
    int coarseBits = bits;
    int fineBits = bits;

    // Adjustments toward coarser categories are appended after the middle, toward finer ones
    // prepended before it; the finest state reached becomes the starting point.
    std::array<int, 256> steps{};
    int last = countLimit;
    int first = countLimit;
    for (int n = 1; n < countLimit; ++n) {
        if (coarseBits + fineBits > 2 * bitsLeft) {
            int best = -999999;
            int chosen = -1;
            for (int band = 0; band < bands; ++band) {
                if (coarse[band] < 7) {
                    const int value = -2 * coarse[band] - envelope[band] + bias;
                    if (value >= best) {
                        best = value;
                        chosen = band;
                    }
                }
            }
            if (chosen < 0)
                break;
            steps[last++] = chosen;
            coarseBits -= Cost(coarse[chosen]) - Cost(coarse[chosen] + 1);
            ++coarse[chosen];
        } else {
            int best = 999999;
            int chosen = -1;
            for (int band = 0; band < bands; ++band) {
                if (fine[band] > 0) {
                    const int value = -2 * fine[band] - envelope[band] + bias;
                    if (value < best) {
                        best = value;
                        chosen = band;
                    }
                }
            }
            if (chosen < 0)
                break;
            steps[--first] = chosen;
            fineBits -= Cost(fine[chosen]) - Cost(fine[chosen] - 1);
            --fine[chosen];
        }
    }

    Allocation allocation;
    for (int band = 0; band < bands; ++band)
        allocation.category[band] = fine[band];
    allocation.adjustments = last - first;
    for (int i = 0; i < allocation.adjustments; ++i)
        allocation.order[i] = steps[first + i];
    return allocation;
}

}  // namespace quenlar::cook
