// The help page beside the executable or where an installation keeps it: its path, and opening
// it from the Help button.
#pragma once

#include <string>

inline constexpr const char* kMissingHelpPageMessage =
    "Sorry, can't find Quenlar.htm.\nPlease download the whole package.";

// The page for a help-file path: cut at its last '.', then ".htm" (the help-file path always has
// an extension of its own, so a dot in a folder name is never the one cut at).
std::string HelpPagePathFor(const std::string& helpFilePath);

// Where an installation keeps the page: ../share/quenlar/<page name> from the executable's folder.
std::string InstalledHelpPageFor(const std::string& helpFilePath);

// Opens the page with the desktop's default handler, or says that it is missing. What the
// handler then does is not examined.
void OpenHelpPage();
