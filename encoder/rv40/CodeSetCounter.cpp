#include "CodeSetCounter.h"

namespace quenlar::rv40 {

CodeSetCounter::CodeSetCounter(const CoefficientCodes* intra, const CoefficientCodes* inter)
    : sets_{reinterpret_cast<const Code*>(intra), reinterpret_cast<const Code*>(inter)}
{
    for (auto& counts : counts_)
        counts.assign(kEntries, 0);
}

std::int64_t CodeSetCounter::Bits(const CoefficientCodes& intra, const CoefficientCodes& inter) const
{
    const Code* sets[2] = {reinterpret_cast<const Code*>(&intra), reinterpret_cast<const Code*>(&inter)};
    std::int64_t bits = fixed_;
    for (int k = 0; k < 2; ++k)
        for (const std::uint16_t at : used_[k])
            bits += std::int64_t{counts_[k][at]} * sets[k][at].length;
    return bits;
}

}  // namespace quenlar::rv40
