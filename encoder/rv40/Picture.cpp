#include "Picture.h"

#include <cstring>

namespace quenlar::rv40 {

void Plane::Allocate(int width, int height, int pad)
{
    width_ = width;
    height_ = height;
    pad_ = pad;
    stride_ = (width + 2 * pad + 16 + 63) & ~63; // room for the alignment shift below
    const std::size_t size = static_cast<std::size_t>(stride_) * (height + 2 * pad) + 64;
    buffer_ = std::make_unique<std::uint8_t[]>(size);
    std::uint8_t* base = buffer_.get() + static_cast<std::size_t>(stride_) * pad + pad;
    // Rows start on 16-byte boundaries at x = 0.
    origin_ = base + ((16 - reinterpret_cast<std::uintptr_t>(base) % 16) % 16);
}

void Plane::Load(const std::uint8_t* src, int srcStride, int w, int h)
{
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* in = src + static_cast<std::ptrdiff_t>(y < h ? y : h - 1) * srcStride;
        std::uint8_t* out = Row(y);
        std::memcpy(out, in, w);
        if (w < width_)
            std::memset(out + w, in[w - 1], width_ - w);
    }
}

void Plane::ExtendBorders()
{
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* row = Row(y);
        std::memset(row - pad_, row[0], pad_);
        std::memset(row + width_, row[width_ - 1], pad_);
    }
    for (int y = 1; y <= pad_; ++y) {
        std::memcpy(Row(-y) - pad_, Row(0) - pad_, width_ + 2 * pad_);
        std::memcpy(Row(height_ - 1 + y) - pad_, Row(height_ - 1) - pad_, width_ + 2 * pad_);
    }
}

void Picture::Allocate(int mbWidth, int mbHeight)
{
    y.Allocate(mbWidth * 16, mbHeight * 16, kLumaPad);
    u.Allocate(mbWidth * 8, mbHeight * 8, kLumaPad / 2);
    v.Allocate(mbWidth * 8, mbHeight * 8, kLumaPad / 2);
}

void Picture::ExtendBorders()
{
    y.ExtendBorders();
    u.ExtendBorders();
    v.ExtendBorders();
}

}  // namespace quenlar::rv40
