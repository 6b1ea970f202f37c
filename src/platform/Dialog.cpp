#include "platform/Dialog.h"

#include <wx/app.h>
#include <wx/button.h>

#include "platform/CompactStyle.h"
#include "platform/automation/Automation.h"

namespace platform {

namespace {

// A posted private message; the event's int holds the message, its extra long the wParam.
wxDEFINE_EVENT(EVT_POSTED_MESSAGE, wxCommandEvent);

}  // namespace

CDialog::CDialog(const DialogTemplate& tmpl, wxWindow* parent)
    : m_template(tmpl), m_parent(parent)
{
}

bool CDialog::Create()
{
    ApplyCompactStyle();
    if (!wxDialog::Create(m_parent, m_template.id, wxString::FromUTF8(m_template.caption),
                          wxDefaultPosition, wxDefaultSize, DialogWindowStyle(m_template)))
        return false;
    // Escape and Enter are routed by OnCharHook; wx's own fallbacks would press Start.
    SetEscapeId(wxID_NONE);
    SetAffirmativeId(wxID_NONE);
    BuildControls(*this, m_template);

    Bind(wxEVT_CHAR_HOOK, &CDialog::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &CDialog::OnClose, this);
    Bind(wxEVT_BUTTON, &CDialog::OnOKButton, this, IDOK);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCancel(); }, IDCANCEL);
    Bind(wxEVT_TIMER, &CDialog::OnTimerEvent, this);
    Bind(EVT_POSTED_MESSAGE, [this](wxCommandEvent& e) {
        OnPostedMessage(static_cast<unsigned>(e.GetInt()), e.GetExtraLong(),
                        reinterpret_cast<long>(e.GetClientData()));
    });

    // TRUE from OnInitDialog: the dialog manager focuses the first tab stop in template order.
    // GTK on its own would pick the top-left focusable control, which may be another button
    // that Enter would then press.
    if (OnInitDialog())
        FocusFirstTabStop();
    // A template at (0, 0) without an alignment style is centred by the dialog manager.
    Centre();
    return true;
}

void CDialog::FocusFirstTabStop()
{
    for (const ControlTemplate& control : m_template.controls) {
        if (!(control.style & WS_TABSTOP) || control.id == -1)
            continue;
        if (wxWindow* window = FindWindow(control.id); window && window->IsEnabled()) {
            window->SetFocus();
            return;
        }
    }
}

int CDialog::DoModal()
{
    if (!GetHandle() && !Create())
        return -1;
    ShowModal();
    return m_nResult;
}

void CDialog::EndDialog(int result)
{
    m_nResult = result;
    if (IsModal())
        EndModal(result);
    else
        Hide();
}

bool CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate != FALSE);
    try {
        DoDataExchange(&dx);
    } catch (const DataExchangeFailure&) {
        return false;
    }
    return true;
}

wxWindow* CDialog::GetDlgItem(int id) const
{
    return FindWindow(id);
}

bool CDialog::ProcessEvent(wxEvent& event)
{
    // The class library's message dispatch: a failing automation call ends the handler and
    // is shown; the program goes on. Covers input, timers and posted events alike.
    try {
        return wxDialog::ProcessEvent(event);
    } catch (const automation::DispatchException& e) {
        e.ReportError();
        return true;
    }
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*)
{
}

unsigned CDialog::SetTimer(unsigned id, unsigned milliseconds)
{
    auto& timer = m_timers[id];
    if (!timer)
        timer = std::make_unique<wxTimer>(this, static_cast<int>(id));
    return timer->Start(static_cast<int>(milliseconds)) ? id : 0;
}

bool CDialog::KillTimer(unsigned id)
{
    auto it = m_timers.find(id);
    if (it == m_timers.end() || !it->second->IsRunning())
        return false;
    it->second->Stop();
    return true;
}

bool CDialog::IsTimerRunning(unsigned id) const
{
    auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->IsRunning();
}

void CDialog::PostMessage(unsigned message, long wParam, long lParam)
{
    auto* event = new wxCommandEvent(EVT_POSTED_MESSAGE);
    event->SetInt(static_cast<int>(message));
    event->SetExtraLong(wParam);
    event->SetClientData(reinterpret_cast<void*>(lParam));
    wxQueueEvent(this, event);
}

void CDialog::OnTimer(unsigned)
{
}

long CDialog::OnPostedMessage(unsigned, long, long)
{
    return 0;
}

void CDialog::OnTimerEvent(wxTimerEvent& event)
{
    OnTimer(static_cast<unsigned>(event.GetId()));
}

void CDialog::OnCharHook(wxKeyEvent& event)
{
    switch (event.GetKeyCode()) {
    case WXK_ESCAPE:
        OnCancel();
        return;
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER: {
        // A focused push button takes Enter itself, as in any dialog; elsewhere it is OK.
        auto* button = dynamic_cast<wxButton*>(FindFocus());
        if (button && button->GetId() != IDOK)
            break;
        OnOK();
        return;
    }
    default:
        break;
    }
    event.Skip();
}

void CDialog::OnClose(wxCloseEvent& event)
{
    if (!event.CanVeto()) {
        event.Skip();
        return;
    }
    event.Veto();
    OnCancel();
}

void CDialog::OnOKButton(wxCommandEvent&)
{
    OnOK();
}

}  // namespace platform
