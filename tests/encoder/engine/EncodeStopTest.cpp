// Stopping and destroying a running job: a prompt end, no output, the old target untouched,
// also when the source hangs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <future>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "ClipFixtures.h"
#include "RecordingListener.h"

namespace quenlar::encoder::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What the user was promised: the pipeline ends well under a second after the request.
constexpr auto kPromptEnd = 1000ms;

class EncodeStopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = Clips::NewFolder();
        m_target = m_folder + "/out.rm";
        std::ofstream(m_target) << "old target";
        Clips::Long();
    }

    void ExpectStoppedCleanly(const RecordingListener& listener, const std::string& alsoInFolder = "")
    {
        EXPECT_EQ(listener.Result(), EncodeResult::Stopped);
        const std::string trace = listener.Trace();
        EXPECT_EQ(std::count(trace.begin(), trace.end(), 'F'), 1) << trace;
        EXPECT_EQ(trace.back(), 'F') << trace;
        EXPECT_EQ(trace.find('E'), std::string::npos) << "a stop is no error: " << trace;
        std::ifstream in(m_target);
        std::string text;
        std::getline(in, text);
        EXPECT_EQ(text, "old target");
        EXPECT_EQ(ListFolder(m_folder), alsoInFolder.empty() ? "out.rm" : alsoInFolder + " out.rm");
    }

    // Stops a job whose worker hangs, then destroys it: each returns promptly, and the end is
    // heard once, however the worker fares.
    void StopAndDestroyPromptly(std::unique_ptr<EncodeJob>& job, RecordingListener& listener)
    {
        const auto stopped = Clock::now();
        job->Stop();
        EXPECT_LT(Clock::now() - stopped, 100ms);
        ASSERT_TRUE(listener.WaitFinished(kPromptEnd));
        EXPECT_LT(listener.FinishedAt() - stopped, kPromptEnd);
        const auto destroyed = Clock::now();
        job.reset();
        EXPECT_LT(Clock::now() - destroyed, kPromptEnd);
        ExpectStoppedCleanly(listener, "feed.mpg");
    }

    std::string m_folder;
    std::string m_target;
};

TEST_F(EncodeStopTest, StopWhileOpening)
{
    RecordingListener listener;
    EncodeJob job(SettingsFor(Clips::Long(), m_target), listener);
    job.Start();
    const auto stopped = Clock::now();
    job.Stop();
    ASSERT_TRUE(listener.WaitFinished(kPromptEnd));
    job.Join();
    EXPECT_LT(listener.FinishedAt() - stopped, kPromptEnd);
    EXPECT_EQ(listener.Trace().find('S'), std::string::npos);
    ExpectStoppedCleanly(listener);
}

TEST_F(EncodeStopTest, StopWithThePipelineFullMidStream)
{
    // The video stage waits in the started callback until the stop was asked for, so the
    // reader fills the queues and blocks: the stop must reach every stage from there.
    std::promise<void> stopAsked;
    std::shared_future<void> stopAskedFuture = stopAsked.get_future().share();
    RecordingListener listener;
    listener.onStarted = [stopAskedFuture] { stopAskedFuture.wait(); };
    EncodeJob job(SettingsFor(Clips::Long(), m_target), listener);
    job.Start();
    while (listener.Trace().find('S') == std::string::npos)
        std::this_thread::sleep_for(5ms);
    std::this_thread::sleep_for(100ms);
    const auto stopped = Clock::now();
    job.Stop();
    stopAsked.set_value();
    ASSERT_TRUE(listener.WaitFinished(kPromptEnd));
    job.Join();
    EXPECT_LT(listener.FinishedAt() - stopped, kPromptEnd);
    ExpectStoppedCleanly(listener);
}

