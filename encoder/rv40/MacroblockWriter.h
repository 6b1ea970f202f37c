// Writes one macroblock's syntax after its type or skip run; a template over the sink so that
// rate estimates count exactly the bits that would be written.
#pragma once

#include "BitWriter.h"
#include "Codes.h"
#include "Macroblock.h"
#include "Syntax.h"

namespace quenlar::rv40 {

// What the macroblock's code depends on besides itself.
struct MbContext {
    const Codes* codes;
    const CoefficientCodes* intraSet;
    const CoefficientCodes* interSet;
    bool interFrame;
    bool bFrame;
    int typeContext;        // P- and B-frames: the code table chosen by the neighbours' types
    std::int8_t above[4];   // 4x4 modes over the top row, -1 where unavailable
    std::int8_t left[4];    // 4x4 modes left of the four rows
    bool topOfSlice;
};

// A coded block; a counter takes its length as given where it is known.
template <class Sink>
void PutCodedBlock(Sink& s, const std::int16_t* levels, const BlockCodes& codes, int)
{
    PutBlock(s, levels, codes);
}

inline void PutCodedBlock(BitCounter& s, const std::int16_t* levels, const BlockCodes& codes, int knownBits)
{
    if (knownBits)
        s.Put(0, knownBits);
    else
        PutBlock(s, levels, codes);
}

inline bool IsIntra(MbType type)
{
    return type == kMbIntra || type == kMbIntra16;
}

template <class Sink>
void PutMacroblock(Sink& s, const MbCoding& mb, const MbContext& ctx)
{
    const bool intra = IsIntra(mb.type);
    const bool is16 = mb.type == kMbIntra16 || mb.type == kMbMix16x16;
    if (ctx.interFrame) {
        s.Put(ctx.bFrame ? ctx.codes->bType[ctx.typeContext][mb.type] : ctx.codes->pType[ctx.typeContext][mb.type]);
        for (int i = 0; i < mb.mvCount; ++i) {
            s.PutSe(mb.mvd[i][0]);
            s.PutSe(mb.mvd[i][1]);
        }
    } else {
        s.PutBit(is16);
    }
    if (mb.type == kMbIntra16)
        s.Put(static_cast<std::uint32_t>(mb.mode16), 2);
    else if (mb.type == kMbIntra) {
        if (!ctx.interFrame)
            s.PutBit(true); // no quantiser change
        PutModes(s, *ctx.codes, mb.modes, ctx.above, ctx.left, ctx.topOfSlice);
    }
    const CoefficientCodes& lumaSet = intra || is16 ? *ctx.intraSet : *ctx.interSet;
    PutCbp(s, lumaSet, is16, mb.cbp);
    if (is16)
        PutBlock(s, mb.dc, CodesFor(lumaSet, 3, 0));
    const BlockCodes luma = CodesFor(lumaSet, is16 ? 2 : intra ? 1 : 0, 0);
    for (int i = 0; i < 16; ++i)
        if (mb.cbp >> i & 1)
            PutCodedBlock(s, mb.luma[i], luma, mb.blockBits[i]);
    const BlockCodes chroma = intra ? CodesFor(*ctx.intraSet, 0, 1) : CodesFor(*ctx.interSet, 1, 1);
    for (int i = 0; i < 8; ++i)
        if (mb.cbp >> (16 + i) & 1)
            PutCodedBlock(s, mb.chroma[i], chroma, mb.blockBits[16 + i]);
}

}  // namespace quenlar::rv40
