// What the set-up wrote into the encoder control, shared by the control's automation objects
// and its window. UI thread only.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "engine/EncodeSettings.h"
#include "platform/automation/Automation.h"

namespace quenlar::encoder {

// The control's own choices when the set-up gives none; the set-up never names a video codec.
constexpr float kDefaultBitrateKbps = 500.0f;
constexpr VideoCodec kVideoCodec = kDefaultVideoCodec;

// The target whose bitrate and audio codec the encode uses, and the codec slot in it.
constexpr int kUsedTargetIndex = 5;
constexpr std::pair<int, int> kUsedCodecSlot = {1, 3};

struct TargetSettingsData {
    float bitrateKbps = kDefaultBitrateKbps;
    std::map<std::pair<int, int>, int> codecRows;  // (index, index) -> row of the codec list
};

struct ControlSettings {
    std::map<automation::DISPID, automation::Variant> properties;
    std::map<int, TargetSettingsData> targets;

    void Reset()
    {
        properties.clear();
        targets.clear();
    }

    std::string String(automation::DISPID dispid) const;
    bool Bool(automation::DISPID dispid) const;

    // What the engine is asked to do, from the properties the control uses.
    EncodeSettings ToEncodeSettings() const;
};

}  // namespace quenlar::encoder
