#include "engine/EncodeJob.h"

#include <chrono>
#include <malloc.h>
#include <mutex>

#include "engine/EncodeRun.h"

namespace quenlar::encoder {

namespace {

using namespace std::chrono_literals;

// How long a stopped worker gets to end by itself before it is left to end alone.
constexpr auto kStopGrace = 250ms;
// After its end was heard, a worker only returns from its thread.
constexpr auto kAfterEndGrace = 50ms;
// glibc's largest: blocks below it come from the heap.
constexpr int kHeapBlockLimit = 32 * 1024 * 1024;
constexpr int kTrimThreshold = 64 * 1024 * 1024;

// Frame buffers and encoder tables run to megabytes a block; glibc hands such blocks back to the
// kernel when they are freed, and each file of a batch faulted them in again (about 20 ms of CPU
// a file, measured on 30 files of 6 s). Kept in the heap, the next file reuses them.
void KeepLargeBlocksInTheHeap()
{
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, kHeapBlockLimit);
        mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
    });
}

}  // namespace

EncodeJob::EncodeJob(EncodeSettings settings, EncodeListener& listener)
    : m_run(std::make_shared<EncodeRun>(std::move(settings), listener))
{
    KeepLargeBlocksInTheHeap();
}

EncodeJob::~EncodeJob()
{
    m_run->Stop();
    if (!m_thread.joinable())
        return;
    if (m_run->WaitEnded(m_run->ListenerEnded() ? kAfterEndGrace : kStopGrace)) {
        m_thread.join();
        return;
    }
    m_run->Disconnect();
    m_thread.detach();
}

void EncodeJob::Start()
{
    m_thread = std::thread([run = m_run] { run->Run(); });
}

void EncodeJob::Stop()
{
    m_run->Stop();
    if (!m_thread.joinable() || m_stopWatched.exchange(true))
        return;
    // Whatever the worker is stuck in, the listener hears the end in time.
    std::thread([run = m_run] {
        if (!run->WaitEnded(kStopGrace))
            run->EndForListener();
    }).detach();
}

void EncodeJob::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

}  // namespace quenlar::encoder
