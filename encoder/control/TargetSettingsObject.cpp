#include "control/TargetSettingsObject.h"

#include "common/EncoderContract.h"
#include "control/AudioCodecObjects.h"

namespace quenlar::encoder {

using namespace automation;

Variant TargetSettingsObject::Invoke(DISPID dispid, InvokeKind kind, const std::vector<Variant>& args)
{
    TargetSettingsData& target = m_settings->targets[m_index];
    if (dispid == dispid::kSetBitrate) {
        if (kind == DISPATCH_PROPERTYPUT) {
            RequireArgCount(args, 1);
            const float kbps = ArgR4(args, 0);
            if (!(kbps > 0))
                throw DispatchException("The bitrate must be above 0 Kbps.");
            target.bitrateKbps = kbps;
            return Variant();
        }
        if (kind == DISPATCH_PROPERTYGET) {
            RequireArgCount(args, 0);
            return Variant::R4(target.bitrateKbps);
        }
    }
    if (dispid == dispid::kAudioCodec && kind == DISPATCH_PROPERTYPUT) {
        RequireArgCount(args, 3);
        const std::pair<int, int> slot{ArgI4(args, 0), ArgI4(args, 1)};
        // Only codecs from our own list mean anything here.
        auto* codec = dynamic_cast<AudioCodecObject*>(ArgObject(args, 2));
        if (!codec)
            throw DispatchException("Type mismatch.", DispatchException::kTypeMismatch);
        target.codecRows[slot] = codec->Row();
        return Variant();
    }
    ThrowMemberNotFound(dispid);
}

}  // namespace quenlar::encoder
