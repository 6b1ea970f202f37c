// Motion search of one block: predictor candidates and a hexagon and diamond at full pels, then
// half and quarter pels, minimising prediction error plus lambda times the vector's bits.
#pragma once

#include <cstdint>

#include "MotionVectors.h"
#include "Picture.h"
#include "SubpelPlanes.h"

namespace quenlar::rv40 {

struct SearchResult {
    Mv mv;    // quarter pels
    int cost; // SATD + lambda * vector bits
};

class MotionSearch {
public:
    // lambda: SATD units per bit, times 256.
    void SetFrame(const Plane& source, const Plane& reference, const SubpelPlanes& subpel, int lambda);
    // The w x h block at (x, y); `pred` is the vector prediction the difference is coded against.
    SearchResult Search(int x, int y, int w, int h, Mv pred, const Mv* candidates, int count);
    // A cheaper search where good candidates are known (the parts of a macroblock whose whole
    // vector is, a B picture's directions): the best candidate at its own quarter-pel position,
    // then `rounds` rounds of quarter-pel diamond steps.
    SearchResult Refine(int x, int y, int w, int h, Mv pred, const Mv* candidates, int count, int rounds = 1);
private:
    // SATD of the block at a quarter-pel vector (its search approximation), plus the vector's cost.
    int Cost(int x, int y, int w, int h, Mv mv, Mv pred);
    int VectorCost(Mv mv, Mv pred) const
    {
        return (lambda_ * (SignedCodeBits(mv.x - pred.x) + SignedCodeBits(mv.y - pred.y))) >> 8;
    }
    // Steps of `scale` quarter pels to the four neighbours of `mv`, repeated while one is better.
    void Diamond(int x, int y, int w, int h, Mv pred, int scale, int rounds, Mv& mv, int& cost);
    int FullPelCost(int x, int y, int w, int h, int fx, int fy, Mv pred) const;
    Mv Clamp(int x, int y, int w, int h, Mv mv) const;

    const Plane* source_ = nullptr;
    const Plane* reference_ = nullptr;
    const SubpelPlanes* subpel_ = nullptr;
    int lambda_ = 0;
    // The quarters' SATD sums of the whole macroblock at the vectors its search tried: the
    // partitions' search finds most of its trials there.
    struct Quarters {
        Mv mv;
        int sums[4];
    };
    static constexpr int kMaxQuarters = 32;
    // In lambda / 256: from a full-pel candidate cheaper than this no hexagon steps are taken.
    static constexpr int kSettledCost = 300;
    Quarters quarters_[kMaxQuarters];
    int quarterCount_ = 0;
    int quarterX_ = -1;
    int quarterY_ = -1;
};

}  // namespace quenlar::rv40
