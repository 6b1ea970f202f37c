// Writing bits MSB first, and a counter with the same interface for rate estimates.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

#include "Codes.h"

namespace quenlar::rv40 {

// The interleaved exp-Golomb code of v: the bits of v + 1 after its leading one, each after a 0,
// then a closing 1. Returns the code right-aligned; *length gets its length.
inline std::uint32_t InterleavedGolomb(std::uint32_t v, int* length)
{
    const std::uint32_t x = v + 1;
    const int k = std::bit_width(x) - 1;
    std::uint32_t code = 0;
    for (int i = k - 1; i >= 0; --i)
        code = (code << 2) | ((x >> i) & 1);
    *length = 2 * k + 1;
    return (code << 1) | 1;
}

inline std::uint32_t SignedToUnsigned(int v)
{
    return v > 0 ? 2 * static_cast<std::uint32_t>(v) - 1 : 2 * static_cast<std::uint32_t>(-v);
}

// Appends to a byte vector that it owns for its lifetime; Finish() pads to a byte and trims.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out), pos_(out.size())
    {
        if (out_.size() < pos_ + 4096)
            out_.resize(pos_ + 4096);
    }

    void Put(std::uint32_t bits, int n) // n <= 32
    {
        acc_ = (acc_ << n) | bits;
        count_ += n;
        if (count_ >= 32) {
            count_ -= 32;
            const auto word = static_cast<std::uint32_t>(acc_ >> count_);
            if (pos_ + 4 > out_.size())
                out_.resize(out_.size() * 2);
            std::uint8_t* p = out_.data() + pos_;
            p[0] = static_cast<std::uint8_t>(word >> 24);
            p[1] = static_cast<std::uint8_t>(word >> 16);
            p[2] = static_cast<std::uint8_t>(word >> 8);
            p[3] = static_cast<std::uint8_t>(word);
            pos_ += 4;
        }
    }
    void Put(const Code& code) { Put(code.bits, code.length); }
    void PutBit(bool bit) { Put(bit ? 1 : 0, 1); }
    void PutUe(std::uint32_t v)
    {
        int length;
        const std::uint32_t code = InterleavedGolomb(v, &length);
        Put(code, length);
    }
    void PutSe(int v) { PutUe(SignedToUnsigned(v)); }

    std::size_t Bits() const { return pos_ * 8 + count_; }

    // Pads with zero bits to a whole byte and leaves the vector holding exactly what was written.
    void Finish()
    {
        if (count_ % 8)
            Put(0, 8 - count_ % 8);
        while (count_ >= 8) {
            count_ -= 8;
            if (pos_ + 1 > out_.size())
                out_.resize(out_.size() * 2);
            out_[pos_++] = static_cast<std::uint8_t>(acc_ >> count_);
        }
        out_.resize(pos_);
    }

private:
    std::vector<std::uint8_t>& out_;
    std::size_t pos_;
    std::uint64_t acc_ = 0;
    int count_ = 0;
};

// Counts what a BitWriter would write.
class BitCounter {
public:
    void Put(std::uint32_t, int n) { bits_ += n; }
    void Put(const Code& code) { bits_ += code.length; }
    void PutBit(bool) { ++bits_; }
    void PutUe(std::uint32_t v) { bits_ += 2 * (std::bit_width(v + 1) - 1) + 1; }
    void PutSe(int v) { PutUe(SignedToUnsigned(v)); }
    int Bits() const { return bits_; }

private:
    int bits_ = 0;
};

}  // namespace quenlar::rv40
