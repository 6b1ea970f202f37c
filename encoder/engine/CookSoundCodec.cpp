#include "engine/CookSoundCodec.h"

#include <cstring>

#include "engine/CookPresets.h"
#include "engine/EncodeFailure.h"

namespace quenlar::encoder {

CookSoundCodec::CookSoundCodec(int kbps)
    : m_encoder(CookStreamFor(kbps)), m_bytes(static_cast<std::size_t>(m_encoder.Stream().frameBytes)),
      m_silence(static_cast<std::size_t>(m_encoder.Stream().frameSamples)), m_packet(MakePacket())
{
    if (!m_packet)
        throw EncodeFailure(EncodeResult::EncoderFailure, "The audio encoder failed (set-up): out of memory");
}

void CookSoundCodec::Code(const float* const planes[2], const PacketSink& sink)
{
    if (!m_encoder.Encode(std::span<const float* const>(planes, 2), m_bytes))
        return;
    if (av_new_packet(m_packet.get(), static_cast<int>(m_bytes.size())) < 0)
        throw EncodeFailure(EncodeResult::EncoderFailure, "The audio encoder failed (encoding): out of memory");
    std::memcpy(m_packet->data, m_bytes.data(), m_bytes.size());
    m_packet->pts = m_packet->dts = m_frames * FrameSamples();
    m_packet->duration = FrameSamples();
    m_packet->flags |= AV_PKT_FLAG_KEY;
    ++m_frames;
    sink(m_packet.get());
    av_packet_unref(m_packet.get());
}

// A frame is coded once the next one's samples are in, so the end takes one frame of silence,
// and as many more as fill the last interleaving block: players drop a block that is not whole.
void CookSoundCodec::Encode(const AVFrame* frame, const PacketSink& sink)
{
    if (frame) {
        const float* planes[2] = {reinterpret_cast<const float*>(frame->data[0]),
                                  reinterpret_cast<const float*>(frame->data[1])};
        Code(planes, sink);
        return;
    }
    const float* silence[2] = {m_silence.data(), m_silence.data()};
    const int64_t block = int64_t{kCookFramesPerPacket} * kCookInterleaveHeight;
    Code(silence, sink);
    while (m_frames % block != 0)
        Code(silence, sink);
}

RmStreamFormat CookSoundCodec::StreamFormat() const
{
    return CookFormat(m_encoder.Stream(), kCookInterleaveHeight, kCookFramesPerPacket);
}

}  // namespace quenlar::encoder
