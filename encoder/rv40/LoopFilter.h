// The format's deblocking filter, run one macroblock row at a time as the decoder runs it.
#pragma once

#include <vector>

#include "Macroblock.h"
#include "Picture.h"

namespace quenlar::rv40 {

struct FilterFrame {
    Picture* picture;
    MbInfo* mbs; // mbWidth * mbHeight, row by row
    int mbWidth;
    int mbHeight;
    int quant;
    bool small; // at most 176x144 visible pixels: luma edges are filtered harder
};

// Filters macroblock row `row`. The decoder runs it once row + 1 is decoded (the last row at
// the end), in order; it widens the coded patterns of the row's strong macroblocks as it goes.
void FilterRow(const FilterFrame& frame, int row);

}  // namespace quenlar::rv40
