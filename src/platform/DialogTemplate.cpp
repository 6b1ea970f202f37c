#include "platform/DialogTemplate.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

#include "platform/WinDefs.h"

namespace platform {

namespace {

// The templates' "System" font: a sans face with the proportions the templates were laid out in
// (DejaVu's wider glyphs would not fit the labels); fontconfig falls back to any sans face.
constexpr const char* kDialogFontFace = "Liberation Sans";

wxWindowID WxId(int id)
{
    return id == -1 ? wxID_ANY : id;
}

wxString Text(const std::string& text)
{
    return wxString::FromUTF8(text);
}

long BorderStyle(const ControlTemplate& c)
{
    return (c.style & WS_BORDER) ? wxBORDER_SIMPLE : wxBORDER_DEFAULT;
}

wxWindow* CreateButton(wxDialog& dlg, const ControlTemplate& c, const wxRect& r)
{
    const uint32_t type = c.style & BS_TYPEMASK;
    if (type == BS_AUTOCHECKBOX)
        return new wxCheckBox(&dlg, WxId(c.id), Text(c.text), r.GetPosition(), r.GetSize());
    auto* button = new wxButton(&dlg, WxId(c.id), Text(c.text), r.GetPosition(), r.GetSize(),
                                wxBU_EXACTFIT);
    if (type == BS_DEFPUSHBUTTON)
        button->SetDefault();
    return button;
}

wxWindow* CreateStatic(wxDialog& dlg, const DialogTemplate& t, const ControlTemplate& c,
                       const wxRect& r)
{
    if ((c.style & SS_TYPEMASK) == SS_ICON) {
        const wxBitmapBundle icon = t.loadIcon ? t.loadIcon(std::stoi(c.text)) : wxBitmapBundle();
        return new wxStaticBitmap(&dlg, WxId(c.id), icon, r.GetPosition(), r.GetSize());
    }
    long style = wxST_NO_AUTORESIZE;
    switch (c.style & SS_TYPEMASK) {
    case SS_CENTER: style |= wxALIGN_CENTRE_HORIZONTAL; break;
    case SS_RIGHT: style |= wxALIGN_RIGHT; break;
    default: style |= wxALIGN_LEFT; break;
    }
    return new wxStaticText(&dlg, WxId(c.id), Text(c.text), r.GetPosition(), r.GetSize(), style);
}

wxWindow* CreateEdit(wxDialog& dlg, const ControlTemplate& c, const wxRect& r)
{
    long style = BorderStyle(c);
    if (c.style & ES_MULTILINE) {
        style |= wxTE_MULTILINE;
        if (c.style & WS_HSCROLL)
            style |= wxHSCROLL | wxTE_DONTWRAP;
    }
    if (c.style & ES_READONLY)
        style |= wxTE_READONLY;
    if (c.style & ES_RIGHT)
        style |= wxTE_RIGHT;
    if (c.style & ES_NUMBER) {
        return new wxTextCtrl(&dlg, WxId(c.id), Text(c.text), r.GetPosition(), r.GetSize(), style,
                              wxTextValidator(wxFILTER_DIGITS));
    }
    return new wxTextCtrl(&dlg, WxId(c.id), Text(c.text), r.GetPosition(), r.GetSize(), style);
}

wxWindow* CreateListBox(wxDialog& dlg, const ControlTemplate& c, const wxRect& r)
{
    long style = BorderStyle(c);
    if (c.style & LBS_EXTENDEDSEL)
        style |= wxLB_EXTENDED;
    if (c.style & LBS_SORT)
        style |= wxLB_SORT;
    if (c.style & WS_HSCROLL)
        style |= wxLB_HSCROLL;
    return new wxListBox(&dlg, WxId(c.id), r.GetPosition(), r.GetSize(), 0, nullptr, style);
}

wxWindow* CreateControl(wxDialog& dlg, const DialogTemplate& t, const ControlTemplate& c)
{
    // A drop-down list's template height is that of its open list; closed, it is one row.
    const int cy = c.cls == ControlClass::ComboBox ? 12 : c.cy;
    const wxRect r = DialogUnitsToPixels(dlg, c.x, c.y, c.cx, cy);
    switch (c.cls) {
    case ControlClass::Button: return CreateButton(dlg, c, r);
    case ControlClass::Static: return CreateStatic(dlg, t, c, r);
    case ControlClass::Edit: return CreateEdit(dlg, c, r);
    case ControlClass::ListBox: return CreateListBox(dlg, c, r);
    case ControlClass::ComboBox:
        return new wxChoice(&dlg, WxId(c.id), r.GetPosition(), r.GetSize(), 0, nullptr,
                            (c.style & CBS_SORT) ? wxCB_SORT : 0);
    case ControlClass::Progress:
        return new wxGauge(&dlg, WxId(c.id), 100, r.GetPosition(), r.GetSize(),
                           wxGA_HORIZONTAL | wxGA_SMOOTH);
    }
    return nullptr;
}

// GTK's fonts run wider than the template's: a text label or check box whose caption does not fit
// keeps its position and grows to the right rather than wrapping or clipping its caption.
bool NeedsNaturalWidth(const ControlTemplate& c)
{
    if (c.text.empty())
        return false;
    if (c.cls == ControlClass::Static)
        return (c.style & SS_TYPEMASK) == SS_LEFT;
    return c.cls == ControlClass::Button && (c.style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
}

void WidenToNaturalWidth(wxWindow& window)
{
    const wxRect r = window.GetRect();
    const int natural = window.GetBestSize().x;
    if (natural > r.width)
        window.SetSize(r.x, r.y, natural, r.height);
}

}  // namespace

wxRect DialogUnitsToPixels(wxWindow& window, int x, int y, int cx, int cy)
{
    const wxPoint pos = window.ConvertDialogToPixels(wxPoint(x, y));
    const wxSize size = window.ConvertDialogToPixels(wxSize(cx, cy));
    return wxRect(pos, size);
}

long DialogWindowStyle(const DialogTemplate& t)
{
    long style = 0;
    if (t.style & WS_CAPTION)
        style |= wxCAPTION;
    if (t.style & WS_SYSMENU)
        style |= wxSYSTEM_MENU | wxCLOSE_BOX;
    if (t.style & WS_MINIMIZEBOX)
        style |= wxMINIMIZE_BOX;
    return style;
}

void BuildControls(wxDialog& dlg, const DialogTemplate& t)
{
    // The font first: dialog units are measured on it, and children inherit it.
    wxFontInfo info(t.pointSize);
    info.Family(wxFONTFAMILY_SWISS).FaceName(kDialogFontFace);
    dlg.SetFont(wxFont(info));
    dlg.SetClientSize(DialogUnitsToPixels(dlg, 0, 0, t.cx, t.cy).GetSize());

    for (const ControlTemplate& c : t.controls) {
        wxWindow* window = CreateControl(dlg, t, c);
        if (!(c.style & WS_VISIBLE))
            window->Hide();
        if (NeedsNaturalWidth(c))
            WidenToNaturalWidth(*window);
    }
    for (const ComboInitData& data : t.initData) {
        if (auto* choice = dynamic_cast<wxChoice*>(dlg.FindWindow(data.controlId))) {
            for (const std::string& s : data.strings)
                choice->Append(Text(s));
        }
    }
}

}  // namespace platform
