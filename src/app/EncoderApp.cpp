#include "app/EncoderApp.h"

#include <filesystem>
#include <system_error>

#include <wx/log.h>

#include "app/BatchDialog.h"
#include "platform/TerminationSignals.h"

namespace {

// Debian's wx has asserts on; its default handler opens a box that would hang an unattended batch.
void LogAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
               const wxString& msg)
{
    wxLogDebug("assert %s:%d in %s: %s %s", file, line, func, cond, msg);
}

}  // namespace

std::vector<std::string> CEncoderApp::CommandLineFiles() const
{
    // The desktop's "Open with" (Exec=Quenlar %F) is the one command line the program reads; the
    // toolkit has taken its own options out already.
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        // The name's own bytes: the toolkit keeps them even where they are not UTF-8.
        const std::string name(argv[i].fn_str());
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(name, error);
        files.push_back(error ? name : absolute.lexically_normal().string());
    }
    return files;
}

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
    dlg.SetStartupFiles(CommandLineFiles());
    SetTopWindow(&dlg);
    // A logout, a shutdown or a kill closes the program as Yes on the exit question would.
    platform::ScopedTerminationSignals signals([&dlg](int) { dlg.OnTerminationSignal(); });
    dlg.DoModal();
    SetTopWindow(nullptr);
    return false;
}
