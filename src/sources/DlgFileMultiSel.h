// CDlgFileMultiSel: the multi-selection open dialog behind the "+" button. It runs the
// toolkit's file chooser and hands the chosen files out one full path at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <wx/filedlg.h>

#include "platform/WinDefs.h"

// The open-dialog flags the program asks for, with their Windows values.
constexpr unsigned long OFN_HIDEREADONLY = 0x4;
constexpr unsigned long OFN_ALLOWMULTISELECT = 0x200;
constexpr unsigned long OFN_FILEMUSTEXIST = 0x1000;

// What the chooser returned: a folder and the names within it, in the chooser's order.
struct FileChoice {
    std::string folder;
    std::vector<std::string> names;
};

class CDlgFileMultiSel : public wxFileDialog {
public:
    // Bytes of a path buffer, terminator included.
    static constexpr std::size_t kMaxPath = 260;

    // Runs the chooser modally and returns IDOK with `choice` filled, or IDCANCEL.
    using Chooser = std::function<int(wxFileDialog& chooser, FileChoice& choice)>;

    // `filter` is "Name|patterns|Name|patterns||"; `fileName` is the initial name, shown only
    // where the chooser has a name field.
    CDlgFileMultiSel(BOOL bOpenFileDialog, const char* defaultExtension, const char* fileName,
                     unsigned long flags, const char* filter, wxWindow* parent);
    ~CDlgFileMultiSel() override;

    int DoModal();
    // Writes the next chosen file's full path and returns TRUE, or writes "" and returns FALSE
    // when none is left. A path that would not fit the buffer is refused and skipped.
    BOOL GetNextPath(char (&path)[kMaxPath]);
    // The whole paths of the chosen files that GetNextPath refused so far (too long to hold).
    const std::vector<std::string>& GetRefusedPaths() const { return m_refused; }

    // Arms the taller file list for when the chooser is first on screen.
    BOOL OnInitDialog();
    // Grows the chooser by the height of its file list (shrink: by minus half of it), so that
    // the list takes the whole change; kept, frame and all, within the screen's work area.
    void AdjustFileListHeight(BOOL bShrink);

    // Puts `chooser` in place of the real one (an empty function restores it); returns the
    // previous one. Tests answer the chooser through this.
    static Chooser SetChooser(Chooser chooser);
    // The real chooser: shows it and reads the chosen files.
    static int RunNativeChooser(wxFileDialog& chooser, FileChoice& choice);

private:
    // The result as folder, NUL, names each with its NUL, and one more NUL; or, for a single
    // file, its full path and two NULs.
    std::string m_fileBuffer;
    const char* m_pszNextName = nullptr;
    char m_szDirectory[kMaxPath] = {};
    BOOL m_bMultiSelection = FALSE;
    std::vector<std::string> m_refused;
    unsigned long m_allocationHandler = 0;  // the one-shot watch armed by OnInitDialog
};

// The toolkit's wildcard for a Windows filter string ("Name|patterns|...||"): the names stay
// as they are; the patterns match in any letter case and "*.*" matches every file, as they
// do on Windows.
std::string ChooserWildcard(const std::string& filter);

// Folder and names, relative to their common folder, of the full paths a chooser returned.
FileChoice ChoiceFromPaths(const std::vector<std::string>& paths);
