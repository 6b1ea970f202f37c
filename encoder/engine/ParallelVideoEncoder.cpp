#include "engine/ParallelVideoEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <string>

#include "engine/ThreadName.h"

namespace quenlar::encoder {

namespace {

// One rv20 instance sees every frame in order and places the key frames itself, so its runs
// need not decode on their own: short ones let it start sooner.
constexpr int kSingleRunFrames = 4;
// Runs submitted beyond one per instance. A run of several instances is seconds of decoded
// pictures, and the reader fills the next one in a fraction of the time an instance takes to
// encode one, so none is kept spare: a free instance takes the one just filled.
constexpr size_t kSpareRuns = 0;
// A run ended at a scene cut is at least this long, so that cut after cut does not make a key
// frame of every picture.
constexpr int kMinRunSeconds = 1;
// Scene cuts: 8x8 blocks; a cut changes their mean brightness by more than this (of 255) on
// average, and by this many times the recent frames' change. Film's cuts measure 50 to 70,
// its pans and fades below 15.
constexpr int kCutBlock = 8;
constexpr double kCutChange = 25;
constexpr double kCutContrast = 4;
constexpr double kCutSmoothing = 0.1;
constexpr int kMaxInstances = 8;

}  // namespace

int ParallelVideoEncoder::InstancesForThisMachine()
{
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMaxInstances);
}

ParallelVideoEncoder::ParallelVideoEncoder(VideoCodec codec, int instances, int width, int height,
                                           AVRational frameRate, int bitRate, double seconds,
                                           const std::atomic<bool>& halt, Guard guard, PacketSink sink,
                                           int bFrames)
    : m_halt(halt), m_guard(std::move(guard)), m_sink(std::move(sink))
{
    const int count = std::max(instances, 1);
    for (int i = 0; i < count; ++i) {
        auto& instance = m_instances.emplace_back(std::make_unique<Instance>());
        instance->encoder = MakeVideoEncoder(codec, width, height, frameRate, bitRate, seconds / count, bFrames);
    }
    m_reorders = m_instances.front()->encoder->Reorders();
    // Several instances, or an encoder that leaves the key frames to us: a run is one GOP (at
    // most a key-frame interval), so that each decodes on its own.
    m_runsAreGops = m_instances.size() > 1 || !m_instances.front()->encoder->PlacesKeyFrames();
    m_runFrames = m_runsAreGops ? KeyFrameInterval(frameRate) : kSingleRunFrames;
    m_minRunFrames = std::min(m_runFrames, static_cast<int>(av_rescale(kMinRunSeconds, frameRate.num, frameRate.den)));
    if (seconds > 0)
        m_expectedFrames = std::llround(seconds * av_q2d(frameRate));
    const std::string threadName = std::string("qn-") + VideoCodecName(codec) + "-";
    for (size_t i = 0; i < m_instances.size(); ++i) {
        m_instances[i]->thread = std::thread([this, i, threadName, &instance = *m_instances[i]] {
            NameThisThread(threadName + std::to_string(i));
            Work(instance);
        });
    }
}

ParallelVideoEncoder::~ParallelVideoEncoder()
{
    Close();
}

void ParallelVideoEncoder::Close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_submitted.notify_all();
    for (auto& instance : m_instances) {
        if (instance->thread.joinable())
            instance->thread.join();
    }
}

void ParallelVideoEncoder::SetPreviewSink(const VideoEncoder::PreviewSink& sink)
{
    for (auto& instance : m_instances)
        instance->encoder->SetPreviewSink(sink);
}

void ParallelVideoEncoder::WakeAll()
{
    std::lock_guard lock(m_mutex);
    m_submitted.notify_all();
    m_finished.notify_all();
}

// An instance's thread.
void ParallelVideoEncoder::Work(Instance& instance)
{
    m_guard([&] {
        while (Run* run = Claim()) {
            EncodeClaimed(instance, *run);
            {
                std::lock_guard lock(m_mutex);
                run->done = true;
                --m_unfinished;
            }
            m_finished.notify_all();
            HandOnDone();
        }
    });
}

// The oldest run nobody has taken; none at the end.
ParallelVideoEncoder::Run* ParallelVideoEncoder::Claim()
{
    std::unique_lock lock(m_mutex);
    m_submitted.wait(lock, [&] { return !m_unclaimed.empty() || m_closed || m_halt.load(); });
    if (m_halt || m_unclaimed.empty())
        return nullptr;
    Run* run = m_unclaimed.front();
    m_unclaimed.pop_front();
    return run;
}

// An instance's thread; the run is its own until marked done.
void ParallelVideoEncoder::EncodeClaimed(Instance& instance, Run& run)
{
    if (m_previewWanted.exchange(false))
        instance.encoder->RequestPreview();
    instance.encoder->BeginRun(run.frames, run.firstPts);
    run.instanceFirstPts = instance.nextPts;
    for (FramePtr& frame : run.frames) {
        if (m_halt)
            return;
        frame->pts = instance.nextPts++;
        instance.encoder->Encode(frame.get(), [&](AVPacket* packet) {
            PacketPtr kept = MakePacket();
            if (!kept)
                throw std::bad_alloc();
            av_packet_move_ref(kept.get(), packet);
            run.packets.push_back(std::move(kept));
        });
        frame.reset();
    }
}

