#include "SliceHeader.h"

#include "tables/Rv40Tables.h"

namespace quenlar::rv40 {
namespace {

void PutEscapedSize(BitWriter& w, int size)
{
    int quarter = size / 4;
    for (; quarter >= 255; quarter -= 255)
        w.Put(255, 8);
    w.Put(static_cast<std::uint32_t>(quarter), 8);
}

void PutWidth(BitWriter& w, int width)
{
    for (int t = 0; t < 7; ++t)
        if (tables::kStandardWidths[t] == width) {
            w.Put(static_cast<std::uint32_t>(t), 3);
            return;
        }
    w.Put(7, 3);
    PutEscapedSize(w, width);
}

void PutHeight(BitWriter& w, int height)
{
    for (int t = 0; t < 6; ++t)
        if (tables::kStandardHeights[t] == height) {
            w.Put(static_cast<std::uint32_t>(t), 3);
            return;
        }
    // Codes 6 and 7 take one more bit: 180/360 and 576/escaped.
    for (int t = 8; t < 11; ++t)
        if (tables::kStandardHeights[t] == height) {
            w.Put(t < 10 ? 6 : 7, 3);
            w.PutBit(t == 9);
            return;
        }
    w.Put(7, 3);
    w.PutBit(true);
    PutEscapedSize(w, height);
}

int MbNumberBits(int mbCount)
{
    int i = 0;
    while (i < 5 && tables::kMbCountLimits[i] < mbCount - 1)
        ++i;
    return tables::kMbCountBits[i];
}

}  // namespace

void PutSliceHeader(BitWriter& w, const SliceHeader& h)
{
    w.PutBit(false);
    w.Put(h.intra ? 0 : h.bidirectional ? 3 : 2, 2);
    w.Put(static_cast<std::uint32_t>(h.quant), 5);
    w.Put(0, 2);
    w.Put(static_cast<std::uint32_t>(h.codeSetShift), 2);
    w.PutBit(false);
    w.Put(h.timestampMs & 0x1FFF, 13);
    if (h.intra) {
        PutWidth(w, h.width);
        PutHeight(w, h.height);
    } else {
        w.PutBit(true); // the size of the previous picture
    }
    w.Put(static_cast<std::uint32_t>(h.firstMb), MbNumberBits(h.mbCount));
}

void PackFrame(const std::vector<std::uint8_t>& data, const std::vector<std::size_t>& slices,
               std::vector<std::uint8_t>& packet)
{
    packet.clear();
    packet.reserve(1 + 8 * slices.size() + data.size());
    packet.push_back(static_cast<std::uint8_t>(slices.size() - 1));
    for (std::size_t offset : slices) {
        const std::uint8_t entry[8] = {1, 0, 0, 0, static_cast<std::uint8_t>(offset),
                                       static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset >> 16),
                                       static_cast<std::uint8_t>(offset >> 24)};
        packet.insert(packet.end(), entry, entry + 8);
    }
    packet.insert(packet.end(), data.begin(), data.end());
}

}  // namespace quenlar::rv40
