// CAboutDialog: the modal About box on template 100, with its e-mail and web links.
#pragma once

#include "about/LinkLabel.h"
#include "platform/Dialog.h"

class CAboutDialog : public platform::CDialog {
public:
    // The targets of the two links.
    static constexpr const char* kEmailUrl = "mailto:quenlar@example.org";
    static constexpr const char* kWebUrl = "https://quenlar.example.org/";

    // No explicit parent: while it runs modally, the main window is its owner.
    CAboutDialog();

    BOOL OnInitDialog() override;

    CLinkLabel m_emailLink;
    CLinkLabel m_webLink;
};
