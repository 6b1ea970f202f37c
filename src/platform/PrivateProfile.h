// Private-profile (INI) files with the semantics of the Windows functions the program was written
// against: case-insensitive section and key names, values cut to the caller's buffer, integers
// parsed the way GetPrivateProfileInt does, and writes that touch only the line they change.
// Files are written whole, atomically, with CRLF line ends. Not thread-safe; one object per thread.
#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The buffer size the program reads profile strings into: 519 bytes of text and a NUL.
inline constexpr std::size_t kProfileValueBuffer = 520;

// One settings file held in memory: open it on a path, read and write entries, then Flush()
// once. Every Write* call only changes memory, so saving n entries writes the file once.
class PrivateProfile {
public:
    // Reads the file if it exists. A file that is missing or cannot be read reads as empty.
    explicit PrivateProfile(std::string path);

    const std::string& Path() const { return m_strPath; }

    // The value, without blanks around it or one pair of enclosing quotes, cut to fit a buffer
    // of bufferSize bytes with its NUL (never inside a UTF-8 character); defaultValue (cut the
    // same way) when the section or key is missing.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue,
                          std::size_t bufferSize = kProfileValueBuffer) const;

    // Leading blanks, an optional sign, then decimal digits up to the first other character;
    // 0 when there are no digits; defaultValue when the key is missing or its value empty.
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;

    // The section's key names as the file spells them, in file order; empty when it is missing.
    std::vector<std::string> GetKeyNames(std::string_view section) const;

    // Creates the section and the key as needed. Refuses (false) names that cannot be stored as
    // one line (empty key, line breaks, '=' in a key, ']' in a section) and values with line
    // breaks, which would otherwise add lines of their own to the file.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Writes the file if anything changed since it was read. False when the write failed, or
    // when the existing file could not be read: replacing it would lose what it holds.
    bool Flush();

    // The file's text as Flush() would write it.
    std::string Serialize() const;

private:
    struct Line {
        std::string text;  // without its line end
    };
    using LineIter = std::list<Line>::iterator;
    struct Section {
        LineIter header;
        LineIter lastEntry;  // where the next new key goes
        std::unordered_map<std::string, LineIter> keys;  // folded key -> its first line
    };

    void Parse(std::string_view data);
    const std::string* FindValueLine(std::string_view section, std::string_view key) const;

    std::string m_strPath;
    std::string m_strBom;
    std::list<Line> m_lines;
    std::unordered_map<std::string, Section> m_sections;  // folded name -> first occurrence
    bool m_bReadFailed = false;
    bool m_bDirty = false;
};

// Thin single-call forms. Each write reads and rewrites the whole file: use PrivateProfile for
// more than one entry.
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& file);
int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string& file);
// Copies the value, NUL-terminated, into buffer and returns its length (0 when bufferSize is 0).
std::size_t GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, char* buffer,
                                    std::size_t bufferSize, const std::string& file);

// Reads a whole file; false with errno set when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& data);

// Replaces path with data so that a crash or power cut at any moment leaves either the old file
// or the new one: a temporary file beside it is written, synced and renamed over it. Keeps the
// mode of the file it replaces; a read-only file is left as it is (false, errno EACCES).
bool WriteFileAtomically(const std::string& path, std::string_view data);

// Called after the temporary file is complete and synced, just before the rename. Tests use it
// to kill the writer at that point; empty in the program.
void SetAtomicWriteHookForTests(std::function<void(const std::string& tempPath)> hook);
