#include "convert/ProgressView.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

namespace convert {

namespace {

constexpr int kBarWidth = 30;
constexpr int kFallbackColumns = 80;

std::string Printf(const char* format, auto... args)
{
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

int TerminalColumns(std::FILE* out)
{
    winsize size{};
    if (ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kFallbackColumns;
}

// Counts the bytes that start a UTF-8 character: near enough to the columns a name takes.
std::size_t Columns(const std::string& text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

std::string FormatClock(int64_t ms)
{
    if (ms < 0)
        return "-:--";
    const int64_t seconds = (ms + 500) / 1000;
    if (seconds >= 3600)
        return Printf("%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return Printf("%lld:%02lld", static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60));
}

ProgressView::ProgressView(std::FILE* out, bool live, bool quiet, int totalFiles)
    : m_out(out), m_live(live && !quiet), m_quiet(quiet), m_totalFiles(totalFiles)
{
}

void ProgressView::Converted(const std::string& source, const std::string& target, double seconds,
                             double sourceSeconds)
{
    if (m_quiet)
        return;
    std::string line = "ok " + source + " -> " + target + Printf(" (%.1f s", seconds);
    if (sourceSeconds > 0 && seconds > 0)
        line += Printf(", %.1fx realtime", sourceSeconds / seconds);
    Permanent(line + ")");
}

void ProgressView::Failed(const std::string& source, const std::string& message)
{
    Permanent("failed " + source + ": " + message);
}

void ProgressView::Note(const std::string& text)
{
    Permanent("quenlar-convert: " + text);
}

void ProgressView::Update(const std::vector<RunningFile>& running, int finished)
{
    if (!m_live)
        return;
    m_block.clear();
    int sum = finished * 100;
    for (const RunningFile& file : running) {
        sum += file.percent;
        m_block.push_back(Printf("%3d%% %6.1f fps  ETA %-7s ", file.percent, file.fps,
                                 FormatClock(file.remainingMs).c_str()) +
                          file.source);
    }
    const int percent = m_totalFiles > 0 ? sum / m_totalFiles : 100;
    const int filled = percent * kBarWidth / 100;
    m_block.push_back("[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "]" +
                      Printf(" %3d%%  %d of %d files done, %zu running", percent, finished, m_totalFiles,
                             running.size()));
    EraseBlock();
    DrawBlock();
}

void ProgressView::Summary(int converted, int failed, int notConverted, double seconds, bool stopped)
{
    std::string line = std::string(stopped ? "stopped: " : "done: ") + Printf("%d converted, %d failed", converted, failed);
    if (notConverted > 0)
        line += Printf(", %d not converted", notConverted);
    line += Printf(" (%.1f s)", seconds);
    m_block.clear();
    Permanent(line);
}

void ProgressView::Permanent(const std::string& line)
{
    EraseBlock();
    std::fprintf(m_out, "%s\n", line.c_str());
    DrawBlock();
    std::fflush(m_out);
}

void ProgressView::EraseBlock()
{
    if (m_drawnLines > 0)
        std::fprintf(m_out, "\033[%dA\033[J", m_drawnLines);
    m_drawnLines = 0;
}

void ProgressView::DrawBlock()
{
    if (!m_live)
        return;
    for (const std::string& line : m_block)
        std::fprintf(m_out, "%s\n", Fit(line).c_str());
    m_drawnLines = static_cast<int>(m_block.size());
    std::fflush(m_out);
}

// A line that wraps would break the count of lines to move back over: long names lose their
// beginning instead.
std::string ProgressView::Fit(const std::string& line) const
{
    const std::size_t width = static_cast<std::size_t>(TerminalColumns(m_out) - 1);
    if (Columns(line) <= width)
        return line;
    constexpr std::size_t cut = 30;  // the figures before the name stay
    if (width <= cut + 1)
        return line.substr(0, width);
    std::size_t drop = Columns(line) - width + 1;
    std::size_t pos = cut;
    while (drop > 0 && pos < line.size()) {
        ++pos;
        while (pos < line.size() && (static_cast<unsigned char>(line[pos]) & 0xC0) == 0x80)
            ++pos;
        --drop;
    }
    return line.substr(0, cut) + "~" + line.substr(pos);
}

}  // namespace convert
