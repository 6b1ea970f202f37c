// SaveSettings and LoadSettings on the real main dialog: defaults without a file, a full round
// trip through the controls, and the queue, bitrate and log cases a stored file can hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>

#include "app/BatchDialog.h"
#include "platform/DataExchange.h"
#include "platform/PrivateProfile.h"
#include "res/Resources.h"
#include "sources/SettingsStore.h"
#include "support/MessageBoxRecorder.h"
#include "support/TempDir.h"
#include "support/WxTestEnvironment.h"

namespace fs = std::filesystem;

namespace {

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_DISPLAY();
        ASSERT_FALSE(m_folder.Path().empty());
    }
    void TearDown() override { CloseDialog(); }

    // Opens the dialog as the program does: OnInitDialog builds the paths and loads.
    CBatchDialog& OpenDialog()
    {
        CloseDialog();
        m_dialog = new CBatchDialog(nullptr);
        EXPECT_TRUE(m_dialog->Create());
        return *m_dialog;
    }
    void CloseDialog()
    {
        if (m_dialog)
            m_dialog->Destroy();
        m_dialog = nullptr;
        if (wxTheApp)
            wxTheApp->ProcessIdle();
    }

    template <typename T>
    T& Control(int id)
    {
        auto* control = dynamic_cast<T*>(m_dialog->GetDlgItem(id));
        EXPECT_NE(control, nullptr) << "control " << id;
        return *control;
    }
    wxTextCtrl& BitRate() { return Control<wxTextCtrl>(res::IDC_BITRATE); }
    wxTextCtrl& Author() { return Control<wxTextCtrl>(res::IDC_AUTHOR); }
    wxCheckBox& FolderAsPrefix() { return Control<wxCheckBox>(res::IDC_FOLDER_AS_PREFIX); }
    wxCheckBox& AutoShutdown() { return Control<wxCheckBox>(res::IDC_AUTO_SHUTDOWN); }
    wxCheckBox& DeInterlace() { return Control<wxCheckBox>(res::IDC_DEINTERLACE); }
    wxChoice& AudioSetting() { return Control<wxChoice>(res::IDC_AUDIO_SETTING); }
    wxListBox& Queue() { return Control<wxListBox>(res::IDC_SOURCE_LIST); }
    wxTextCtrl& Log() { return Control<wxTextCtrl>(res::IDC_LOG); }

    std::vector<std::string> QueueEntries()
    {
        std::vector<std::string> entries;
        for (unsigned i = 0; i < Queue().GetCount(); ++i)
            entries.push_back(Queue().GetString(i).utf8_string());
        return entries;
    }
    void WriteRaw(const std::string& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string ReadRaw(const std::string& path)
    {
        std::string data;
        EXPECT_TRUE(ReadWholeFile(path, data)) << path;
        return data;
    }

    TempDir m_folder;
    ScopedModulePath m_module{m_folder};
    const std::string m_ini = m_folder.File("Quenlar.ini");
    const std::string m_log = m_folder.File("Quenlar.inf");
    CBatchDialog* m_dialog = nullptr;
};

TEST_F(SettingsDialogTest, WithoutFilesTheDialogOpensWithDefaults)
{
    OpenDialog();
    EXPECT_EQ(g_szIniPath, m_ini);
    EXPECT_EQ(g_szLogPath, m_log);
    EXPECT_EQ(BitRate().GetValue(), "450");
    EXPECT_EQ(AudioSetting().GetSelection(), 1);
    EXPECT_EQ(AudioSetting().GetStringSelection(), "44 Kbps Stereo Music High - RA8");
    EXPECT_FALSE(FolderAsPrefix().GetValue());
    EXPECT_FALSE(AutoShutdown().GetValue());
    EXPECT_FALSE(DeInterlace().GetValue());
    EXPECT_EQ(Author().GetValue(), "");
    EXPECT_EQ(Queue().GetCount(), 0u);
    EXPECT_EQ(Log().GetValue(), "");
    EXPECT_FALSE(fs::exists(m_ini)) << "loading writes nothing";
}

