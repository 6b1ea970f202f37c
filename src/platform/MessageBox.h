// The application message box, and a hook through which tests see and answer every box.
#pragma once

#include <functional>
#include <string>

#include "platform/WinDefs.h"

namespace platform {

struct MessageBoxCall {
    std::string text;
    std::string caption;
    unsigned type = MB_OK;  // buttons and icon as shown (the exclamation icon already added)
};

using MessageBoxHook = std::function<int(const MessageBoxCall&)>;

// Shows text with the application's title as caption; the exclamation icon unless `type`
// names another. Returns IDOK, IDYES or IDNO.
int AfxMessageBox(const std::string& text, unsigned type = MB_OK);

// Installs a hook that answers boxes instead of showing them; returns the previous hook.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

}  // namespace platform
