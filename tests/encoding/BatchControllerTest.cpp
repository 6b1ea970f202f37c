// The batch driven through the real dialog: a whole two-file batch, the refusals of Start,
// stopping, closing, and what the info log and its file hold.
#include "BatchControllerTest.h"

#include "sources/SettingsStore.h"

namespace {

const std::string kSelectFirst = "Please select the source file at first.";
const std::string kBitrateMessage =
    "Bitrate less than 300KB is rubbish. Please correct it.\n"
    "\xE7\xA0\x81\xE7\x8E\x87\xE4\xBD\x8E\xE4\xBA\x8E" "300KB"
    "\xE5\x8F\xAA\xE8\x83\xBD\xE6\x89\xB9\xE9\x87\x8F\xE5\x88\xB6\xE9\x80\xA0\xE5\x9E\x83\xE5\x9C\xBE\xE3\x80\x82"
    "\xE6\x88\x91\xE4\xBB\xAC\xE6\x9C\x89\xE8\xB4\xA3\xE4\xBB\xBB\xE6\x8A\xB5\xE5\x88\xB6\xE5\x9E\x83\xE5\x9C\xBE"
    "\xE7\x9A\x84\xE6\xB3\x9B\xE6\xBB\xA5\xE3\x80\x82";
const std::string kExitQuestion =
    "It's encoding. Are you sure you want to exit?\n"
    "\xE5\x8E\x8B\xE7\xBC\xA9\xE4\xB8\xAD\xEF\xBC\x8C\xE7\x9C\x9F\xE7\x9A\x84\xE6\x83\xB3\xE9\x80\x80\xE5\x87\xBA"
    "\xE5\x90\x97\xEF\xBC\x9F";

const std::string kFirst = "/v/Disc1/AVSEQ01.DAT";
const std::string kSecond = "/v/Disc1/AVSEQ02.DAT";

TEST_F(BatchControllerTest, TwoFileBatchStepByStep)
{
    PrepareBatch({kFirst, kSecond});
    SetCheck(res::IDC_FOLDER_AS_PREFIX, true);
    SetCheck(res::IDC_AUTO_SHUTDOWN, true);
    dialog->m_log.SetWindowText("report of the last batch\r\n");
    bool savedBeforePowerOff = false;
    power.OnCall([&] { savedBeforePowerOff = Saved() && SavedInt("Source", "Count") == 0; });
    ASSERT_EQ(registration->Creations(), 1) << "the control created at start-up";

    // Start: saves the queue and posts the first file.
    dialog->OnOK();
    EXPECT_EQ(SavedInt("Source", "Count"), 2);
    EXPECT_EQ(PrivateProfile(IniPath()).GetString("Source", "1", ""), kSecond);
    EXPECT_EQ(Caption(), "Stop");
    EXPECT_EQ(LogText(), "");
    EXPECT_TRUE(WatchdogRunning());
    EXPECT_EQ(dialog->m_nTimerId, 1u);
    EXPECT_EQ(dialog->m_nBitRate, 450);
    EXPECT_EQ(registration->Creations(), 1);
    EXPECT_EQ(log.CountOf(dispid::kStartEncoding), 0u);

    // The first file: a fresh control over the placeholder, set up and started.
    Pump();
    ASSERT_EQ(registration->Creations(), 2);
    const automation::ControlCreateParams& created = registration->Created().back();
    EXPECT_EQ(created.id, 1000);
    EXPECT_EQ(created.parent, dialog);
    EXPECT_EQ(created.rect.GetSize(), dialog->m_rcPlaceholder.GetSize());
    EXPECT_EQ(dialog->ClientToScreen(created.rect.GetPosition()), dialog->m_rcPlaceholder.GetPosition());
    EXPECT_EQ(PutStrings(dispid::kInputFile), std::vector<std::string>{kFirst});
    EXPECT_EQ(PutStrings(dispid::kOutputFile), std::vector<std::string>{"/v/Disc1/Disc1_AVSEQ01.rm"});
    EXPECT_EQ(ChosenCodecs(), std::vector<std::string>{"codec:44 Kbps Stereo Music High - RA8"});
    EXPECT_EQ(log.CountOf(dispid::kStartEncoding), 1u);
    encoding = true;

    FireStarted();
    EXPECT_EQ(Progress(), 0);
    FireProgress(37);
    EXPECT_EQ(Progress(), 37);

    // Finished: the file leaves the queue; the next one waits for the posted message.
    FireFinished();
    EXPECT_EQ(Progress(), 100);
    EXPECT_EQ(QueueContents(), std::vector<std::string>{kSecond});
    EXPECT_EQ(registration->Creations(), 2) << "no control is re-created inside an event";
    EXPECT_EQ(power.Calls(), 0);
    Pump();
    EXPECT_EQ(registration->Creations(), 3);
    EXPECT_EQ(PutStrings(dispid::kInputFile), (std::vector<std::string>{kFirst, kSecond}));
    EXPECT_EQ(PutStrings(dispid::kOutputFile),
              (std::vector<std::string>{"/v/Disc1/Disc1_AVSEQ01.rm", "/v/Disc1/Disc1_AVSEQ02.rm"}));
    EXPECT_EQ(log.CountOf(dispid::kStartEncoding), 2u);
    EXPECT_EQ(Caption(), "Stop");

    FireStarted();
    EXPECT_EQ(Progress(), 0);
    FireProgress(99);
    encoding = false;
    FireFinished();
    EXPECT_TRUE(QueueContents().empty());
    EXPECT_EQ(Progress(), 100);
    EXPECT_FALSE(WatchdogRunning());
    EXPECT_EQ(dialog->m_nTimerId, 0u);
    EXPECT_EQ(Caption(), "Start");
    EXPECT_EQ(power.Calls(), 1);
    EXPECT_TRUE(savedBeforePowerOff) << "settings and the empty queue are saved before the power-off";
    EXPECT_EQ(ReadBytes(LogPath()), std::string(1, '\0'));
    Pump();
    EXPECT_EQ(registration->Creations(), 3) << "nothing is posted after the last file";
    EXPECT_TRUE(boxes.Calls().empty());
}

TEST_F(BatchControllerTest, AutoShutdownCountsAsTheBoxStandsAtTheEnd)
{
    // Ticked during the batch: powers off.
    StartBatch({kFirst});
    SetCheck(res::IDC_AUTO_SHUTDOWN, true);
    FireFinished();
    EXPECT_EQ(power.Calls(), 1);
    EXPECT_TRUE(Saved());

    // Cleared during the next batch: does not power off, and saves no options (the finished
    // file's checkpoint saves only the queue and the log).
    std::filesystem::remove(IniPath());
    encoding = false;
    StartBatch({kSecond});
    SetCheck(res::IDC_AUTO_SHUTDOWN, false);
    FireFinished();
    EXPECT_EQ(power.Calls(), 1);
    EXPECT_EQ(SavedInt("Config", "AutoShutdown"), -12345);
    EXPECT_EQ(Caption(), "Start");

    // A refused power-off says why in the log, and the saved log holds that line.
    power.SetResult(false, "logind does not allow it (CanPowerOff answered \"no\")");
    encoding = false;
    StartBatch({kFirst});
    SetCheck(res::IDC_AUTO_SHUTDOWN, true);
    FireFinished();
    EXPECT_EQ(power.Calls(), 2);
    const std::string line =
        "The computer could not be powered off: logind does not allow it (CanPowerOff answered \"no\")\r\n";
    EXPECT_EQ(LogText(), line);
    EXPECT_EQ(ReadBytes(LogPath()), line + std::string(1, '\0'));
    EXPECT_TRUE(boxes.Calls().empty());
}

TEST_F(BatchControllerTest, StartRefusalsChangeNothing)
{
    dialog->m_log.SetWindowText("kept\r\n");

    dialog->OnOK();
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, kSelectFirst);
    EXPECT_EQ(boxes.Calls()[0].type, MB_OK | MB_ICONEXCLAMATION);

