#include "control/AudioCodecObjects.h"

#include "common/EncoderContract.h"

namespace quenlar::encoder {

using namespace automation;

void ThrowMemberNotFound(DISPID dispid)
{
    throw DispatchException("The encoder control has no member " + std::to_string(dispid) + ".",
                            DispatchException::kMemberNotFound);
}

Variant AudioCodecObject::Invoke(DISPID dispid, InvokeKind kind, const std::vector<Variant>& args)
{
    if (dispid == dispid::kName && kind == DISPATCH_PROPERTYGET) {
        RequireArgCount(args, 0);
        return Variant::Str(std::string(kAudioRows[m_row].name));
    }
    ThrowMemberNotFound(dispid);
}

Variant AudioCodecItem::Invoke(DISPID dispid, InvokeKind kind, const std::vector<Variant>& args)
{
    if (kind == DISPATCH_PROPERTYGET && dispid == dispid::kName) {
        RequireArgCount(args, 0);
        return Variant::Str(std::string(kAudioRows[m_row].name));
    }
    if (kind == DISPATCH_PROPERTYGET && dispid == dispid::kCodec) {
        RequireArgCount(args, 0);
        return Variant::Object(new AudioCodecObject(m_row));
    }
    ThrowMemberNotFound(dispid);
}

Variant AudioCodecList::Invoke(DISPID dispid, InvokeKind kind, const std::vector<Variant>& args)
{
    if (kind == DISPATCH_METHOD || kind == DISPATCH_PROPERTYGET) {
        switch (dispid) {
        case dispid::kGetFirst:
            RequireArgCount(args, 0);
            m_cursor = 0;
            return Variant::Object(new AudioCodecItem(0));
        case dispid::kGetNext:
            RequireArgCount(args, 0);
            if (m_cursor + 1 >= static_cast<int>(kAudioRows.size())) {
                m_cursor = static_cast<int>(kAudioRows.size());
                return Variant::Object(nullptr);
            }
            return Variant::Object(new AudioCodecItem(++m_cursor));
        case dispid::kGetCount:
            RequireArgCount(args, 0);
            return Variant::I4(static_cast<int32_t>(kAudioRows.size()));
        default:
            break;
        }
    }
    ThrowMemberNotFound(dispid);
}

}  // namespace quenlar::encoder
