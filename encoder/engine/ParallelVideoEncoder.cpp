#include "engine/ParallelVideoEncoder.h"

#include <algorithm>
#include <new>
#include <string>

#include "engine/ThreadName.h"

namespace quenlar::encoder {

namespace {

// Whole GOPs per run. Every GOP starts with a key frame anyway, and one-GOP runs measured as
// good as four-GOP ones for rate and picture while keeping few decoded frames in flight.
constexpr int kRunGops = 1;
constexpr int kRunFrames = kRunGops * kGopFrames;
// One run waiting for each instance beyond the one it works on.
constexpr std::size_t kQueuedFrames = kRunFrames;
constexpr int kMaxInstances = 8;

}  // namespace

ParallelVideoEncoder::Instance::Instance(int width, int height, AVRational frameRate, int bitRate,
                                         const std::atomic<bool>& halt)
    : encoder(width, height, frameRate, bitRate), queue(kQueuedFrames + 1, halt)
{
}

int ParallelVideoEncoder::InstancesForThisMachine()
{
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMaxInstances);
}

ParallelVideoEncoder::ParallelVideoEncoder(int instances, int width, int height, AVRational frameRate,
                                           int bitRate, const std::atomic<bool>& halt, Guard guard)
    : m_halt(halt), m_guard(std::move(guard))
{
    for (int i = 0; i < std::max(instances, 1); ++i)
        m_instances.push_back(std::make_unique<Instance>(width, height, frameRate, bitRate, halt));
    for (size_t i = 0; i < m_instances.size(); ++i) {
        m_instances[i]->thread = std::thread([this, i, &instance = *m_instances[i]] {
            NameThisThread("qn-rv20-" + std::to_string(i));
            Work(instance);
        });
    }
}

ParallelVideoEncoder::~ParallelVideoEncoder()
{
    for (auto& instance : m_instances)
        instance->queue.Close();
    for (auto& instance : m_instances)
        instance->thread.join();
}

void ParallelVideoEncoder::SetPreviewSink(const VideoEncoder::PreviewSink& sink)
{
    for (auto& instance : m_instances)
        instance->encoder.SetPreviewSink(sink);
}

void ParallelVideoEncoder::RequestPreview()
{
    m_instances[m_current]->encoder.RequestPreview();
}

void ParallelVideoEncoder::WakeAll()
{
    for (auto& instance : m_instances)
        instance->queue.WakeAll();
    std::lock_guard lock(m_mutex);
    m_runDone.notify_all();
}

// An instance's thread.
void ParallelVideoEncoder::Work(Instance& instance)
{
    m_guard([&] {
        while (std::optional<Task> task = instance.queue.Pop()) {
            if (!task->frame) {
                std::lock_guard lock(m_mutex);
                task->run->done = true;
                m_runDone.notify_all();
                continue;
            }
            instance.encoder.Encode(task->frame.get(), [&](AVPacket* packet) {
                PacketPtr kept = MakePacket();
                if (!kept)
                    throw std::bad_alloc();
                av_packet_move_ref(kept.get(), packet);
                std::lock_guard lock(m_mutex);
                task->run->packets.push_back(std::move(kept));
            });
        }
    });
}

bool ParallelVideoEncoder::EndRun()
{
    return m_runs.empty() || m_instances[m_current]->queue.Push(Task{nullptr, m_runs.back().get()});
}

bool ParallelVideoEncoder::Encode(FramePtr frame, const PacketSink& sink)
{
    if (m_frames++ % kRunFrames == 0) {
        if (!EndRun())
            return false;
        m_runs.push_back(std::make_unique<Run>());
        m_runs.back()->firstPts = frame->pts;
        m_current = static_cast<size_t>(m_runCount++ % static_cast<int64_t>(m_instances.size()));
        // Each run decodes on its own.
        frame->pict_type = AV_PICTURE_TYPE_I;
    } else {
        frame->pict_type = AV_PICTURE_TYPE_NONE;
    }
    frame->pts = m_instances[m_current]->nextPts++;
    if (!m_instances[m_current]->queue.Push(Task{std::move(frame), m_runs.back().get()}))
        return false;
    HandOn(sink, false);
    return true;
}

void ParallelVideoEncoder::Finish(const PacketSink& sink)
{
    if (EndRun())
        HandOn(sink, true);
}

// The packets of the oldest runs, as far as they are done; `wait`: until all are.
void ParallelVideoEncoder::HandOn(const PacketSink& sink, bool wait)
{
    while (!m_runs.empty()) {
        {
            std::unique_lock lock(m_mutex);
            if (wait)
                m_runDone.wait(lock, [&] { return m_runs.front()->done || m_halt.load(); });
            if (!m_runs.front()->done)
                return;
        }
        // Done: its instance no longer touches it.
        const std::unique_ptr<Run> run = std::move(m_runs.front());
        m_runs.pop_front();
        // One packet a frame, in order: the stream's times come back from the run's start.
        int64_t pts = run->firstPts;
        for (const PacketPtr& packet : run->packets) {
            packet->pts = packet->dts = pts++;
            sink(packet.get());
        }
    }
}

}  // namespace quenlar::encoder