TEST_F(SettingsDialogTest, WhatTheUserSetComesBackAfterARestart)
{
    OpenDialog();
    BitRate().ChangeValue("800");
    FolderAsPrefix().SetValue(true);
    AutoShutdown().SetValue(true);
    DeInterlace().SetValue(true);
    Author().ChangeValue(wxString::FromUTF8("张三 & Co"));
    AudioSetting().SetSelection(5);
    m_dialog->m_list.AddString("/media/光盘/AVSEQ01.DAT");
    m_dialog->m_list.AddString("/v/b.mpg");
    m_dialog->m_list.AddString("/v/b.mpg");
    m_dialog->m_log.SetWindowText("Failed: /v/x.mpg\nstalled\n");
    m_dialog->SaveSettings();

    EXPECT_EQ(ReadRaw(m_ini),
              "[Config]\r\nBitRate=800\r\nFolderAsPrefix=1\r\nAutoShutdown=1\r\nAudioSetting=5\r\n"
              "Author=张三 & Co\r\n\r\n[Source]\r\nCount=3\r\n0=/media/光盘/AVSEQ01.DAT\r\n"
              "1=/v/b.mpg\r\n2=/v/b.mpg\r\n");
    EXPECT_EQ(ReadRaw(m_log), m_dialog->m_log.GetWindowText() + '\0');

    OpenDialog();
    EXPECT_EQ(BitRate().GetValue(), "800");
    EXPECT_TRUE(FolderAsPrefix().GetValue());
    EXPECT_FALSE(AutoShutdown().GetValue()) << "written, never read back";
    EXPECT_FALSE(DeInterlace().GetValue()) << "neither written nor read";
    EXPECT_EQ(Author().GetValue().utf8_string(), "张三 & Co");
    EXPECT_EQ(AudioSetting().GetSelection(), 5);
    EXPECT_EQ(QueueEntries(),
              (std::vector<std::string>{"/media/光盘/AVSEQ01.DAT", "/v/b.mpg", "/v/b.mpg"}));
    EXPECT_EQ(Log().GetValue(), "Failed: /v/x.mpg\nstalled\n");

    // A second save of what was loaded changes nothing but the AutoShutdown flag.
    m_dialog->SaveSettings();
    PrivateProfile saved(m_ini);
    EXPECT_EQ(saved.GetInt("Config", "AutoShutdown", -1), 0);
    EXPECT_EQ(saved.GetInt("Source", "Count", -1), 3);
}

