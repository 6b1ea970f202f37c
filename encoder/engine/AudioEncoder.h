// Resamples decoded audio to 44.1 kHz stereo and encodes AC3 (used on the audio thread).
#pragma once

#include <functional>

#include "engine/LibavPtr.h"

namespace quenlar::encoder {

class AudioEncoder {
public:
    // Encoded packets go here, in the encoder's time base (1/44100).
    using PacketSink = std::function<void(AVPacket*)>;

    // Throws EncodeFailure when the encoder or resampler cannot be set up.
    // `offsetSeconds` is when the audio starts after the video (before it when negative):
    // the gap is filled with silence, or the audio before the first picture is dropped.
    AudioEncoder(int ac3Kbps, double offsetSeconds);

    const AVCodecContext& Context() const { return *m_encoder; }

    // Encodes one decoded frame, or drains everything with nullptr. Throws EncodeFailure.
    void Encode(const AVFrame* frame, const PacketSink& sink);

private:
    void SetUpResampler(const AVFrame& frame);
    void EncodeWhole(bool drain, const PacketSink& sink);
    void Send(AVFrame* frame, const PacketSink& sink);

    CodecContextPtr m_encoder;
    SwrPtr m_resampler;
    AudioFifoPtr m_fifo;
    FramePtr m_frame;
    PacketPtr m_packet;
    int64_t m_samplesOut = 0;
    int64_t m_samplesToSkip = 0;
    // The input format the resampler was made for; decoders may change it mid-stream.
    int m_inRate = 0;
    int m_inFormat = -1;
    int m_inChannels = 0;
};

}  // namespace quenlar::encoder
