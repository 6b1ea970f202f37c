// CBatchDialog's settings persistence: options and queue in the settings file, the info log in
// the log file. Runs on the UI thread at start-up, at close and before an automatic power-off.
#include <string>
#include <vector>

#include <wx/arrstr.h>
#include <wx/listbox.h>

#include "app/BatchDialog.h"
#include "common/BatchSettings.h"
#include "platform/PrivateProfile.h"
#include "platform/Utf8.h"
#include "sources/SettingsStore.h"

namespace {

constexpr const char* kSavedPathTooLong = "Not queued again, its saved path is longer than 519 bytes: ";

}  // namespace

void CBatchDialog::SaveSettings()
{
    // A failed exchange still leaves the fields as they were last exchanged: those are written.
    UpdateData(TRUE);

    // All entries go to memory first, so the file is written once.
    PrivateProfile profile(g_szIniPath);
    WriteProfileInt(profile, settings::kConfig, settings::kBitRate, m_nBitRate);
    WriteProfileInt(profile, settings::kConfig, settings::kFolderAsPrefix, m_bFolderAsPrefix);
    WriteProfileInt(profile, settings::kConfig, settings::kAutoShutdown, m_bAutoShutdown);
    WriteProfileInt(profile, settings::kConfig, settings::kAudioSetting, m_nAudioSetting);
    profile.WriteString(settings::kConfig, settings::kAuthor, m_strAuthor);
    WriteQueueAndLog(profile);
}

void CBatchDialog::SaveQueueAndLog()
{
    // No exchange here: this runs during a batch, where a half-typed option must not bring up
    // the exchange's box; the options are saved at close.
    PrivateProfile profile(g_szIniPath);
    WriteQueueAndLog(profile);
}

void CBatchDialog::WriteQueueAndLog(PrivateProfile& profile)
{
    std::vector<std::string> queue;
    for (int i = 0; i < m_list.GetCount(); ++i)
        queue.push_back(m_list.GetText(i));
    settings::WriteQueue(profile, queue);
    NoteSaved(g_szIniPath, profile.Flush());
    NoteSaved(g_szLogPath, SaveWindowText(m_log, g_szLogPath));
}

void CBatchDialog::NoteSaved(const std::string& file, bool saved)
{
    // Only the last attempt counts: a file written later holds what it should.
    if (saved)
        m_unsavedFiles.erase(file);
    else
        m_unsavedFiles.insert(file);
}

void CBatchDialog::LoadSettings()
{
    // Fields that are not restored keep what the controls show.
    UpdateData(TRUE);

    const PrivateProfile profile(g_szIniPath);
    const settings::BatchOptions stored = settings::ReadBatchOptions(profile);
    m_strAuthor = stored.author;
    m_nBitRate = stored.bitRate;
    m_bFolderAsPrefix = stored.folderAsPrefix ? TRUE : FALSE;
    m_nAudioSetting = stored.audioSetting;
    UpdateData(FALSE);

    m_list.ResetContent();
    m_nEncodingEntry = -1;
    // One insertion for the whole queue: the toolkit's list takes time proportional to its
    // length for every single insertion, which made 10,000 entries take seconds.
    wxArrayString paths;
    std::vector<std::string> tooLong;
    // Read whole: a path cut to the value buffer would name another file, or none.
    for (const std::string& path : settings::ReadQueue(profile)) {
        if (path.size() >= kProfileValueBuffer) {
            tooLong.push_back(path);
            continue;
        }
        // Text that is not UTF-8 (an entry edited in by hand) cannot be shown; skip it too.
        const wxString entry = wxString::FromUTF8(path);
        if (!entry.empty())
            paths.Add(entry);
    }
    if (!paths.empty())
        m_list.GetWindow()->Append(paths);

    LoadWindowText(m_log, g_szLogPath);
    for (const std::string& path : tooLong)
        AppendLogLine(kSavedPathTooLong + platform::ValidUtf8(path));
}
