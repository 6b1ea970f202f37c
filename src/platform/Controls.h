// Thin bindings of the standard controls, as the dialog's exchange attaches them: each holds the
// control's window and speaks in the terms the program's logic uses (indices, UTF-8 text).
#pragma once

#include <string>
#include <vector>

class wxGauge;
class wxListBox;
class wxTextCtrl;
class wxWindow;

namespace platform {

class CProgressCtrl {
public:
    void Attach(wxWindow* window);
    wxGauge* GetWindow() const { return m_gauge; }
    void SetRange(int lower, int upper);
    void SetPos(int pos);
    int GetPos() const;

private:
    wxGauge* m_gauge = nullptr;
    int m_lower = 0;
};

class CEdit {
public:
    void Attach(wxWindow* window);
    wxTextCtrl* GetWindow() const { return m_text; }
    std::string GetWindowText() const;
    void SetWindowText(const std::string& text);
    int GetWindowTextLength() const;
    void SetSel(long start, long end);
    void ScrollCaret();
    void ReplaceSel(const std::string& text);

private:
    wxTextCtrl* m_text = nullptr;
};

class CListBox {
public:
    static constexpr int LB_ERR = -1;

    void Attach(wxWindow* window);
    wxListBox* GetWindow() const { return m_list; }
    int GetCount() const;
    std::string GetText(int index) const;
    int AddString(const std::string& text);
    // Returns the number of entries left, or LB_ERR for a bad index.
    int DeleteString(int index);
    void ResetContent();
    // Whole-string, case-insensitive search from after `startAfter` (-1: the whole list).
    int FindStringExact(int startAfter, const std::string& text) const;
    int GetSelCount() const;
    std::vector<int> GetSelItems() const;
    void SetSel(int index, bool select = true);
    // The width in pixels the list can be scrolled across; the content is made that wide.
    int GetHorizontalExtent() const;
    void SetHorizontalExtent(int extent);
    // Width of `text` in pixels as the list draws it.
    int GetTextWidth(const std::string& text) const;

private:
    wxListBox* m_list = nullptr;
    int m_horizontalExtent = 0;
};

}  // namespace platform
