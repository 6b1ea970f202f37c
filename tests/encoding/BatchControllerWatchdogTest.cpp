// The watchdog: ten-second ticks (called directly), the stall on the 19th silent one, what
// resets the count and what does not, and the stall's log lines and stop request.
#include "BatchControllerTest.h"

namespace {

const std::string kFile = "/v/Disc1/AVSEQ01.DAT";
const std::string kStallLines = "Compression failed:\r\n" + kFile + "\r\n";

class BatchWatchdogTest : public BatchControllerTest {
protected:
    // Ticks and runs what they posted.
    void SilentTicks(int n)
    {
        Tick(n);
        Pump();
    }
    size_t Stops() const { return log.CountOf(dispid::kStopEncoding); }
};

TEST_F(BatchWatchdogTest, StallOnTheNineteenthSilentTick)
{
    StartBatch({kFile, "/v/b.mpg"});
    SilentTicks(18);
    EXPECT_EQ(LogText(), "");
    EXPECT_EQ(Stops(), 0u);
    EXPECT_EQ(dialog->m_nIdleTicks, 18u);

    Tick();
    EXPECT_EQ(dialog->m_nIdleTicks, 0u) << "the declaring tick resets the count";
    EXPECT_EQ(LogText(), "") << "the stall is handled as a posted message";
    Pump();
    EXPECT_EQ(LogText(), kStallLines);
    EXPECT_EQ(Stops(), 1u);
    EXPECT_FALSE(dialog->m_bStopRequested);
    EXPECT_EQ(QueueContents().size(), 2u) << "the finished event drops the file";

    // No finished event: the same again 19 ticks later.
    SilentTicks(18);
    EXPECT_EQ(Stops(), 1u);
    SilentTicks(1);
    EXPECT_EQ(LogText(), kStallLines + kStallLines);
    EXPECT_EQ(Stops(), 2u);

    // The control answers at last: the file is dropped and the batch goes on.
    encoding = false;
    FireFinished();
    Pump();
    EXPECT_EQ(QueueContents(), std::vector<std::string>{"/v/b.mpg"});
    EXPECT_EQ(PutStrings(dispid::kInputFile).back(), "/v/b.mpg");
    EXPECT_EQ(Caption(), "Stop");
}

TEST_F(BatchWatchdogTest, ErrorAndSizeEventsDoNotKeepItQuiet)
{
    StartBatch({kFile});
    for (int i = 0; i < 18; ++i) {
        FireError(7, "still failing");
        FireSize(100, 80);
        SilentTicks(1);
    }
    EXPECT_EQ(Stops(), 0u);
    SilentTicks(1);
    EXPECT_EQ(Stops(), 1u);
    EXPECT_NE(LogText().find(kStallLines), std::string::npos);
}

TEST_F(BatchWatchdogTest, StartedProgressAndFinishedResetTheCount)
{
    StartBatch({kFile, "/v/b.mpg", "/v/c.mpg"});
    SilentTicks(18);
    FireStarted();
    SilentTicks(18);
    FireProgress(10);
    SilentTicks(18);
    FireFinished();
    Pump();
    SilentTicks(18);
    EXPECT_EQ(Stops(), 0u);
    EXPECT_EQ(LogText(), "");
    SilentTicks(1);
    EXPECT_EQ(Stops(), 1u);
    EXPECT_EQ(LogText(), "Compression failed:\r\n/v/b.mpg\r\n");

    // Other timers do not count; Start resets.
    dialog->OnTimer(2);
    EXPECT_EQ(dialog->m_nIdleTicks, 0u);
    dialog->OnOK();  // stop
    encoding = false;
    FireFinished();
    Tick(5);
    EXPECT_EQ(dialog->m_nIdleTicks, 5u);
    dialog->OnOK();
    EXPECT_EQ(Caption(), "Stop");
    EXPECT_EQ(dialog->m_nIdleTicks, 0u);
}

TEST_F(BatchWatchdogTest, StallAfterTheUserRemovedTheFileLogsThatFile)
{
    StartBatch({kFile, "/v/next.mpg"});
    dialog->m_list.SetSel(0);
    dialog->OnRemoveFiles();
    SilentTicks(19);
    EXPECT_EQ(LogText(), "Compression failed:\r\n" + kFile + "\r\n");
    EXPECT_EQ(Stops(), 1u);

    // The finished event then moves on to the file that is left.
    FireFinished();
    Pump();
    EXPECT_EQ(QueueContents(), std::vector<std::string>{"/v/next.mpg"});
    EXPECT_EQ(PutStrings(dispid::kInputFile).back(), "/v/next.mpg");
}

TEST_F(BatchWatchdogTest, AFailingSetUpIsShownAndTheWatchdogCatchesIt)
{
    control->FailOn(dispid::kStartEncoding, "The encoder refused to start.");
    PrepareBatch({kFile});
    dialog->OnOK();
    Pump();
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "The encoder refused to start.");
    EXPECT_EQ(boxes.Calls()[0].type & MB_ICONMASK, MB_ICONSTOP);

    SilentTicks(19);
    EXPECT_EQ(LogText(), kStallLines);
    EXPECT_EQ(Stops(), 1u);
}

}  // namespace