TEST_F(EncodeStopTest, StopWhileEveryStageIsBusy)
{
    // Held at the first frame until the queues are full, then let go: a moment later the
    // reader decodes, both encoders encode and the writer writes, all at once.
    std::promise<void> go;
    std::shared_future<void> goFuture = go.get_future().share();
    RecordingListener listener;
    listener.onStarted = [goFuture] { goFuture.wait(); };
    EncodeJob job(SettingsFor(Clips::Long(), m_target), listener);
    job.Start();
    while (listener.Trace().find('S') == std::string::npos)
        std::this_thread::sleep_for(5ms);
    std::this_thread::sleep_for(100ms);
    go.set_value();
    std::this_thread::sleep_for(10ms);
    const auto stopped = Clock::now();
    job.Stop();
    ASSERT_TRUE(listener.WaitFinished(kPromptEnd));
    job.Join();
    EXPECT_LT(listener.FinishedAt() - stopped, kPromptEnd);
    ExpectStoppedCleanly(listener);
}

TEST_F(EncodeStopTest, DestroyingARunningJobStopsJoinsAndCleansUp)
{
    std::promise<void> released;
    std::shared_future<void> releasedFuture = released.get_future().share();
    RecordingListener listener;
    listener.onStarted = [releasedFuture] { releasedFuture.wait_for(200ms); };
    auto job = std::make_unique<EncodeJob>(SettingsFor(Clips::Long(), m_target), listener);
    job->Start();
    while (listener.Trace().find('S') == std::string::npos)
        std::this_thread::sleep_for(5ms);
    const auto destroyed = Clock::now();
    job.reset();
    // The destructor joined: everything the job reported is in, the last being its end.
    EXPECT_LT(Clock::now() - destroyed, kPromptEnd);
    released.set_value();
    ExpectStoppedCleanly(listener);
}

TEST_F(EncodeStopTest, APipeThatStopsDeliveringIsSilentAndLetsGo)
{
    // 1 MB of a clip, then the writer holds the pipe open: the reader sits in read().
    const std::string fifo = m_folder + "/feed.mpg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::promise<void> release;
    std::thread feeder([&, released = release.get_future()] {
        const int fd = open(fifo.c_str(), O_WRONLY);
        std::ifstream clip(Clips::Long(), std::ios::binary);
        std::vector<char> data(1 << 20);
        clip.read(data.data(), static_cast<std::streamsize>(data.size()));
        for (size_t done = 0; fd >= 0 && done < data.size();) {
            const ssize_t written = write(fd, data.data() + done, data.size() - done);
            if (written <= 0)
                break;
            done += static_cast<size_t>(written);
        }
        released.wait();
        close(fd);
    });
    RecordingListener listener;
    auto job = std::make_unique<EncodeJob>(SettingsFor(fifo, m_target), listener);
    job->Start();
    for (int i = 0; i < 400 && listener.Trace().find('S') == std::string::npos; ++i)
        std::this_thread::sleep_for(25ms);
    ASSERT_NE(listener.Trace().find('S'), std::string::npos);
    // Long enough to use up the megabyte; from then on nothing moves.
    std::this_thread::sleep_for(1500ms);
    const size_t progress = listener.Progress().size();
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(listener.Progress().size(), progress) << "progress while nothing moved";
    StopAndDestroyPromptly(job, listener);
    release.set_value();
    feeder.join();
}

TEST_F(EncodeStopTest, APipeWithoutWriterLetsGo)
{
    // The worker sits in open() in the kernel, where no interrupt reaches it.
    const std::string fifo = m_folder + "/feed.mpg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    RecordingListener listener;
    auto job = std::make_unique<EncodeJob>(SettingsFor(fifo, m_target), listener);
    job->Start();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(listener.Trace(), "");
    StopAndDestroyPromptly(job, listener);
    EXPECT_EQ(listener.Trace(), "F");
    // Let the worker left behind end: it reads an empty pipe.
    const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    EXPECT_GE(fd, 0);
    close(fd);
}

}  // namespace
}  // namespace quenlar::encoder::test
