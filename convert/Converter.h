// Runs the files through the engine, N encodes side by side, and reports each as it ends.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "convert/ProgressView.h"
#include "engine/EncodeSettings.h"

namespace convert {

class QueueFile;

// The options every file is encoded with, once the command line and the queue file are merged.
struct EncodeOptions {
    int bitrate = 0;
    int audioRow = 0;
    std::string author;
    bool folderPrefix = false;
    bool deinterlace = false;
    quenlar::encoder::VideoCodec video = quenlar::encoder::kDefaultVideoCodec;
    int bFrames = -1;
};

struct FileTask {
    std::string source;
    std::string target;
    std::string refusal;  // set: the file is not encoded and fails with this message
    bool queued = false;  // from the --queue file: removed from it once converted
};

// Targets named as the dialog names them. A file whose target another file of the run already
// has (movie.mpg and movie.mpeg, or one file given twice) is refused rather than overwriting.
std::vector<FileTask> PlanTasks(const std::vector<std::string>& files, const std::vector<std::string>& queued,
                                bool folderPrefix);

quenlar::encoder::EncodeSettings SettingsFor(const FileTask& task, const EncodeOptions& options);

struct RunResult {
    int converted = 0;
    int failed = 0;
    int notConverted = 0;  // left when a stop came
};

class Converter {
public:
    Converter(std::vector<FileTask> tasks, EncodeOptions options, int jobs, ProgressView& view,
              QueueFile* queue);
    ~Converter();

    // Main thread: runs until every file has ended, or until a stop has ended the running ones
    // (the engine reports a stopped encode as ended well under a second after the stop).
    RunResult Run();

    // Any thread: running encodes are stopped and no more are started.
    void RequestStop();

private:
    class Slot;

    void StartNext();
    void Finish(Slot& slot);
    void Report(const FileTask& task, bool converted, const std::string& message, double seconds,
                double sourceSeconds);
    void Wake();

    std::vector<FileTask> m_tasks;
    EncodeOptions m_options;
    int m_jobs;
    ProgressView& m_view;
    QueueFile* m_queue;

    std::size_t m_next = 0;
    std::vector<std::unique_ptr<Slot>> m_running;
    RunResult m_result;

    std::atomic<bool> m_stopRequested{false};
    std::mutex m_mutex;  // protects m_finished and each slot's reported state
    std::condition_variable m_wake;
    std::deque<Slot*> m_finished;
};

}  // namespace convert
