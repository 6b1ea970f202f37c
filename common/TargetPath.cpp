#include "common/TargetPath.h"

#include "platform/Utf8.h"

namespace {

constexpr std::string_view kTargetExtension = ".rm";
constexpr char kPrefixSeparator = '_';
constexpr std::size_t kMaxTitleBytes = 255;

// Every separator is an ASCII byte, and in UTF-8 no byte of a multi-byte character is below
// 0x80, so a byte-wise test can never mistake part of a character for a separator.
bool IsSeparator(char c, PathStyle style)
{
    return c == '/' || (style == PathStyle::Windows && c == '\\');
}

bool HasDrive(std::string_view path, PathStyle style)
{
    if (style != PathStyle::Windows || path.size() < 2 || path[1] != ':')
        return false;
    const char letter = path[0];
    return (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
}

}  // namespace

PathParts SplitPath(std::string_view path, PathStyle style)
{
    PathParts parts;
    if (HasDrive(path, style)) {
        parts.drive = std::string(path.substr(0, 2));
        path.remove_prefix(2);
    }
    // No cut at 255 bytes as the old fixed buffers did: a shortened directory would name
    // another folder than the source's.
    std::size_t nameStart = 0;
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1], style)) {
            nameStart = i;
            break;
        }
    }
    parts.dir = std::string(path.substr(0, nameStart));
    const std::string_view name = path.substr(nameStart);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        parts.fname = std::string(name);
    } else {
        parts.fname = std::string(name.substr(0, dot));
        parts.ext = std::string(name.substr(dot));
    }
    return parts;
}

std::string BuildTargetPath(std::string_view source, bool folderAsPrefix, PathStyle style)
{
    const PathParts parts = SplitPath(source, style);
    std::string target = parts.drive + parts.dir;
    const std::string& dir = parts.dir;
    if (folderAsPrefix && dir.size() > 1) {
        // The folder is the last component of dir: scan back from before its final separator.
        // The first byte is tested too, so that a folder just below the root ("/Video/") does
        // not carry the root separator into the name.
        std::size_t folderStart = 0;
        for (std::size_t i = dir.size() - 1; i > 0; --i) {
            if (IsSeparator(dir[i - 1], style)) {
                folderStart = i;
                break;
            }
        }
        target.append(dir, folderStart, std::string::npos);
        target.back() = kPrefixSeparator;
    }
    target += parts.fname;
    target += kTargetExtension;
    return target;
}

std::string TitleFromTarget(const std::string& target)
{
    std::size_t start = (target.size() >= 2 && target[1] == ':') ? 2 : 0;
    const std::size_t separator = target.find_last_of("\\/");
    if (separator != std::string::npos && separator >= start)
        start = separator + 1;
    std::string name = target.substr(start);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return std::string(platform::Utf8Prefix(name, kMaxTitleBytes));
}
