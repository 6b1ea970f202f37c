// What the converter prints on standard output. On a terminal: the finished files' lines above
// a live block (one line per running file, then an overall bar) that is redrawn in place.
// Otherwise (a pipe, a log): only the finished files' lines and the summary, one write each.
// Main thread only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace convert {

struct RunningFile {
    std::string source;
    int percent = 0;
    double fps = 0;
    int64_t remainingMs = -1;  // -1 while unknown
};

class ProgressView {
public:
    ProgressView(std::FILE* out, bool live, bool quiet, int totalFiles);

    void Converted(const std::string& source, const std::string& target, double seconds, double sourceSeconds);
    void Failed(const std::string& source, const std::string& message);
    void Note(const std::string& text);
    // Redraws the live block; nothing when not live.
    void Update(const std::vector<RunningFile>& running, int finished);
    void Summary(int converted, int failed, int notConverted, double seconds, bool stopped);

private:
    void Permanent(const std::string& line);
    void EraseBlock();
    void DrawBlock();
    std::string Fit(const std::string& line) const;

    std::FILE* m_out;
    bool m_live;
    bool m_quiet;
    int m_totalFiles;
    std::vector<std::string> m_block;  // the live lines as last drawn
    int m_drawnLines = 0;
};

// "1:05", "1:02:03"; "-:--" when unknown.
std::string FormatClock(int64_t ms);

}  // namespace convert
