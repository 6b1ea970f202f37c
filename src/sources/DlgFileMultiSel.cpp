#include "sources/DlgFileMultiSel.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include <wx/filename.h>

#include "platform/gtk/FileChooserGtk.h"

namespace {

constexpr char kSeparator = static_cast<char>(wxFILE_SEP_PATH);

CDlgFileMultiSel::Chooser& ChooserSlot()
{
    static CDlgFileMultiSel::Chooser chooser;
    return chooser;
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

std::string ParentFolder(const std::string& path)
{
    const auto slash = path.rfind(kSeparator);
    if (slash == std::string::npos)
        return std::string();
    return slash == 0 ? std::string(1, kSeparator) : path.substr(0, slash);
}

bool EndsWithSeparator(const std::string& folder)
{
    return !folder.empty() && folder.back() == kSeparator;
}

bool IsInside(const std::string& path, const std::string& folder)
{
    if (folder.empty())
        return true;
    const std::string prefix = EndsWithSeparator(folder) ? folder : folder + kSeparator;
    return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0;
}

std::string Join(const std::string& folder, const std::string& name)
{
    if (folder.empty() || EndsWithSeparator(folder))
        return folder + name;
    return folder + kSeparator + name;
}

// The open chooser has no name field; an initial name would be taken for a file to select.
wxString InitialName(BOOL bOpenFileDialog, const char* fileName)
{
    return bOpenFileDialog || !fileName ? wxString() : wxString::FromUTF8(fileName);
}

long ChooserStyle(BOOL bOpenFileDialog, unsigned long flags)
{
    long style = bOpenFileDialog ? wxFD_OPEN : wxFD_SAVE;
    if (flags & OFN_ALLOWMULTISELECT)
        style |= wxFD_MULTIPLE;
    if (flags & OFN_FILEMUSTEXIST)
        style |= wxFD_FILE_MUST_EXIST;
    // OFN_HIDEREADONLY: the chooser has no read-only box to hide.
    return style;
}

}  // namespace

std::string ChooserWildcard(const std::string& filter)
{
    const std::vector<std::string> parts = Split(filter, '|');
    std::string wildcard;
    for (std::size_t n = 0; n + 1 < parts.size() && !parts[n].empty(); n += 2) {
        std::string patterns;
        for (const std::string& pattern : Split(parts[n + 1], ';'))
            patterns += (patterns.empty() ? "" : ";") + platform::gtk::CaseFoldedPattern(pattern);
        wildcard += (wildcard.empty() ? "" : "|") + parts[n] + "|" + patterns;
    }
    return wildcard;
}

FileChoice ChoiceFromPaths(const std::vector<std::string>& paths)
{
    FileChoice choice;
    if (paths.empty())
        return choice;
    // Files chosen from a search or the recent list need not share one folder.
    choice.folder = ParentFolder(paths.front());
    for (const std::string& path : paths) {
        while (!IsInside(path, choice.folder))
            choice.folder = choice.folder.size() <= 1 ? std::string() : ParentFolder(choice.folder);
    }
    const std::size_t skip = choice.folder.size() + (choice.folder.empty() || EndsWithSeparator(choice.folder) ? 0 : 1);
    for (const std::string& path : paths)
        choice.names.push_back(path.substr(skip));
    return choice;
}

CDlgFileMultiSel::CDlgFileMultiSel(BOOL bOpenFileDialog, const char* /*defaultExtension*/,
                                   const char* fileName, unsigned long flags, const char* filter,
                                   wxWindow* parent)
    // The chooser has no default extension of its own; the program opens files only.
    : wxFileDialog(parent, wxString(), wxString(), InitialName(bOpenFileDialog, fileName),
                   wxString::FromUTF8(ChooserWildcard(filter ? filter : "")),
                   ChooserStyle(bOpenFileDialog, flags))
{
    Bind(wxEVT_INIT_DIALOG, [this](wxInitDialogEvent& event) {
        OnInitDialog();
        event.Skip();
    });
}

CDlgFileMultiSel::~CDlgFileMultiSel()
{
    platform::gtk::StopWatchingFileList(*this, m_allocationHandler);
}

CDlgFileMultiSel::Chooser CDlgFileMultiSel::SetChooser(Chooser chooser)
{
    Chooser previous = std::move(ChooserSlot());
    ChooserSlot() = std::move(chooser);
    return previous;
}

int CDlgFileMultiSel::RunNativeChooser(wxFileDialog& chooser, FileChoice& choice)
{
    if (chooser.ShowModal() != wxID_OK)
        return IDCANCEL;
    choice = ChoiceFromPaths(platform::gtk::ChosenPaths(chooser));
    return IDOK;
}

int CDlgFileMultiSel::DoModal()
{
    FileChoice choice;
    const Chooser& chooser = ChooserSlot();
    int result = chooser ? chooser(*this, choice) : RunNativeChooser(*this, choice);
    std::erase(choice.names, std::string());
    if (result == IDOK && choice.names.empty())
        result = IDCANCEL;

    m_fileBuffer.clear();
    m_szDirectory[0] = '\0';
    m_pszNextName = nullptr;
    m_bMultiSelection = FALSE;
    m_refused.clear();
    if (result != IDOK)
        return result;

    // Sized to the result: a large selection is never cut off.
    if (choice.names.size() == 1) {
        m_fileBuffer = Join(choice.folder, choice.names.front());
        m_fileBuffer += '\0';
    } else {
        m_fileBuffer = choice.folder;
        m_fileBuffer += '\0';
        for (const std::string& name : choice.names) {
            m_fileBuffer += name;
            m_fileBuffer += '\0';
        }
    }
    m_fileBuffer += '\0';

    const char* first = m_fileBuffer.c_str();
    const std::size_t length = std::strlen(first);
    const char* next = first + length + 1;
    m_bMultiSelection = *next != '\0';
    // A first string too long for a path buffer leaves nothing that could be handed out.
    if (length < kMaxPath) {
        std::memcpy(m_szDirectory, first, length + 1);
        m_pszNextName = next;
    } else {
        for (const std::string& name : choice.names)
            m_refused.push_back(Join(choice.folder, name));
    }
    return result;
}

BOOL CDlgFileMultiSel::GetNextPath(char (&path)[kMaxPath])
{
    path[0] = '\0';
    while (m_pszNextName) {
        if (!m_bMultiSelection) {
            std::memcpy(path, m_szDirectory, std::strlen(m_szDirectory) + 1);
            m_pszNextName = nullptr;
            return TRUE;
        }
        const char* name = m_pszNextName;
        const std::size_t nameLength = std::strlen(name);
        m_pszNextName = name + nameLength + 1;
        if (*m_pszNextName == '\0')
            m_pszNextName = nullptr;

        const std::size_t folderLength = std::strlen(m_szDirectory);
        const bool separator = folderLength > 0 && m_szDirectory[folderLength - 1] != kSeparator;
        if (folderLength + (separator ? 1 : 0) + nameLength >= kMaxPath) {
            // Refused: it cannot be held whole.
            m_refused.push_back(Join(m_szDirectory, name));
            continue;
        }
        char* out = path;
        out = std::copy_n(m_szDirectory, folderLength, out);
        if (separator)
            *out++ = kSeparator;
        out = std::copy_n(name, nameLength, out);
        *out = '\0';
        return TRUE;
    }
    return FALSE;
}

BOOL CDlgFileMultiSel::OnInitDialog()
{
    // From the event queue, which drops the call if the dialog is gone by then.
    if (!m_allocationHandler) {
        m_allocationHandler = platform::gtk::WatchFileListFirstShown(
            *this, [this] { CallAfter([this] { AdjustFileListHeight(FALSE); }); });
    }
    return TRUE;
}

void CDlgFileMultiSel::AdjustFileListHeight(BOOL bShrink)
{
    platform::gtk::GrowByFileList(*this, bShrink);
}
