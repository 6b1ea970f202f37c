// The rv20 encoder and the preview of what it makes (used on one encoder thread).
#pragma once

#include <atomic>
#include <functional>

#include "engine/EncodeListener.h"
#include "engine/LibavPtr.h"

namespace quenlar::encoder {

// Frames from one key frame to the next at this frame rate: a few seconds, so that the bits go
// to the picture rather than to key frames, while a player's seek still lands near its mark.
// rv20 adds one of its own at a scene cut, and counts the interval from there.
int KeyFrameInterval(AVRational frameRate);

// The highest video rate (bit/s) rv20 can be given at this frame rate within rm's frame size.
int64_t MaxVideoBitRate(AVRational frameRate);

class VideoEncoder {
public:
    // Encoded packets go here, in the encoder's time base.
    using PacketSink = std::function<void(AVPacket*)>;
    using PreviewSink = std::function<void(const PreviewPicture&, const PreviewPicture&)>;

    // `seconds`: how much picture it will encode (0: unknown), which bounds how far its rate
    // may stray. Throws EncodeFailure when rv20 refuses the settings.
    VideoEncoder(int width, int height, AVRational frameRate, int bitRate, double seconds);

    const AVCodecContext& Context() const { return *m_encoder; }

    // With a preview sink, the next key frame after each call to RequestPreview is shown:
    // a key frame decodes on its own, so the preview costs one decode now and then.
    void SetPreviewSink(PreviewSink sink) { m_previewSink = std::move(sink); }
    void RequestPreview() { m_previewWanted = true; }

    // Encodes one frame (pts in frames), or flushes with nullptr. Throws EncodeFailure.
    void Encode(AVFrame* frame, const PacketSink& sink);

private:
    int KeyFrameQuantiser(const AVFrame& frame, int64_t budgetBits);
    // Gives the first frames the quantisers the rate control cannot know yet.
    void PlanFirstFrames(const AVFrame& frame);
    void OpenPreviewDecoder();
    void ShowPreview(const AVFrame& source, const AVPacket& packet);
    void ToRgb(const AVFrame& frame, PreviewPicture& picture);

    CodecContextPtr m_encoder;
    PacketPtr m_packet;
    bool m_firstFramePlanned = false;
    PreviewSink m_previewSink;
    std::atomic<bool> m_previewWanted{false};  // set by the thread that feeds the encoder
    CodecContextPtr m_previewDecoder;
    FramePtr m_previewFrame;
    PacketPtr m_previewPacket;
    SwsPtr m_toRgb;
    FramePtr m_rgbFrame;
    PreviewPicture m_sourcePicture;
    PreviewPicture m_encodedPicture;
};

}  // namespace quenlar::encoder
