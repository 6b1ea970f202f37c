#include "Codes.h"

#include <memory>

#include "tables/Rv40Tables.h"

namespace quenlar::rv40 {
namespace {

using namespace tables;

// Canonical codes: shorter codes first, equal lengths in symbol order; length 0 has no code.
template <int N>
void Canonical(const std::uint8_t (&lengths)[N], Code* out, const std::uint8_t* symbols = nullptr)
{
    int counts[17] = {};
    for (int i = 0; i < N; ++i)
        if (lengths[i])
            ++counts[lengths[i]];
    int next[17] = {};
    for (int len = 1; len <= 16; ++len)
        next[len] = (next[len - 1] + counts[len - 1]) << 1;
    for (int i = 0; i < N; ++i) {
        const int len = lengths[i];
        Code& code = out[symbols ? symbols[i] : i];
        code.length = static_cast<std::uint8_t>(len);
        code.bits = len ? static_cast<std::uint16_t>(next[len]++) : 0;
    }
}

// Codes handed out in table order, each the next free one of its length.
template <class Symbol>
void InOrder(int count, const Symbol& symbolAt, const std::uint8_t* lengths, int lengthStride, Code* out)
{
    std::uint64_t code = 0;
    for (int i = 0; i < count; ++i) {
        const int len = lengths[i * lengthStride];
        Code& c = out[symbolAt(i)];
        c.length = static_cast<std::uint8_t>(len);
        c.bits = static_cast<std::uint16_t>(code >> (32 - len));
        code += std::uint64_t{1} << (32 - len);
    }
}

void BuildIntra(int set, CoefficientCodes& c)
{
    for (int is16 = 0; is16 < 2; ++is16) {
        Canonical(kIntraCbpPatternLengths[set][is16], c.cbpPattern[is16]);
        for (int ones = 0; ones < 4; ++ones)
            Canonical(kIntraCbpLengths[set][is16 + 2 * ones], c.cbp[is16][ones], kCbpCode);
        Canonical(kIntraSecondPatternLengths[set][is16], c.secondPattern[is16]);
        Canonical(kIntraThirdPatternLengths[set][is16], c.thirdPattern[is16]);
    }
    for (int kind = 0; kind < 4; ++kind)
        Canonical(kIntraFirstPatternLengths[set][kind], c.firstPattern[kind]);
    Canonical(kIntraCoefficientLengths[set], c.coefficient);
}

void BuildInter(int set, CoefficientCodes& c)
{
    Canonical(kInterCbpPatternLengths[set], c.cbpPattern[0]);
    for (int ones = 0; ones < 4; ++ones)
        Canonical(kInterCbpLengths[set][ones], c.cbp[0][ones], kCbpCode);
    for (int i = 0; i < 2; ++i) {
        Canonical(kInterFirstPatternLengths[set][i], c.firstPattern[i]);
        Canonical(kInterSecondPatternLengths[set][i], c.secondPattern[i]);
        Canonical(kInterThirdPatternLengths[set][i], c.thirdPattern[i]);
    }
    Canonical(kInterCoefficientLengths[set], c.coefficient);
}

std::unique_ptr<Codes> Build()
{
    auto codes = std::make_unique<Codes>();
    for (int set = 0; set < 5; ++set)
        BuildIntra(set, codes->intra[set]);
    for (int set = 0; set < 7; ++set)
        BuildInter(set, codes->inter[set]);
    InOrder(16, [](int i) { return kTopRowModes[i][0]; }, &kTopRowModes[0][1], 2, codes->topRowModes);
    for (int k = 0; k < 20; ++k)
        InOrder(81, [k](int i) { return (kModePairSymbols[k][i] >> 4) * 9 + (kModePairSymbols[k][i] & 15); },
                kModePairLengths[k], 1, codes->modePair[k]);
    for (int k = 0; k < 90; ++k)
        if (k % 10 != 9)
            InOrder(9, [k](int i) { return kModeSingle[k][i][0]; }, &kModeSingle[k][0][1], 2, codes->modeSingle[k]);
    // The escape (255) lands on type 4, which P-frames do not have; it is never written.
    for (int k = 0; k < 7; ++k)
        InOrder(8, [k](int i) { return kPTypeCodes[k][i][0] == 255 ? 4 : kPTypeCodes[k][i][0]; },
                &kPTypeCodes[k][0][1], 2, codes->pType[k]);
    // Here the escape lands on the skip, which has no type code either.
    for (int k = 0; k < 6; ++k)
        InOrder(7, [k](int i) { return kBTypeCodes[k][i][0] == 255 ? 6 : kBTypeCodes[k][i][0]; },
                &kBTypeCodes[k][0][1], 2, codes->bType[k]);
    return codes;
}

}  // namespace

const Codes& Codes::Get()
{
    static const std::unique_ptr<Codes> codes = Build();
    return *codes;
}

}  // namespace quenlar::rv40
