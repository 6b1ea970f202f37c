#include "app/EncoderApp.h"

#include <filesystem>
#include <system_error>

#include <wx/log.h>

#include "app/BatchDialog.h"
#include "platform/MessageBox.h"
#include "platform/TerminationSignals.h"
#include "platform/Utf8.h"
#include "platform/gtk/WindowAttention.h"
#include "sources/SettingsStore.h"

namespace {

// Debian's wx has asserts on; its default handler opens a box that would hang an unattended batch.
void LogAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
               const wxString& msg)
{
    wxLogDebug("assert %s:%d in %s: %s %s", file, line, func, cond, msg);
}

// Another program holds the settings file and could not be reached (no session bus, or another
// one): two would overwrite each other's queue.
std::string AlreadyRunningText(const std::string& settings, const std::vector<std::string>& files)
{
    std::string text = "Quenlar did not start: another Quenlar is working with its settings file\n" + settings +
                       "\nand could not be asked to take over. Two of them would overwrite each other's queue.";
    if (!files.empty()) {
        text += "\n\nNot queued:";
        for (const std::string& file : files)
            text += "\n" + platform::ValidUtf8(file);
    }
    return text;
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
    const std::vector<std::string> files = CommandLineFiles();
    BuildProfilePaths();
    m_instance = std::make_unique<platform::SingleInstance>(g_szIniPath);
    switch (m_instance->Claim(files, platform::gtk::LaunchStartupId())) {
    case platform::SingleInstance::Outcome::HandedOver:
        return 0;
    case platform::SingleInstance::Outcome::Busy:
        platform::AfxMessageBox(AlreadyRunningText(g_szIniPath, files));
        return 1;
    case platform::SingleInstance::Outcome::First:
        break;
    }
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
    dlg.ServeInstance(std::move(m_instance));
    SetTopWindow(&dlg);
    // A logout, a shutdown or a kill closes the program as Yes on the exit question would.
    platform::ScopedTerminationSignals signals([&dlg](int) { dlg.OnTerminationSignal(); });
    dlg.DoModal();
    SetTopWindow(nullptr);
    return false;
}
