// One instance of a video encoder, used on one thread at a time: rv20 and rv40 behind one face,
// so that ParallelVideoEncoder drives either the same way. It also shows the preview of what it
// makes now and then.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "engine/EncodeListener.h"
#include "engine/EncodeSettings.h"
#include "engine/LibavPtr.h"
#include "engine/RmStreamFormat.h"

namespace quenlar::encoder {

// The decoder's buffer bounds the size of one frame: rm cannot hold a packet over 64 KB, and a
// noisy first key frame reaches several times that without the bound.
inline constexpr int kMaxFrameBufferBits = 48 * 1024 * 8;

// Frames from one key frame to the next at this frame rate: a few seconds, so that the bits go
// to the picture rather than to key frames, while a player's seek still lands near its mark.
int KeyFrameInterval(AVRational frameRate);

// The highest video rate (bit/s) an encoder can be given at this frame rate within rm's frame
// size.
int64_t MaxVideoBitRate(AVRational frameRate);

class VideoEncoder {
public:
    // Encoded packets go here, in the encoder's time base.
    using PacketSink = std::function<void(AVPacket*)>;
    using PreviewSink = std::function<void(const PreviewPicture&, const PreviewPicture&)>;

    virtual ~VideoEncoder() = default;

    // One tick a frame.
    virtual AVRational TimeBase() const = 0;
    // The stream as the rm file describes it, and how its packets are laid out there.
    virtual RmStreamFormat StreamFormat() const = 0;
    // Whether it puts key frames at scene cuts of its own accord; one that does not is given
    // runs that each start with a key frame, ended early at a cut.
    virtual bool PlacesKeyFrames() const = 0;
    // Whether its packets come in decoding order, unlike their frames (B pictures): each packet's
    // pts is then its frame's, and the packets of a run come in the run's order nonetheless.
    virtual bool Reorders() const { return false; }

    // The run of frames the next calls to Encode bring, in order, before the first of them;
    // `firstPts` is the run's place in the stream, in frames. An encoder that plans its rate
    // looks at them here.
    virtual void BeginRun(const std::vector<FramePtr>& frames, int64_t firstPts);
    // Encodes one frame (pts in frames of this instance's own clock; pict_type I asks for a
    // key frame), or flushes with nullptr. Throws EncodeFailure.
    virtual void Encode(AVFrame* frame, const PacketSink& sink) = 0;

    // With a preview sink, the next key frame after each call to RequestPreview is shown: the
    // source beside what a player will show of it.
    void SetPreviewSink(PreviewSink sink) { m_previewSink = std::move(sink); }
    void RequestPreview() { m_previewWanted = true; }

protected:
    bool PreviewWanted() const { return m_previewWanted && m_previewSink; }
    // Hands the source frame and the encoded picture (yuv420p planes of the source's size) to
    // the preview sink.
    void ShowPreview(const AVFrame& source, const uint8_t* const encoded[3], const int encodedStride[3]);

private:
    void ToRgb(const uint8_t* const data[3], const int stride[3], int width, int height, PreviewPicture& picture);

    PreviewSink m_previewSink;
    std::atomic<bool> m_previewWanted{false};  // set by the thread that feeds the encoder
    SwsPtr m_toRgb;
    FramePtr m_rgbFrame;
    PreviewPicture m_sourcePicture;
    PreviewPicture m_encodedPicture;
};

// An instance of `codec` for pictures of this size and rate; `seconds`: how much picture it will
// encode (0: unknown), which bounds how far its rate may stray; `bFrames`: B pictures between
// references, where the codec has them (rv40). Throws EncodeFailure when the codec refuses the
// settings.
std::unique_ptr<VideoEncoder> MakeVideoEncoder(VideoCodec codec, int width, int height, AVRational frameRate,
                                               int bitRate, double seconds, int bFrames = 0);

}  // namespace quenlar::encoder
