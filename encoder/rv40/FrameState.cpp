#include "FrameState.h"

#include <cstring>

#include "tables/Rv40Tables.h"

namespace quenlar::rv40 {

void Quantisers::Set(int quant)
{
    using tables::kChromaQuant;
    using tables::kLumaDcQuant;
    using tables::kQuantScale;
    // Rounding in 1/64 of a step: a third for intra blocks, a sixth for inter ones.
    constexpr int kIntraRounding = 21;
    constexpr int kInterRounding = 11;
    const int step = kQuantScale[quant];
    const int chromaDc = kQuantScale[kChromaQuant[1][quant]];
    const int chromaAc = kQuantScale[kChromaQuant[0][quant]];
    intraLuma.Set(step, step, step, kIntraRounding);
    intraChroma.Set(chromaDc, chromaAc, chromaAc, kIntraRounding);
    intraDc.Set(kQuantScale[kLumaDcQuant[0][quant]], kQuantScale[kLumaDcQuant[0][quant]], step, kIntraRounding);
    luma16Ac.Set(step, step, step, kIntraRounding);
    interLuma.Set(step, step, step, kInterRounding);
    interChroma.Set(chromaDc, chromaAc, chromaAc, kInterRounding);
    interDc.Set(kQuantScale[kLumaDcQuant[1][quant]], kQuantScale[kLumaDcQuant[1][quant]], step, kInterRounding);
}

BlendWeights BlendWeights::From(std::uint32_t earlier, std::uint32_t current, std::uint32_t later)
{
    auto distance = [](std::uint32_t a, std::uint32_t b) { return static_cast<int>((a - b) & 0x1FFF); };
    BlendWeights w;
    const int span = distance(later, earlier);
    if (!span)
        return w;
    w.toEarlier = (distance(current, earlier) << 14) / span;
    w.toLater = (distance(later, current) << 14) / span;
    w.fine = ((w.toEarlier | w.toLater) & 511) != 0;
    w.laterWeight = w.fine ? w.toEarlier : w.toEarlier >> 9;
    w.earlierWeight = w.fine ? w.toLater : w.toLater >> 9;
    w.weighted = w.laterWeight != 8192;
    return w;
}

void MbWindow::LoadEdges(const Picture& picture, int mbx, int mby)
{
    // The picture's borders make every read here valid; what lies outside the decoded area is
    // never used, since the prediction follows the decoder's availability rules.
    const int x0 = mbx * 16, y0 = mby * 16;
    std::memcpy(Y() - kStride - 1, picture.y.Row(y0 - 1) + x0 - 1, 21);
    for (int y = 0; y < 16; ++y)
        Y()[y * kStride - 1] = picture.y.Row(y0 + y)[x0 - 1];
    const Plane* planes[2] = {&picture.u, &picture.v};
    for (int k = 0; k < 2; ++k) {
        const Plane& p = *planes[k];
        std::memcpy(C(k) - kChromaStride - 1, p.Row(y0 / 2 - 1) + x0 / 2 - 1, 13);
        for (int y = 0; y < 8; ++y)
            C(k)[y * kChromaStride - 1] = p.Row(y0 / 2 + y)[x0 / 2 - 1];
    }
}

void MbWindow::CopyEdgesFrom(const MbWindow& other)
{
    std::memcpy(Y() - kStride - 1, other.Y() - kStride - 1, 21);
    for (int y = 0; y < 16; ++y)
        Y()[y * kStride - 1] = other.Y()[y * kStride - 1];
    for (int k = 0; k < 2; ++k) {
        std::memcpy(C(k) - kChromaStride - 1, other.C(k) - kChromaStride - 1, 13);
        for (int y = 0; y < 8; ++y)
            C(k)[y * kChromaStride - 1] = other.C(k)[y * kChromaStride - 1];
    }
}

void MbWindow::Store(Picture& picture, int mbx, int mby) const
{
    const int x0 = mbx * 16, y0 = mby * 16;
    for (int y = 0; y < 16; ++y)
        std::memcpy(picture.y.Row(y0 + y) + x0, Y() + y * kStride, 16);
    Plane* planes[2] = {&picture.u, &picture.v};
    for (int k = 0; k < 2; ++k)
        for (int y = 0; y < 8; ++y)
            std::memcpy(planes[k]->Row(y0 / 2 + y) + x0 / 2, C(k) + y * kChromaStride, 8);
}

}  // namespace quenlar::rv40
