#include "common/BatchSettings.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "platform/PrivateProfile.h"

namespace settings {

BatchOptions ReadBatchOptions(const PrivateProfile& profile)
{
    BatchOptions options;
    options.author = profile.GetString(kConfig, kAuthor, "");
    options.bitRate = profile.GetInt(kConfig, kBitRate, 0);
    if (options.bitRate < kMinBitRate)
        options.bitRate = kDefaultBitRate;
    // Any non-zero value ticks the box; a check box knows no other states.
    options.folderAsPrefix = profile.GetInt(kConfig, kFolderAsPrefix, 0) != 0;
    options.audioSetting = profile.GetInt(kConfig, kAudioSetting, kDefaultAudioSetting);
    return options;
}

std::string IndexKey(int index)
{
    char key[16];
    std::snprintf(key, sizeof key, "%d", index);
    return key;
}

std::vector<int> StoredIndices(const PrivateProfile& profile, int count)
{
    std::vector<int> indices;
    for (const std::string& name : profile.GetKeyNames(kSource)) {
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

std::vector<std::string> ReadQueue(const PrivateProfile& profile)
{
    std::vector<std::string> paths;
    for (int i : StoredIndices(profile, profile.GetInt(kSource, kCount, 0))) {
        std::string path = profile.GetString(kSource, IndexKey(i), "", std::string::npos);
        if (!path.empty())
            paths.push_back(std::move(path));
    }
    return paths;
}

void WriteQueue(PrivateProfile& profile, const std::vector<std::string>& paths)
{
    profile.WriteString(kSource, kCount, std::to_string(paths.size()));
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string key = IndexKey(static_cast<int>(i));
        if (!profile.WriteString(kSource, key, paths[i]))
            profile.WriteString(kSource, key, "");
    }
}

}  // namespace settings
