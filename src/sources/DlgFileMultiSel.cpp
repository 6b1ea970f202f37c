#include "sources/DlgFileMultiSel.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include <wx/display.h>
#include <wx/filename.h>

#if defined(__WXGTK__)
#include <gtk/gtk.h>
#endif

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

#if defined(__WXGTK__)

// GTK's patterns are case-sensitive where Windows' are not: "*.dat" becomes "*.[dD][aA][tT]".
// "*.*" would hide names without a dot, which Windows shows.
std::string PatternForChooser(const std::string& pattern)
{
    if (pattern == "*.*")
        return "*";
    std::string folded;
    bool inBrackets = false;
    for (const char c : pattern) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '[')
            inBrackets = true;
        else if (c == ']')
            inBrackets = false;
        if (!inBrackets && std::isalpha(u) && u < 0x80) {
            folded += '[';
            folded += static_cast<char>(std::tolower(u));
            folded += static_cast<char>(std::toupper(u));
            folded += ']';
        } else {
            folded += c;
        }
    }
    return folded;
}

// The open chooser has no name field; an initial name would be taken for a file to select.
wxString InitialName(BOOL bOpenFileDialog, const char* fileName)
{
    return bOpenFileDialog || !fileName ? wxString() : wxString::FromUTF8(fileName);
}

// The chooser's file list: its only tree view.
GtkWidget* FindFileList(GtkWidget* widget)
{
    if (!widget)
        return nullptr;
    if (GTK_IS_TREE_VIEW(widget))
        return widget;
    if (!GTK_IS_CONTAINER(widget))
        return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    GtkWidget* found = nullptr;
    for (GList* child = children; child && !found; child = child->next)
        found = FindFileList(GTK_WIDGET(child->data));
    g_list_free(children);
    return found;
}

// The chooser sizes itself when it is mapped and overrides a resize made from inside an
// allocation, so the list is adjusted after its first allocation on screen, from the event
// queue (which drops the call if the dialog is gone by then).
void OnFileListAllocated(GtkWidget* list, GdkRectangle* allocation, gpointer data)
{
    if (allocation->height <= 1 || !gtk_widget_get_mapped(gtk_widget_get_toplevel(list)))
        return;
    auto* dialog = static_cast<CDlgFileMultiSel*>(data);
    g_signal_handlers_disconnect_by_func(list, reinterpret_cast<gpointer>(OnFileListAllocated), data);
    dialog->CallAfter([dialog] { dialog->AdjustFileListHeight(FALSE); });
}

#else

std::string PatternForChooser(const std::string& pattern)
{
    return pattern;
}

wxString InitialName(BOOL, const char* fileName)
{
    return fileName ? wxString::FromUTF8(fileName) : wxString();
}

#endif

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
            patterns += (patterns.empty() ? "" : ";") + PatternForChooser(pattern);
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
#if defined(__WXGTK__)
    GtkWidget* list = FindFileList(m_widget);
    if (list && m_allocationHandler && g_signal_handler_is_connected(list, m_allocationHandler))
        g_signal_handler_disconnect(list, m_allocationHandler);
#endif
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
    std::vector<std::string> paths;
#if defined(__WXGTK__)
    // The names as bytes: the toolkit's strings turn a name that is not UTF-8 into another name.
    GSList* names = gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(chooser.GetHandle()));
    for (GSList* name = names; name; name = name->next)
        paths.emplace_back(static_cast<const char*>(name->data));
    g_slist_free_full(names, g_free);
#else
    wxArrayString chosen;
    if (chooser.HasFlag(wxFD_MULTIPLE))
        chooser.GetPaths(chosen);
    else
        chosen.Add(chooser.GetPath());
    for (const wxString& path : chosen)
        paths.push_back(path.utf8_string());
#endif
    choice = ChoiceFromPaths(paths);
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
#if defined(__WXGTK__)
    if (GtkWidget* list = FindFileList(m_widget); list && !m_allocationHandler) {
        m_allocationHandler =
            g_signal_connect(list, "size-allocate", G_CALLBACK(OnFileListAllocated), this);
    }
#endif
    return TRUE;
}

void CDlgFileMultiSel::AdjustFileListHeight(BOOL bShrink)
{
#if defined(__WXGTK__)
    GtkWidget* list = FindFileList(m_widget);
    if (!list)
        return;
    GtkWindow* window = GTK_WINDOW(m_widget);
    const int h = gtk_widget_get_allocated_height(list);
    const int d = bShrink ? -(h / 2) : h;
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    gtk_window_get_size(window, &width, &height);
    gtk_window_get_position(window, &x, &y);

    // Growing past the screen would hide the chooser's buttons: take what room there is,
    // moving up only as far as needed.
    const int display = wxDisplay::GetFromPoint(wxPoint(x, y));
    const wxRect area = wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea();
    const int newHeight = std::max(1, std::min(height + d, std::max(height, area.height)));
    if (y + newHeight > area.GetBottom() + 1)
        gtk_window_move(window, x, std::max(area.y, area.GetBottom() + 1 - newHeight));
    gtk_window_resize(window, width, newHeight);
#else
    (void)bShrink;  // other choosers size their list themselves
#endif
}
