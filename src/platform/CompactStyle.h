// Application-wide CSS that trims GTK's paddings so that controls fit the heights of the
// dialog templates (GTK's preferred heights are taller than the templates' rectangles).
#pragma once

namespace platform {

// Installs the style once for the default screen; later calls do nothing.
void ApplyCompactStyle();

}  // namespace platform
