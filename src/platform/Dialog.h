// CDialog: a dialog built from a template, with the class library's dialog behaviour -
// OnInitDialog, data exchange, Enter as OK, Escape and the close box as Cancel, and failing
// automation calls in any handler reported in a box instead of ending the program.
#pragma once

#include <map>
#include <memory>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "platform/DataExchange.h"
#include "platform/DialogTemplate.h"
#include "platform/WinDefs.h"

namespace platform {

constexpr unsigned WM_USER = 0x0400;

class CDialog : public wxDialog {
public:
    CDialog(const DialogTemplate& tmpl, wxWindow* parent);

    // Creates the window and its controls and runs OnInitDialog, then centres the window.
    // DoModal does this itself; tests call it to drive a dialog without a modal loop.
    bool Create();
    // Runs the dialog modally; returns what EndDialog was given.
    int DoModal();
    // Ends the modal loop, or hides a dialog that runs without one.
    void EndDialog(int result);
    int GetResult() const { return m_nResult; }

    // FALSE: fields to controls; TRUE: controls to fields. False when a field failed.
    bool UpdateData(BOOL bSaveAndValidate = TRUE);

    wxWindow* GetDlgItem(int id) const;
    const DialogTemplate& GetTemplate() const { return m_template; }

    bool ProcessEvent(wxEvent& event) override;

    // A periodic timer on this dialog; OnTimer receives its id. Returns the id (0 on failure).
    unsigned SetTimer(unsigned id, unsigned milliseconds);
    bool KillTimer(unsigned id);
    bool IsTimerRunning(unsigned id) const;

    // Queues a private message for OnPostedMessage, handled after the current handler returns.
    void PostMessage(unsigned message, long wParam = 0, long lParam = 0);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnTimer(unsigned id);
    virtual long OnPostedMessage(unsigned message, long wParam, long lParam);

private:
    void OnCharHook(wxKeyEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnOKButton(wxCommandEvent& event);

    void OnTimerEvent(wxTimerEvent& event);
    void FocusFirstTabStop();

    const DialogTemplate& m_template;
    std::map<unsigned, std::unique_ptr<wxTimer>> m_timers;
    wxWindow* m_parent;
    int m_nResult = 0;
};

}  // namespace platform
