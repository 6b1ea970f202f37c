#include "about/HelpPage.h"

#include <unistd.h>

#include "app/BatchDialog.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/Shell.h"

std::string HelpPagePathFor(const std::string& helpFilePath)
{
    const size_t dot = helpFilePath.find_last_of('.');
    return helpFilePath.substr(0, dot) + ".htm";
}

std::string InstalledHelpPageFor(const std::string& helpFilePath)
{
    const std::string beside = HelpPagePathFor(helpFilePath);
    const size_t slash = beside.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : beside.substr(0, slash);
    return folder + "/../share/quenlar/" + beside.substr(slash == std::string::npos ? 0 : slash + 1);
}

void OpenHelpPage()
{
    // Beside the executable (a build or a portable copy), else where an installation puts it.
    std::string page = HelpPagePathFor(platform::GetHelpFilePath());
    if (access(page.c_str(), F_OK) != 0)
        page = InstalledHelpPageFor(platform::GetHelpFilePath());
    if (access(page.c_str(), F_OK) != 0) {
        platform::AfxMessageBox(kMissingHelpPageMessage, MB_OK);
        return;
    }
    // The desktop gives no say over the window's size or the handler's working folder.
    if (!platform::ShellCode::IsSuccess(platform::Shell().OpenDocument(page)))
        platform::AfxMessageBox(HelpPageNotOpenedMessage(page));
}

void CBatchDialog::OnHelpPage()
{
    OpenHelpPage();
}
