// CAboutIcon: the application icon of the main window as a button that opens the About box.
#pragma once

#include "platform/WinDefs.h"

class wxWindow;

class CAboutIcon {
public:
    // Attaches to the dialog's static control `id`.
    BOOL SubclassDlgItem(int id, wxWindow* parent);

private:
    wxWindow* m_window = nullptr;
};
