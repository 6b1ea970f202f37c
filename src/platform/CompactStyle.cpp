#include "platform/CompactStyle.h"

#include <gtk/gtk.h>

namespace platform {

namespace {

constexpr const char* kCss = R"css(
button { padding: 0 4px; min-height: 0; min-width: 0; }
entry { padding: 0 3px; min-height: 0; }
combobox button { padding: 0 4px; min-height: 0; }
checkbutton { padding: 0; min-height: 0; }
checkbutton check { margin: 0 4px 0 0; min-height: 12px; min-width: 12px; }
progressbar trough, progressbar progress { min-height: 6px; }
)css";

}  // namespace

void ApplyCompactStyle()
{
    static bool applied = false;
    GdkScreen* screen = gdk_screen_get_default();
    if (applied || !screen)
        return;
    applied = true;
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

}  // namespace platform
