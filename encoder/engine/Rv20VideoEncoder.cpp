#include "engine/Rv20VideoEncoder.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "engine/CodecIo.h"
#include "engine/EncodeFailure.h"

namespace quenlar::encoder {

namespace {

// Rate control: how far (in bits) the encode may run ahead of or behind the target, in seconds
// of bits. rv20 settles about a third of it ahead of the target, which is no more than 1.5 %
// of the encode at this share; a long encode gains picture from a loose bound (two seconds'
// bits give 0.2 dB over half a second's on film).
constexpr double kToleranceShare = 0.05;
constexpr double kMinToleranceSeconds = 0.1;
constexpr double kMaxToleranceSeconds = 4;
constexpr double kUnknownLengthToleranceSeconds = 1;
// The peak rate the buffer model allows; equal to the mean rate the rate control cannot work.
constexpr int kMaxRateFactor = 2;
// rv20's rate control knows nothing of the picture before its first frame: it coded that key
// frame at quantiser 3 or 4 whatever the rate (a quarter second's bits and more), the next at
// 2, and starved the frames after them, and a short file ended over its rate. So the first key
// frame gets the quantiser that gives it the bits of this many mean frames (about what later
// key frames take), the frames after it up to kPlannedFrames the quantiser rv20 keeps between
// key and other frames, and the rate control goes on from there.
constexpr int kFirstKeyFrameFrames = 6;
constexpr int kPlannedFrames = 4;
constexpr int kMinQuantiser = 2;
constexpr int kMaxQuantiser = 31;

[[noreturn]] void ThrowEncoderError(const std::string& what, int error)
{
    throw EncodeFailure(EncodeResult::EncoderFailure,
                        "The video encoder failed (" + what + "): " + AvErrorText(error));
}

// An rv20 context for pictures of this size and rate, not yet open.
CodecContextPtr NewRv20Context(int width, int height, AVRational frameRate)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_RV20);
    if (!codec)
        ThrowEncoderError("no rv20 encoder in this libavcodec", AVERROR_ENCODER_NOT_FOUND);
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context)
        ThrowEncoderError("set-up", AVERROR(ENOMEM));
    context->width = width;
    context->height = height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    // rm and the rate control both need exactly one tick per frame.
    context->time_base = av_inv_q(frameRate);
    context->framerate = frameRate;
    return context;
}

}  // namespace

Rv20VideoEncoder::Rv20VideoEncoder(int width, int height, AVRational frameRate, int bitRate, double seconds)
    : m_encoder(NewRv20Context(width, height, frameRate)), m_packet(MakePacket())
{
    if (!m_packet)
        ThrowEncoderError("set-up", AVERROR(ENOMEM));
    // One second's bits must fit in the frames the buffer allows; above that the rate is one
    // rm cannot carry at this frame rate, and the encode runs at the highest it can.
    const int64_t rate = std::min<int64_t>(bitRate, MaxVideoBitRate(frameRate));
    m_encoder->gop_size = KeyFrameInterval(frameRate);
    m_encoder->bit_rate = rate;
    const double toleranceSeconds =
        seconds > 0 ? std::clamp(seconds * kToleranceShare, kMinToleranceSeconds, kMaxToleranceSeconds)
                    : kUnknownLengthToleranceSeconds;
    m_encoder->bit_rate_tolerance = static_cast<int>(rate * toleranceSeconds);
    m_encoder->rc_max_rate = rate * kMaxRateFactor;
    m_encoder->rc_buffer_size = static_cast<int>(std::min<int64_t>(rate, kMaxFrameBufferBits));
    const int error = avcodec_open2(m_encoder.get(), m_encoder->codec, nullptr);
    if (error < 0)
        ThrowEncoderError("opening rv20 at " + std::to_string(width) + "x" + std::to_string(height), error);
}

RmStreamFormat Rv20VideoEncoder::StreamFormat() const
{
    return RmStreamFormat::For(*m_encoder);
}

void Rv20VideoEncoder::Encode(AVFrame* frame, const PacketSink& sink)
{
    if (frame && !m_firstFramePlanned) {
        m_firstFramePlanned = true;
        PlanFirstFrames(*frame);
    }
    const int error = SendAndReceive(m_encoder.get(), frame, m_packet.get(), [&](AVPacket* packet) {
        // rv20 has no delay, so the packet is the frame just sent.
        if (frame && PreviewWanted() && (packet->flags & AV_PKT_FLAG_KEY))
            DecodeForPreview(*frame, *packet);
        sink(packet);
    });
    if (error < 0)
        ThrowEncoderError("encoding", error);
}

