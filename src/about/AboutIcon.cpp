#include "about/AboutIcon.h"

#include <wx/window.h>

BOOL CAboutIcon::SubclassDlgItem(int id, wxWindow* parent)
{
    m_window = parent->FindWindow(id);
    return m_window != nullptr;
}
