// cook from our own encoder (encoder/cook), laid out for rm as CookPresets says.
#pragma once

#include <vector>

#include "cook/CookEncoder.h"
#include "engine/SoundCodec.h"

namespace quenlar::encoder {

class CookSoundCodec final : public SoundCodec {
public:
    explicit CookSoundCodec(int kbps);

    int FrameSamples() const override { return m_encoder.Stream().frameSamples; }
    void Encode(const AVFrame* frame, const PacketSink& sink) override;
    RmStreamFormat StreamFormat() const override;

private:
    void Code(const float* const planes[2], const PacketSink& sink);

    cook::Encoder m_encoder;
    std::vector<std::uint8_t> m_bytes;
    std::vector<float> m_silence;
    PacketPtr m_packet;
    int64_t m_frames = 0;  // coded so far
};

}  // namespace quenlar::encoder
