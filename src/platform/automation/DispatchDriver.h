// COleDispatchDriver: a typed caller over one dispatch reference, releasing it when asked to.
#pragma once

#include "platform/automation/Automation.h"

namespace automation {

class COleDispatchDriver {
public:
    COleDispatchDriver() = default;
    explicit COleDispatchDriver(IDispatch* dispatch, bool autoRelease = true);
    COleDispatchDriver(COleDispatchDriver&& other) noexcept;
    COleDispatchDriver& operator=(COleDispatchDriver&& other) noexcept;
    COleDispatchDriver(const COleDispatchDriver&) = delete;
    COleDispatchDriver& operator=(const COleDispatchDriver&) = delete;
    virtual ~COleDispatchDriver();

    // Takes over the reference; a reference held before is released first.
    void AttachDispatch(IDispatch* dispatch, bool autoRelease = true);
    IDispatch* DetachDispatch();
    void ReleaseDispatch();

    // One call; the result is converted to vtRet (an object result carries one reference
    // that the caller owns). Throws DispatchException when there is no object or the call fails.
    Variant InvokeHelper(DISPID dispid, InvokeKind kind, VARTYPE vtRet,
                         const std::vector<Variant>& params = {});

    IDispatch* m_lpDispatch = nullptr;
    bool m_bAutoRelease = true;
};

}  // namespace automation
