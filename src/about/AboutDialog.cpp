#include "about/AboutDialog.h"

#include "about/AboutTemplate.h"

CAboutDialog::CAboutDialog() : platform::CDialog(res::AboutDialogTemplate(), nullptr)
{
}

BOOL CAboutDialog::OnInitDialog()
{
    platform::CDialog::OnInitDialog();
    // Attached first, each label takes its template text as target; the real one replaces it.
    m_emailLink.SubclassDlgItem(res::IDC_EMAIL_LINK, this);
    m_emailLink.SetTargetUrl(kEmailUrl);
    m_webLink.SubclassDlgItem(res::IDC_WEB_LINK, this);
    m_webLink.SetTargetUrl(kWebUrl);
    return TRUE;
}
