#include "control/ControlSettings.h"

#include <algorithm>
#include <cmath>

#include "common/AudioRows.h"
#include "common/EncoderContract.h"

namespace quenlar::encoder {

std::string ControlSettings::String(automation::DISPID dispid) const
{
    auto found = properties.find(dispid);
    return found != properties.end() && found->second.vt == automation::VT_BSTR ? found->second.bstrVal
                                                                              : std::string();
}

bool ControlSettings::Bool(automation::DISPID dispid) const
{
    auto found = properties.find(dispid);
    return found != properties.end() && found->second.vt == automation::VT_BOOL &&
           found->second.boolVal != automation::VARIANT_FALSE;
}

EncodeSettings ControlSettings::ToEncodeSettings() const
{
    EncodeSettings settings;
    settings.inputPath = String(dispid::kInputFile);
    settings.outputPath = String(dispid::kOutputFile);
    settings.title = String(dispid::kTitle);
    settings.author = String(dispid::kAuthor);
    settings.comment = String(dispid::kProgramName);
    settings.deinterlace = Bool(dispid::kDeInterlace);
    settings.videoCodec = kVideoCodec;
    settings.preview = true;
    int row = kEncoderDefaultAudioRow;
    float kbps = kDefaultBitrateKbps;
    auto target = targets.find(kUsedTargetIndex);
    if (target != targets.end()) {
        kbps = target->second.bitrateKbps;
        auto codec = target->second.codecRows.find(kUsedCodecSlot);
        if (codec != target->second.codecRows.end())
            row = codec->second;
    }
    settings.totalKbps = static_cast<int>(std::lround(std::clamp(kbps, 1.0f, 100000.0f)));
    settings.audioKbps = kAudioRows[row].kbps;
    settings.audioCodec = AudioCodecNamed(kAudioRows[row].codec).value_or(AudioCodec::Ac3);
    return settings;
}

}  // namespace quenlar::encoder