bool ParallelVideoEncoder::Encode(FramePtr frame)
{
    // Runs of GOPs end early at a scene cut, where a key frame pays, rather than putting one a
    // little after it.
    if (m_runsAreGops && IsSceneCut(*frame) && m_filling &&
        m_filling->frames.size() >= static_cast<size_t>(m_minRunFrames) && !Submit())
        return false;
    if (!m_filling) {
        m_fillTo = NextRunFrames();
        m_filling = std::make_unique<Run>();
        m_filling->frames.reserve(static_cast<size_t>(m_fillTo));
        m_filling->firstPts = frame->pts;
    }
    // Each GOP starts with a key frame; a lone rv20 places its own.
    frame->pict_type = m_runsAreGops && m_filling->frames.empty() ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    m_filling->frames.push_back(std::move(frame));
    ++m_fedFrames;
    if (m_filling->frames.size() == static_cast<size_t>(m_fillTo))
        return Submit();
    return !m_halt;
}

// Feeding thread. Whole key-frame intervals until what is left would fill no more than one run
// per instance; that rest is shared out evenly, so that at the end of a file, and all through a
// short one, no instance sits idle while another codes a run twice as long. A picture longer
// than its length said just goes on in whole intervals.
int ParallelVideoEncoder::NextRunFrames()
{
    if (!m_runsAreGops || m_instances.size() < 2 || m_expectedFrames == 0)
        return m_runFrames;
    const int64_t left = m_expectedFrames - m_fedFrames;
    const auto instances = static_cast<int64_t>(m_instances.size());
    if (m_tailRunFrames == 0 && left > 0 && left <= instances * m_runFrames) {
        const int64_t share = (left + instances - 1) / instances;
        m_tailRunFrames = share >= m_minRunFrames ? static_cast<int>(share) : m_runFrames;
    }
    return m_tailRunFrames > 0 && left > 0 ? m_tailRunFrames : m_runFrames;
}

// Feeding thread. A cut changes the picture's coarse brightness at once, and much more than
// the frames before it changed: block means of the luma (from one line of each block, which
// is cheap and near enough), compared with the previous frame's.
bool ParallelVideoEncoder::IsSceneCut(const AVFrame& frame)
{
    const int columns = frame.width / kCutBlock;
    const int rows = frame.height / kCutBlock;
    std::vector<int>& sums = m_blockSums[m_blockSumsIndex];
    sums.assign(static_cast<size_t>(columns) * rows, 0);
    for (int row = 0; row < rows; ++row) {
        const uint8_t* line = frame.data[0] + static_cast<ptrdiff_t>(row * kCutBlock + kCutBlock / 2) * frame.linesize[0];
        int* sum = sums.data() + static_cast<ptrdiff_t>(row) * columns;
        for (int column = 0; column < columns; ++column, line += kCutBlock) {
            for (int x = 0; x < kCutBlock; ++x)
                sum[column] += line[x];
        }
    }
    const std::vector<int>& previous = m_blockSums[1 - m_blockSumsIndex];
    m_blockSumsIndex = 1 - m_blockSumsIndex;
    if (previous.size() != sums.size() || sums.empty())
        return false;
    int64_t difference = 0;
    for (size_t i = 0; i < sums.size(); ++i)
        difference += std::abs(sums[i] - previous[i]);
    const double change = static_cast<double>(difference) / (sums.size() * kCutBlock);
    const bool cut = change > kCutChange && change > kCutContrast * m_meanChange;
    m_meanChange += (change - m_meanChange) * kCutSmoothing;
    return cut;
}

// Feeding thread: the filled run goes to the instances once one of them has room for it.
bool ParallelVideoEncoder::Submit()
{
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [&] { return m_unfinished < m_instances.size() + kSpareRuns || m_halt.load(); });
    if (m_halt)
        return false;
    m_unclaimed.push_back(m_filling.get());
    m_runs.push_back(std::move(m_filling));
    ++m_unfinished;
    lock.unlock();
    m_submitted.notify_one();
    return true;
}

void ParallelVideoEncoder::Finish()
{
    if (m_filling && !Submit())
        return;
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [&] { return m_runs.empty() || m_halt.load(); });
}

// The packets of the oldest runs, as far as they are done. Whoever finishes the oldest run
// writes it and any finished ones behind it.
void ParallelVideoEncoder::HandOnDone()
{
    std::lock_guard order(m_handOnMutex);
    while (!m_halt) {
        std::unique_ptr<Run> run;
        {
            std::lock_guard lock(m_mutex);
            if (m_runs.empty() || !m_runs.front()->done)
                return;
            run = std::move(m_runs.front());
            m_runs.pop_front();
        }
        // One packet a frame, in order: the stream's times come back from the run's start (in
        // decoding order the dts; a reordered packet's pts from its frame's place in the run).
        int64_t dts = run->firstPts;
        for (const PacketPtr& packet : run->packets) {
            packet->pts = m_reorders ? run->firstPts + (packet->pts - run->instanceFirstPts) : dts;
            packet->dts = dts++;
            m_sink(packet.get());
        }
        m_finished.notify_all();
    }
}

}  // namespace quenlar::encoder
