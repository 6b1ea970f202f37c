// Naming of the .rm file written for a source: beside the source, same name, optionally
// prefixed with the name of the source's folder; and the clip title taken from it. The dialog
// and the headless converter both name their files here.
#pragma once

#include <string>
#include <string_view>

enum class PathStyle {
    Posix,    // '/' only; what the program uses
    Windows,  // optional "X:" drive, '\' and '/' both separators
};

// A path cut as the C runtime's splitter cuts it. dir keeps its final separator; ext is what
// follows the last full stop of the last component, full stop included.
struct PathParts {
    std::string drive;
    std::string dir;
    std::string fname;
    std::string ext;
};

PathParts SplitPath(std::string_view path, PathStyle style);

// The target of `source`: drive and directory of the source, then "<folder>_" when
// folderAsPrefix is set and the directory is more than its root separator, then the source's
// name without its extension and ".rm".
std::string BuildTargetPath(std::string_view source, bool folderAsPrefix,
                            PathStyle style = PathStyle::Posix);

// The clip title for a target path: its last component without the last extension (a drive
// prefix skipped, '\' and '/' both separators), cut to 255 bytes on a UTF-8 character boundary.
std::string TitleFromTarget(const std::string& target);

// The program name written into every clip.
inline constexpr const char* kProgramName = "Quenlar";
