#include "about/StaticWindow.h"

#include <wx/dcclient.h>
#include <wx/statbmp.h>

#include "platform/Dialog.h"
#include "platform/WinDefs.h"

CStaticWindow::CStaticWindow(wxWindow* parent, int id, const wxRect& rect, uint32_t style)
    : m_dwStyle(style)
{
    // Nothing is painted behind the text or icon, so the dialog shows through (a hollow brush).
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Create(parent, id, rect.GetPosition(), rect.GetSize(), wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE);
    Bind(wxEVT_PAINT, &CStaticWindow::OnPaint, this);
}

void CStaticWindow::SetLabel(const wxString& label)
{
    m_strText = label;
    Refresh();
}

void CStaticWindow::SetBitmap(const wxBitmapBundle& bitmap)
{
    m_bitmap = bitmap;
    Refresh();
}

wxColour CStaticWindow::GetTextColour() const
{
    return m_colourSource ? m_colourSource() : GetForegroundColour();
}

void CStaticWindow::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    const wxRect client(GetClientSize());
    if ((m_dwStyle & SS_TYPEMASK) == SS_ICON) {
        if (!m_bitmap.IsOk())
            return;
        // The bitmap for the display's scale, placed by its size in the window's own units:
        // centred by its pixels, a scaled display would show only its lower-right part.
        wxBitmap bitmap = m_bitmap.GetBitmapFor(this);
        bitmap.SetScaleFactor(GetContentScaleFactor());
        const wxSize size = bitmap.GetLogicalSize();
        dc.DrawBitmap(bitmap, (client.width - size.x) / 2, (client.height - size.y) / 2, true);
        return;
    }
    int alignment = (m_dwStyle & SS_CENTERIMAGE) ? wxALIGN_CENTRE_VERTICAL : wxALIGN_TOP;
    switch (m_dwStyle & SS_TYPEMASK) {
    case SS_CENTER: alignment |= wxALIGN_CENTRE_HORIZONTAL; break;
    case SS_RIGHT: alignment |= wxALIGN_RIGHT; break;
    default: alignment |= wxALIGN_LEFT; break;
    }
    dc.SetFont(GetFont());
    dc.SetTextForeground(GetTextColour());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.DrawLabel(m_strText, client, alignment);
}

namespace {

// The Windows static style of a native control, for parents that are not template dialogs.
uint32_t StyleOfNative(wxWindow* control)
{
    if (dynamic_cast<wxStaticBitmap*>(control))
        return WS_CHILD | WS_VISIBLE | SS_ICON;
    const long style = control->GetWindowStyle();
    uint32_t result = WS_CHILD | WS_VISIBLE;
    if (style & wxALIGN_RIGHT)
        result |= SS_RIGHT;
    else if (style & wxALIGN_CENTRE_HORIZONTAL)
        result |= SS_CENTER;
    return result;
}

// The icon of a native static: the template's own (every scale of it) when there is one.
wxBitmapBundle IconOf(wxWindow* parent, const platform::ControlTemplate* tmpl, wxStaticBitmap& native)
{
    if (auto* dialog = dynamic_cast<platform::CDialog*>(parent); dialog && tmpl && dialog->GetTemplate().loadIcon)
        return dialog->GetTemplate().loadIcon(std::stoi(tmpl->text));
    return wxBitmapBundle(native.GetBitmap());
}

const platform::ControlTemplate* TemplateOf(wxWindow* parent, int id)
{
    if (auto* dialog = dynamic_cast<platform::CDialog*>(parent)) {
        for (const platform::ControlTemplate& c : dialog->GetTemplate().controls) {
            if (c.id == id && c.cls == platform::ControlClass::Static)
                return &c;
        }
    }
    return nullptr;
}

}  // namespace

CStaticWindow* ReplaceStatic(wxWindow* parent, int id)
{
    wxWindow* native = parent ? parent->FindWindow(id) : nullptr;
    if (!native)
        return nullptr;
    if (auto* own = dynamic_cast<CStaticWindow*>(native))
        return own;

    // GTK widens a native label to its text's minimum, so the template's size is the true one;
    // the position is the native's, which may have been laid out since.
    const platform::ControlTemplate* tmpl = TemplateOf(parent, id);
    wxRect rect = native->GetRect();
    if (tmpl)
        rect.SetSize(platform::DialogUnitsToPixels(*parent, 0, 0, tmpl->cx, tmpl->cy).GetSize());
    auto* own = new CStaticWindow(parent, id, rect, tmpl ? tmpl->style : StyleOfNative(native));
    own->SetFont(native->GetFont());
    if (auto* bitmap = dynamic_cast<wxStaticBitmap*>(native))
        own->SetBitmap(IconOf(parent, tmpl, *bitmap));
    else
        own->SetLabel(native->GetLabel());
    own->Show(native->IsShown());
    own->MoveAfterInTabOrder(native);
    native->Destroy();
    return own;
}
