// The reference luma filtered along its rows at each quarter position (the decoder's own
// filters, rounded to pixels as it rounds them), plus the half-pel positions down the columns,
// built once per reference picture: every quarter-pel block the motion search compares is then
// a plane's, the mean of two planes' (an approximation, between a built position and the next),
// or one more filter pass away.
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
    // block filtered into `scratch` (stride 16). *stride gets the result's stride.
    const std::uint8_t* Block(int x, int y, Mv mv, int w, int h, std::uint8_t* scratch, int* stride) const;

private:
    const Plane* full_ = nullptr;
    Plane rows_[3];   // filtered along the rows at quarter positions 1, 2, 3
    Plane columns_;   // half-pel down the columns
    Plane both_;      // half-pel both ways
    const Plane* built_[16] = {}; // the plane of each quarter position (4 * y + x), where one is built
};

// The planes of the two latest references, each built once: the later reference of B pictures
// is the next P picture's reference, and their earlier one the last P picture's.
class SubpelCache {
public:
    // The planes of `full`, whose contents `serial` names (counting from 1): kept if they are
    // here, else built in place of the older ones.
    const SubpelPlanes& Of(const Plane& full, std::uint64_t serial);

private:
    SubpelPlanes planes_[2];
    std::uint64_t serials_[2] = {};
};

}  // namespace quenlar::rv40
