// One encode of one file on its own threads: reader (demux, decode, filter), video encoder,
// audio encoder, and a progress ticker. Start, Stop and the destructor are called from one
// owning thread; the listener is called from the job's threads.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "engine/BoundedQueue.h"
#include "engine/EncodeFailure.h"
#include "engine/EncodeListener.h"
#include "engine/EncodeSettings.h"
#include "engine/LibavPtr.h"

namespace quenlar::encoder {

class AudioEncoder;
class InputReader;
class VideoEncoder;
class VideoFilter;

class EncodeJob {
public:
    EncodeJob(EncodeSettings settings, EncodeListener& listener);
    // Stops the job and joins its threads; the temporary file is gone when it returns.
    ~EncodeJob();
    EncodeJob(const EncodeJob&) = delete;
    EncodeJob& operator=(const EncodeJob&) = delete;

    // Returns at once; the listener hears OnFinished exactly once afterwards.
    void Start();
    // Asks the job to end; returns at once. The job ends well under a second later.
    void Stop();
    // Waits for the job's threads.
    void Join();

private:
    using Clock = std::chrono::steady_clock;

    using PacketSink = std::function<void(AVPacket*)>;

    void Run();
    EncodeResult Encode(std::string& message);
    void ReadStage(InputReader& reader, VideoFilter& filter);
    void VideoStage(VideoEncoder& video, AVRational filterTimeBase, const PacketSink& write);
    void AudioStage(AudioEncoder& audio, const PacketSink& write);
    // Runs a stage; its failure is recorded and halts the others.
    template <typename Body>
    void Guarded(Body body);
    void RecordFailure(const EncodeFailure& failure);
    void Halt();
    void ProgressLoop();
    EncodeProgress CurrentProgress(bool done) const;

    EncodeSettings m_settings;
    EncodeListener& m_listener;

    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_halt{false};  // a stop or a failure: every stage ends
    BoundedQueue<FramePtr> m_videoQueue;
    BoundedQueue<FramePtr> m_audioQueue;

    std::mutex m_failureMutex;  // protects m_failure, written by whichever stage fails first
    std::optional<EncodeFailure> m_failure;

    Clock::time_point m_startTime;
    std::atomic<bool> m_started{false};
    std::atomic<int64_t> m_frames{0};
    std::atomic<int64_t> m_durationMs{0};
    std::atomic<int64_t> m_expectedFrames{0};
    std::atomic<double> m_videoStartSeconds{0};  // the first picture's time, set by the reader

    std::mutex m_progressMutex;  // protects m_progressDone
    std::condition_variable m_progressWake;
    bool m_progressDone = false;

    std::thread m_thread;
};

}  // namespace quenlar::encoder
