// Counts the bits of a picture's macroblocks under every choice of coefficient code sets in one
// pass: the codes of the sets written with are tallied by their place in their set, and priced
// afterwards in whichever sets are asked about; all other codes are added up as they come.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

#include "BitWriter.h"
#include "Codes.h"

namespace quenlar::rv40 {

class CodeSetCounter {
public:
    // The sets the macroblocks will be written with, intra and inter.
    CodeSetCounter(const CoefficientCodes* intra, const CoefficientCodes* inter);

    void Put(std::uint32_t, int n) { fixed_ += n; }
    void Put(const Code& code)
    {
        for (int k = 0; k < 2; ++k) {
            const std::ptrdiff_t at = &code - sets_[k];
            if (at >= 0 && at < kEntries) {
                if (!counts_[k][at]++)
                    used_[k].push_back(static_cast<std::uint16_t>(at));
                return;
            }
        }
        fixed_ += code.length;
    }
    void PutBit(bool) { ++fixed_; }
    void PutUe(std::uint32_t v) { fixed_ += 2 * (std::bit_width(v + 1) - 1) + 1; }
    void PutSe(int v) { PutUe(SignedToUnsigned(v)); }

    // The bits with `intra` and `inter` in place of the sets counted with.
    std::int64_t Bits(const CoefficientCodes& intra, const CoefficientCodes& inter) const;

private:
    // A set seen as one array of codes.
    static constexpr int kEntries = sizeof(CoefficientCodes) / sizeof(Code);
    static_assert(sizeof(CoefficientCodes) % sizeof(Code) == 0 && alignof(CoefficientCodes) == alignof(Code),
                  "coefficient sets are arrays of codes and nothing else");

    const Code* sets_[2];
    std::vector<std::uint32_t> counts_[2];
    std::vector<std::uint16_t> used_[2];
    std::int64_t fixed_ = 0;
};

}  // namespace quenlar::rv40
