// CResizableDialog: turns every change of the dialog's client size into one LayoutControls call
// with the change since the last layout, and keeps the window from shrinking below its size
// at initialisation.
#pragma once

#include <wx/gdicmn.h>

#include "platform/Dialog.h"

constexpr unsigned SIZE_RESTORED = 0;
constexpr unsigned SIZE_MINIMIZED = 1;

struct MINMAXINFO {
    wxPoint ptMaxSize;
    wxPoint ptMaxPosition;
    wxPoint ptMinTrackSize;
    wxPoint ptMaxTrackSize;
};

class CResizableDialog : public platform::CDialog {
public:
    CResizableDialog(const platform::DialogTemplate& tmpl, wxWindow* parent);

    BOOL OnInitDialog() override;
    void OnSize(unsigned nType, int cx, int cy);
    void OnGetMinMaxInfo(MINMAXINFO* lpMMI);

    // Shift a child by (dx, dy), keeping its size.
    void MoveControl(int dx, int dy, int id);
    // Move a child's right and bottom edges by (dx, dy), keeping its top-left corner.
    void GrowControl(int dx, int dy, int id);
    void GrowControl(int dx, int dy, wxWindow* window);

    int GetMinWidth() const { return m_nMinWidth; }
    int GetMinHeight() const { return m_nMinHeight; }
    // The client size when OnInitDialog ran: the template's, whatever frame the window gets.
    wxSize GetInitialClientSize() const { return m_szInitialClient; }

protected:
    void DoDataExchange(platform::CDataExchange* pDX) override;
    virtual void LayoutControls(int dx, int dy) = 0;

private:
    void OnSizeEvent(wxSizeEvent& event);

    int m_nMinWidth = 0;
    int m_nMinHeight = 0;
    wxRect m_rcLastClient;
    wxSize m_szInitialClient;
    wxSize m_szFrame;  // the window manager's frame, once known
};
