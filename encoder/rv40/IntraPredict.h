// Intra prediction as the decoder forms it: 4x4 blocks (luma and chroma), 16x16 luma, 8x8 chroma,
// with a coded mode turned into what the available neighbours allow.
#pragma once

#include <cstdint>

namespace quenlar::rv40 {

// 4x4 modes in coded order.
enum Intra4x4Mode : int {
    kIntraDc,
    kIntraVertical,
    kIntraHorizontal,
    kIntraDiagDownRight,
    kIntraDiagDownLeft,
    kIntraVerticalRight,
    kIntraVerticalLeft,
    kIntraHorizontalUp,
    kIntraHorizontalDown,
    kIntra4x4Modes
};

// 16x16 modes in coded order; chroma of a 16x16 macroblock follows the luma mode (plane as DC).
enum Intra16x16Mode : int { kIntra16Dc, kIntra16Vertical, kIntra16Horizontal, kIntra16Plane };

// Which neighbours of a 4x4 block are decoded already: above, left, below-left, above-right.
struct Neighbours {
    bool up;
    bool left;
    bool down;
    bool right;
};

// `src` is the block's place in the reconstructed picture (its edge is read there); the
// prediction goes to `pred` with stride `predStride`.
void Predict4x4(const std::uint8_t* src, int stride, int mode, Neighbours n, std::uint8_t* pred, int predStride);
// The block predicted with each of `count` modes, into pred[i] (stride 4).
void Predict4x4Modes(const std::uint8_t* src, int stride, const int* modes, int count, Neighbours n,
                     std::uint8_t (*pred)[16]);
void Predict16x16(const std::uint8_t* src, int stride, int mode, bool up, bool left, std::uint8_t* pred,
                  int predStride);
void PredictChroma8x8(const std::uint8_t* src, int stride, int mode, bool up, bool left, std::uint8_t* pred,
                      int predStride);

}  // namespace quenlar::rv40
