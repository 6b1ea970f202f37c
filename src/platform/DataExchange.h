// Data exchange between a dialog's controls and its fields (UpdateData over DoDataExchange).
#pragma once

#include <string>

#include "platform/WinDefs.h"

class wxWindow;

namespace platform {

class CProgressCtrl;
class CEdit;
class CListBox;

class CDataExchange {
public:
    CDataExchange(wxWindow* dialog, bool saveAndValidate);

    const bool m_bSaveAndValidate;  // true: controls to fields
    wxWindow* const m_pDlgWnd;

    // The dialog's child with that id; remembered as the control to focus on failure.
    wxWindow* PrepareCtrl(int id);
    // Puts the focus on the last prepared control and abandons the exchange.
    [[noreturn]] void Fail();

private:
    wxWindow* m_lastControl = nullptr;
};

// Thrown by CDataExchange::Fail; UpdateData catches it and returns false.
struct DataExchangeFailure {};

// The message the class library shows when an integer field holds no integer.
extern const char* const kParseIntMessage;

void DDX_Control(CDataExchange* pDX, int id, CProgressCtrl& control);
void DDX_Control(CDataExchange* pDX, int id, CEdit& control);
void DDX_Control(CDataExchange* pDX, int id, CListBox& control);
void DDX_Text(CDataExchange* pDX, int id, int& value);
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
void DDX_Check(CDataExchange* pDX, int id, BOOL& value);
void DDX_CBIndex(CDataExchange* pDX, int id, int& index);

// Parses an integer field as the class library does: blanks around an optionally signed
// decimal number, nothing else. False when the text holds no such number or it overflows.
bool ParseIntField(const std::string& text, int& value);

}  // namespace platform
