// The slice header and the frame packet around the slices.
#pragma once

#include <cstdint>
#include <vector>

#include "BitWriter.h"

namespace quenlar::rv40 {

struct SliceHeader {
    bool intra;
    bool bidirectional; // a B-frame (not intra)
    int quant;
    int codeSetShift; // 0: the quantiser's code sets; 1 and 2 use those of a higher quantiser
    std::uint32_t timestampMs;
    int width;  // visible size, multiples of 4
    int height;
    int firstMb;
    int mbCount; // of the whole picture
};

void PutSliceHeader(BitWriter& w, const SliceHeader& h);

// The decoder's frame layout: slice count - 1, then for each slice 1 and its offset (32-bit
// little-endian), then the slices. `slices` holds each slice's start in `data`.
void PackFrame(const std::vector<std::uint8_t>& data, const std::vector<std::size_t>& slices,
               std::vector<std::uint8_t>& packet);

}  // namespace quenlar::rv40