// The smallest quantiser at which `frame`, coded alone as a key frame, takes at most
// `budgetBits`, found by coding it at fixed quantisers on a context of its own.
int Rv20VideoEncoder::KeyFrameQuantiser(const AVFrame& frame, int64_t budgetBits)
{
    CodecContextPtr probe = NewRv20Context(m_encoder->width, m_encoder->height, m_encoder->framerate);
    probe->flags |= AV_CODEC_FLAG_QSCALE;
    FramePtr picture = MakeFrame();
    if (!picture || av_frame_ref(picture.get(), &frame) < 0 || avcodec_open2(probe.get(), probe->codec, nullptr) < 0)
        return kMinQuantiser;
    picture->pict_type = AV_PICTURE_TYPE_I;
    int low = kMinQuantiser;
    int high = kMaxQuantiser;
    while (low < high) {
        const int middle = (low + high) / 2;
        picture->quality = middle * FF_QP2LAMBDA;
        ++picture->pts;
        int64_t bits = 0;
        if (SendAndReceive(probe.get(), picture.get(), m_packet.get(), [&](AVPacket* packet) { bits += 8 * packet->size; }) < 0)
            return kMinQuantiser;
        if (bits <= budgetBits)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

void Rv20VideoEncoder::PlanFirstFrames(const AVFrame& frame)
{
    const int64_t frameBits = av_rescale(m_encoder->bit_rate, m_encoder->time_base.num, m_encoder->time_base.den);
    const int keyQuantiser = KeyFrameQuantiser(frame, kFirstKeyFrameFrames * frameBits);
    // rv20 codes key frames at i_quant_factor times the quantiser of the other frames, and
    // applies that factor to a planned key frame's too.
    const double keyFactor = std::abs(m_encoder->i_quant_factor);
    auto* planned = static_cast<RcOverride*>(av_calloc(2, sizeof(RcOverride)));
    if (!planned)
        return;
    const int otherLambda = static_cast<int>(std::lround(keyQuantiser * FF_QP2LAMBDA / keyFactor));
    planned[0] = {0, 0, otherLambda, 1.0f};
    planned[1] = {1, kPlannedFrames - 1, otherLambda, 1.0f};
    av_freep(&m_encoder->rc_override);
    m_encoder->rc_override = planned;
    m_encoder->rc_override_count = 2;
}

void Rv20VideoEncoder::OpenPreviewDecoder()
{
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_RV20);
    m_previewFrame = MakeFrame();
    m_previewPacket = MakePacket();
    if (!codec || !m_previewFrame || !m_previewPacket)
        return;
    m_previewDecoder.reset(avcodec_alloc_context3(codec));
    if (!m_previewDecoder)
        return;
    m_previewDecoder->width = m_encoder->width;
    m_previewDecoder->height = m_encoder->height;
    m_previewDecoder->thread_count = 1;
    // What the rm muxer writes for rv20 as the stream's codec data; the decoder needs it.
    static constexpr uint8_t kRv20CodecData[] = {0x00, 0x00, 0x00, 0x08, 0x20, 0x10, 0x30, 0x01};
    m_previewDecoder->extradata =
        static_cast<uint8_t*>(av_mallocz(sizeof kRv20CodecData + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!m_previewDecoder->extradata) {
        m_previewDecoder.reset();
        return;
    }
    std::copy_n(kRv20CodecData, sizeof kRv20CodecData, m_previewDecoder->extradata);
    m_previewDecoder->extradata_size = sizeof kRv20CodecData;
    if (avcodec_open2(m_previewDecoder.get(), codec, nullptr) < 0)
        m_previewDecoder.reset();
}

// A preview that fails to decode is skipped: it must never end the encode.
void Rv20VideoEncoder::DecodeForPreview(const AVFrame& source, const AVPacket& packet)
{
    if (!m_previewDecoder) {
        OpenPreviewDecoder();
        if (!m_previewDecoder)
            return;
    }
    // The decoder takes packets as the rm reader hands them over: a slice table first.
    // One slice: count-1 = 0, then (1, offset 0) as little-endian words.
    static constexpr uint8_t kOneSlice[] = {0, 1, 0, 0, 0, 0, 0, 0, 0};
    if (av_new_packet(m_previewPacket.get(), packet.size + static_cast<int>(sizeof kOneSlice)) < 0)
        return;
    std::copy_n(kOneSlice, sizeof kOneSlice, m_previewPacket->data);
    std::copy_n(packet.data, packet.size, m_previewPacket->data + sizeof kOneSlice);
    const int sent = avcodec_send_packet(m_previewDecoder.get(), m_previewPacket.get());
    av_packet_unref(m_previewPacket.get());
    if (sent < 0 || avcodec_receive_frame(m_previewDecoder.get(), m_previewFrame.get()) < 0)
        return;
    ShowPreview(source, m_previewFrame->data, m_previewFrame->linesize);
    av_frame_unref(m_previewFrame.get());
}

}  // namespace quenlar::encoder
