// The help page beside the executable or where an installation keeps it: its path, and opening
// it from the Help button.
#pragma once

#include <string>

inline constexpr const char* kMissingHelpPageMessage =
    "Sorry, can't find Quenlar.htm.\nPlease download the whole package.";

// The desktop has no program that could open the page (none for HTML, or one that cannot start).
inline std::string HelpPageNotOpenedMessage(const std::string& page)
{
    return "Sorry, no program could open the help page\n" + page + "\nPlease open it with a web browser.";
}

// The page for a help-file path: cut at its last '.', then ".htm" (the help-file path always has
// an extension of its own, so a dot in a folder name is never the one cut at).
std::string HelpPagePathFor(const std::string& helpFilePath);

// Where an installation keeps the page: ../share/quenlar/<page name> from the executable's folder.
std::string InstalledHelpPageFor(const std::string& helpFilePath);

// Opens the page with the desktop's default handler, or says that it is missing or that nothing
// could open it. What the handler does once started is not examined.
void OpenHelpPage();
