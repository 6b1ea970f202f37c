#include "convert/QueueFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/PrivateProfile.h"

namespace convert {

bool QueueFile::Load(std::string& error)
{
    std::string data;
    if (!ReadWholeFile(m_path, data)) {
        error = "cannot read queue file " + m_path + ": " + std::strerror(errno);
        return false;
    }
    const PrivateProfile profile(m_path);
    m_options = settings::ReadBatchOptions(profile);
    m_paths = settings::ReadQueue(profile);
    return true;
}

bool QueueFile::Remove(const std::string& source, std::string& error)
{
    PrivateProfile profile(m_path);
    std::vector<std::string> paths = settings::ReadQueue(profile);
    const auto found = std::find(paths.begin(), paths.end(), source);
    if (found == paths.end())
        return true;
    paths.erase(found);
    settings::WriteQueue(profile, paths);
    if (!profile.Flush()) {
        error = "cannot update queue file " + m_path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace convert
