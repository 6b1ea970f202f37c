// A power-off service for tests: counts the calls and answers with a chosen result.
#pragma once

#include <functional>
#include <string>

#include "platform/PowerOff.h"

namespace platform {

class FakePowerOff : public IPowerOff {
public:
    explicit FakePowerOff(bool result = true) : m_bResult(result) {}

    bool PowerOff() override;

    int Calls() const { return m_nCalls; }
    // `reason` is what a failing call gives as its FailureReason().
    void SetResult(bool result, std::string reason = {})
    {
        m_bResult = result;
        m_strReason = std::move(reason);
    }
    // Runs on every call, before answering (to record the order of events).
    void OnCall(std::function<void()> hook) { m_onCall = std::move(hook); }

private:
    bool m_bResult;
    std::string m_strReason;
    int m_nCalls = 0;
    std::function<void()> m_onCall;
};

}  // namespace platform
