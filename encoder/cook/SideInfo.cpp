#include "SideInfo.h"

#include <algorithm>

#include "Codes.h"

namespace quenlar::cook {

namespace {

// The decoder reads a count of points, then for each the last segment it covers and its gain
// (-1 costs a bit, others five); segments after the last point have gain 0.
template <typename Sink>
void ForEachPoint(const GainProfile& profile, Sink sink)
{
    int last = -1;
    for (int i = 0; i < 8; ++i) {
        if (profile.gain[i] != 0)
            last = i;
    }
    for (int i = 0; i <= last;) {
        int end = i;
        while (end + 1 <= last && profile.gain[end + 1] == profile.gain[i])
            ++end;
        sink(end, profile.gain[i]);
        i = end + 1;
    }
}

int HuffmanCouplingBits(const Coupling& coupling)
{
    const auto& codes = Codes().coupling[coupling.bits - kMinCouplingBits];
    int bits = 0;
    for (const int value : coupling.values)
        bits += codes[value].length;
    return bits;
}

}  // namespace

bool GainProfile::Flat() const
{
    return std::all_of(gain.begin(), gain.end(), [](int g) { return g == 0; });
}

int GainBits(const GainProfile& profile)
{
    int bits = 1;
    ForEachPoint(profile, [&](int, int gain) { bits += 1 + 3 + 1 + (gain == -1 ? 0 : 4); });
    return bits;
}

void WriteGain(const GainProfile& profile, BitWriter& writer)
{
    int points = 0;
    ForEachPoint(profile, [&](int, int) { ++points; });
    for (int i = 0; i < points; ++i)
        writer.Put(1, 1);
    writer.Put(0, 1);
    ForEachPoint(profile, [&](int end, int gain) {
        writer.Put(static_cast<std::uint32_t>(end), 3);
        if (gain == -1) {
            writer.Put(0, 1);
        } else {
            writer.Put(1, 1);
            writer.Put(static_cast<std::uint32_t>(gain - kMinGain), 4);
        }
    });
}

int CouplingBits(const Coupling& coupling)
{
    const int fixed = coupling.bits * static_cast<int>(coupling.values.size());
    return 1 + std::min(fixed, HuffmanCouplingBits(coupling));
}

void WriteCoupling(const Coupling& coupling, BitWriter& writer)
{
    const int fixed = coupling.bits * static_cast<int>(coupling.values.size());
    const bool huffman = HuffmanCouplingBits(coupling) < fixed;
    writer.Put(huffman ? 1 : 0, 1);
    const auto& codes = Codes().coupling[coupling.bits - kMinCouplingBits];
    for (const int value : coupling.values) {
        if (huffman)
            writer.Put(codes[value]);
        else
            writer.Put(static_cast<std::uint32_t>(value), coupling.bits);
    }
}

}  // namespace quenlar::cook
