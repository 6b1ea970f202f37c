#include "SubpelPlanes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "MotionCompensate.h"

namespace quenlar::rv40 {
namespace {

// How far outside the picture the planes are filled: the search's reach and one more pixel for
// the quarter positions that average with the next column or row.
constexpr int kReach = kMvReach + 1;

void Average(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, std::uint8_t* dst, int w, int h)
{
    for (int y = 0; y < h; ++y, a += aStride, b += bStride, dst += 16) {
        int x = 0;
#if defined(__SSE2__)
        for (; x + 16 <= w; x += 16)
            _mm_store_si128(reinterpret_cast<__m128i*>(dst + x),
                            _mm_avg_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x)),
                                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x))));
        for (; x + 8 <= w; x += 8)
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + x),
                             _mm_avg_epu8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + x)),
                                          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + x))));
#endif
        for (; x < w; ++x)
            dst[x] = static_cast<std::uint8_t>((a[x] + b[x] + 1) >> 1);
    }
}

}  // namespace

void SubpelPlanes::Build(const Plane& full)
{
    full_ = &full;
    for (Plane& p : half_)
        if (p.Width() != full.Width() || p.Height() != full.Height())
            p.Allocate(full.Width(), full.Height(), full.Pad());
    const int w = full.Width() + 2 * kReach, h = full.Height() + 2 * kReach;
    const int s = full.Stride();
    // Columns' halves over two more rows above and three below, which the "both" plane filters.
    FilterRows(full.Row(-kReach - 2) - kReach, s, half_[0].Row(-kReach - 2) - kReach, s, w, h + 5, 2);
    FilterColumns(full.Row(-kReach) - kReach, s, half_[1].Row(-kReach) - kReach, s, w, h, 2);
    FilterColumns(half_[0].Row(-kReach) - kReach, s, half_[2].Row(-kReach) - kReach, s, w, h, 2);
}

const std::uint8_t* SubpelPlanes::Block(int x, int y, Mv mv, int w, int h, std::uint8_t* scratch, int* stride) const
{
    // Each quarter position as one plane or the average of two, each at an offset of 0 or 1
    // pixel: F full, H between columns, V between rows, C both.
    enum { F = -1, H = 0, V = 1, C = 2 };
    struct Source {
        int plane, dx, dy;
    };
    static constexpr Source kSources[16][2] = {
        {{F, 0, 0}, {F, 0, 0}}, {{F, 0, 0}, {H, 0, 0}}, {{H, 0, 0}, {H, 0, 0}}, {{H, 0, 0}, {F, 1, 0}},
        {{F, 0, 0}, {V, 0, 0}}, {{H, 0, 0}, {V, 0, 0}}, {{H, 0, 0}, {C, 0, 0}}, {{H, 0, 0}, {V, 1, 0}},
        {{V, 0, 0}, {V, 0, 0}}, {{V, 0, 0}, {C, 0, 0}}, {{C, 0, 0}, {C, 0, 0}}, {{C, 0, 0}, {V, 1, 0}},
        {{V, 0, 0}, {F, 0, 1}}, {{V, 0, 0}, {H, 0, 1}}, {{C, 0, 0}, {H, 0, 1}}, {{H, 0, 1}, {V, 1, 0}},
    };
    const Source* s = kSources[(mv.y & 3) * 4 + (mv.x & 3)];
    const int bx = x + (mv.x >> 2), by = y + (mv.y >> 2);
    auto at = [&](const Source& src) {
        const Plane& p = src.plane == F ? *full_ : half_[src.plane];
        return p.Row(by + src.dy) + bx + src.dx;
    };
    *stride = full_->Stride();
    if (s[0].plane == s[1].plane && s[0].dx == s[1].dx && s[0].dy == s[1].dy)
        return at(s[0]);
    Average(at(s[0]), full_->Stride(), at(s[1]), full_->Stride(), scratch, w, h);
    *stride = 16;
    return scratch;
}

}  // namespace quenlar::rv40