    Queue({kFirst});
    SetBitRateText("299");
    dialog->OnOK();
    ASSERT_EQ(boxes.Calls().size(), 2u);
    EXPECT_EQ(boxes.Calls()[1].text, kBitrateMessage);
    EXPECT_EQ(boxes.Calls()[1].type, MB_OK | MB_ICONEXCLAMATION);

    Pump();
    EXPECT_EQ(LogText(), "kept\r\n");
    EXPECT_EQ(Caption(), "Start");
    EXPECT_FALSE(WatchdogRunning());
    EXPECT_EQ(registration->Creations(), 1);
    EXPECT_EQ(log.CountOf(dispid::kStartEncoding), 0u);
    EXPECT_EQ(QueueContents(), std::vector<std::string>{kFirst});

    SetBitRateText("300");
    dialog->OnOK();
    Pump();
    EXPECT_EQ(boxes.Calls().size(), 2u);
    EXPECT_EQ(Caption(), "Stop");
    EXPECT_TRUE(WatchdogRunning());
    EXPECT_EQ(LogText(), "");
    EXPECT_EQ(log.CountOf(dispid::kStartEncoding), 1u);
}

TEST_F(BatchControllerTest, NoAudioRowHandsAnEmptyText)
{
    PrepareBatch({kFirst});
    SelectAudioRow(wxNOT_FOUND);
    dialog->OnOK();
    Pump();
    EXPECT_EQ(dialog->m_nAudioSetting, -1);
    EXPECT_TRUE(ChosenCodecs().empty()) << "an empty text matches no codec";
    EXPECT_EQ(log.CountOf(dispid::kStartEncoding), 1u);
}

