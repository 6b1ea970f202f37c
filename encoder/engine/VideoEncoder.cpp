#include "engine/VideoEncoder.h"

#include <algorithm>

#include "engine/Rv20VideoEncoder.h"
#include "engine/Rv40VideoEncoder.h"

namespace quenlar::encoder {

namespace {

// Film measured best with 3 to 4 s between key frames (0.7 dB over 12 frames, 0.1 dB over 5 s).
constexpr int kKeyFrameSeconds = 4;
// Row alignment and padding libswscale's converters may use.
constexpr int kRgbAlignment = 64;

}  // namespace

int KeyFrameInterval(AVRational frameRate)
{
    return static_cast<int>(av_rescale(kKeyFrameSeconds, frameRate.num, frameRate.den));
}

int64_t MaxVideoBitRate(AVRational frameRate)
{
    return av_rescale(kMaxFrameBufferBits, frameRate.num, frameRate.den);
}

void VideoEncoder::BeginRun(const std::vector<FramePtr>&, int64_t) {}

// libswscale writes past rows that are exactly width x 3 bytes for widths that are not a
// multiple of 16, so it converts into a padded, aligned frame and the rows are copied out.
void VideoEncoder::ToRgb(const uint8_t* const data[3], const int stride[3], int width, int height,
                         PreviewPicture& picture)
{
    m_toRgb.reset(sws_getCachedContext(m_toRgb.release(), width, height, AV_PIX_FMT_YUV420P, width, height,
                                       AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr));
    if (!m_toRgb)
        return;
    if (!m_rgbFrame || m_rgbFrame->width != width || m_rgbFrame->height != height) {
        m_rgbFrame = MakeFrame();
        if (!m_rgbFrame)
            return;
        m_rgbFrame->format = AV_PIX_FMT_RGB24;
        m_rgbFrame->width = width;
        m_rgbFrame->height = height;
        if (av_frame_get_buffer(m_rgbFrame.get(), kRgbAlignment) < 0) {
            m_rgbFrame.reset();
            return;
        }
    }
    sws_scale(m_toRgb.get(), data, stride, 0, height, m_rgbFrame->data, m_rgbFrame->linesize);
    picture.width = width;
    picture.height = height;
    const size_t row = static_cast<size_t>(width) * 3;
    picture.rgb.resize(row * height);
    for (int y = 0; y < height; ++y)
        std::copy_n(m_rgbFrame->data[0] + static_cast<ptrdiff_t>(y) * m_rgbFrame->linesize[0], row,
                    picture.rgb.data() + row * y);
}

void VideoEncoder::ShowPreview(const AVFrame& source, const uint8_t* const encoded[3], const int encodedStride[3])
{
    ToRgb(source.data, source.linesize, source.width, source.height, m_sourcePicture);
    ToRgb(encoded, encodedStride, source.width, source.height, m_encodedPicture);
    m_previewWanted = false;
    m_previewSink(m_sourcePicture, m_encodedPicture);
}

std::unique_ptr<VideoEncoder> MakeVideoEncoder(VideoCodec codec, int width, int height, AVRational frameRate,
                                               int bitRate, double seconds, int bFrames)
{
    if (codec == VideoCodec::Rv40)
        return std::make_unique<Rv40VideoEncoder>(width, height, frameRate, bitRate, bFrames);
    return std::make_unique<Rv20VideoEncoder>(width, height, frameRate, bitRate, seconds);
}

}  // namespace quenlar::encoder
