// Progress comes while the encode advances and is silent while it is stuck.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "ClipFixtures.h"
#include "RecordingListener.h"

namespace quenlar::encoder::test {
namespace {

using namespace std::chrono_literals;

TEST(EncodeProgress, IsSilentWhileTheEncodeIsStuckAndEndsAtOneHundred)
{
    const std::string folder = Clips::NewFolder();
    RecordingListener listener;
    // The video stage stalls for 1.6 s at the first frame, as with a very slow file.
    listener.onStarted = [] { std::this_thread::sleep_for(1600ms); };
    EncodeToEnd(SettingsFor(Clips::PalVcd(), folder + "/out.rm"), listener);
    ASSERT_EQ(listener.Result(), EncodeResult::Ok) << listener.ErrorText();

    const std::vector<EncodeProgress> progress = listener.Progress();
    // A few a second at most; none through the stall, so the watchdog can see it.
    ASSERT_GE(progress.size(), 2u);
    EXPECT_LE(progress.size(), 10u);
    int64_t longestSilence = 0;
    for (size_t i = 1; i < progress.size(); ++i) {
        longestSilence = std::max(longestSilence, progress[i].elapsedMs - progress[i - 1].elapsedMs);
        EXPECT_GE(progress[i].percent, progress[i - 1].percent);
        EXPECT_GE(progress[i].frames, progress[i - 1].frames);
    }
    EXPECT_GE(longestSilence, 1000);
    EXPECT_LE(progress.front().percent, 5);
    EXPECT_EQ(progress.back().percent, 100);
    EXPECT_EQ(progress.back().remainingMs, 0);
    EXPECT_NEAR(progress.back().durationMs, 3000, 150);
    EXPECT_EQ(progress.back().frames, 75);
}

}  // namespace
}  // namespace quenlar::encoder::test
