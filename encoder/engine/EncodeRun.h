// The work of one encode: reader (demux, decode, filter), video encoder, audio encoder and a
// progress ticker, run by Run on a worker thread. It is shared between its EncodeJob and the
// worker, so that a worker the job could not wait for (blocked in the kernel) still owns
// everything it uses. The listener is reached only through a gate that the owner can close.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "engine/BoundedQueue.h"
#include "engine/EncodeFailure.h"
#include "engine/EncodeListener.h"
#include "engine/EncodeSettings.h"
#include "engine/LibavPtr.h"

namespace quenlar::encoder {

class AudioEncoder;
class InputReader;
class ParallelVideoEncoder;
class RmWriter;
class VideoFilter;

class EncodeRun {
public:
    EncodeRun(EncodeSettings settings, EncodeListener& listener);
    EncodeRun(const EncodeRun&) = delete;
    EncodeRun& operator=(const EncodeRun&) = delete;

    // Worker thread: the whole encode; the listener hears OnFinished last, unless the owner
    // ended or closed the gate first.
    void Run();
    // Any thread: every stage ends as soon as it can.
    void Stop();
    // Owner: waits up to `timeout` for Run to return; true when it has.
    bool WaitEnded(std::chrono::milliseconds timeout);
    // Owner: the listener hears OnFinished(Stopped) now unless it already heard its end, and
    // nothing after it.
    void EndForListener();
    // Owner: nothing more reaches the listener; returns once no call to it is under way.
    void Disconnect();
    bool ListenerEnded();

private:
    using Clock = std::chrono::steady_clock;

    using PacketSink = std::function<void(AVPacket*)>;

    // Calls the listener unless the gate is closed or its end was heard.
    template <typename Call>
    void Tell(Call call);
    // Counts a call to the listener from entry to return, unless the gate is closed.
    class ListenerCall;
    void TellFinished(EncodeResult result);
    // The open objects of one encode.
    struct Pipeline;
    EncodeResult Encode(std::string& message);
    void OpenInput(Pipeline& pipeline);
    // Bit/s left to the picture by the sound and rm's framing.
    int VideoBitRate(const InputReader& reader) const;
    void OpenEncoders(Pipeline& pipeline);
    void OpenOutput(Pipeline& pipeline);
    void RunStages(Pipeline& pipeline);
    EncodeResult Finish(Pipeline& pipeline, std::string& message);
    void ReadStage(InputReader& reader, VideoFilter& filter, ParallelVideoEncoder& video);
    void AudioStage(AudioEncoder& audio, const PacketSink& write);
    void WriteHeldSound(RmWriter& writer, double pictureEnd);
    // Runs a stage; its failure is recorded and halts the others.
    template <typename Body>
    void Guarded(Body body);
    void RecordFailure(const EncodeFailure& failure);
    void Halt();
    void ProgressLoop();
    EncodeProgress CurrentProgress(bool done) const;

    EncodeSettings m_settings;

    // Protects the three below. Calls to the listener run outside it, counted, so that a slow
    // call holds up no other thread, and closing the gate waits only for calls under way.
    std::mutex m_listenerMutex;
    std::condition_variable m_listenerIdle;
    EncodeListener* m_listener;
    bool m_listenerEnded = false;
    int m_listenerCalls = 0;

    std::mutex m_endMutex;  // protects m_ended
    std::condition_variable m_endChanged;
    bool m_ended = false;

    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_halt{false};  // a stop or a failure: every stage ends
    BoundedQueue<FramePtr> m_audioQueue;

    // Sound waits here until the picture written reaches its time: the reader runs seconds
    // ahead of the video encoders, and the muxer writes sound ahead of the picture once it
    // leads by 10 s, which players with short queues cannot read. The mutex protects the
    // three below and is taken before the writer's own.
    std::mutex m_interleaveMutex;
    std::deque<PacketPtr> m_heldSound;
    double m_pictureEnd = 0;  // seconds
    AVRational m_soundTimeBase{1, 1};

    std::mutex m_videoMutex;  // protects m_video, which Halt wakes from any thread
    ParallelVideoEncoder* m_video = nullptr;

    std::mutex m_failureMutex;  // protects m_failure, written by whichever stage fails first
    std::optional<EncodeFailure> m_failure;

    Clock::time_point m_startTime;
    std::atomic<bool> m_started{false};
    std::atomic<int64_t> m_frames{0};
    std::atomic<int64_t> m_audioPackets{0};
    std::atomic<int64_t> m_durationMs{0};
    std::atomic<int64_t> m_expectedFrames{0};
    std::atomic<double> m_videoStartSeconds{0};  // the first picture's time, set by the reader

    std::mutex m_progressMutex;  // protects m_progressDone
    std::condition_variable m_progressWake;
    bool m_progressDone = false;
};

}  // namespace quenlar::encoder
