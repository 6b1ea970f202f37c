// Dialog template 100: the About box.
#include "about/AboutTemplate.h"

#include "platform/WinDefs.h"
#include "res/Resources.h"

namespace res {

namespace {

constexpr uint32_t kLabel = WS_CHILD | WS_VISIBLE | WS_GROUP;

}  // namespace

const platform::DialogTemplate& AboutDialogTemplate()
{
    using platform::ControlClass;
    static const platform::DialogTemplate tmpl = {
        IDD_ABOUTBOX,
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
        0,
        "About Quenlar",
        0, 0, 193, 95,
        "System", 10,
        {
            {IDOK, ControlClass::Button, "OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0,
             152, 34, 32, 14},
            {-1, ControlClass::Static, "Copyright (C) 2002", kLabel | SS_LEFT, 0, 7, 23, 80, 8},
            {-1, ControlClass::Static, "Author:", kLabel | SS_RIGHT, 0, 42, 34, 24, 8},
            {IDC_AUTHOR_NAME, ControlClass::Static, "Quenlar", kLabel | SS_LEFT, 0, 68, 34, 27, 8},
            {-1, ControlClass::Static, "Email:", kLabel | SS_RIGHT, 0, 42, 42, 24, 8},
            {IDC_EMAIL_LINK, ControlClass::Static, "quenlar@example.org", kLabel | SS_LEFT, 0, 68, 42, 72, 8},
            {-1, ControlClass::Static, "Visit my site for update:", kLabel | SS_RIGHT, 0, 7, 80, 77, 8},
            {IDC_WEB_LINK, ControlClass::Static, "quenlar.example.org", kLabel | SS_LEFT, 0, 86, 80, 88, 8},
            {-1, ControlClass::Static,
             "Free to use and to copy. Give it away only\n"
             "whole and unchanged; never sell it. There\n"
             "is no warranty: use it at your own risk.",
             kLabel | SS_LEFT, 0, 43, 54, 148, 24},
            {-1, ControlClass::Static, "Quenlar Batch Video Tools\nQuenlar for Win9x/NT Version 1.03",
             kLabel | SS_LEFT, 0, 7, 7, 164, 17},
            {-1, ControlClass::Static, "128", WS_CHILD | WS_VISIBLE | SS_ICON, 0, 16, 50, 20, 20},
        },
        {},
        &LoadIconBundle,
    };
    return tmpl;
}

}  // namespace res
