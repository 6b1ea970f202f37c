// A picture in the coded size (whole macroblocks) with replicated borders for motion search.
#pragma once

#include <cstdint>
#include <memory>

namespace quenlar::rv40 {

class Plane {
public:
    // width and height are the coded size; pad is the border on every side.
    void Allocate(int width, int height, int pad);
    std::uint8_t* Row(int y) { return origin_ + static_cast<std::ptrdiff_t>(y) * stride_; }
    const std::uint8_t* Row(int y) const { return origin_ + static_cast<std::ptrdiff_t>(y) * stride_; }
    int Stride() const { return stride_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Pad() const { return pad_; }
    // Copies a visible area of w x h pixels and repeats its last column and row to the coded size.
    void Load(const std::uint8_t* src, int srcStride, int w, int h);
    // Repeats the outermost pixels into the border.
    void ExtendBorders();

private:
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::uint8_t* origin_ = nullptr;
    int stride_ = 0;
    int width_ = 0;
    int height_ = 0;
    int pad_ = 0;
};

struct Picture {
    Plane y, u, v;
    void Allocate(int mbWidth, int mbHeight);
    void ExtendBorders();
};

// Luma border: motion vectors may point up to kMvReach pixels outside the coded picture, and the
// interpolation filters read three more.
constexpr int kLumaPad = 48;
constexpr int kMvReach = 32;

}  // namespace quenlar::rv40
