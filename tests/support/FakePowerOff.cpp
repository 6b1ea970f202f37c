#include "support/FakePowerOff.h"

namespace platform {

bool FakePowerOff::PowerOff()
{
    ++m_nCalls;
    if (m_onCall)
        m_onCall();
    m_strFailureReason = m_bResult ? std::string() : m_strReason;
    return m_bResult;
}

}  // namespace platform