TEST_F(BatchControllerTest, WithoutAControlStartRefusesAndCloseSaves)
{
    dialog->m_producer.DestroyWindow();
    PrepareBatch({kFirst});
    dialog->m_log.SetWindowText("kept\r\n");

    dialog->OnOK();
    Pump();
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_NE(boxes.Calls()[0].text.find("encoder control could not be created"), std::string::npos);
    EXPECT_EQ(Caption(), "Start");
    EXPECT_FALSE(WatchdogRunning());
    EXPECT_EQ(LogText(), "kept\r\n");
    EXPECT_EQ(registration->Creations(), 1);

    dialog->OnCancel();
    EXPECT_EQ(boxes.Calls().size(), 1u) << "nothing to ask without a control";
    EXPECT_TRUE(Saved());
    EXPECT_EQ(dialog->GetResult(), IDCANCEL);
    EXPECT_FALSE(dialog->IsShown());
}

TEST_F(BatchControllerTest, AControlThatCannotBeCreatedForTheNextFileEndsTheBatch)
{
    StartBatch({kFirst, kSecond});
    automation::ScopedControlRegistration failing(
        kProducerControlClsid, [](const automation::ControlCreateParams&) { return automation::ControlInstance{}; });
    encoding = false;
    FireFinished();
    Pump();
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_NE(boxes.Calls()[0].text.find("encoder control could not be created"), std::string::npos);
    EXPECT_EQ(Caption(), "Start");
    EXPECT_FALSE(WatchdogRunning());
    EXPECT_EQ(QueueContents(), std::vector<std::string>{kSecond});
    EXPECT_EQ(log.CountOf(dispid::kStartEncoding), 1u);
}

TEST_F(BatchControllerTest, StopThenFinishedKeepsTheFile)
{
    StartBatch({kFirst, kSecond});
    SetCheck(res::IDC_AUTO_SHUTDOWN, true);

    dialog->OnOK();
    EXPECT_EQ(log.CountOf(dispid::kStopEncoding), 1u);
    EXPECT_EQ(Caption(), "Start");
    EXPECT_FALSE(IsChecked(res::IDC_AUTO_SHUTDOWN));
    EXPECT_TRUE(dialog->m_bStopRequested);
    EXPECT_TRUE(WatchdogRunning()) << "the finished event ends the stop";

    // Still encoding: the button stops again instead of starting.
    dialog->OnOK();
    EXPECT_EQ(log.CountOf(dispid::kStopEncoding), 2u);
    Pump();
    EXPECT_EQ(registration->Creations(), 2);

    encoding = false;
    FireFinished();
    Pump();
    EXPECT_EQ(QueueContents(), (std::vector<std::string>{kFirst, kSecond}));
    EXPECT_FALSE(WatchdogRunning());
    EXPECT_EQ(dialog->m_nTimerId, 1u);
    EXPECT_EQ(Caption(), "Start");
    EXPECT_EQ(Progress(), 100);
    EXPECT_EQ(power.Calls(), 0);
    EXPECT_EQ(registration->Creations(), 2);

    // The next Start takes the head file again from its beginning.
    dialog->OnOK();
    Pump();
    EXPECT_FALSE(dialog->m_bStopRequested);
    EXPECT_EQ(PutStrings(dispid::kInputFile), (std::vector<std::string>{kFirst, kFirst}));
    EXPECT_TRUE(WatchdogRunning());
}

