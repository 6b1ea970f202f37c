#include "engine/InputReader.h"

#include <algorithm>
#include <cmath>

#include "engine/EncodeFailure.h"

namespace quenlar::encoder {

namespace {

// rv20 in rm is made for at most 30 frames a second.
constexpr int kMaxFrameRate = 30;
// A faster source keeps every n-th frame, which keeps its motion even, as long as that leaves
// this many a second; a source just above 30 loses fewer frames thinned to 30.
constexpr double kMinEvenRate = 24;
// Rounding the rate up may add this share of repeated frames.
constexpr double kMaxRoundingUp = 1.02;
constexpr AVRational kUnknownRate = {25, 1};

// The video stream to convert: cover art is a still picture, not the programme.
int FindVideoStream(AVFormatContext& format)
{
    const int index = av_find_best_stream(&format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index >= 0 && !(format.streams[index]->disposition & AV_DISPOSITION_ATTACHED_PIC))
        return index;
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const AVStream* stream = format.streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

InputReader::InputReader(std::string path, const std::atomic<bool>& halt)
    : m_path(std::move(path)), m_halt(halt) {}

int InputReader::Interrupt(void* opaque)
{
    return static_cast<const InputReader*>(opaque)->m_halt.load() ? 1 : 0;
}

void InputReader::Open()
{
    AVFormatContext* format = avformat_alloc_context();
    if (!format)
        throw EncodeFailure(EncodeResult::EncoderFailure, "Out of memory opening " + Quoted(m_path));
    format->interrupt_callback = {&InputReader::Interrupt, this};
    int error = avformat_open_input(&format, m_path.c_str(), nullptr, nullptr);
    if (error < 0) {
        if (m_halt)
            throw EncodeFailure(EncodeResult::Stopped, "Stopped");
        throw EncodeFailure(EncodeResult::CannotOpenInput,
                            "Cannot open input file " + Quoted(m_path) + ": " + AvErrorText(error));
    }
    m_format.reset(format);
    error = avformat_find_stream_info(m_format.get(), nullptr);
    if (error < 0) {
        if (m_halt)
            throw EncodeFailure(EncodeResult::Stopped, "Stopped");
        throw EncodeFailure(EncodeResult::CannotOpenInput,
                            "Cannot read the streams of " + Quoted(m_path) + ": " + AvErrorText(error));
    }
    m_videoIndex = FindVideoStream(*m_format);
    if (m_videoIndex < 0 || m_format->streams[m_videoIndex]->codecpar->width <= 0) {
        throw EncodeFailure(EncodeResult::NoVideoStream,
                            "Input file " + Quoted(m_path) + " has no video stream");
    }
    OpenDecoder(m_videoIndex, m_video);
    const int audio = av_find_best_stream(m_format.get(), AVMEDIA_TYPE_AUDIO, -1, m_videoIndex,
                                          nullptr, 0);
    if (audio >= 0) {
        m_audioIndex = audio;
        OpenDecoder(m_audioIndex, m_audio);
    }
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        if (static_cast<int>(i) != m_videoIndex && static_cast<int>(i) != m_audioIndex)
            m_format->streams[i]->discard = AVDISCARD_ALL;
    }
    m_mender = std::make_unique<TimestampMender>((m_format->iformat->flags & AVFMT_TS_DISCONT) != 0);
    m_videoFrameTicks = av_rescale_q(1, av_inv_q(FrameRate()), VideoTimeBase());
}

void InputReader::OpenDecoder(int streamIndex, CodecContextPtr& decoder)
{
    const AVCodecParameters* params = m_format->streams[streamIndex]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(params->codec_id);
    if (!codec) {
        throw EncodeFailure(EncodeResult::UnsupportedInput,
                            "Input file " + Quoted(m_path) + " has a stream in an unsupported format (" +
                                avcodec_get_name(params->codec_id) + ")");
    }
    decoder.reset(avcodec_alloc_context3(codec));
    if (!decoder)
        throw EncodeFailure(EncodeResult::EncoderFailure, "Out of memory opening " + Quoted(m_path));
    int error = avcodec_parameters_to_context(decoder.get(), params);
    // The pipeline's threads already keep both cores busy; decoder threads would only contend.
    decoder->thread_count = 1;
    decoder->pkt_timebase = m_format->streams[streamIndex]->time_base;
    if (error >= 0)
        error = avcodec_open2(decoder.get(), codec, nullptr);
    if (error < 0) {
        throw EncodeFailure(EncodeResult::UnsupportedInput,
                            "Cannot decode " + std::string(avcodec_get_name(params->codec_id)) + " in " +
                                Quoted(m_path) + ": " + AvErrorText(error));
    }
}

AVRational InputReader::VideoTimeBase() const
{
    return m_format->streams[m_videoIndex]->time_base;
}

AVRational InputReader::AudioTimeBase() const
{
    return m_audioIndex >= 0 ? m_format->streams[m_audioIndex]->time_base : AVRational{1, 1};
}

AVRational EncodedFrameRate(AVRational sourceRate)
{
    double rate = sourceRate.num > 0 && sourceRate.den > 0 ? av_q2d(sourceRate) : av_q2d(kUnknownRate);
    if (rate > kMaxFrameRate) {
        const double everyNth = rate / std::ceil(rate / kMaxFrameRate);
        rate = everyNth >= kMinEvenRate ? everyNth : kMaxFrameRate;
    }
    // rm keeps a whole number of frames per second in its header (29.97 becomes 29, and
    // players' timestamps then collide); at the nearest whole rate the fps filter adds one
    // frame in a thousand and the file stays exact.
    long whole = std::lround(rate);
    if (whole > rate * kMaxRoundingUp)
        whole = static_cast<long>(std::floor(rate));
    return {static_cast<int>(std::clamp<long>(whole, 1, kMaxFrameRate)), 1};
}

AVRational InputReader::FrameRate() const
{
    // The average, not the nominal rate: a variable-rate source's nominal rate is its finest
    // step (60 for a phone's 30 with jitter, or its time base), which would repeat frames.
    AVStream* stream = m_format->streams[m_videoIndex];
    const AVRational average = stream->avg_frame_rate;
    if (average.num > 0 && average.den > 0)
        return EncodedFrameRate(average);
    return EncodedFrameRate(av_guess_frame_rate(m_format.get(), stream, nullptr));
}

AVRational InputReader::SampleAspectRatio() const
{
    const AVRational sar =
        av_guess_sample_aspect_ratio(m_format.get(), m_format->streams[m_videoIndex], nullptr);
    return sar.num > 0 && sar.den > 0 ? sar : AVRational{1, 1};
}

int64_t InputReader::DurationMs() const
{
    if (m_format->duration <= 0)
        return 0;
    return av_rescale(m_format->duration, 1000, AV_TIME_BASE);
}

double InputReader::VideoStartSeconds() const
{
    const AVStream* video = m_format->streams[m_videoIndex];
    return video->start_time == AV_NOPTS_VALUE ? 0 : video->start_time * av_q2d(video->time_base);
}

bool InputReader::Decode(AVCodecContext* decoder, const AVPacket* packet, AVFrame* frame,
                         const FrameSink& sink)
{
    int error = avcodec_send_packet(decoder, packet);
    if (error < 0 && error != AVERROR_EOF) {
        ++m_damaged;
        return !m_halt;
    }
    for (;;) {
        error = avcodec_receive_frame(decoder, frame);
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF)
            return true;
        if (error < 0) {
            ++m_damaged;
            return !m_halt;
        }
        if (frame->decode_error_flags != 0)
            ++m_damaged;
        frame->pts = frame->best_effort_timestamp;
        if (decoder == m_video.get())
            GuessMissingVideoTime(*frame);
        const bool more = sink(frame);
        av_frame_unref(frame);
        if (!more)
            return false;
    }
}

// The last picture of an MPEG stream often comes out of the decoder's flush with no time at all;
// the filters would drop it. It follows the one before it.
void InputReader::GuessMissingVideoTime(AVFrame& frame)
{
    if (frame.pts == AV_NOPTS_VALUE)
        frame.pts = m_nextVideoPts;
    if (frame.pts != AV_NOPTS_VALUE)
        m_nextVideoPts = frame.pts + (frame.pkt_duration > 0 ? frame.pkt_duration : m_videoFrameTicks);
}

void InputReader::DecodeAll(const FrameSink& video, const FrameSink& audio)
{
    PacketPtr packet = MakePacket();
    FramePtr frame = MakeFrame();
    if (!packet || !frame)
        throw EncodeFailure(EncodeResult::EncoderFailure, "Out of memory reading " + Quoted(m_path));
    bool more = true;
    while (more && !m_halt) {
        const int error = av_read_frame(m_format.get(), packet.get());
        if (error == AVERROR_EOF)
            break;
        if (error < 0) {
            if (!m_halt) {
                m_readError = error;
                ++m_damaged;
            }
            break;
        }
        if (packet->flags & AV_PKT_FLAG_CORRUPT)
            ++m_damaged;
        const int index = packet->stream_index;
        if (index == m_videoIndex || index == m_audioIndex) {
            m_mender->Mend(*packet, m_format->streams[index]->time_base,
                           index == m_videoIndex ? m_videoFrameTicks : 0);
        }
        if (packet->stream_index == m_videoIndex)
            more = Decode(m_video.get(), packet.get(), frame.get(), video);
        else if (packet->stream_index == m_audioIndex)
            more = Decode(m_audio.get(), packet.get(), frame.get(), audio);
        av_packet_unref(packet.get());
    }
    if (m_halt)
        return;
    if (Decode(m_video.get(), nullptr, frame.get(), video) && m_audio)
        Decode(m_audio.get(), nullptr, frame.get(), audio);
}

}  // namespace quenlar::encoder
