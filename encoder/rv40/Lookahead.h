// A cheap look at pictures before they are coded, for the rate control's plan: what each would
// cost as a key picture, or as a P picture after the one before it. Measured on the luma at half
// size, in 8x8 blocks (a macroblock each): the sum of absolute transformed differences from the
// best of a few intra predictions made of the source's own neighbouring pixels, or from a motion
// search in the previous picture, whichever is less.
#pragma once

#include <cstdint>
#include <vector>

#include "Rv40Encoder.h"

namespace quenlar::rv40 {

class Lookahead {
public:
    // width and height as the encoder's.
    Lookahead(int width, int height);

    // The cost of `picture` as a key picture when `key`, else as a P picture after the picture
    // given to the last call.
    double Cost(const SourcePicture& picture, bool key);

private:
    struct Vector {
        int x = 0;
        int y = 0;
    };

    void Shrink(const SourcePicture& picture);
    int IntraCost(int bx, int by) const;
    int InterCost(int bx, int by, Vector& best) const;
    int MotionSad(int x, int y, Vector v) const;

    int width_;   // of the half-size luma
    int height_;
    int blocksX_;
    int blocksY_;
    std::vector<std::uint8_t> current_;
    std::vector<std::uint8_t> previous_;
    std::vector<Vector> vectors_;  // each block's, of the last P picture
};

}  // namespace quenlar::rv40
