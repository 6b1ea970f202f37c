#include "platform/automation/ControlWnd.h"

#include <utility>

#include "platform/WinDefs.h"
#include "platform/automation/ControlRegistry.h"

namespace automation {

COleControlWnd::~COleControlWnd()
{
    DestroyWindow();
}

bool COleControlWnd::CreateControl(const std::string& clsid, const char* /*windowName*/,
                                   uint32_t style, const wxRect& rect, wxWindow* parent, int id)
{
    DestroyWindow();
    ControlCreateParams params;
    params.parent = parent;
    params.id = id;
    params.rect = rect;
    params.visible = (style & WS_VISIBLE) != 0;
    params.sink = dynamic_cast<IEventSink*>(parent);
    ControlInstance instance = ControlRegistry::Instance().Create(clsid, params);
    if (!instance.window) {
        if (instance.dispatch)
            instance.dispatch->Release();
        return false;
    }
    m_window = instance.window;
    m_dispatch = instance.dispatch;
    return true;
}

bool COleControlWnd::DestroyWindow()
{
    wxWindow* window = m_window.get();
    m_window = nullptr;
    // Deleted at once rather than at idle time: the next file's control takes the same id, and
    // the control stops its work before its automation object goes.
    delete window;
    if (IDispatch* dispatch = std::exchange(m_dispatch, nullptr))
        dispatch->Release();
    return window != nullptr;
}

wxWindow* COleControlWnd::GetSafeHwnd() const
{
    return m_window.get();
}

IDispatch* COleControlWnd::GetControlDispatch() const
{
    return m_window ? m_dispatch : nullptr;
}

Variant COleControlWnd::InvokeHelper(DISPID dispid, InvokeKind kind, VARTYPE vtRet,
                                     const std::vector<Variant>& params)
{
    IDispatch* dispatch = GetControlDispatch();
    if (!dispatch)
        return Variant();
    return CoerceResult(dispatch->Invoke(dispid, kind, params), vtRet);
}

}  // namespace automation
