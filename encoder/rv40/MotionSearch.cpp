#include "MotionSearch.h"

#include <algorithm>
#include <climits>

#include "Metrics.h"

namespace quenlar::rv40 {
namespace {

constexpr int kDiamond[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};

}  // namespace

void MotionSearch::SetFrame(const Plane& source, const Plane& reference, const SubpelPlanes& subpel, int lambda)
{
    source_ = &source;
    reference_ = &reference;
    subpel_ = &subpel;
    lambda_ = lambda;
}

Mv MotionSearch::Clamp(int x, int y, int w, int h, Mv mv) const
{
    // Keep the block within kMvReach pixels of the picture, where the borders hold what the
    // decoder's edge emulation would give.
    const int minX = (-kMvReach - x) * 4, maxX = (reference_->Width() + kMvReach - w - x) * 4;
    const int minY = (-kMvReach - y) * 4, maxY = (reference_->Height() + kMvReach - h - y) * 4;
    return {std::clamp(mv.x, minX, maxX), std::clamp(mv.y, minY, maxY)};
}

int MotionSearch::FullPelCost(int x, int y, int w, int h, int fx, int fy, Mv pred) const
{
    return Sad(source_->Row(y) + x, source_->Stride(), reference_->Row(y + fy) + x + fx, reference_->Stride(), w, h) +
           VectorCost({fx * 4, fy * 4}, pred);
}

int MotionSearch::Cost(int x, int y, int w, int h, Mv mv, Mv pred)
{
    const bool whole = w == 16 && h == 16;
    if (!whole && (x & ~15) == quarterX_ && (y & ~15) == quarterY_) {
        for (int i = 0; i < quarterCount_; ++i) {
            if (!(quarters_[i].mv == mv))
                continue;
            const int qx = (x & 15) >> 3, qy = (y & 15) >> 3;
            int sum = 0;
            for (int j = qy; j < qy + (h >> 3); ++j)
                for (int k = qx; k < qx + (w >> 3); ++k)
                    sum += quarters_[i].sums[j * 2 + k];
            return (sum >> 1) + VectorCost(mv, pred);
        }
    }
    alignas(16) std::uint8_t scratch[16 * 16];
    int stride;
    const std::uint8_t* block = subpel_->Block(x, y, mv, w, h, scratch, &stride);
    if (!whole || quarterCount_ == kMaxQuarters)
        return Satd(source_->Row(y) + x, source_->Stride(), block, stride, w, h) + VectorCost(mv, pred);
    Quarters& q = quarters_[quarterCount_++];
    q.mv = mv;
    SatdQuarters(source_->Row(y) + x, source_->Stride(), block, stride, q.sums);
    return ((q.sums[0] + q.sums[1] + q.sums[2] + q.sums[3]) >> 1) + VectorCost(mv, pred);
}

SearchResult MotionSearch::Refine(int x, int y, int w, int h, Mv pred, const Mv* candidates, int count, int rounds)
{
    if (w == 16 && h == 16) {
        quarterCount_ = 0;
        quarterX_ = x;
        quarterY_ = y;
    }
    Mv mv = Clamp(x, y, w, h, candidates[0]);
    int cost = Cost(x, y, w, h, mv, pred);
    for (int i = 1; i < count; ++i) {
        const Mv c = Clamp(x, y, w, h, candidates[i]);
        if (c == mv)
            continue;
        const int cc = Cost(x, y, w, h, c, pred);
        if (cc < cost) {
            cost = cc;
            mv = c;
        }
    }
    Diamond(x, y, w, h, pred, 1, rounds, mv, cost);
    return {mv, cost};
}

void MotionSearch::Diamond(int x, int y, int w, int h, Mv pred, int scale, int rounds, Mv& mv, int& cost)
{
    Mv previous{INT_MIN, INT_MIN};
    for (int round = 0; round < rounds; ++round) {
        const Mv centre = mv;
        for (const auto& d : kDiamond) {
            const Mv c{centre.x + d[0] * scale, centre.y + d[1] * scale};
            // The centre of the round before is known to cost more.
            if (c == previous || !(Clamp(x, y, w, h, c) == c))
                continue;
            const int cc = Cost(x, y, w, h, c, pred);
            if (cc < cost) {
                cost = cc;
                mv = c;
            }
        }
        if (mv == centre)
            break;
        previous = centre;
    }
}

SearchResult MotionSearch::Search(int x, int y, int w, int h, Mv pred, const Mv* candidates, int count)
{
    if (w == 16 && h == 16) {
        quarterCount_ = 0;
        quarterX_ = x;
        quarterY_ = y;
    }
    // Full pels: the best of the candidates, then hexagon steps, then a small diamond.
    const Mv start = Clamp(x, y, w, h, {(pred.x + 2) >> 2 << 2, (pred.y + 2) >> 2 << 2});
    int bx = start.x >> 2, by = start.y >> 2;
    int best = FullPelCost(x, y, w, h, bx, by, pred);
    for (int i = 0; i < count; ++i) {
        const Mv c = Clamp(x, y, w, h, {(candidates[i].x + 2) >> 2 << 2, (candidates[i].y + 2) >> 2 << 2});
        if (c.x >> 2 == bx && c.y >> 2 == by)
            continue;
        const int cost = FullPelCost(x, y, w, h, c.x >> 2, c.y >> 2, pred);
        if (cost < best) {
            best = cost;
            bx = c.x >> 2;
            by = c.y >> 2;
        }
    }
    // From a candidate this cheap the hexagon's wide steps found better too seldom (3 % of the
    // encoder's instructions for 0.1 dB on the test pattern, nothing on film); the small
    // diamond still looks around it (without it the pattern lost 0.6 dB).
    const bool settled = best * 256 < kSettledCost * lambda_;
    const int minX = -kMvReach - x, maxX = reference_->Width() + kMvReach - w - x;
    const int minY = -kMvReach - y, maxY = reference_->Height() + kMvReach - h - y;
    auto tryAt = [&](int fx, int fy, int& cx, int& cy, int& cbest) {
        if (fx < minX || fx > maxX || fy < minY || fy > maxY)
            return;
        const int cost = FullPelCost(x, y, w, h, fx, fy, pred);
        if (cost < cbest) {
            cbest = cost;
            cx = fx;
            cy = fy;
        }
    };
    static constexpr int kHexagon[6][2] = {{-2, 0}, {-1, -2}, {1, -2}, {2, 0}, {1, 2}, {-1, 2}};
    // After a step in direction k only the points k - 1, k and k + 1 around the new centre are
    // new; the others were tried and cost more.
    for (int step = 0, moved = -1; step < (settled ? 0 : 16); ++step) {
        int nx = bx, ny = by, nbest = best, direction = -1;
        for (int k = 0; k < 6; ++k) {
            if (moved >= 0 && (k - moved + 7) % 6 > 2)
                continue;
            const int before = nbest;
            tryAt(bx + kHexagon[k][0], by + kHexagon[k][1], nx, ny, nbest);
            if (nbest < before)
                direction = k;
        }
        if (direction < 0)
            break;
        bx = nx, by = ny, best = nbest, moved = direction;
    }
    for (int step = 0; step < 4; ++step) {
        int nx = bx, ny = by, nbest = best;
        for (const auto& d : kDiamond)
            tryAt(bx + d[0], by + d[1], nx, ny, nbest);
        if (nx == bx && ny == by)
            break;
        bx = nx, by = ny, best = nbest;
    }
    // Half, then quarter pels: a small diamond each, the quarters' repeated once if it moves (a
    // second round of halves found nothing on film).
    Mv mv{bx * 4, by * 4};
    int cost = Cost(x, y, w, h, mv, pred);
    Diamond(x, y, w, h, pred, 2, 1, mv, cost);
    Diamond(x, y, w, h, pred, 1, 2, mv, cost);
    return {mv, cost};
}

}  // namespace quenlar::rv40
