#include "platform/gtk/WindowAttention.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif
#include <wx/toplevel.h>

namespace platform::gtk {

namespace {

gboolean ClearUrgency(GtkWidget* widget, GdkEvent*, gpointer)
{
    gtk_window_set_urgency_hint(GTK_WINDOW(widget), FALSE);
    g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(ClearUrgency), nullptr);
    return FALSE;
}

}  // namespace

void RequestAttention(wxTopLevelWindow& window)
{
    GtkWidget* widget = window.GetHandle();
    if (!widget || window.IsActive())
        return;
    // wx's own RequestUserAttention yields to pending input first, which a batch handler must not.
    gtk_window_set_urgency_hint(GTK_WINDOW(widget), TRUE);
    g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(ClearUrgency), nullptr);
    g_signal_connect(widget, "focus-in-event", G_CALLBACK(ClearUrgency), nullptr);
}

std::string LaunchStartupId()
{
    // GDK takes the id out of the environment when it opens the display.
#ifdef GDK_WINDOWING_X11
    GdkDisplay* display = gdk_display_get_default();
    if (display && GDK_IS_X11_DISPLAY(display)) {
        if (const gchar* id = gdk_x11_display_get_startup_notification_id(display))
            return id;
    }
#endif
    return {};
}

void AdoptLaunchStartupId(wxTopLevelWindow& window, const std::string& startupId)
{
    if (GtkWidget* widget = window.GetHandle(); widget && !startupId.empty())
        gtk_window_set_startup_id(GTK_WINDOW(widget), startupId.c_str());
}

}  // namespace platform::gtk
