#include "Lookahead.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "Metrics.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quenlar::rv40 {

namespace {

constexpr int kBlock = 8;
// Half-size pixels a vector may reach (a whole-size macroblock's search range).
constexpr int kReach = 32;
constexpr int kRefineSteps = 16;

}  // namespace

Lookahead::Lookahead(int width, int height)
    : width_(width / 2), height_(height / 2), blocksX_(width_ / kBlock), blocksY_(height_ / kBlock)
{
    current_.resize(static_cast<std::size_t>(width_) * height_);
    vectors_.resize(static_cast<std::size_t>(blocksX_) * blocksY_);
}

void Lookahead::Shrink(const SourcePicture& picture)
{
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* a = picture.data[0] + static_cast<std::ptrdiff_t>(2 * y) * picture.stride[0];
        const std::uint8_t* b = a + picture.stride[0];
        std::uint8_t* out = current_.data() + static_cast<std::ptrdiff_t>(y) * width_;
        int x = 0;
#if defined(__SSE2__)
        // Eight outputs at a time: each row's byte pairs summed in 16 bits, then the two rows.
        const __m128i low = _mm_set1_epi16(0xFF), two = _mm_set1_epi16(2);
        for (; x + 8 <= width_; x += 8) {
            const __m128i ra = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 2 * x));
            const __m128i rb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 2 * x));
            const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_and_si128(ra, low), _mm_srli_epi16(ra, 8)),
                                              _mm_add_epi16(_mm_and_si128(rb, low), _mm_srli_epi16(rb, 8)));
            const __m128i mean = _mm_srli_epi16(_mm_add_epi16(sum, two), 2);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(mean, mean));
        }
#endif
        for (; x < width_; ++x)
            out[x] = static_cast<std::uint8_t>((a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1] + 2) >> 2);
    }
}

int Lookahead::IntraCost(int bx, int by) const
{
    const std::uint8_t* block = current_.data() + static_cast<std::ptrdiff_t>(by * kBlock) * width_ + bx * kBlock;
    const std::uint8_t* top = by > 0 ? block - width_ : nullptr;
    const bool left = bx > 0;
    std::uint8_t prediction[kBlock * kBlock];
    int dc = 0;
    int count = 0;
    for (int i = 0; i < kBlock; ++i) {
        if (top) {
            dc += top[i];
            ++count;
        }
        if (left) {
            dc += block[i * width_ - 1];
            ++count;
        }
    }
    std::fill_n(prediction, kBlock * kBlock, static_cast<std::uint8_t>(count ? (dc + count / 2) / count : 128));
    int best = Satd(block, width_, prediction, kBlock, kBlock, kBlock);
    if (top) {
        for (int y = 0; y < kBlock; ++y)
            std::copy_n(top, kBlock, prediction + y * kBlock);
        best = std::min(best, Satd(block, width_, prediction, kBlock, kBlock, kBlock));
    }
    if (left) {
        for (int y = 0; y < kBlock; ++y)
            std::fill_n(prediction + y * kBlock, kBlock, block[y * width_ - 1]);
        best = std::min(best, Satd(block, width_, prediction, kBlock, kBlock, kBlock));
    }
    return best;
}

int Lookahead::MotionSad(int x, int y, Vector v) const
{
    return Sad(current_.data() + static_cast<std::ptrdiff_t>(y) * width_ + x, width_,
               previous_.data() + static_cast<std::ptrdiff_t>(y + v.y) * width_ + x + v.x, width_, kBlock, kBlock);
}

// Starts from the vectors of the neighbours and of the same block in the last picture, then
// steps to the best of the four next positions while that improves.
int Lookahead::InterCost(int bx, int by, Vector& best) const
{
    const int x = bx * kBlock;
    const int y = by * kBlock;
    auto clamp = [&](Vector v) {
        v.x = std::clamp(v.x, std::max(-kReach, -x), std::min(kReach, width_ - kBlock - x));
        v.y = std::clamp(v.y, std::max(-kReach, -y), std::min(kReach, height_ - kBlock - y));
        return v;
    };
    const std::size_t here = static_cast<std::size_t>(by) * blocksX_ + bx;
    Vector candidates[5] = {{}, vectors_[here]};
    int count = 2;
    if (bx > 0)
        candidates[count++] = vectors_[here - 1];
    if (by > 0)
        candidates[count++] = vectors_[here - blocksX_];
    if (by > 0 && bx + 1 < blocksX_)
        candidates[count++] = vectors_[here - blocksX_ + 1];
    best = {};
    int bestSad = INT_MAX;
    for (int i = 0; i < count; ++i) {
        const Vector v = clamp(candidates[i]);
        const int sad = MotionSad(x, y, v);
        if (sad < bestSad) {
            bestSad = sad;
            best = v;
        }
    }
    // The centre of the step before is known to cost more.
    Vector previous{INT_MIN, INT_MIN};
    for (int step = 0; step < kRefineSteps; ++step) {
        const Vector centre = best;
        for (const Vector d : {Vector{-1, 0}, Vector{1, 0}, Vector{0, -1}, Vector{0, 1}}) {
            const Vector v = clamp({centre.x + d.x, centre.y + d.y});
            if ((v.x == previous.x && v.y == previous.y) || (v.x == centre.x && v.y == centre.y))
                continue;
            const int sad = MotionSad(x, y, v);
            if (sad < bestSad) {
                bestSad = sad;
                best = v;
            }
        }
        if (best.x == centre.x && best.y == centre.y)
            break;
        previous = centre;
    }
    return Satd(current_.data() + static_cast<std::ptrdiff_t>(y) * width_ + x, width_,
                previous_.data() + static_cast<std::ptrdiff_t>(y + best.y) * width_ + x + best.x, width_, kBlock,
                kBlock);
}

double Lookahead::Cost(const SourcePicture& picture, bool key)
{
    Shrink(picture);
    const bool inter = !key && !previous_.empty();
    double cost = 0;
    for (int by = 0; by < blocksY_; ++by) {
        for (int bx = 0; bx < blocksX_; ++bx) {
            int block = IntraCost(bx, by);
            if (inter) {
                Vector vector;
                block = std::min(block, InterCost(bx, by, vector));
                // Written in place: the neighbours above and to the left are this picture's
                // already, the others still the last one's, as the search wants them.
                vectors_[static_cast<std::size_t>(by) * blocksX_ + bx] = vector;
            }
            cost += block;
        }
    }
    if (!inter)
        std::fill(vectors_.begin(), vectors_.end(), Vector{});
    previous_.swap(current_);
    current_.resize(previous_.size());
    return std::max(cost, 1.0);
}

}  // namespace quenlar::rv40