TEST_F(SettingsDialogTest, StoredBitRatesBelowTheFloorLoadAs450)
{
    OpenDialog();
    const struct {
        const char* stored;
        const char* shown;
    } cases[] = {{"299", "450"}, {"300", "300"}, {"fast", "450"}, {"-500", "450"}, {"", "450"},
                 {" 1200 kbps", "1200"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        ASSERT_TRUE(WritePrivateProfileString("Config", "BitRate", c.stored, m_ini));
        m_dialog->LoadSettings();
        EXPECT_EQ(BitRate().GetValue(), c.shown);
        EXPECT_EQ(m_dialog->m_nBitRate, std::stoi(c.shown));
    }
}

TEST_F(SettingsDialogTest, TheQueueLoadsByIndexBelowCount)
{
    // Count 3 with key "1" missing: keys "0" and "2", in that order; the stale "3" is not read;
    // "01" is not the spelling of an index.
    WriteRaw(m_ini, "[Source]\nCount=3\n0=/a.mpg\n2=/c.mpg\n3=/stale.mpg\n01=/not-an-index.mpg\n");
    OpenDialog();
    EXPECT_EQ(QueueEntries(), (std::vector<std::string>{"/a.mpg", "/c.mpg"}));

    // An empty value is skipped and the list closes up.
    WriteRaw(m_ini, "[Source]\nCount=3\n0=/a.mpg\n1=\n2=/c.mpg\n");
    m_dialog->LoadSettings();
    EXPECT_EQ(QueueEntries(), (std::vector<std::string>{"/a.mpg", "/c.mpg"}));

    for (const char* count : {"0", "-1", "none"}) {
        SCOPED_TRACE(count);
        WriteRaw(m_ini, std::string("[Source]\nCount=") + count + "\n0=/a.mpg\n");
        m_dialog->LoadSettings();
        EXPECT_TRUE(QueueEntries().empty());
    }

    // A hand-edited huge count loads the entries that are there (and does not walk to it).
    WriteRaw(m_ini, "[Source]\nCount=2147483647\n7=/h.mpg\n0=/g.mpg\n3=/gbk-\xB9\xE2.mpg\n");
    m_dialog->LoadSettings();
    EXPECT_EQ(QueueEntries(), (std::vector<std::string>{"/g.mpg", "/h.mpg"}))
        << "an entry that is not UTF-8 is skipped, not shown as an empty line";

    // A path longer than 519 bytes is left out whole, said in the log after the loaded log,
    // and not saved back cut.
    const std::string longPath = "/" + std::string(515, 'd') + "/x.mpg";
    WriteRaw(m_ini, "[Source]\nCount=3\n0=/a.mpg\n1=" + longPath + "\n2=/c.mpg\n");
    WriteRaw(m_log, std::string("earlier\r\n") + '\0');
    m_dialog->LoadSettings();
    EXPECT_EQ(QueueEntries(), (std::vector<std::string>{"/a.mpg", "/c.mpg"}));
    EXPECT_EQ(m_dialog->m_log.GetWindowText(),
              "earlier\r\nNot queued again, its saved path is longer than 519 bytes: " + longPath + "\r\n");
    m_dialog->SaveSettings();
    EXPECT_EQ(PrivateProfile(m_ini).GetInt("Source", "Count", -1), 2);
    EXPECT_EQ(PrivateProfile(m_ini).GetString("Source", "1", ""), "/c.mpg");
}

TEST_F(SettingsDialogTest, ASavedShorterQueueLeavesStaleKeysThatAreNotRead)
{
    OpenDialog();
    for (int i = 0; i < 5; ++i)
        m_dialog->m_list.AddString("/v/" + std::to_string(i) + ".mpg");
    m_dialog->SaveSettings();
    m_dialog->m_list.ResetContent();
    m_dialog->m_list.AddString("/w/0.mpg");
    m_dialog->m_list.AddString("/w/1.mpg");
    m_dialog->SaveSettings();

    PrivateProfile saved(m_ini);
    EXPECT_EQ(saved.GetInt("Source", "Count", 0), 2);
    EXPECT_EQ(saved.GetString("Source", "4", ""), "/v/4.mpg");
    OpenDialog();
    EXPECT_EQ(QueueEntries(), (std::vector<std::string>{"/w/0.mpg", "/w/1.mpg"}));

    // A file name with a line break cannot be stored; it must not bring back the stale entry
    // under its key, nor add lines of its own.
    m_dialog->m_list.ResetContent();
    m_dialog->m_list.AddString("/w/0.mpg");
    m_dialog->m_list.AddString("/w/new\n[Config]\nBitRate=1.mpg");
    m_dialog->m_list.AddString("/w/2.mpg");
    m_dialog->SaveSettings();
    OpenDialog();
    EXPECT_EQ(QueueEntries(), (std::vector<std::string>{"/w/0.mpg", "/w/2.mpg"}));
    EXPECT_EQ(BitRate().GetValue(), "450");
}

TEST_F(SettingsDialogTest, LongAuthorEmptyLogAndOutOfRangeAudioSetting)
{
    OpenDialog();
    Author().ChangeValue(std::string(600, 'a'));
    m_dialog->m_log.SetWindowText("");
    m_dialog->SaveSettings();
    EXPECT_EQ(ReadRaw(m_log), std::string(1, '\0'));

    ASSERT_TRUE(WritePrivateProfileString("Config", "AudioSetting", "12", m_ini));
    OpenDialog();
    EXPECT_EQ(Author().GetValue(), std::string(519, 'a'));
    EXPECT_EQ(Log().GetValue(), "");
    EXPECT_EQ(AudioSetting().GetSelection(), wxNOT_FOUND);
    m_dialog->SaveSettings();
    EXPECT_EQ(PrivateProfile(m_ini).GetInt("Config", "AudioSetting", 0), -1);
    OpenDialog();
    EXPECT_EQ(AudioSetting().GetSelection(), wxNOT_FOUND);
}

TEST_F(SettingsDialogTest, AnEmptyBitRateBoxStopsTheExchangeAndTheLastValuesAreWritten)
{
    MessageBoxRecorder boxes;
    OpenDialog();  // fields now hold what was loaded: 450, boxes clear
    BitRate().ChangeValue("");
    FolderAsPrefix().SetValue(true);
    Author().ChangeValue("not exchanged");
    m_dialog->SaveSettings();

    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, platform::kParseIntMessage);
    const PrivateProfile saved(m_ini);
    EXPECT_EQ(saved.GetInt("Config", "BitRate", 0), 450);
    EXPECT_EQ(saved.GetInt("Config", "FolderAsPrefix", -1), 0);
    EXPECT_EQ(saved.GetString("Config", "Author", "?"), "");
}

TEST_F(SettingsDialogTest, AHandEditedFileLoadsAndKeepsItsOtherLines)
{
    const std::string handEdited =
        "; settings for the living-room PC\r\n"
        "[config]\r\n"
        "bitrate = 600\r\n"
        "folderasprefix=1\r\n"
        "author =  Wang  \r\n"
        "audiosetting= 7\r\n"
        "[SOURCE]\r\n"
        "count=1\r\n"
        "0 = /home/用户/视频/第一集.mpg\r\n";
    WriteRaw(m_ini, handEdited);
    OpenDialog();
    EXPECT_EQ(BitRate().GetValue(), "600");
    EXPECT_TRUE(FolderAsPrefix().GetValue());
    EXPECT_EQ(Author().GetValue(), "Wang");
    EXPECT_EQ(AudioSetting().GetSelection(), 7);
    EXPECT_EQ(QueueEntries(), (std::vector<std::string>{"/home/用户/视频/第一集.mpg"}));

    m_dialog->SaveSettings();
    const std::string saved = ReadRaw(m_ini);
    EXPECT_TRUE(saved.starts_with("; settings for the living-room PC\r\n[config]\r\n")) << saved;
    EXPECT_EQ(saved.find("[Config]"), std::string::npos) << "no second section of the same name";
    EXPECT_NE(saved.find("0=/home/用户/视频/第一集.mpg\r\n"), std::string::npos) << saved;
}

}  // namespace
