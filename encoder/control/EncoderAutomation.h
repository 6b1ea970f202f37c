// The encoder control's automation object: stores what the set-up writes and drives the window.
#pragma once

#include <memory>

#include <wx/weakref.h>

#include "control/ControlSettings.h"
#include "control/EncoderControlWindow.h"
#include "platform/automation/Automation.h"

namespace quenlar::encoder {

// UI thread only. Outlives its window when the container holds it longer: then it reports
// "not encoding" and starts nothing.
class EncoderAutomation : public automation::CDispatchObject {
public:
    EncoderAutomation(std::shared_ptr<ControlSettings> settings, EncoderControlWindow* window)
        : m_settings(std::move(settings)), m_window(window) {}

    automation::Variant Invoke(automation::DISPID dispid, automation::InvokeKind kind,
                               const std::vector<automation::Variant>& args) override;

private:
    automation::Variant Property(automation::DISPID dispid, automation::InvokeKind kind,
                                 const std::vector<automation::Variant>& args);

    std::shared_ptr<ControlSettings> m_settings;
    wxWeakRef<EncoderControlWindow> m_window;
};

}  // namespace quenlar::encoder
