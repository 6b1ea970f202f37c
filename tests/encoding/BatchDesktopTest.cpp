// The batch on a desktop, against a real bus daemon with python-dbusmock's logind and
// notification daemon: the sleep inhibitor from Start to every end of the batch, the
// notification at its end, and later launches handing their files to the one window.
#include "BatchControllerTest.h"

#include <chrono>
#include <future>
#include <thread>

#include <wx/stopwatch.h>

#include "platform/desktop/SingleInstance.h"
#include "support/PrivateBus.h"

namespace {

using platform::SingleInstance;
using namespace std::chrono_literals;

class BatchDesktopTest : public BatchControllerTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.Failure().empty()) << bus.Failure();
        BatchControllerTest::SetUp();
    }

    std::vector<std::string> InhibitorTexts() const
    {
        std::vector<std::string> texts;
        for (const PrivateBus::Inhibitor& i : bus.Inhibitors())
            texts.push_back(i.what + "|" + i.who + "|" + i.why + "|" + i.mode);
        return texts;
    }

    PrivateBus bus;
};

TEST_F(BatchDesktopTest, TheMachineStaysAwakeFromStartToEachEndOfTheBatch)
{
    // A batch run to its end, with a failure and Auto Shutdown.
    PrepareBatch({"/v/a.mpg", "/v/b.mpg"});
    SetCheck(res::IDC_AUTO_SHUTDOWN, true);
    bool heldAtPowerOff = true;
    power.OnCall([&] { heldAtPowerOff = dialog->m_inhibitor.IsHeld(); });
    dialog->OnOK();
    EXPECT_EQ(InhibitorTexts(), std::vector<std::string>{"sleep:idle|Quenlar|Converting 2 files|block"});
    Pump();
    encoding = true;
    FireError(-5, "cannot read");
    FireFinished();
    Pump();
    EXPECT_EQ(bus.Inhibitors().size(), 1u) << "held between the files";
    EXPECT_TRUE(bus.Notifications().empty());
    encoding = false;
    FireFinished();
    EXPECT_TRUE(bus.WaitForInhibitors(0)) << "released at the end";
    EXPECT_EQ(power.Calls(), 1);
    EXPECT_FALSE(heldAtPowerOff) << "released before the power-off is asked for";
    const auto notes = bus.Notifications();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].appName, "Quenlar");
    EXPECT_EQ(notes[0].summary, "Quenlar: the batch is done");
    EXPECT_EQ(notes[0].body, "1 converted, 1 failed \xE2\x80\x94 see the info log");

    // Stopped: released at once, and nobody is told of an end.
    StartBatch({"/v/c.mpg"});
    EXPECT_TRUE(bus.WaitForInhibitors(1));
    dialog->OnOK();
    EXPECT_TRUE(bus.WaitForInhibitors(0)) << "released at Stop";
    encoding = false;
    FireFinished();

    // Closed during a batch: released with the window.
    dialog->OnOK();
    Pump();
    encoding = true;
    EXPECT_TRUE(bus.WaitForInhibitors(1));
    boxes.QueueAnswer(IDYES);
    dialog->OnCancel();
    EXPECT_TRUE(bus.WaitForInhibitors(0)) << "released at close";
    EXPECT_EQ(bus.Notifications().size(), 1u) << "no notification for a stop or a close";
}

TEST_F(BatchDesktopTest, LaterLaunchesHandTheirFilesToTheOneWindow)
{
    TempDir media;
    const std::string first = media.File("first.mpg");
    const std::string second = media.File("second.mpg");
    for (const std::string& file : {first, second})
        ASSERT_TRUE(WriteFileAtomically(file, "x"));

    // The program as it starts: the instance claimed, then the window serving it.
    dialog->Destroy();
    wxTheApp->ProcessIdle();
    auto instance = std::make_unique<SingleInstance>(IniPath());
    ASSERT_EQ(instance->Claim({}, {}), SingleInstance::Outcome::First);
    dialog = new CBatchDialog();
    dialog->SetStartupFiles({first});
    dialog->ServeInstance(std::move(instance));
    ASSERT_TRUE(dialog->Create());
    dialog->Hide();

    // A second launch on the same settings file, from another process in life (its own thread
    // here, while this one runs the window's loop): its file joins the queue, which is saved.
    auto launch = std::async(std::launch::async, [&] {
        return SingleInstance(IniPath()).Claim({second, media.File("missing.mpg")}, {});
    });
    wxStopWatch watch;
    while (launch.wait_for(0ms) != std::future_status::ready && watch.Time() < 10000) {
        wxYield();
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(launch.wait_for(0ms), std::future_status::ready);
    EXPECT_EQ(launch.get(), SingleInstance::Outcome::HandedOver);
    EXPECT_EQ(QueueContents(), (std::vector<std::string>{first, second}));
    EXPECT_EQ(SavedInt("Source", "Count"), 2);
    EXPECT_TRUE(dialog->IsShown()) << "the window comes to the front";
    Pump();
    ASSERT_EQ(boxes.Calls().size(), 1u) << "the missing file is refused as \"+\" would";
    EXPECT_NE(boxes.Calls()[0].text.find("missing.mpg"), std::string::npos);

    // Another settings file is another program's.
    TempDir elsewhere;
    EXPECT_EQ(SingleInstance(elsewhere.File("Quenlar.ini")).Claim({}, {}, 0ms), SingleInstance::Outcome::First);

    // Without a bus, the lock keeps a second program off the same settings file.
    setenv("DBUS_SESSION_BUS_ADDRESS", kNoBusAddress, 1);
    EXPECT_EQ(SingleInstance(IniPath()).Claim({second}, {}, 300ms), SingleInstance::Outcome::Busy);

    // Closed: everything queued is saved, and only then may the next program have the file.
    dialog->OnCancel();
    EXPECT_EQ(SavedInt("Source", "Count"), 2);
    EXPECT_EQ(SingleInstance(IniPath()).Claim({}, {}, 0ms), SingleInstance::Outcome::First);
}

}  // namespace
