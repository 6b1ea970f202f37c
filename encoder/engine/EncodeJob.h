// One encode of one file on its own threads (see EncodeRun). Start, Stop and the destructor are
// called from one owning thread and never wait long on the workers; the listener is called
// from the job's threads.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "engine/EncodeListener.h"
#include "engine/EncodeSettings.h"

namespace quenlar::encoder {

class EncodeRun;

class EncodeJob {
public:
    EncodeJob(EncodeSettings settings, EncodeListener& listener);
    // Stops the job and returns well under a second later: a worker that has not ended by then
    // (blocked in the kernel on a hung source) is left to end on its own; it owns what it uses,
    // leaves no output behind, and the listener hears nothing more from it.
    ~EncodeJob();
    EncodeJob(const EncodeJob&) = delete;
    EncodeJob& operator=(const EncodeJob&) = delete;

    // Returns at once; the listener hears OnFinished exactly once afterwards.
    void Start();
    // Asks the job to end; returns at once. OnFinished follows well under a second later, also
    // when a worker cannot be stopped.
    void Stop();
    // Waits for the worker to end, however long that takes.
    void Join();

private:
    std::shared_ptr<EncodeRun> m_run;
    std::thread m_thread;
    std::atomic<bool> m_stopWatched{false};
};

}  // namespace quenlar::encoder
