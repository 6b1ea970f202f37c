// AC3 through libavcodec, at the AC3 rate nearest the one asked for.
#pragma once

#include "engine/SoundCodec.h"

namespace quenlar::encoder {

class Ac3SoundCodec final : public SoundCodec {
public:
    explicit Ac3SoundCodec(int kbps);

    int FrameSamples() const override { return m_encoder->frame_size; }
    void Encode(const AVFrame* frame, const PacketSink& sink) override;
    RmStreamFormat StreamFormat() const override { return RmStreamFormat::For(*m_encoder); }

private:
    CodecContextPtr m_encoder;
    PacketPtr m_packet;
};

}  // namespace quenlar::encoder
