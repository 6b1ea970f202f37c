// One target of the encoder control: its bitrate (3453) and audio codecs (3456).
#pragma once

#include <memory>

#include "control/ControlSettings.h"
#include "platform/automation/Automation.h"

namespace quenlar::encoder {

class TargetSettingsObject : public automation::CDispatchObject {
public:
    TargetSettingsObject(std::shared_ptr<ControlSettings> settings, int index)
        : m_settings(std::move(settings)), m_index(index) {}

    automation::Variant Invoke(automation::DISPID dispid, automation::InvokeKind kind,
                               const std::vector<automation::Variant>& args) override;

private:
    std::shared_ptr<ControlSettings> m_settings;
    int m_index;
};

}  // namespace quenlar::encoder
