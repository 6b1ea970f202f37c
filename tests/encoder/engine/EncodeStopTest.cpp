// Stopping and destroying a running job: a prompt end, no output, the old target untouched.
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <memory>

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

    void ExpectStoppedCleanly(const RecordingListener& listener)
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
        EXPECT_EQ(ListFolder(m_folder), "out.rm");
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

}  // namespace
}  // namespace quenlar::encoder::test
