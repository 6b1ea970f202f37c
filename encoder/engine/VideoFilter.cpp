#include "engine/VideoFilter.h"

#include <algorithm>
#include <cmath>
#include <string>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/pixdesc.h>
}

#include "engine/EncodeFailure.h"

namespace quenlar::encoder {

namespace {

// Bits per pixel per frame the picture is sized for. rv20's picture stays clean down to about
// 0.1 on film and collapses below 0.08; 0.15 keeps a margin for harder sources. rv40 codes film
// 1.6 to 2.4 dB cleaner at 0.10 than rv20 at 0.15 (each against its own size's picture, 300
// and 500 Kbps), with half as many pixels again.
constexpr double kRv20BitsPerPixel = 0.15;
constexpr double kRv40BitsPerPixel = 0.10;
// Pure noise at rv20's coarsest quantiser takes 0.29 bytes a pixel; rm holds no frame over 64 KB.
constexpr double kMaxPixels = 512 * 384;
constexpr double kMinPixels = 128 * 96;
// A budget this close to the source as displayed keeps it whole: scaling every line to save a
// few pixels only blurs.
constexpr double kWholeShare = 0.9;
// Display aspects beyond these come from a wrong pixel shape; the storage shape is kept then.
constexpr double kMinAspect = 1.0 / 3;
constexpr double kMaxAspect = 3.0;

// The multiple of 4 nearest to `value`, at least 4 and at most `limit` (rounded down to 4).
int MultipleOf4(double value, int limit)
{
    const int nearest = static_cast<int>(std::lround(value / 4)) * 4;
    return std::max(std::min(nearest, limit & ~3), 4);
}

void ThrowFilterError(const std::string& what, int error)
{
    throw EncodeFailure(EncodeResult::EncoderFailure,
                        "Cannot set up the video filters (" + what + "): " + AvErrorText(error));
}

std::string Rational(AVRational value)
{
    return std::to_string(value.num) + "/" + std::to_string(value.den);
}

}  // namespace

FrameSize EncodedSizeFor(int sourceWidth, int sourceHeight, AVRational sampleAspect, int64_t videoBitRate,
                         AVRational frameRate, VideoCodec codec)
{
    const double bitsPerPixel = codec == VideoCodec::Rv40 ? kRv40BitsPerPixel : kRv20BitsPerPixel;
    const double height = sourceHeight;
    double aspect = sourceWidth * av_q2d(sampleAspect) / height;
    if (!(aspect >= kMinAspect && aspect <= kMaxAspect))
        aspect = sourceWidth / height;
    const double displayPixels = height * height * aspect;
    double pixels =
        std::clamp(static_cast<double>(videoBitRate) / (av_q2d(frameRate) * bitsPerPixel), kMinPixels, kMaxPixels);
    if (pixels >= kWholeShare * displayPixels)
        pixels = std::min(displayPixels, kMaxPixels);
    FrameSize size;
    size.height = MultipleOf4(std::min(std::sqrt(pixels / aspect), height), sourceHeight);
    const int displayWidth = static_cast<int>(std::lround(height * aspect));
    size.width = MultipleOf4(size.height * aspect, std::max(displayWidth, 4));
    return size;
}

VideoFilter::VideoFilter(const AVCodecContext& decoder, AVRational timeBase, AVRational sampleAspect,
                         AVRational frameRate, FrameSize size, bool deinterlace)
    : m_graph(avfilter_graph_alloc()), m_size(size), m_frameTicks(av_rescale_q(1, av_inv_q(frameRate), timeBase))
{
    if (!m_graph)
        ThrowFilterError("graph", AVERROR(ENOMEM));
    // One thread: the filters are cheap and the pipeline's own threads use the cores.
    m_graph->nb_threads = 1;

    const std::string sourceArgs =
        "video_size=" + std::to_string(decoder.width) + "x" + std::to_string(decoder.height) +
        ":pix_fmt=" + std::to_string(decoder.pix_fmt) + ":time_base=" + Rational(timeBase) +
        ":pixel_aspect=" + Rational(sampleAspect);
    int error = avfilter_graph_create_filter(&m_source, avfilter_get_by_name("buffer"), "in",
                                             sourceArgs.c_str(), nullptr, m_graph.get());
    if (error < 0)
        ThrowFilterError("source", error);
    error = avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("buffersink"), "out",
                                         nullptr, nullptr, m_graph.get());
    if (error < 0)
        ThrowFilterError("sink", error);

    std::string chain;
    // MPEG-1 frames are never flagged interlaced, so every frame must be treated.
    if (deinterlace)
        chain += "bwdif=mode=send_frame:deint=all,";
    const bool onlyCut = m_size.width == (decoder.width & ~3) && m_size.height == (decoder.height & ~3);
    if (onlyCut && (m_size.width != decoder.width || m_size.height != decoder.height)) {
        // Only a few pixels too many: cutting them costs nothing, scaling would blur.
        chain += "crop=" + std::to_string(m_size.width) + ":" + std::to_string(m_size.height) +
                 ":0:0,";
    } else if (!onlyCut) {
        // Area averaging where the picture shrinks; bicubic where a side has to grow.
        const bool shrinks = m_size.width <= decoder.width && m_size.height <= decoder.height;
        chain += "scale=" + std::to_string(m_size.width) + ":" + std::to_string(m_size.height) +
                 ":flags=" + (shrinks ? "area" : "bicubic") + ",setsar=1,";
    }
    // rm numbers video frames by the stream's time base, so the rate must be constant;
    // eof_action=pass keeps the last frame.
    chain += "fps=fps=" + Rational(frameRate) + ":eof_action=pass,format=pix_fmts=yuv420p";

    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    if (!outputs || !inputs) {
        avfilter_inout_free(&outputs);
        avfilter_inout_free(&inputs);
        ThrowFilterError("graph", AVERROR(ENOMEM));
    }
    outputs->name = av_strdup("in");
    outputs->filter_ctx = m_source;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = m_sink;
    error = avfilter_graph_parse_ptr(m_graph.get(), chain.c_str(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&outputs);
    avfilter_inout_free(&inputs);
    if (error < 0)
        ThrowFilterError(chain, error);
    error = avfilter_graph_config(m_graph.get(), nullptr);
    if (error < 0)
        ThrowFilterError(chain, error);
}

AVRational VideoFilter::TimeBase() const
{
    return av_buffersink_get_time_base(m_sink);
}

bool VideoFilter::Push(AVFrame* frame, const FrameSink& sink)
{
    int error = 0;
    if (frame) {
        if (frame->pts != AV_NOPTS_VALUE)
            m_endPts = frame->pts + (frame->pkt_duration > 0 ? frame->pkt_duration : m_frameTicks);
        error = av_buffersrc_add_frame_flags(m_source, frame, AV_BUFFERSRC_FLAG_KEEP_REF);
    } else {
        // The end must carry its time, or the fps filter drops the last frame.
        error = av_buffersrc_close(m_source, m_endPts, AV_BUFFERSRC_FLAG_PUSH);
    }
    if (error < 0)
        ThrowFilterError("filtering", error);
    FramePtr filtered = MakeFrame();
    for (;;) {
        error = av_buffersink_get_frame(m_sink, filtered.get());
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF)
            return true;
        if (error < 0)
            ThrowFilterError("filtering", error);
        if (!sink(filtered.get()))
            return false;
        av_frame_unref(filtered.get());
    }
}

}  // namespace quenlar::encoder
