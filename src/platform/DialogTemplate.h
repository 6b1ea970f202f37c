// Dialog templates as data, and the one builder that turns a template into wx controls.
// A template lists its controls in tab order with Windows styles and rectangles in dialog units.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <wx/gdicmn.h>
#include <wx/bmpbndl.h>

class wxDialog;
class wxWindow;

namespace platform {

enum class ControlClass { Button, Static, Edit, ListBox, ComboBox, Progress };

struct ControlTemplate {
    int id;             // -1 for a label without an id
    ControlClass cls;
    std::string text;   // caption; for an SS_ICON static the icon's resource id in decimal
    uint32_t style;
    uint32_t exStyle;
    int x, y, cx, cy;   // dialog units
};

// Strings a combo box receives when the dialog is created, in order.
struct ComboInitData {
    int controlId;
    std::vector<std::string> strings;
};

struct DialogTemplate {
    int id;
    uint32_t style;
    uint32_t exStyle;
    std::string caption;
    int x, y, cx, cy;   // dialog units
    std::string fontFace;
    int pointSize;
    std::vector<ControlTemplate> controls;
    std::vector<ComboInitData> initData;
    wxBitmapBundle (*loadIcon)(int resourceId) = nullptr;  // resolves SS_ICON statics, at any scale
};

// Sets the template's font and client size on `dialog` (already created) and creates every
// control at its rectangle, in template order, then fills the combo boxes from initData.
void BuildControls(wxDialog& dialog, const DialogTemplate& tmpl);

// The wx style flags of the dialog window itself.
long DialogWindowStyle(const DialogTemplate& tmpl);

// A rectangle in dialog units converted with `window`'s own dialog-unit factors.
wxRect DialogUnitsToPixels(wxWindow& window, int x, int y, int cx, int cy);

}  // namespace platform
