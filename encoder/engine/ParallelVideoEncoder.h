// Neither video encoder has threads of its own, and video is the slowest stage: runs of whole GOPs
// go to several encoder instances on their own threads, and their packets are handed on in the
// runs' order. Every run starts with a key frame, so each decodes on its own and the stream stays
// valid.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/VideoEncoder.h"

namespace quenlar::encoder {

class ParallelVideoEncoder {
public:
    using PacketSink = VideoEncoder::PacketSink;
    // Runs an instance thread's work and records its failure, which must set `halt` and lead
    // to WakeAll.
    using Guard = std::function<void(const std::function<void()>&)>;

    // `seconds`: the length of the picture (0: unknown), shared out among the instances;
    // `bFrames`: B pictures between references, where the codec has them.
    // Throws EncodeFailure when the codec refuses the settings. The sink gets the packets in the
    // stream's order, from the instances' threads, one thread at a time.
    ParallelVideoEncoder(VideoCodec codec, int instances, int width, int height, AVRational frameRate, int bitRate,
                         double seconds, const std::atomic<bool>& halt, Guard guard, PacketSink sink,
                         int bFrames = 0);
    // Lets the instances finish the runs they were given and joins them.
    ~ParallelVideoEncoder();
    ParallelVideoEncoder(const ParallelVideoEncoder&) = delete;
    ParallelVideoEncoder& operator=(const ParallelVideoEncoder&) = delete;

    AVRational TimeBase() const { return m_instances.front()->encoder->TimeBase(); }
    RmStreamFormat StreamFormat() const { return m_instances.front()->encoder->StreamFormat(); }
    // The sink is called from the instances' threads.
    void SetPreviewSink(const VideoEncoder::PreviewSink& sink);
    // Any thread: the next run's key frame is shown.
    void RequestPreview() { m_previewWanted = true; }

    // Feeding thread: one frame (pts in frames). False when the job is halting.
    bool Encode(FramePtr frame);
    // Feeding thread: waits until every run is encoded and handed on.
    void Finish();
    // Feeding thread: the instances finish the runs they were given (at once when halting)
    // and end; nothing reaches the sink after it returns.
    void Close();

    // Any thread, after `halt` was set.
    void WakeAll();

    // How many instances pay on this machine.
    static int InstancesForThisMachine();

private:
    struct Run {
        int64_t firstPts = 0;  // of the whole stream
        int64_t instanceFirstPts = 0;  // the same frame on its instance's clock
        std::vector<FramePtr> frames;
        std::vector<PacketPtr> packets;
        bool done = false;
    };
    struct Instance {
        std::unique_ptr<VideoEncoder> encoder;
        std::thread thread;
        // The instance's own clock: its rate control budgets by the time its frames span, so it
        // must see its runs back to back.
        int64_t nextPts = 0;
    };

    void Work(Instance& instance);
    int NextRunFrames();
    Run* Claim();
    void EncodeClaimed(Instance& instance, Run& run);
    bool IsSceneCut(const AVFrame& frame);
    bool Submit();
    void HandOnDone();

    const std::atomic<bool>& m_halt;
    Guard m_guard;
    PacketSink m_sink;
    std::vector<std::unique_ptr<Instance>> m_instances;
    std::atomic<bool> m_previewWanted{false};

    // Protects the queue of runs, their flags and m_closed. A run is filled by the feeding
    // thread alone and submitted whole, so that an instance wakes once a run, not once a frame.
    std::mutex m_mutex;
    std::condition_variable m_submitted;  // a run to claim, or the end
    std::condition_variable m_finished;   // a run was encoded: room for the next
    std::deque<std::unique_ptr<Run>> m_runs;  // submitted and not yet handed on, oldest first
    std::deque<Run*> m_unclaimed;             // of m_runs, oldest first
    size_t m_unfinished = 0;                  // runs of m_runs not yet encoded
    bool m_closed = false;
    std::unique_ptr<Run> m_filling;  // the feeding thread's, not yet submitted
    int m_runFrames = 0;
    int m_minRunFrames = 0;
    int m_fillTo = 0;             // frames the run being filled gets, unless a cut ends it
    int64_t m_expectedFrames = 0;  // of the whole picture, from its length (0: unknown)
    int64_t m_fedFrames = 0;
    int m_tailRunFrames = 0;      // once the end is near: the last runs' even share of it
    bool m_runsAreGops = false;  // each starts with a key frame, and ends early at a scene cut
    bool m_reorders = false;     // packets in decoding order, each with its frame's pts
    // The feeding thread's: luma block sums of the last two frames, and how much frames changed lately.
    std::vector<int> m_blockSums[2];
    int m_blockSumsIndex = 0;
    double m_meanChange = 0;

    // Held while packets go to the sink, so that runs are written whole and in order.
    std::mutex m_handOnMutex;
};

}  // namespace quenlar::encoder
