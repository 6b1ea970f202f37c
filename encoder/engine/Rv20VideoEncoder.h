// rv20 through libavcodec, and the preview of what it makes (used on one encoder thread).
#pragma once

#include "engine/VideoEncoder.h"

namespace quenlar::encoder {

class Rv20VideoEncoder : public VideoEncoder {
public:
    // `seconds`: how much picture it will encode (0: unknown), which bounds how far its rate
    // may stray. Throws EncodeFailure when rv20 refuses the settings.
    Rv20VideoEncoder(int width, int height, AVRational frameRate, int bitRate, double seconds);

    AVRational TimeBase() const override { return m_encoder->time_base; }
    RmStreamFormat StreamFormat() const override;
    // rv20 adds a key frame of its own at a scene cut, and counts the interval from there.
    bool PlacesKeyFrames() const override { return true; }
    // A preview costs one decode now and then: a key frame decodes on its own.
    void Encode(AVFrame* frame, const PacketSink& sink) override;

private:
    int KeyFrameQuantiser(const AVFrame& frame, int64_t budgetBits);
    // Gives the first frames the quantisers the rate control cannot know yet.
    void PlanFirstFrames(const AVFrame& frame);
    void OpenPreviewDecoder();
    void DecodeForPreview(const AVFrame& source, const AVPacket& packet);

    CodecContextPtr m_encoder;
    PacketPtr m_packet;
    bool m_firstFramePlanned = false;
    CodecContextPtr m_previewDecoder;
    FramePtr m_previewFrame;
    PacketPtr m_previewPacket;
};

}  // namespace quenlar::encoder
