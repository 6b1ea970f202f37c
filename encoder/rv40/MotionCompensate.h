// Motion-compensated prediction as the decoder forms it: quarter-pel luma with the format's
// 6-tap filters, eighth-pel bilinear chroma from the luma vector.
#pragma once

#include <cstdint>

#include "Picture.h"

namespace quenlar::rv40 {

// The w x h luma block at (x, y) moved by the quarter-pel vector (mvx, mvy).
void PredictLuma(const Plane& ref, int x, int y, int mvx, int mvy, int w, int h, std::uint8_t* dst, int dstStride);

// The chroma block at (x, y), w x h chroma pixels (w 4 or 8), for the luma vector (mvx, mvy).
void PredictChroma(const Plane& ref, int x, int y, int mvx, int mvy, int w, int h, std::uint8_t* dst,
                   int dstStride);

// The same for any vector, however far past the plane's border it reaches (the decoder repeats
// the edge pixels indefinitely): a B-frame's direct vectors, scaled and turned round from the
// later reference's, are not kept within the border as the searched ones are.
void PredictLumaAnywhere(const Plane& ref, int x, int y, int mvx, int mvy, int w, int h, std::uint8_t* dst,
                         int dstStride);
void PredictChromaAnywhere(const Plane& ref, int x, int y, int mvx, int mvy, int w, int h, std::uint8_t* dst,
                           int dstStride);

// One pass of the 6-tap filter for quarter position `frac` (1-3) over w x h pixels, along rows
// or down columns, rounded and clipped to pixels as the decoder does.
void FilterRows(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, int w, int h, int frac);
void FilterColumns(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, int w, int h,
                   int frac);

// The three quarter positions along the rows at once, into dst[0] (1) to dst[2] (3).
void FilterRowsAll(const std::uint8_t* src, int srcStride, std::uint8_t* const dst[3], int dstStride, int w, int h);

}  // namespace quenlar::rv40

namespace quenlar::rv40 {

struct BlendWeights;

// A B-frame's two predictions of a w x h area made one, into `dst` (which may be `earlier`):
// the rounded mean, or by distance as the decoder weighs a direct macroblock's.
void BlendMean(const std::uint8_t* earlier, int earlierStride, const std::uint8_t* later, int laterStride,
               std::uint8_t* dst, int dstStride, int w, int h);
void BlendWeighted(const std::uint8_t* earlier, int earlierStride, const std::uint8_t* later, int laterStride,
                   std::uint8_t* dst, int dstStride, int w, int h, const BlendWeights& weights);

}  // namespace quenlar::rv40
