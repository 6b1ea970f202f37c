// One 4-pixel edge of the format's loop filter, filtered as the decoder filters it.
#pragma once

#include <cstdint>

namespace quenlar::rv40 {

// `src` is the first pixel after the edge on its first line; vertical: the edge runs down (pixels
// across it are neighbours in a row). limQ1, limP1: the clipping of the two sides; edge: a
// macroblock edge where the strong filter may apply.
void FilterEdge(std::uint8_t* src, int stride, int dither, int limQ1, int limP1, int alpha, int beta, int beta2,
                bool chroma, bool edge, bool vertical);

}  // namespace quenlar::rv40
