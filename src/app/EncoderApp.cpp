#include "app/EncoderApp.h"

#include <wx/log.h>

#include "app/BatchDialog.h"

namespace {

// Debian's wx has asserts on; its default handler opens a box that would hang an unattended batch.
void LogAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
               const wxString& msg)
{
    wxLogDebug("assert %s:%d in %s: %s %s", file, line, func, cond, msg);
}

}  // namespace

bool CEncoderApp::OnInit()
{
    wxSetAssertHandler(LogAssert);
    SetAppName("Quenlar");
    return true;
}

int CEncoderApp::OnRun()
{
    // The dialog runs its own modal loop; returning from here ends the program with status 0.
    InitInstance();
    return 0;
}

bool CEncoderApp::InitInstance()
{
    // The encoder control registers itself with the control registry when the program loads,
    // so containment needs nothing more here.
    CBatchDialog dlg(nullptr);
    SetTopWindow(&dlg);
    dlg.DoModal();
    SetTopWindow(nullptr);
    return false;
}
