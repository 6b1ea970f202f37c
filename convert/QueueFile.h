// The queue of a settings file written by the dialog, for --queue: its options and paths, and
// the removal of each entry once it has been converted.
#pragma once

#include <string>
#include <vector>

#include "common/BatchSettings.h"

namespace convert {

class QueueFile {
public:
    explicit QueueFile(std::string path) : m_path(std::move(path)) {}

    // Reads [Config] and [Source]. False, with a reason, when the file cannot be read: a
    // queue that is not there is more likely a mistyped path than an empty queue.
    bool Load(std::string& error);

    const std::string& Path() const { return m_path; }
    const settings::BatchOptions& Options() const { return m_options; }
    const std::vector<std::string>& Paths() const { return m_paths; }

    // Takes the first entry equal to source out of the file as it is now (the dialog or a hand
    // may have changed it since Load) and writes it back. False, with a reason, when it cannot.
    bool Remove(const std::string& source, std::string& error);

private:
    std::string m_path;
    settings::BatchOptions m_options;
    std::vector<std::string> m_paths;
};

}  // namespace convert
