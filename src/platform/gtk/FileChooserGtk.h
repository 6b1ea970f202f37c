// What the file chooser needs from GTK beneath wxFileDialog: the chosen names as bytes, and the
// chooser's file list found by walking its widgets, to size the window by it.
#pragma once

#include <functional>
#include <string>
#include <vector>

class wxFileDialog;

namespace platform::gtk {

// GTK's patterns are case-sensitive where Windows' are not: "*.dat" becomes "*.[dD][aA][tT]".
// "*.*" becomes "*", as it would otherwise hide names without a dot.
std::string CaseFoldedPattern(const std::string& pattern);

// The full paths chosen in a chooser that was just closed with OK, as bytes: the toolkit's
// strings turn a name that is not UTF-8 into another name.
std::vector<std::string> ChosenPaths(wxFileDialog& chooser);

// Runs `action` once, after the chooser's file list is first given a size on screen (the chooser
// sizes itself when mapped and overrides a resize made before). Returns the watch, for
// StopWatchingFileList, or 0 when the chooser has no file list.
unsigned long WatchFileListFirstShown(wxFileDialog& chooser, std::function<void()> action);
void StopWatchingFileList(wxFileDialog& chooser, unsigned long watch);

// Grows the chooser's window by the height of its file list (shrink: by minus half of it), so
// that the list takes the whole change; kept, frame and all, within the screen's work area.
void GrowByFileList(wxFileDialog& chooser, bool shrink);

}  // namespace platform::gtk