TEST_F(BatchControllerTest, CloseWhileEncodingAsksFirst)
{
    StartBatch({kFirst});
    SetCheck(res::IDC_AUTO_SHUTDOWN, true);
    dialog->Show();
    const std::string savedAtStart = ReadBytes(IniPath());

    boxes.QueueAnswer(IDNO);
    dialog->OnCancel();
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, kExitQuestion);
    EXPECT_EQ(boxes.Calls()[0].type, MB_YESNO | MB_ICONEXCLAMATION);
    EXPECT_EQ(ReadBytes(IniPath()), savedAtStart) << "No saves nothing";
    EXPECT_TRUE(dialog->IsShown());
    EXPECT_NE(dialog->m_producer.GetSafeHwnd(), nullptr);
    EXPECT_EQ(log.CountOf(dispid::kStopEncoding), 0u);
    EXPECT_TRUE(IsChecked(res::IDC_AUTO_SHUTDOWN));
    EXPECT_EQ(Caption(), "Stop");

    boxes.QueueAnswer(IDYES);
    dialog->OnCancel();
    EXPECT_EQ(boxes.Calls().size(), 2u);
    EXPECT_EQ(log.CountOf(dispid::kStopEncoding), 1u);
    EXPECT_EQ(dialog->m_producer.GetSafeHwnd(), nullptr);
    ASSERT_TRUE(Saved());
    EXPECT_EQ(SavedInt("Config", "AutoShutdown"), 0);
    EXPECT_EQ(SavedInt("Source", "Count"), 1);
    EXPECT_EQ(dialog->GetResult(), IDCANCEL);
    EXPECT_FALSE(dialog->IsShown());
    EXPECT_EQ(power.Calls(), 0);
}

TEST_F(BatchControllerTest, ErrorEventsAreLoggedAndTheBatchGoesOn)
{
    StartBatch({kFirst, kSecond});
    FireError(-5, "Cannot read the input file.");
    FireError(2147483647, "\xE9\x94\x99\xE8\xAF\xAF");
    EXPECT_EQ(LogText(), kFirst + "\r\nError -5: Cannot read the input file.\r\n" +
                             kFirst + "\r\nError 2147483647: \xE9\x94\x99\xE8\xAF\xAF\r\n");
    EXPECT_EQ(QueueContents().size(), 2u);

    FireFinished();
    Pump();
    EXPECT_EQ(QueueContents(), std::vector<std::string>{kSecond});
    EXPECT_EQ(PutStrings(dispid::kInputFile), (std::vector<std::string>{kFirst, kSecond}));
}

TEST_F(BatchControllerTest, ASecondSourceWithTheSameTargetFailsAndOverwritesNothing)
{
    // A failed first file wrote nothing: its namesake may.
    StartBatch({"/v/a.mpg", "/v/a.dat", "/v/movie.mpg", "/v/movie.mpeg", "/v/next.mpg"});
    FireError(3, "broken");
    FireFinished();
    Pump();
    EXPECT_EQ(PutStrings(dispid::kInputFile).back(), "/v/a.dat");

    FireFinished();  // a.dat converted
    Pump();
    EXPECT_EQ(PutStrings(dispid::kInputFile).back(), "/v/movie.mpg");
    dialog->m_log.SetWindowText("");
    FireFinished();  // movie.mpg converted
    Pump();
    // movie.mpeg is not set up: it is logged with both names and dropped, and the batch goes on.
    EXPECT_EQ(LogText(), "Not converted, another file of this batch has its target: /v/movie.mpeg "
                         "(its target /v/movie.rm was written from /v/movie.mpg in this batch)\r\n");
    EXPECT_EQ(PutStrings(dispid::kInputFile),
              (std::vector<std::string>{"/v/a.mpg", "/v/a.dat", "/v/movie.mpg", "/v/next.mpg"}));
    EXPECT_EQ(QueueContents(), std::vector<std::string>{"/v/next.mpg"});

    // A new batch starts with a clean record.
    FireFinished();
    Pump();
    encoding = false;
    StartBatch({"/v/movie.mpeg"});
    EXPECT_EQ(PutStrings(dispid::kInputFile).back(), "/v/movie.mpeg");
}

