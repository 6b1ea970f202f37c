// Writes a coded frame's bits MSB first into a buffer of fixed size, the unused rest zero, and
// scrambles it as the format stores it.
#pragma once

#include <cstdint>
#include <span>

#include "Codes.h"

namespace quenlar::cook {

class BitWriter {
public:
    // `out` is zeroed; the writer never writes past it.
    explicit BitWriter(std::span<std::uint8_t> out) : out_(out)
    {
        for (std::uint8_t& byte : out_)
            byte = 0;
    }

    void Put(std::uint32_t bits, int n)
    {
        for (int i = n - 1; i >= 0; --i, ++position_) {
            // The frame coder keeps within the buffer; past it, bits are dropped, never stored.
            if (position_ < Capacity() && ((bits >> i) & 1))
                out_[position_ >> 3] |= static_cast<std::uint8_t>(0x80 >> (position_ & 7));
        }
    }
    void Put(const Code& code) { Put(code.bits, code.length); }

    int Bits() const { return position_; }
    int Capacity() const { return static_cast<int>(out_.size()) * 8; }

private:
    std::span<std::uint8_t> out_;
    int position_ = 0;
};

// Every 32 bits of a coded unit are stored XORed with this key, counted from the unit's start.
inline void Scramble(std::span<std::uint8_t> unit)
{
    static constexpr std::uint8_t kKey[4] = {0x37, 0xc5, 0x11, 0xf2};
    for (std::size_t i = 0; i < unit.size(); ++i)
        unit[i] ^= kKey[i % 4];
}

}  // namespace quenlar::cook
