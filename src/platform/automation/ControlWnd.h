// COleControlWnd: the container's side of a hosted control - its window, created through the
// registry by class id, and the automation object behind it. Wrappers such as CProducerControl2
// derive from it and add one member per property or method.
#pragma once

#include <string>
#include <vector>

#include <wx/weakref.h>
#include <wx/window.h>

#include "platform/automation/Automation.h"

namespace automation {

class COleControlWnd {
public:
    COleControlWnd() = default;
    COleControlWnd(const COleControlWnd&) = delete;
    COleControlWnd& operator=(const COleControlWnd&) = delete;
    virtual ~COleControlWnd();

    // Creates the control registered under clsid as child `id` of parent at rect (parent's client
    // coordinates). The parent's IEventSink, when it has one, receives the control's events.
    // False when no factory is registered or the factory fails; the wrapper then has no window.
    bool CreateControl(const std::string& clsid, const char* windowName, uint32_t style,
                       const wxRect& rect, wxWindow* parent, int id);
    // Destroys the window and releases the automation object. False when there was no window.
    bool DestroyWindow();

    // The control's window, or null before creation, after destruction, or once the parent
    // destroyed it.
    wxWindow* GetSafeHwnd() const;
    IDispatch* GetControlDispatch() const;

    // One call on the control. Skipped (an empty result) when the control has no window.
    Variant InvokeHelper(DISPID dispid, InvokeKind kind, VARTYPE vtRet,
                         const std::vector<Variant>& params = {});

private:
    wxWeakRef<wxWindow> m_window;
    IDispatch* m_dispatch = nullptr;
};

}  // namespace automation
