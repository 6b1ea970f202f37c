// CBatchDialog's settings persistence: options and queue in the settings file, the info log in
// the log file. Runs on the UI thread at start-up, at close and before an automatic power-off.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include <wx/arrstr.h>
#include <wx/listbox.h>

#include "app/BatchDialog.h"
#include "platform/PrivateProfile.h"
#include "sources/SettingsStore.h"

namespace {

constexpr int kMinBitRate = 300;
constexpr int kDefaultBitRate = 450;
constexpr int kDefaultAudioSetting = 1;
constexpr const char* kSavedPathTooLong = "Not queued again, its saved path is longer than 519 bytes: ";

std::string IndexKey(int index)
{
    char key[16];
    std::snprintf(key, sizeof key, "%d", index);
    return key;
}

// The queue indices below count that have a key, in order. Walking the keys that exist rather
// than every index up to count keeps a hand-edited huge count from stalling the start-up.
std::vector<int> StoredIndices(const PrivateProfile& profile, int count)
{
    std::vector<int> indices;
    for (const std::string& name : profile.GetKeyNames("Source")) {
        int index = -1;
        const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), index);
        // Only the "%d" spelling of an index names an entry ("01" does not).
        if (error == std::errc() && end == name.data() + name.size() && index >= 0 && index < count &&
            IndexKey(index) == name)
            indices.push_back(index);
    }
    std::sort(indices.begin(), indices.end());
    return indices;
}

}  // namespace

void CBatchDialog::SaveSettings()
{
    // A failed exchange still leaves the fields as they were last exchanged: those are written.
    UpdateData(TRUE);

    // All entries go to memory first, so the file is written once.
    PrivateProfile profile(g_szIniPath);
    WriteProfileInt(profile, "Config", "BitRate", m_nBitRate);
    WriteProfileInt(profile, "Config", "FolderAsPrefix", m_bFolderAsPrefix);
    WriteProfileInt(profile, "Config", "AutoShutdown", m_bAutoShutdown);
    WriteProfileInt(profile, "Config", "AudioSetting", m_nAudioSetting);
    profile.WriteString("Config", "Author", m_strAuthor);

    const int count = m_list.GetCount();
    WriteProfileInt(profile, "Source", "Count", count);
    for (int i = 0; i < count; ++i) {
        // A path the file cannot hold (a line break in a file name) is stored empty, so that
        // the load skips it instead of reading what an earlier queue left under its key.
        if (!profile.WriteString("Source", IndexKey(i), m_list.GetText(i)))
            profile.WriteString("Source", IndexKey(i), "");
    }
    profile.Flush();

    SaveWindowText(m_log, g_szLogPath);
}

void CBatchDialog::LoadSettings()
{
    // Fields that are not restored keep what the controls show.
    UpdateData(TRUE);

    const PrivateProfile profile(g_szIniPath);
    m_strAuthor = profile.GetString("Config", "Author", "");
    m_nBitRate = profile.GetInt("Config", "BitRate", 0);
    if (m_nBitRate < kMinBitRate)
        m_nBitRate = kDefaultBitRate;
    // Any non-zero value ticks the box; a check box knows no other states.
    m_bFolderAsPrefix = profile.GetInt("Config", "FolderAsPrefix", 0) != 0 ? TRUE : FALSE;
    m_nAudioSetting = profile.GetInt("Config", "AudioSetting", kDefaultAudioSetting);
    UpdateData(FALSE);

    m_list.ResetContent();
    // One insertion for the whole queue: the toolkit's list takes time proportional to its
    // length for every single insertion, which made 10,000 entries take seconds.
    wxArrayString paths;
    std::vector<std::string> tooLong;
    for (int i : StoredIndices(profile, profile.GetInt("Source", "Count", 0))) {
        // Read whole: a path cut to the value buffer would name another file, or none.
        const std::string path = profile.GetString("Source", IndexKey(i), "", std::string::npos);
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
        AppendLogLine(kSavedPathTooLong + ValidUtf8(path));
}
