// rv20 has no threads of its own, and it is the slowest stage: runs of whole GOPs go to several
// encoder instances on their own threads, and their packets are handed on in the runs' order.
// Every run starts with a key frame, so each decodes on its own and the stream stays valid.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/BoundedQueue.h"
#include "engine/VideoEncoder.h"

namespace quenlar::encoder {

class ParallelVideoEncoder {
public:
    using PacketSink = VideoEncoder::PacketSink;
    // Runs an instance thread's work and records its failure, which must set `halt` and lead
    // to WakeAll.
    using Guard = std::function<void(const std::function<void()>&)>;

    // Throws EncodeFailure when rv20 refuses the settings.
    ParallelVideoEncoder(int instances, int width, int height, AVRational frameRate, int bitRate,
                         const std::atomic<bool>& halt, Guard guard);
    // Lets the instances finish what they were given and joins them.
    ~ParallelVideoEncoder();
    ParallelVideoEncoder(const ParallelVideoEncoder&) = delete;
    ParallelVideoEncoder& operator=(const ParallelVideoEncoder&) = delete;

    const AVCodecContext& Context() const { return m_instances.front()->encoder.Context(); }
    // The sink is called from the instances' threads.
    void SetPreviewSink(const VideoEncoder::PreviewSink& sink);
    void RequestPreview();

    // Video thread: one frame (pts in frames); the packets of finished runs go to the sink.
    // False when the job is halting.
    bool Encode(FramePtr frame, const PacketSink& sink);
    // Video thread: waits for every run and hands on the rest.
    void Finish(const PacketSink& sink);

    // Any thread, after `halt` was set.
    void WakeAll();

    // How many instances pay on this machine.
    static int InstancesForThisMachine();

private:
    struct Run {
        int64_t firstPts = 0;  // of the whole stream
        std::vector<PacketPtr> packets;
        bool done = false;
    };
    struct Task {
        FramePtr frame;  // none: the run is complete
        Run* run = nullptr;
    };
    struct Instance {
        Instance(int width, int height, AVRational frameRate, int bitRate, const std::atomic<bool>& halt);
        VideoEncoder encoder;
        BoundedQueue<Task> queue;
        std::thread thread;
        // The instance's own clock: its rate control budgets by the time its frames span, so it
        // must see its runs back to back.
        int64_t nextPts = 0;
    };

    void Work(Instance& instance);
    bool EndRun();
    void HandOn(const PacketSink& sink, bool wait);

    const std::atomic<bool>& m_halt;
    Guard m_guard;
    std::vector<std::unique_ptr<Instance>> m_instances;
    std::mutex m_mutex;  // protects the runs' packets and done flags
    std::condition_variable m_runDone;
    std::deque<std::unique_ptr<Run>> m_runs;  // added and removed by the video thread only
    size_t m_current = 0;                     // the instance of the newest run
    int64_t m_frames = 0;
    int64_t m_runCount = 0;
};

}  // namespace quenlar::encoder
