#include "platform/automation/DispatchDriver.h"

#include <utility>

namespace automation {

COleDispatchDriver::COleDispatchDriver(IDispatch* dispatch, bool autoRelease)
    : m_lpDispatch(dispatch), m_bAutoRelease(autoRelease)
{
}

COleDispatchDriver::COleDispatchDriver(COleDispatchDriver&& other) noexcept
    : m_lpDispatch(std::exchange(other.m_lpDispatch, nullptr)), m_bAutoRelease(other.m_bAutoRelease)
{
}

COleDispatchDriver& COleDispatchDriver::operator=(COleDispatchDriver&& other) noexcept
{
    if (this != &other) {
        ReleaseDispatch();
        m_lpDispatch = std::exchange(other.m_lpDispatch, nullptr);
        m_bAutoRelease = other.m_bAutoRelease;
    }
    return *this;
}

COleDispatchDriver::~COleDispatchDriver()
{
    ReleaseDispatch();
}

void COleDispatchDriver::AttachDispatch(IDispatch* dispatch, bool autoRelease)
{
    ReleaseDispatch();
    m_lpDispatch = dispatch;
    m_bAutoRelease = autoRelease;
}

IDispatch* COleDispatchDriver::DetachDispatch()
{
    return std::exchange(m_lpDispatch, nullptr);
}

void COleDispatchDriver::ReleaseDispatch()
{
    IDispatch* dispatch = std::exchange(m_lpDispatch, nullptr);
    if (dispatch && m_bAutoRelease)
        dispatch->Release();
}

Variant COleDispatchDriver::InvokeHelper(DISPID dispid, InvokeKind kind, VARTYPE vtRet,
                                         const std::vector<Variant>& params)
{
    if (!m_lpDispatch)
        throw DispatchException("No automation object is attached.");
    return CoerceResult(m_lpDispatch->Invoke(dispid, kind, params), vtRet);
}

}  // namespace automation
