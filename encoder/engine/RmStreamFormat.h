// One stream as an rm file carries it: what its MDPR chunk says of it and how each of its encoded
// frames is laid out as a packet in the DATA chunk. The engine's libavcodec encoders get theirs
// from For(); an encoder of our own for another RealVideo codec builds one with RealVideoFormat.
#pragma once

#include <functional>
#include <string_view>

#include "engine/LibavPtr.h"
#include "engine/RmBytes.h"

namespace quenlar::encoder {

struct RmStreamFormat {
    // Appends the payload that carries one encoded frame; `frameNumber` counts the stream's
    // frames from 0.
    using Framer = std::function<void(const AVPacket& frame, int64_t frameNumber, rm::Bytes& payload)>;

    bool video = false;
    int bitRate = 0;  // the encoder's, bit/s
    // Each packet is one frame of this length: packet times count frames, as players expect.
    AVRational frameDuration{1, 1};
    // Index entries: every key frame when 0, else the first key frame of each such interval.
    int indexIntervalMs = 0;
    rm::Bytes typeSpecificData;  // the codec's header, closing the MDPR chunk
    Framer frame;

    // rv20 or AC3. Throws EncodeFailure for any other codec.
    static RmStreamFormat For(const AVCodecContext& encoder);
};

// Whole frames of a RealVideo codec (`fourcc`), one a packet; `setupData` is what its decoder is
// given (flags and sub-id).
RmStreamFormat RealVideoFormat(std::string_view fourcc, int width, int height, AVRational frameRate,
                               int bitRate, const rm::Bytes& setupData);

}  // namespace quenlar::encoder
