// Opens any file libavformat reads that has a video stream, and decodes its video and audio
// with continuous timestamps (runs on the job's reader thread).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "engine/LibavPtr.h"
#include "engine/TimestampMender.h"

namespace quenlar::encoder {

// The whole rate (frames a second) a source of `sourceRate` is encoded at: its own, rounded,
// and at most 30: a faster one keeps every n-th frame. Never more than 2% above the source's,
// so that frames are not repeated to fill it; 25 when unknown.
AVRational EncodedFrameRate(AVRational sourceRate);

class InputReader {
public:
    // Decoded frames go to these; a sink returns false when the job is stopping.
    using FrameSink = std::function<bool(AVFrame*)>;

    InputReader(std::string path, const std::atomic<bool>& halt);

    // Throws EncodeFailure: cannot open, no video, no decoder.
    void Open();

    const AVCodecContext& Video() const { return *m_video; }
    const AVCodecContext* Audio() const { return m_audio.get(); }
    AVRational VideoTimeBase() const;
    AVRational AudioTimeBase() const;
    // The rate the picture is encoded at: the source's average (EncodedFrameRate).
    AVRational FrameRate() const;
    // The shape of one stored pixel, from the container or the stream (1:1 when unknown).
    AVRational SampleAspectRatio() const;
    int64_t DurationMs() const;
    // When the video stream starts, in seconds; 0 when unknown.
    double VideoStartSeconds() const;

    // Reads and decodes to the end of the file, then flushes both decoders. Read and decode
    // errors do not end it early unless nothing more can be read; they are counted as damage.
    void DecodeAll(const FrameSink& video, const FrameSink& audio);

    int DamagedPackets() const { return m_damaged; }
    // The error that ended reading before the end of the file, or 0.
    int ReadError() const { return m_readError; }

private:
    static int Interrupt(void* opaque);
    void OpenDecoder(int streamIndex, CodecContextPtr& decoder);
    void GuessMissingVideoTime(AVFrame& frame);
    bool Decode(AVCodecContext* decoder, const AVPacket* packet, AVFrame* frame,
                const FrameSink& sink);

    std::string m_path;
    const std::atomic<bool>& m_halt;
    InputFormatPtr m_format;
    CodecContextPtr m_video;
    CodecContextPtr m_audio;
    int m_videoIndex = -1;
    int m_audioIndex = -1;
    std::unique_ptr<TimestampMender> m_mender;
    int64_t m_videoFrameTicks = 0;  // one frame in the video stream's time base
    int64_t m_nextVideoPts = AV_NOPTS_VALUE;  // where the picture after the last one falls
    int m_damaged = 0;
    int m_readError = 0;
};

}  // namespace quenlar::encoder
