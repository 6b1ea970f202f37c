// The video filter graph: de-interlace when asked, fit the size to the codec, constant frame rate.
#pragma once

#include <functional>

#include "engine/EncodeSettings.h"
#include "engine/LibavPtr.h"

namespace quenlar::encoder {

struct FrameSize {
    int width = 0;
    int height = 0;
};

// The size a codec gets for a source, whatever codec gives the source:
// - square pixels at the source's display aspect (rm carries no pixel shape);
// - as many pixels as the video bit rate gives 0.15 bits each per frame at the frame rate
//   (about what a 4:3 Video CD gets at 450 Kbps; 0.10 for rv40, which codes more picture for
//   the bits), so that every source of one display aspect gets one size at one rate and codec
//   and the picture grows with the rate;
// - never larger than the source as displayed (its lines, at its display aspect), and that
//   whole when the budget comes within 10 % of it; never more than 512x384's pixels (rm's
//   64 KB frame limit), nor fewer than 128x96's;
// - both sides multiples of 4, as rv20 requires (multiples of 16 measured no better).
FrameSize EncodedSizeFor(int sourceWidth, int sourceHeight, AVRational sampleAspect, int64_t videoBitRate,
                         AVRational frameRate, VideoCodec codec);

class VideoFilter {
public:
    using FrameSink = std::function<bool(AVFrame*)>;

    // Scales to `size` (from EncodedSizeFor). Throws EncodeFailure when the graph cannot be built.
    VideoFilter(const AVCodecContext& decoder, AVRational timeBase, AVRational sampleAspect,
                AVRational frameRate, FrameSize size, bool deinterlace);

    FrameSize Size() const { return m_size; }
    // The time base of filtered frames: exactly 1/frame rate.
    AVRational TimeBase() const;

    // Filters one decoded frame, or flushes with nullptr; filtered frames go to the sink.
    // False when the sink refused a frame (the job is stopping).
    bool Push(AVFrame* frame, const FrameSink& sink);

private:
    FilterGraphPtr m_graph;
    AVFilterContext* m_source = nullptr;
    AVFilterContext* m_sink = nullptr;
    FrameSize m_size;
    int64_t m_frameTicks = 1;  // one frame in the source's time base
    int64_t m_endPts = AV_NOPTS_VALUE;
};

}  // namespace quenlar::encoder
