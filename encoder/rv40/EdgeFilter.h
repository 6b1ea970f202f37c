// One 4-pixel edge of the format's loop filter, filtered as the decoder filters it.
#pragma once

#include <cstdint>

namespace quenlar::rv40 {

// `src` is the first pixel after the edge on its first line; vertical: the edge runs down (pixels
// across it are neighbours in a row). limQ1, limP1: the clipping of the two sides; edge: a
// macroblock edge where the strong filter may apply.
void FilterEdge(std::uint8_t* src, int stride, int dither, int limQ1, int limP1, int alpha, int beta, int beta2,
                bool chroma, bool edge, bool vertical);

// An edge inside a macroblock (so never strong): `count` (2 or 4) segments of four pixels
// along it, segment k filtered where bit k of `segments` is set, with its own clips; `src` and
// `vertical` as FilterEdge takes them for the first. The same as FilterEdge on each segment,
// eight pixels at a time.
void FilterInnerEdge(std::uint8_t* src, int stride, bool vertical, int count, unsigned segments, const int limQ1[4],
                     const int limP1[4], int alpha, int beta);

}  // namespace quenlar::rv40
