#include "platform/PrivateProfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <unordered_set>
#include <utility>

#include "platform/Utf8.h"

namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::function<void(const std::string&)>& AtomicWriteHook()
{
    static std::function<void(const std::string&)> hook;
    return hook;
}

std::string_view Trim(std::string_view s)
{
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

// Names compare without regard to ASCII case, as the Windows profile functions do.
std::string Fold(std::string_view s)
{
    std::string folded(s);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

bool IsQuote(char c)
{
    return c == '"' || c == '\'';
}

// The value part of a "key=value" line as the reader sees it.
std::string_view ValueOf(std::string_view line)
{
    std::string_view value = Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

// Quotes a value whose outer blanks or quotes the reader would otherwise strip.
std::string EncodeValue(std::string_view value)
{
    const bool outerBlank = !value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                                               kBlanks.find(value.back()) != std::string_view::npos);
    const bool quoted = value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
    if (outerBlank || quoted)
        return "\"" + std::string(value) + "\"";
    return std::string(value);
}

// Cuts s to fit a buffer of bufferSize bytes with its NUL, dropping a UTF-8 character that
// would be split rather than keeping half of it.
std::string CutToBuffer(std::string_view s, std::size_t bufferSize)
{
    return bufferSize == 0 ? std::string() : std::string(platform::Utf8Prefix(s, bufferSize - 1));
}

bool HasLineBreakOrNul(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool IsComment(std::string_view trimmed)
{
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

// True for a "[name]" line; name is then the trimmed text between the brackets.
bool SectionNameOf(std::string_view trimmed, std::string_view& name)
{
    if (trimmed.empty() || trimmed.front() != '[')
        return false;
    const auto close = trimmed.find(']');
    if (close == std::string_view::npos)
        return false;
    name = Trim(trimmed.substr(1, close - 1));
    return true;
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Makes the rename itself durable.
void SyncDirectoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& data)
{
    data.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return n == 0;
        }
        data.append(chunk, static_cast<std::size_t>(n));
    }
}

PrivateProfile::PrivateProfile(std::string path) : m_strPath(std::move(path))
{
    std::string data;
    if (!ReadWholeFile(m_strPath, data)) {
        // A file that is there but unreadable must not be replaced by what little we write.
        m_bReadFailed = errno != ENOENT;
        return;
    }
    Parse(data);
}

void PrivateProfile::Parse(std::string_view data)
{
    if (data.starts_with(kUtf8Bom)) {
        m_strBom = kUtf8Bom;
        data.remove_prefix(kUtf8Bom.size());
    }
    Section* current = nullptr;  // null outside a section or in a repeated one
    std::size_t pos = 0;
    while (pos < data.size()) {
        const auto end = data.find_first_of("\r\n", pos);
        const std::string_view text = data.substr(pos, end == std::string_view::npos ? end : end - pos);
        if (end == std::string_view::npos)
            pos = data.size();
        else
            pos = end + ((data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n') ? 2 : 1);

        const LineIter line = m_lines.insert(m_lines.end(), Line{std::string(text)});
        const std::string_view trimmed = Trim(text);
        std::string_view name;
        if (SectionNameOf(trimmed, name)) {
            // Like Windows, only the first section of a name is seen; later ones are left as they are.
            auto [it, inserted] = m_sections.try_emplace(Fold(name), Section{line, line, {}});
            current = inserted ? &it->second : nullptr;
        } else if (current && !IsComment(trimmed) && trimmed.find('=') != std::string_view::npos) {
            const std::string_view key = Trim(trimmed.substr(0, trimmed.find('=')));
            if (!key.empty()) {
                current->keys.try_emplace(Fold(key), line);
                current->lastEntry = line;
            }
        }
    }
}

const std::string* PrivateProfile::FindValueLine(std::string_view section, std::string_view key) const
{
    const auto s = m_sections.find(Fold(section));
    if (s == m_sections.end())
        return nullptr;
    const auto k = s->second.keys.find(Fold(key));
    if (k == s->second.keys.end())
        return nullptr;
    return &k->second->text;
}

std::string PrivateProfile::GetString(std::string_view section, std::string_view key,
                                      std::string_view defaultValue, std::size_t bufferSize) const
{
    const std::string* line = FindValueLine(section, key);
    return CutToBuffer(line ? ValueOf(*line) : defaultValue, bufferSize);
}

int PrivateProfile::GetInt(std::string_view section, std::string_view key, int defaultValue) const
{
    const std::string* line = FindValueLine(section, key);
    if (!line)
        return defaultValue;
    std::string_view value = ValueOf(*line);
    if (value.empty())
        return defaultValue;
    value.remove_prefix(std::min(value.size(), value.find_first_not_of(kBlanks)));
    bool negative = false;
    if (value.front() == '+' || value.front() == '-') {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    long long result = 0;
    for (char c : value) {
        if (c < '0' || c > '9')
            break;
        // Saturate rather than wrap: a huge number must not read as a small or negative one.
        if (result <= static_cast<long long>(INT_MAX) + 1)
            result = result * 10 + (c - '0');
    }
    if (negative)
        result = -result;
    if (result > INT_MAX)
        return INT_MAX;
    if (result < INT_MIN)
        return INT_MIN;
    return static_cast<int>(result);
}

std::vector<std::string> PrivateProfile::GetKeyNames(std::string_view section) const
{
    std::vector<std::string> names;
    const auto s = m_sections.find(Fold(section));
    if (s == m_sections.end())
        return names;
    // The section runs from its header to the next header; only indexed lines are its keys.
    std::unordered_set<const Line*> isKey;
    for (const auto& [folded, line] : s->second.keys)
        isKey.insert(&*line);
    for (auto it = std::next(s->second.header); it != m_lines.end() && names.size() < isKey.size(); ++it) {
        if (isKey.count(&*it)) {
            const std::string_view text = it->text;
            names.emplace_back(Trim(text.substr(0, text.find('='))));
        }
    }
    return names;
}

bool PrivateProfile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string_view sectionName = Trim(section);
    const std::string_view keyName = Trim(key);
    if (keyName.empty() || HasLineBreakOrNul(section) || HasLineBreakOrNul(key) ||
        HasLineBreakOrNul(value) || section.find(']') != std::string_view::npos ||
        key.find('=') != std::string_view::npos || IsComment(keyName) ||
        (!keyName.empty() && keyName.front() == '['))
        return false;

    auto s = m_sections.find(Fold(sectionName));
    if (s == m_sections.end()) {
        if (!m_lines.empty() && !Trim(m_lines.back().text).empty())
            m_lines.push_back(Line{});
        const LineIter header = m_lines.insert(m_lines.end(), Line{"[" + std::string(sectionName) + "]"});
        s = m_sections.emplace(Fold(sectionName), Section{header, header, {}}).first;
    }
    Section& sec = s->second;
    const std::string folded = Fold(keyName);
    const auto k = sec.keys.find(folded);
    if (k != sec.keys.end()) {
        // Keep the key as the file spells it.
        const std::string_view existing = k->second->text;
        std::string text = std::string(Trim(existing.substr(0, existing.find('=')))) + "=" + EncodeValue(value);
        if (text != existing) {
            k->second->text = std::move(text);
            m_bDirty = true;
        }
        return true;
    }
    const LineIter line =
        m_lines.insert(std::next(sec.lastEntry), Line{std::string(keyName) + "=" + EncodeValue(value)});
    sec.keys.emplace(folded, line);
    sec.lastEntry = line;
    m_bDirty = true;
    return true;
}

std::string PrivateProfile::Serialize() const
{
    std::string out = m_strBom;
    std::size_t size = out.size();
    for (const Line& line : m_lines)
        size += line.text.size() + 2;
    out.reserve(size);
    for (const Line& line : m_lines) {
        out += line.text;
        out += "\r\n";
    }
    return out;
}

bool PrivateProfile::Flush()
{
    if (!m_bDirty)
        return true;
    if (m_bReadFailed || !WriteFileAtomically(m_strPath, Serialize()))
        return false;
    m_bDirty = false;
    return true;
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& file)
{
    PrivateProfile profile(file);
    return profile.WriteString(section, key, value) && profile.Flush();
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string& file)
{
    return PrivateProfile(file).GetInt(section, key, defaultValue);
}

std::size_t GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, char* buffer, std::size_t bufferSize,
                                    const std::string& file)
{
    if (bufferSize == 0)
        return 0;
    const std::string value = PrivateProfile(file).GetString(section, key, defaultValue, bufferSize);
    std::memcpy(buffer, value.data(), value.size());
    buffer[value.size()] = '\0';
    return value.size();
}

bool WriteFileAtomically(const std::string& path, std::string_view data)
{
    // Replace what a symbolic link points at, not the link.
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    const bool existed = ::stat(target.c_str(), &st) == 0;
    // Renaming over a read-only file would replace it although it may not be written; the
    // mode is looked at too, since access() lets root write anything.
    if (existed && ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) {
        errno = EACCES;
        return false;
    }

    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        // 0666 lets the umask decide, as it would for a file created in place.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

    bool ok = WriteAll(fd, data);
    if (ok && existed)
        ok = ::fchmod(fd, st.st_mode & 07777) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && AtomicWriteHook())
        AtomicWriteHook()(temp);
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncDirectoryOf(target);
    return true;
}

void SetAtomicWriteHookForTests(std::function<void(const std::string& tempPath)> hook)
{
    AtomicWriteHook() = std::move(hook);
}
