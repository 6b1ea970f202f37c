#include "Codes.h"

#include "tables/CookTables.h"

namespace quenlar::cook {

namespace {

// Codes are handed out in table order, each the previous one plus one at its own length: the
// decoder builds its tables the same way.
template <typename Symbol, typename Target>
void Assign(const std::uint8_t (&counts)[16], const Symbol* symbols, int offset, Target& target)
{
    std::uint64_t next = 0;  // left-aligned in 32 bits
    int index = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int n = 0; n < counts[length - 1]; ++n, ++index) {
            Code& code = target[static_cast<std::size_t>(symbols[index] + offset)];
            code.length = length;
            code.bits = static_cast<std::uint32_t>(next >> (32 - length));
            next += std::uint64_t{1} << (32 - length);
        }
    }
}

CodeBook Build()
{
    CodeBook book{};
    for (int table = 0; table < kEnvelopeTables; ++table)
        Assign(tables::kEnvelopeCounts[table], tables::kEnvelopeSymbols[table], 0, book.envelope[table]);
    for (int category = 0; category < 7; ++category)
        Assign(tables::kVectorCounts[category], tables::kVectorSymbols[category], 0, book.vectors[category]);
    for (int bits = kMinCouplingBits; bits <= kMaxCouplingBits; ++bits)
        Assign(tables::kCouplingCounts[bits - 2], tables::kCouplingSymbols[bits - 2], 0,
               book.coupling[bits - 2]);
    return book;
}

}  // namespace

const CodeBook& Codes()
{
    static const CodeBook book = Build();
    return book;
}

}  // namespace quenlar::cook
