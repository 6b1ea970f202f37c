// Dialog template 100, the About box, and its control ids.
#pragma once

#include "platform/DialogTemplate.h"

namespace res {

constexpr int IDD_ABOUTBOX = 100;
constexpr int IDC_AUTHOR_NAME = 118;
constexpr int IDC_EMAIL_LINK = 1042;
constexpr int IDC_WEB_LINK = 1037;

const platform::DialogTemplate& AboutDialogTemplate();

}  // namespace res