TEST_F(BatchControllerTest, LogFileKeepsCarriageReturnLineFeeds)
{
    dialog->AppendLogLine("Compression failed:");
    dialog->AppendLog("Error 3: ");
    dialog->AppendLogLine("\xE5\xA4\xB1\xE8\xB4\xA5");
    const std::string expected = "Compression failed:\r\nError 3: \xE5\xA4\xB1\xE8\xB4\xA5\r\n";
    EXPECT_EQ(LogText(), expected);

    SaveWindowText(dialog->m_log, LogPath());
    EXPECT_EQ(ReadBytes(LogPath()), expected + std::string(1, '\0'));

    // Appending always goes to the end, wherever the caret was left.
    dialog->m_log.SetSel(0, 3);
    dialog->AppendLogLine("x");
    EXPECT_EQ(LogText(), expected + "x\r\n");
}

TEST_F(BatchControllerTest, FilesAddedOrRemovedDuringTheBatch)
{
    StartBatch({kFirst, kSecond, "/v/third.mpg"});
    // "-" on the file being encoded: its finished event removes nothing else.
    dialog->m_list.SetSel(0);
    dialog->OnRemoveFiles();
    Queue({"/v/late.mpg"});
    FireFinished();
    Pump();
    EXPECT_EQ(QueueContents(), (std::vector<std::string>{kSecond, "/v/third.mpg", "/v/late.mpg"}));
    EXPECT_EQ(PutStrings(dispid::kInputFile).back(), kSecond);

    // "-" on another entry: the finished event still removes the file that was encoded.
    dialog->m_list.SetSel(1);
    dialog->OnRemoveFiles();
    FireFinished();
    Pump();
    EXPECT_EQ(QueueContents(), std::vector<std::string>{"/v/late.mpg"});
    EXPECT_EQ(PutStrings(dispid::kInputFile).back(), "/v/late.mpg");
    EXPECT_EQ(PutStrings(dispid::kOutputFile).back(), "/v/late.rm");
}

TEST_F(BatchControllerTest, EachFinishedFileSavesTheQueueAndLogAndACloseTellsWhatCouldNotBeWritten)
{
    StartBatch({kFirst, kSecond});
    FireError(1, "bad");
    // Failed: saved all the same, once the next file is under way.
    size_t startsWhenSaved = 0;
    SetAtomicWriteHookForTests([&](const std::string&) { startsWhenSaved = log.CountOf(dispid::kStartEncoding); });
    FireFinished();
    Pump();
    SetAtomicWriteHookForTests(nullptr);
    EXPECT_EQ(startsWhenSaved, 2u);
    EXPECT_EQ(SavedInt("Source", "Count"), 1);
    EXPECT_EQ(PrivateProfile(IniPath()).GetString("Source", "0", ""), kSecond);
    EXPECT_EQ(SavedInt("Config", "BitRate"), -12345) << "the options wait for the close";
    EXPECT_EQ(ReadBytes(LogPath()), LogText() + std::string(1, '\0'));

    // A read-only settings file is left as it is; the close says so once, naming it.
    ASSERT_EQ(::chmod(IniPath().c_str(), 0444), 0);
    const std::string before = ReadBytes(IniPath());
    Pump();
    FireFinished();
    EXPECT_TRUE(boxes.Calls().empty()) << "nothing is shown during the batch";
    encoding = false;
    dialog->OnCancel();
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text,
              "These files could not be written, so what they should hold was not saved:\n" + IniPath());
    EXPECT_EQ(ReadBytes(IniPath()), before);
    EXPECT_EQ(ReadBytes(LogPath()), LogText() + std::string(1, '\0')) << "the log was written";
}

}  // namespace

namespace {

TEST_F(BatchControllerTest, EnterReachesStartFirst)
{
    // The first tab stop, Start, has the focus when the dialog opens, so Enter starts the
    // batch rather than pressing whichever button GTK would have picked (Help, top left).
    EXPECT_EQ(wxWindow::FindFocus(), dialog->GetDlgItem(IDOK));
}

}  // namespace
