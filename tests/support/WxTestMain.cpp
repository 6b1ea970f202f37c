// Test entry point: starts wxWidgets when a display is there, so that window tests can build
// real dialogs; pure tests run either way. Asserts of the toolkit fail the running test.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>

#include <cstdio>
#include <cstdlib>

#include "support/DisplayProbe.h"
#include "support/PrivateBus.h"
#include "support/WxTestEnvironment.h"

namespace {

bool g_haveDisplay = false;

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_str(), line)
        << "wx assert in " << func.utf8_str() << ": " << cond.utf8_str() << " " << msg.utf8_str();
}

}  // namespace

bool HaveDisplay()
{
    return g_haveDisplay;
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // No test reaches the machine's own buses; those that need a bus start a PrivateBus.
    setenv("DBUS_SYSTEM_BUS_ADDRESS", kNoBusAddress, 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", kNoBusAddress, 1);
    wxApp::SetInstance(new wxApp);
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    {
        const DisplayProbe probe;
        g_haveDisplay = probe.Answered() && wxEntryStart(wxArgc, wxArgv);
        if (probe.Answered() && !g_haveDisplay)
            std::fprintf(stderr, "the toolkit did not start on display %s\n", std::getenv("DISPLAY"));
    }
    if (g_haveDisplay)
        wxTheApp->CallOnInit();
    wxSetAssertHandler(FailOnAssert);
    const int result = RUN_ALL_TESTS();
    if (g_haveDisplay)
        wxEntryCleanup();
    return result;
}
