// The options and the queue as the settings file keeps them: section and key names, defaults,
// the lowest bitrate. The dialog's settings and the converter's --queue both go through here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class PrivateProfile;

namespace settings {

inline constexpr std::string_view kConfig = "Config";
inline constexpr std::string_view kSource = "Source";
inline constexpr std::string_view kBitRate = "BitRate";
inline constexpr std::string_view kFolderAsPrefix = "FolderAsPrefix";
inline constexpr std::string_view kAutoShutdown = "AutoShutdown";
inline constexpr std::string_view kAudioSetting = "AudioSetting";
inline constexpr std::string_view kAuthor = "Author";
inline constexpr std::string_view kCount = "Count";

// Lower bitrates are refused at Start; a stored one below it loads as the default.
inline constexpr int kMinBitRate = 300;
inline constexpr int kDefaultBitRate = 450;
inline constexpr int kDefaultAudioSetting = 1;

struct BatchOptions {
    int bitRate = kDefaultBitRate;
    bool folderAsPrefix = false;
    int audioSetting = kDefaultAudioSetting;  // not range-checked, as stored
    std::string author;
};

// The [Config] options as the dialog restores them.
BatchOptions ReadBatchOptions(const PrivateProfile& profile);

// "%d" of the index: the key of a queue entry.
std::string IndexKey(int index);

// The queue indices below count that have a key, in order. Walking the keys that exist rather
// than every index up to count keeps a hand-edited huge count from stalling.
std::vector<int> StoredIndices(const PrivateProfile& profile, int count);

// The queue's paths in order, each read whole; empty entries are skipped.
std::vector<std::string> ReadQueue(const PrivateProfile& profile);

// Count and the entries 0 .. n-1. A path the file cannot hold (a line break in a file name) is
// stored empty, so that a load skips it instead of reading what an earlier queue left there.
void WriteQueue(PrivateProfile& profile, const std::vector<std::string>& paths);

}  // namespace settings
