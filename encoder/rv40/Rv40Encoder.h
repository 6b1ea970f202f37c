// An encoder of RealVideo 4 (rv40) pictures: yuv420p pictures in, the decoder's frame packets
// out. One instance codes one run of pictures at a time, on one thread; instances share nothing
// but read-only code tables, so that several can run side by side.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Picture.h"

namespace quenlar::rv40 {

class FrameCoder;

// A visible yuv420p picture.
struct SourcePicture {
    const std::uint8_t* data[3];
    int stride[3];
};

struct FrameOptions {
    bool key = false;  // coded on its own, so that decoding may start here
    int quant = 16;    // 0 (finest) to 31
    std::uint32_t timestampMs = 0;
    // A B picture: predicted from the two latest reference pictures and not itself a reference.
    // Its timestamp lies between theirs; pictures go in in decoding order, so that a B picture
    // comes after the later of its references. (A run that is to decode after any other codes a
    // reference after its key picture before a B picture: the earlier one would be the run's
    // before.)
    bool bidirectional = false;
};

struct EncodedFrame {
    std::vector<std::uint8_t> data; // the frame as the decoder takes it in one packet
    bool key = false;
    bool bidirectional = false;
};

class Encoder {
public:
    // width and height: multiples of 4, at least 16, at most 4092.
    Encoder(int width, int height);
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // Codes the next picture; the first one is a key picture whatever `options` say. A run that
    // starts with a key picture decodes the same after any other run, so that runs coded by
    // different instances may follow each other. A B picture without two references before it
    // is refused (std::logic_error).
    void Encode(const SourcePicture& picture, const FrameOptions& options, EncodedFrame& out);
    // The last coded picture as the decoder outputs it, in the coded size (whole macroblocks);
    // the visible picture is its top-left width x height.
    const Picture& Reconstruction() const;

    // For benchmarks: from now on, the processor time the loop filter takes is summed (two clock
    // reads a macroblock row, which cost the encoder 1.5 %).
    void TimeLoopFilter();
    double LoopFilterSeconds() const;

    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    int width_;
    int height_;
    std::unique_ptr<FrameCoder> coder_;
};

}  // namespace quenlar::rv40
