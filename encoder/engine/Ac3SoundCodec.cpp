#include "engine/Ac3SoundCodec.h"

#include "engine/CodecIo.h"
#include "engine/EncodeFailure.h"

namespace quenlar::encoder {

namespace {

[[noreturn]] void ThrowEncoderError(const std::string& what, int error)
{
    throw EncodeFailure(EncodeResult::EncoderFailure,
                        "The audio encoder failed (" + what + "): " + AvErrorText(error));
}

}  // namespace

Ac3SoundCodec::Ac3SoundCodec(int kbps) : m_packet(MakePacket())
{
    const int ac3Kbps = NearestAc3Kbps(kbps);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AC3);
    if (!codec)
        ThrowEncoderError("no ac3 encoder in this libavcodec", AVERROR_ENCODER_NOT_FOUND);
    m_encoder.reset(avcodec_alloc_context3(codec));
    if (!m_encoder || !m_packet)
        ThrowEncoderError("set-up", AVERROR(ENOMEM));
    m_encoder->sample_rate = kSoundSampleRate;
    m_encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&m_encoder->ch_layout, 2);
    m_encoder->bit_rate = static_cast<int64_t>(ac3Kbps) * 1000;
    m_encoder->time_base = {1, kSoundSampleRate};
    const int error = avcodec_open2(m_encoder.get(), codec, nullptr);
    if (error < 0)
        ThrowEncoderError("opening ac3 at " + std::to_string(ac3Kbps) + " kbit/s", error);
}

void Ac3SoundCodec::Encode(const AVFrame* frame, const PacketSink& sink)
{
    if (const int error = SendAndReceive(m_encoder.get(), frame, m_packet.get(), sink); error < 0)
        ThrowEncoderError("encoding", error);
}

}  // namespace quenlar::encoder
