// One stream as an rm file carries it: what its MDPR chunk says of it and how each of its encoded
// frames is laid out as packets in the DATA chunk. The engine's libavcodec encoders get theirs
// from For(); our rv40 encoder's comes from Rv40Format.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "cook/StreamParameters.h"
#include "engine/LibavPtr.h"
#include "engine/RmBytes.h"

namespace quenlar::encoder {

struct RmStreamFormat {
    // Appends the payloads of the packets that carry one encoded frame, at least one;
    // `frameNumber` counts the stream's frames from 0.
    using Framer = std::function<void(const AVPacket& frame, int64_t frameNumber, std::vector<rm::Bytes>& payloads)>;

    bool video = false;
    int bitRate = 0;  // the encoder's, bit/s
    // Each packet is one frame of this length: packet times count frames, as players expect.
    AVRational frameDuration{1, 1};
    // Index entries: at each of its own key frames (the picture), or at its last packet before
    // each key frame of the picture (the sound). Players that start reading a seek at the
    // earliest entry of any stream (GStreamer) then meet the picture's key frame first; one
    // entry a second of sound had them read a P frame or two before it, whose output shifted
    // the picture's times after the seek.
    bool indexBeforePictureKeyFrames = false;
    rm::Bytes typeSpecificData;  // the codec's header, closing the MDPR chunk
    Framer frame;
    // Sound that rm interleaves ("genr"): blocks of `height` packets of `framesPerPacket` whole
    // frames each, frames spread over a block's packets, a block written only once it is whole.
    // A height of 0: each frame is laid out by `frame` alone.
    struct Interleaving {
        int height = 0;
        int framesPerPacket = 1;
        int FramesPerBlock() const { return height * framesPerPacket; }
    } interleaving;

    // rv20 or AC3. Throws EncodeFailure for any other codec.
    static RmStreamFormat For(const AVCodecContext& encoder);
};

// The most bytes of a video frame (or of one slice of it) that one rm packet holds.
inline constexpr int kMaxRealVideoPartBytes = 0xFFFF - 12 - 11;

// Whole frames of a RealVideo codec (`fourcc`), one a packet; `setupData` is what its decoder is
// given (flags and sub-id).
RmStreamFormat RealVideoFormat(std::string_view fourcc, int width, int height, AVRational frameRate,
                               int bitRate, const rm::Bytes& setupData);

// cook frames of `stream`, interleaved in blocks of `height` packets of `framesPerPacket` frames.
RmStreamFormat CookFormat(const cook::StreamParameters& stream, int height, int framesPerPacket);

// Which frame of its block the `slot`-th frame of packet `row` carries, as "genr" deinterleaves.
int GenrFrameIndex(int height, int row, int slot);

// rv40 frames in the decoder's layout (the slice count less one, then each slice's flag and
// offset as little-endian words, then the slices), which rm carries as one packet per slice;
// demuxers rebuild that layout from them. Throws EncodeFailure for a frame not so laid out.
RmStreamFormat Rv40Format(int width, int height, AVRational frameRate, int bitRate);

}  // namespace quenlar::encoder
