#include "control/EncoderAutomation.h"

#include <algorithm>

#include "control/AudioCodecObjects.h"
#include "control/ControlDispIds.h"
#include "control/TargetSettingsObject.h"

namespace quenlar::encoder {

using namespace automation;

namespace {

enum class PropertyType { String, Bool, I4 };

// The type each property takes; a value of another type is refused as a type mismatch.
PropertyType TypeOf(DISPID dispid)
{
    switch (dispid) {
    case ids::kInputFile:
    case ids::kOutputFile:
    case ids::kTitle:
    case ids::kAuthor:
    case ids::kProgramName:
        return PropertyType::String;
    case ids::kDeInterlace:
        return PropertyType::Bool;
    case 3151:
    case 3407:
    case 3408:
    case 3410:
    case 3804:
        return PropertyType::I4;
    default:
        return PropertyType::Bool;
    }
}

bool IsProperty(DISPID dispid)
{
    switch (dispid) {
    case ids::kInputFile:
    case ids::kOutputFile:
    case ids::kTitle:
    case ids::kAuthor:
    case ids::kProgramName:
    case ids::kDeInterlace:
        return true;
    default:
        return std::find(ids::kStoredOnly.begin(), ids::kStoredOnly.end(), dispid) != ids::kStoredOnly.end();
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
    case ids::kIsEncoding:
        if (kind != DISPATCH_PROPERTYGET)
            break;
        RequireArgCount(args, 0);
        return Variant::Bool(m_window && m_window->IsEncoding());
    case ids::kStartEncoding:
        if (kind != DISPATCH_METHOD)
            break;
        RequireArgCount(args, 0);
        if (m_window)
            m_window->StartEncoding();
        return Variant();
    case ids::kStopEncoding:
        if (kind != DISPATCH_METHOD)
            break;
        RequireArgCount(args, 0);
        if (m_window)
            m_window->StopEncoding();
        return Variant();
    case ids::kResetSettings:
        if (kind != DISPATCH_METHOD)
            break;
        RequireArgCount(args, 0);
        m_settings->Reset();
        return Variant();
    case ids::kTargetSettings:
        if (kind != DISPATCH_PROPERTYGET)
            break;
        RequireArgCount(args, 1);
        return Variant::Object(new TargetSettingsObject(m_settings, ArgI4(args, 0)));
    case ids::kAudioCodecs:
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
