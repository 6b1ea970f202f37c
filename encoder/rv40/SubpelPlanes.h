// The reference luma at half-pel positions (the decoder's own half-pel filter), built once per
// reference picture, and quarter-pel approximations from them by averaging: what the motion
// search compares, so that it need not interpolate each candidate.
#pragma once

#include <cstdint>

#include "MotionVectors.h"
#include "Picture.h"

namespace quenlar::rv40 {

class SubpelPlanes {
public:
    // From a reference whose borders are extended; covers every vector the search may choose.
    void Build(const Plane& full);
    // The w x h block at (x, y) moved by `mv` (quarter pels): a pointer into a plane, or the
    // average of two written to `scratch` (stride 16). *stride gets the result's stride.
    const std::uint8_t* Block(int x, int y, Mv mv, int w, int h, std::uint8_t* scratch, int* stride) const;

private:
    const Plane* full_ = nullptr;
    Plane half_[3]; // between columns, between rows, both
};

}  // namespace quenlar::rv40
