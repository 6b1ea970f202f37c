#include "control/EncoderAutomation.h"

#include <algorithm>

#include "common/EncoderContract.h"
#include "control/AudioCodecObjects.h"
#include "control/TargetSettingsObject.h"

namespace quenlar::encoder {

using namespace automation;

namespace {

enum class PropertyType { String, Bool, I4 };

bool Lists(const auto& dispids, DISPID dispid)
{
    return std::find(dispids.begin(), dispids.end(), dispid) != dispids.end();
}

// The type each property takes; a value of another type is refused as a type mismatch.
PropertyType TypeOf(DISPID dispid)
{
    switch (dispid) {
    case dispid::kInputFile:
    case dispid::kOutputFile:
    case dispid::kTitle:
    case dispid::kAuthor:
    case dispid::kProgramName:
        return PropertyType::String;
    default:
        return Lists(dispid::kStoredI4, dispid) ? PropertyType::I4 : PropertyType::Bool;
    }
}

bool IsProperty(DISPID dispid)
{
    switch (dispid) {
    case dispid::kInputFile:
    case dispid::kOutputFile:
    case dispid::kTitle:
    case dispid::kAuthor:
    case dispid::kProgramName:
    case dispid::kDeInterlace:
        return true;
    default:
        return Lists(dispid::kStoredI4, dispid) || Lists(dispid::kStoredBool, dispid);
    }
}

}  // namespace

Variant EncoderAutomation::Property(DISPID dispid, InvokeKind kind, const std::vector<Variant>& args)
{
    if (kind == DISPATCH_PROPERTYPUT) {
        RequireArgCount(args, 1);
        switch (TypeOf(dispid)) {
        case PropertyType::String: ArgStr(args, 0); break;
        case PropertyType::Bool: ArgBool(args, 0); break;
        case PropertyType::I4: ArgI4(args, 0); break;
        }
        m_settings->properties[dispid] = args[0];
        return Variant();
    }
    RequireArgCount(args, 0);
    auto found = m_settings->properties.find(dispid);
    if (found != m_settings->properties.end())
        return found->second;
    switch (TypeOf(dispid)) {
    case PropertyType::String: return Variant::Str("");
    case PropertyType::I4: return Variant::I4(0);
    default: return Variant::Bool(false);
    }
}

Variant EncoderAutomation::Invoke(DISPID dispid, InvokeKind kind, const std::vector<Variant>& args)
{
    if (IsProperty(dispid) && (kind == DISPATCH_PROPERTYPUT || kind == DISPATCH_PROPERTYGET))
        return Property(dispid, kind, args);
    switch (dispid) {
    case dispid::kIsEncoding:
        if (kind != DISPATCH_PROPERTYGET)
            break;
        RequireArgCount(args, 0);
        return Variant::Bool(m_window && m_window->IsEncoding());
    case dispid::kStartEncoding:
        if (kind != DISPATCH_METHOD)
            break;
        RequireArgCount(args, 0);
        if (m_window)
            m_window->StartEncoding();
        return Variant();
    case dispid::kStopEncoding:
        if (kind != DISPATCH_METHOD)
            break;
        RequireArgCount(args, 0);
        if (m_window)
            m_window->StopEncoding();
        return Variant();
    case dispid::kResetSettings:
        if (kind != DISPATCH_METHOD)
            break;
        RequireArgCount(args, 0);
        m_settings->Reset();
        return Variant();
    case dispid::kTargetSettings:
        if (kind != DISPATCH_PROPERTYGET)
            break;
        RequireArgCount(args, 1);
        return Variant::Object(new TargetSettingsObject(m_settings, ArgI4(args, 0)));
    case dispid::kAudioCodecs:
        if (kind != DISPATCH_PROPERTYGET)
            break;
        RequireArgCount(args, 0);
        return Variant::Object(new AudioCodecList);
    default:
        break;
    }
    ThrowMemberNotFound(dispid);
}

}  // namespace quenlar::encoder
