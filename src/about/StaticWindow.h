// CStaticWindow: a static control drawn by the program, standing in for a template's static text or
// icon when the control needs behaviour of its own. GTK's native statics cannot hold the mouse
// capture (while captured, the moves go to the dialog), which hover tracking needs.
#pragma once

#include <cstdint>
#include <functional>

#include <wx/bmpbndl.h>
#include <wx/window.h>

class CStaticWindow : public wxWindow {
public:
    // `style` holds the Windows static styles (alignment, SS_CENTERIMAGE, SS_ICON, SS_NOTIFY).
    CStaticWindow(wxWindow* parent, int id, const wxRect& rect, uint32_t style);

    void SetLabel(const wxString& label) override;
    wxString GetLabel() const override { return m_strText; }
    // Drawn at the window's display scale, centred.
    void SetBitmap(const wxBitmapBundle& bitmap);
    const wxBitmapBundle& GetBitmap() const { return m_bitmap; }

    uint32_t GetStaticStyle() const { return m_dwStyle; }
    void SetStaticStyle(uint32_t style) { m_dwStyle = style; }

    // Asked for the text colour at every paint, as a classic static asks its owner; the window's
    // foreground colour when none is set.
    void SetColourSource(std::function<wxColour()> source) { m_colourSource = std::move(source); }
    wxColour GetTextColour() const;

    bool AcceptsFocus() const override { return false; }

private:
    void OnPaint(wxPaintEvent& event);

    uint32_t m_dwStyle;
    wxString m_strText;
    wxBitmapBundle m_bitmap;
    std::function<wxColour()> m_colourSource;
};

// Replaces the static control `id` of `parent` by a CStaticWindow at the same place, in the same
// tab position, with the same text or icon, font, visibility and Windows style (the template's,
// when the parent is a template dialog). The native control is destroyed. Returns the control
// unchanged when it already is one; nullptr when the parent has no such child.
CStaticWindow* ReplaceStatic(wxWindow* parent, int id);
