#include "convert/Converter.h"

#include <algorithm>
#include <chrono>
#include <map>

#include "common/AudioRows.h"
#include "common/TargetPath.h"
#include "convert/QueueFile.h"
#include "engine/EncodeJob.h"
#include "engine/EncodeListener.h"

namespace convert {

using quenlar::encoder::EncodeJob;
using quenlar::encoder::EncodeListener;
using quenlar::encoder::EncodeProgress;
using quenlar::encoder::EncodeResult;
using quenlar::encoder::EncodeSettings;
using quenlar::encoder::PreviewPicture;
using Clock = std::chrono::steady_clock;

namespace {

// How often the live lines are redrawn.
constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

// One running encode. The engine calls the listener from its threads; the main thread reads
// what it stored under the converter's mutex.
class Converter::Slot : public EncodeListener {
public:
    Slot(Converter& owner, const FileTask& task)
        : m_owner(owner), task(task), job(SettingsFor(task, owner.m_options), *this)
    {
    }

    void OnOpened(int, int) override {}
    void OnStarted() override {}
    void OnPreview(const PreviewPicture&, const PreviewPicture&) override {}
    void OnProgress(const EncodeProgress& value) override
    {
        std::lock_guard lock(m_owner.m_mutex);
        progress = value;
    }
    void OnError(EncodeResult, const std::string& text) override
    {
        std::lock_guard lock(m_owner.m_mutex);
        message = text;
    }
    void OnFinished(EncodeResult value) override
    {
        {
            std::lock_guard lock(m_owner.m_mutex);
            result = value;
            m_owner.m_finished.push_back(this);
        }
        m_owner.m_wake.notify_all();
    }

private:
    Converter& m_owner;

public:
    const FileTask& task;
    const Clock::time_point start = Clock::now();
    // Written by the engine's threads, under the converter's mutex.
    EncodeProgress progress;
    std::string message;
    EncodeResult result = EncodeResult::Ok;
    // Declared last: destroyed (stopped and joined) before what its threads write to.
    EncodeJob job;
};

std::vector<FileTask> PlanTasks(const std::vector<std::string>& files, const std::vector<std::string>& queued,
                                bool folderPrefix)
{
    std::vector<FileTask> tasks;
    std::map<std::string, std::string> owners;  // target -> the source that has it
    auto add = [&](const std::string& source, bool fromQueue) {
        FileTask task{source, BuildTargetPath(source, folderPrefix), {}, fromQueue};
        const auto [owner, fresh] = owners.emplace(task.target, source);
        if (!fresh) {
            task.refusal = owner->second == source
                               ? "given more than once; converted once"
                               : "its target " + task.target + " is also the target of " + owner->second +
                                     "; nothing was overwritten";
        }
        tasks.push_back(std::move(task));
    };
    for (const std::string& file : files)
        add(file, false);
    for (const std::string& file : queued)
        add(file, true);
    return tasks;
}

EncodeSettings SettingsFor(const FileTask& task, const EncodeOptions& options)
{
    EncodeSettings settings;
    settings.inputPath = task.source;
    settings.outputPath = task.target;
    settings.title = TitleFromTarget(task.target);
    settings.author = options.author;
    settings.comment = kProgramName;
    settings.deinterlace = options.deinterlace;
    settings.videoCodec = options.video;
    settings.bFrames = options.bFrames;
    settings.totalKbps = options.bitrate;
    const AudioRow& row = kAudioRows[static_cast<std::size_t>(options.audioRow)];
    settings.audioKbps = row.kbps;
    settings.audioCodec = quenlar::encoder::AudioCodecNamed(row.codec).value_or(quenlar::encoder::AudioCodec::Ac3);
    settings.preview = false;
    return settings;
}

Converter::Converter(std::vector<FileTask> tasks, EncodeOptions options, int jobs, ProgressView& view,
                     QueueFile* queue)
    : m_tasks(std::move(tasks)), m_options(std::move(options)), m_jobs(std::max(jobs, 1)), m_view(view), m_queue(queue)
{
}

Converter::~Converter() = default;

void Converter::RequestStop()
{
    m_stopRequested = true;
    Wake();
}

void Converter::Wake()
{
    // Taking the lock orders the flag before a waiter's check of it.
    { std::lock_guard lock(m_mutex); }
    m_wake.notify_all();
}

RunResult Converter::Run()
{
    bool stopSent = false;
    StartNext();
    while (!m_running.empty()) {
        std::vector<Slot*> finished;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, kRedrawInterval, [&] { return !m_finished.empty() || (m_stopRequested && !stopSent); });
            finished.assign(m_finished.begin(), m_finished.end());
            m_finished.clear();
        }
        if (m_stopRequested && !stopSent) {
            stopSent = true;
            for (const auto& slot : m_running)
                slot->job.Stop();
        }
        for (Slot* slot : finished)
            Finish(*slot);
        if (!m_stopRequested)
            StartNext();
        std::vector<RunningFile> live;
        {
            std::lock_guard lock(m_mutex);
            for (const auto& slot : m_running)
                live.push_back({slot->task.source, slot->progress.percent, slot->progress.fps,
                                slot->progress.remainingMs});
        }
        m_view.Update(live, m_result.converted + m_result.failed);
    }
    m_result.notConverted = static_cast<int>(m_tasks.size()) - m_result.converted - m_result.failed;
    return m_result;
}

// Main thread: fills the free slots; refused files are reported as they come up.
void Converter::StartNext()
{
    while (static_cast<int>(m_running.size()) < m_jobs && m_next < m_tasks.size()) {
        const FileTask& task = m_tasks[m_next++];
        if (!task.refusal.empty()) {
            Report(task, false, task.refusal, 0, 0);
            continue;
        }
        m_running.push_back(std::make_unique<Slot>(*this, task));
        m_running.back()->job.Start();
    }
}

// Main thread: the slot's job has called OnFinished. Destroying it does not wait for a worker
// stuck in the kernel; such a worker ends on its own and leaves no output.
void Converter::Finish(Slot& slot)
{
    const auto owned = std::find_if(m_running.begin(), m_running.end(), [&](const auto& s) { return s.get() == &slot; });
    std::unique_ptr<Slot> done = std::move(*owned);
    m_running.erase(owned);

    const double seconds = SecondsSince(done->start);
    if (done->result == EncodeResult::Stopped)
        return;  // counted as not converted
    const bool converted = done->result == EncodeResult::Ok;
    Report(done->task, converted, done->message, seconds, done->progress.durationMs / 1000.0);
}

void Converter::Report(const FileTask& task, bool converted, const std::string& message, double seconds,
                       double sourceSeconds)
{
    if (!converted) {
        ++m_result.failed;
        m_view.Failed(task.source, message.empty() ? "not converted" : message);
        return;
    }
    ++m_result.converted;
    m_view.Converted(task.source, task.target, seconds, sourceSeconds);
    std::string error;
    if (task.queued && m_queue && !m_queue->Remove(task.source, error))
        m_view.Note(error);
}

}  // namespace convert
