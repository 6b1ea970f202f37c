#include "SubpelPlanes.h"

#include "MotionCompensate.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quenlar::rv40 {
namespace {

// How far outside the picture the planes are filled: the search's reach.
constexpr int kReach = kMvReach;

}  // namespace

void SubpelPlanes::Build(const Plane& full)
{
    full_ = &full;
    for (Plane* p : {&rows_[0], &rows_[1], &rows_[2], &columns_, &both_})
        if (p->Width() != full.Width() || p->Height() != full.Height())
            p->Allocate(full.Width(), full.Height(), full.Pad());
    const int w = full.Width() + 2 * kReach, h = full.Height() + 2 * kReach;
    const int s = full.Stride();
    // The row-filtered planes also two rows above and three below, for the column filter.
    std::uint8_t* const rows[3] = {rows_[0].Row(-kReach - 2) - kReach, rows_[1].Row(-kReach - 2) - kReach,
                                   rows_[2].Row(-kReach - 2) - kReach};
    FilterRowsAll(full.Row(-kReach - 2) - kReach, s, rows, s, w, h + 5);
    FilterColumns(full.Row(-kReach) - kReach, s, columns_.Row(-kReach) - kReach, s, w, h, 2);
    FilterColumns(rows_[1].Row(-kReach) - kReach, s, both_.Row(-kReach) - kReach, s, w, h, 2);
    built_[0] = &full;
    built_[1] = &rows_[0];
    built_[2] = &rows_[1];
    built_[3] = &rows_[2];
    built_[8] = &columns_;
    built_[10] = &both_;
}

const SubpelPlanes& SubpelCache::Of(const Plane& full, std::uint64_t serial)
{
    for (int i = 0; i < 2; ++i)
        if (serials_[i] == serial)
            return planes_[i];
    const int older = serials_[1] < serials_[0];
    planes_[older].Build(full);
    serials_[older] = serial;
    return planes_[older];
}

const std::uint8_t* SubpelPlanes::Block(int x, int y, Mv mv, int w, int h, std::uint8_t* scratch, int* stride) const
{
    const int lx = mv.x & 3, ly = mv.y & 3;
    const int bx = x + (mv.x >> 2), by = y + (mv.y >> 2);
    const int s = full_->Stride();
    *stride = s;
    if (const Plane* plane = built_[ly * 4 + lx])
        return plane->Row(by) + bx;
    *stride = 16;
    // Between two built planes, their rounded mean stands in for the decoder's filter: close
    // enough to rank vectors by (0.013 dB on film), at a tenth of the work.
    const std::uint8_t* a = nullptr;
    const std::uint8_t* b = nullptr;
    if (!(lx & 1)) {
        const Plane& whole = *built_[lx];
        const Plane& half = *built_[8 + lx];
        a = (ly == 1 ? whole.Row(by) : half.Row(by)) + bx;
        b = (ly == 1 ? half.Row(by) : whole.Row(by + 1)) + bx;
    } else if (ly == 2) {
        a = (lx == 1 ? columns_.Row(by) + bx : both_.Row(by) + bx);
        b = (lx == 1 ? both_.Row(by) + bx : columns_.Row(by) + bx + 1);
    }
    if (a) {
        for (int j = 0; j < h; ++j) {
#if defined(__SSE2__)
            if (w == 16) {
                _mm_store_si128(reinterpret_cast<__m128i*>(scratch + j * 16),
                                _mm_avg_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + j * s)),
                                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + j * s))));
                continue;
            }
            if (w == 8) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(scratch + j * 16),
                                 _mm_avg_epu8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + j * s)),
                                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + j * s))));
                continue;
            }
#endif
            for (int i = 0; i < w; ++i)
                scratch[j * 16 + i] = static_cast<std::uint8_t>((a[j * s + i] + b[j * s + i] + 1) >> 1);
        }
        return scratch;
    }
    if (lx == 3 && ly == 3) {
        PredictLuma(*full_, x, y, mv.x, mv.y, w, h, scratch, 16);
        return scratch;
    }
    const Plane& source = lx ? rows_[lx - 1] : *full_;
    FilterColumns(source.Row(by) + bx, s, scratch, 16, w, h, ly);
    return scratch;
}

}  // namespace quenlar::rv40
