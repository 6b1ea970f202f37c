#include "platform/MessageBox.h"

#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/generic/msgdlgg.h>

#include "platform/Paths.h"

namespace platform {

namespace {

MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}

long WxStyle(unsigned type)
{
    long style = (type & MB_TYPEMASK) == MB_YESNO ? wxYES_NO : wxOK;
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP: style |= wxICON_ERROR; break;
    case MB_ICONQUESTION: style |= wxICON_QUESTION; break;
    case MB_ICONINFORMATION: style |= wxICON_INFORMATION; break;
    default: style |= wxICON_EXCLAMATION; break;
    }
    return style;
}

}  // namespace

int AfxMessageBox(const std::string& text, unsigned type)
{
    MessageBoxCall call;
    call.text = text;
    call.caption = GetAppTitle();
    call.type = (type & MB_ICONMASK) ? type : (type | MB_ICONEXCLAMATION);
    if (Hook())
        return Hook()(call);

    wxWindow* owner = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    // GTK 3's own message dialog shows no icon whatever it is asked for; this one shows the
    // theme's warning (or other) image beside the text.
    wxGenericMessageDialog box(owner, wxString::FromUTF8(call.text), wxString::FromUTF8(call.caption),
                               WxStyle(call.type));
    // Without a Cancel button this dialog would take Escape for Yes; Escape means No.
    if ((call.type & MB_TYPEMASK) == MB_YESNO)
        box.SetEscapeId(wxID_NO);
    const int answer = box.ShowModal();
    if ((call.type & MB_TYPEMASK) == MB_YESNO)
        return answer == wxID_YES ? IDYES : IDNO;
    return IDOK;
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook)
{
    MessageBoxHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

}  // namespace platform
