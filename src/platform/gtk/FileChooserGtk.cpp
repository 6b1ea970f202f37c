#include "platform/gtk/FileChooserGtk.h"

#include <algorithm>
#include <cctype>

#include <gtk/gtk.h>
#include <wx/display.h>
#include <wx/filedlg.h>

namespace platform::gtk {

namespace {

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

using Action = std::function<void()>;

void DeleteAction(gpointer data, GClosure*)
{
    delete static_cast<Action*>(data);
}

// The action runs from the event queue, after the allocation that made the chooser's own size.
void OnFileListAllocated(GtkWidget* list, GdkRectangle* allocation, gpointer data)
{
    if (allocation->height <= 1 || !gtk_widget_get_mapped(gtk_widget_get_toplevel(list)))
        return;
    // Disconnecting deletes the action: keep a copy to run.
    Action action = *static_cast<Action*>(data);
    g_signal_handlers_disconnect_by_func(list, reinterpret_cast<gpointer>(OnFileListAllocated), data);
    action();
}

}  // namespace

std::string CaseFoldedPattern(const std::string& pattern)
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

std::vector<std::string> ChosenPaths(wxFileDialog& chooser)
{
    std::vector<std::string> paths;
    GSList* names = gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(chooser.GetHandle()));
    for (GSList* name = names; name; name = name->next)
        paths.emplace_back(static_cast<const char*>(name->data));
    g_slist_free_full(names, g_free);
    return paths;
}

unsigned long WatchFileListFirstShown(wxFileDialog& chooser, std::function<void()> action)
{
    GtkWidget* list = FindFileList(chooser.GetHandle());
    if (!list)
        return 0;
    return g_signal_connect_data(list, "size-allocate", G_CALLBACK(OnFileListAllocated),
                                 new Action(std::move(action)), DeleteAction, GConnectFlags(0));
}

void StopWatchingFileList(wxFileDialog& chooser, unsigned long watch)
{
    GtkWidget* list = FindFileList(chooser.GetHandle());
    if (list && watch && g_signal_handler_is_connected(list, watch))
        g_signal_handler_disconnect(list, watch);
}

void GrowByFileList(wxFileDialog& chooser, bool shrink)
{
    GtkWidget* list = FindFileList(chooser.GetHandle());
    if (!list)
        return;
    GtkWindow* window = GTK_WINDOW(chooser.GetHandle());
    const int h = gtk_widget_get_allocated_height(list);
    const int d = shrink ? -(h / 2) : h;
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    gtk_window_get_size(window, &width, &height);
    gtk_window_get_position(window, &x, &y);
    // The window manager's frame (a title bar above, borders) takes room too; it is known once
    // the window is framed, which it is by the time the file list has its first size.
    GdkRectangle frame{x, y, width, height};
    if (GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(window)))
        gdk_window_get_frame_extents(gdkWindow, &frame);
    const int frameWidth = std::max(0, frame.width - width);
    const int frameHeight = std::max(0, frame.height - height);

    // The whole chooser, frame and buttons included, stays within the work area: it gets what
    // room there is and moves only as far as needed.
    const int display = wxDisplay::GetFromPoint(wxPoint(frame.x, frame.y));
    const wxRect area = wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea();
    const int newWidth = std::max(1, std::min(width, area.width - frameWidth));
    const int newHeight = std::max(1, std::min(height + d, area.height - frameHeight));
    const int left = std::max(area.x, std::min(frame.x, area.GetRight() + 1 - newWidth - frameWidth));
    const int top = std::max(area.y, std::min(frame.y, area.GetBottom() + 1 - newHeight - frameHeight));
    if (left != frame.x || top != frame.y)
        gtk_window_move(window, left, top);
    gtk_window_resize(window, newWidth, newHeight);
}

}  // namespace platform::gtk
