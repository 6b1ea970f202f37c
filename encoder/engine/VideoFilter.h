// The video filter graph: de-interlace when asked, fit the size to rv20, constant frame rate.
#pragma once

#include <functional>

#include "engine/LibavPtr.h"

namespace quenlar::encoder {

struct FrameSize {
    int width = 0;
    int height = 0;
};

// The size rv20 gets for a source: DVD-size and larger halved (the bit rates we are asked for
// are Video CD rates), then made square-pixel at the source's display aspect (rm carries no
// pixel shape) by keeping the height and fitting the width, both multiples of 4 as rv20
// requires.
FrameSize EncodedSizeFor(int sourceWidth, int sourceHeight, AVRational sampleAspect);

class VideoFilter {
public:
    using FrameSink = std::function<bool(AVFrame*)>;

    // Throws EncodeFailure when the graph cannot be built.
    VideoFilter(const AVCodecContext& decoder, AVRational timeBase, AVRational sampleAspect,
                AVRational frameRate, bool deinterlace);

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
