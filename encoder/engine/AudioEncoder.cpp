#include "engine/AudioEncoder.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "engine/CodecIo.h"
#include "engine/EncodeFailure.h"
#include "engine/SoundCodec.h"

namespace quenlar::encoder {

namespace {

constexpr int kSampleRate = kSoundSampleRate;
// Room for the resampler's output of one decoded frame beyond what the decoder hands over.
constexpr int kResamplerSlack = 256;
// A first sound further off the first picture than this has a wrong time, not a real delay.
constexpr double kMaxStartOffsetSeconds = 30.0;
// Later on, sound further off its time than this is moved back into step.
constexpr double kResyncSeconds = 0.1;

[[noreturn]] void ThrowEncoderError(const std::string& what, int error)
{
    throw EncodeFailure(EncodeResult::EncoderFailure,
                        "The audio encoder failed (" + what + "): " + AvErrorText(error));
}

}  // namespace

AudioEncoder::AudioEncoder(AudioCodec codec, int kbps, AVRational inputTimeBase)
    : m_codec(MakeSoundCodec(codec, kbps)), m_frame(MakeFrame()), m_inputTimeBase(inputTimeBase)
{
    av_channel_layout_default(&m_layout, 2);
    m_fifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, m_codec->FrameSamples() * 4));
    if (!m_fifo || !m_frame)
        ThrowEncoderError("set-up", AVERROR(ENOMEM));
}

AudioEncoder::~AudioEncoder() = default;

AVRational AudioEncoder::TimeBase() const
{
    return {1, kSampleRate};
}

RmStreamFormat AudioEncoder::StreamFormat() const
{
    return m_codec->StreamFormat();
}

void AudioEncoder::SetUpResampler(const AVFrame& frame)
{
    if (m_resampler && frame.sample_rate == m_inRate && frame.format == m_inFormat &&
        frame.ch_layout.nb_channels == m_inChannels)
        return;
    AVChannelLayout inLayout{};
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame.ch_layout.nb_channels == 0)
        av_channel_layout_default(&inLayout, frame.ch_layout.nb_channels > 0 ? frame.ch_layout.nb_channels : 2);
    else
        av_channel_layout_copy(&inLayout, &frame.ch_layout);
    SwrContext* swr = nullptr;
    int error = swr_alloc_set_opts2(&swr, &m_layout, AV_SAMPLE_FMT_FLTP, kSampleRate,
                                    &inLayout, static_cast<AVSampleFormat>(frame.format),
                                    frame.sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    if (error >= 0)
        error = swr_init(swr);
    if (error < 0) {
        swr_free(&swr);
        ThrowEncoderError("resampling", error);
    }
    m_resampler.reset(swr);
    m_inRate = frame.sample_rate;
    m_inFormat = frame.format;
    m_inChannels = frame.ch_layout.nb_channels;
}

// Where the frame belongs on the picture's clock against where the sound so far ends.
void AudioEncoder::Align(const AVFrame& frame, const PacketSink& sink)
{
    if (frame.pts == AV_NOPTS_VALUE)
        return;
    const double offset = frame.pts * av_q2d(m_inputTimeBase) - m_videoStart;
    const int64_t gap = std::llround(offset * kSampleRate) - m_samplesPlaced;
    const bool first = !m_aligned;
    m_aligned = true;
    if (first ? std::abs(offset) > kMaxStartOffsetSeconds : std::abs(gap) <= kResyncSeconds * kSampleRate)
        return;
    if (gap > 0)
        PadWithSilence(gap, sink);
    else
        m_samplesToSkip = -gap;
}

// In encoder frames, so that a long gap never sits in memory whole.
void AudioEncoder::PadWithSilence(int64_t samples, const PacketSink& sink)
{
    const int chunk = m_codec->FrameSamples();
    uint8_t* planes[2] = {};
    int error = av_samples_alloc(planes, nullptr, 2, chunk, AV_SAMPLE_FMT_FLTP, 0);
    if (error < 0)
        ThrowEncoderError("buffering", error);
    std::unique_ptr<uint8_t, void (*)(uint8_t*)> owned(planes[0], [](uint8_t* data) { av_free(data); });
    av_samples_set_silence(planes, 0, chunk, 2, AV_SAMPLE_FMT_FLTP);
    while (samples > 0) {
        const int count = static_cast<int>(std::min<int64_t>(samples, chunk));
        error = av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void**>(planes), count);
        if (error < 0)
            ThrowEncoderError("buffering", error);
        samples -= count;
        m_samplesPlaced += count;
        EncodeWhole(false, sink);
    }
}

void AudioEncoder::Encode(const AVFrame* frame, const PacketSink& sink)
{
    if (frame) {
        SetUpResampler(*frame);
        Align(*frame, sink);
    }
    if (m_resampler) {
        const int capacity = frame ? static_cast<int>(av_rescale_rnd(frame->nb_samples, kSampleRate,
                                                                     frame->sample_rate, AV_ROUND_UP)) +
                                         kResamplerSlack
                                   : kResamplerSlack * 16;
        uint8_t* planes[2] = {};
        int error = av_samples_alloc(planes, nullptr, 2, capacity, AV_SAMPLE_FMT_FLTP, 0);
        if (error < 0)
            ThrowEncoderError("resampling", error);
        const int converted =
            swr_convert(m_resampler.get(), planes, capacity,
                        frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                        frame ? frame->nb_samples : 0);
        // Sound from before its place on the clock is dropped.
        int skipped = 0;
        if (converted > 0 && m_samplesToSkip > 0) {
            skipped = static_cast<int>(std::min<int64_t>(m_samplesToSkip, converted));
            m_samplesToSkip -= skipped;
        }
        if (converted > skipped) {
            void* kept[2] = {planes[0] + skipped * sizeof(float), planes[1] + skipped * sizeof(float)};
            error = av_audio_fifo_write(m_fifo.get(), kept, converted - skipped);
            m_samplesPlaced += converted - skipped;
        }
        av_freep(&planes[0]);
        if (converted < 0)
            ThrowEncoderError("resampling", converted);
        if (error < 0)
            ThrowEncoderError("buffering", error);
    }
    EncodeWhole(frame == nullptr, sink);
    if (!frame)
        m_codec->Encode(nullptr, sink);
}

// Sends whole encoder frames from the buffer; when draining, the rest as a short last frame.
void AudioEncoder::EncodeWhole(bool drain, const PacketSink& sink)
{
    const int frameSize = m_codec->FrameSamples();
    while (av_audio_fifo_size(m_fifo.get()) >= frameSize ||
           (drain && av_audio_fifo_size(m_fifo.get()) > 0)) {
        av_frame_unref(m_frame.get());
        m_frame->nb_samples = frameSize;
        m_frame->format = AV_SAMPLE_FMT_FLTP;
        m_frame->sample_rate = kSampleRate;
        av_channel_layout_copy(&m_frame->ch_layout, &m_layout);
        int error = av_frame_get_buffer(m_frame.get(), 0);
        if (error < 0)
            ThrowEncoderError("buffering", error);
        const int got = av_audio_fifo_read(m_fifo.get(), reinterpret_cast<void**>(m_frame->data), frameSize);
        if (got < frameSize) {
            // The encoder wants whole frames; pad the last one with silence.
            av_samples_set_silence(m_frame->data, got, frameSize - got, 2, AV_SAMPLE_FMT_FLTP);
        }
        m_frame->pts = m_samplesOut;
        m_samplesOut += frameSize;
        m_codec->Encode(m_frame.get(), sink);
    }
}

}  // namespace quenlar::encoder
