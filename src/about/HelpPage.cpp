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

void OpenHelpPage()
{
    const std::string page = HelpPagePathFor(platform::GetHelpFilePath());
    if (access(page.c_str(), F_OK) != 0) {
        platform::AfxMessageBox(kMissingHelpPageMessage, MB_OK);
        return;
    }
    // The desktop gives no say over the window's size or the handler's working folder.
    platform::Shell().OpenDocument(page);
}

void CBatchDialog::OnHelpPage()
{
    OpenHelpPage();
}
