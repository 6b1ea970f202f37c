#include "control/EncoderAutomation.h"

#include <algorithm>
#include <iterator>

#include "common/EncoderContract.h"
#include "control/AudioCodecObjects.h"
#include "control/TargetSettingsObject.h"

namespace quenlar::encoder {

using namespace automation;

namespace {

enum class PropertyType { String, Bool, I4 };

bool Lists(const auto& dispids, DISPID dispid)
{
    return std::find(std::begin(dispids), std::end(dispids), dispid) != std::end(dispids);
}

// The properties the encoder uses; the stored-only ones are listed in the contract.
constexpr DISPID kStringProperties[] = {dispid::kInputFile, dispid::kOutputFile, dispid::kTitle, dispid::kAuthor,
                                        dispid::kProgramName};

// The type each property takes; a value of another type is refused as a type mismatch.
PropertyType TypeOf(DISPID dispid)
{
    if (Lists(kStringProperties, dispid))
        return PropertyType::String;
    return Lists(dispid::kStoredI4, dispid) ? PropertyType::I4 : PropertyType::Bool;
}

bool IsProperty(DISPID dispid)
{
    return Lists(kStringProperties, dispid) || dispid == dispid::kDeInterlace || Lists(dispid::kStoredI4, dispid) ||
           Lists(dispid::kStoredBool, dispid);
}

// The members that are not stored properties: the one kind each answers to and its argument count.
struct Member {
    DISPID dispid;
    InvokeKind kind;
    size_t argCount;
};
constexpr Member kMembers[] = {
    {dispid::kIsEncoding, DISPATCH_PROPERTYGET, 0},    {dispid::kStartEncoding, DISPATCH_METHOD, 0},
    {dispid::kStopEncoding, DISPATCH_METHOD, 0},       {dispid::kResetSettings, DISPATCH_METHOD, 0},
    {dispid::kTargetSettings, DISPATCH_PROPERTYGET, 1}, {dispid::kAudioCodecs, DISPATCH_PROPERTYGET, 0},
};

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
    const auto member = std::find_if(std::begin(kMembers), std::end(kMembers),
                                     [&](const Member& m) { return m.dispid == dispid && m.kind == kind; });
    if (member == std::end(kMembers))
        ThrowMemberNotFound(dispid);
    RequireArgCount(args, member->argCount);
    switch (dispid) {
    case dispid::kIsEncoding:
        return Variant::Bool(m_window && m_window->IsEncoding());
    case dispid::kStartEncoding:
        if (m_window)
            m_window->StartEncoding();
        break;
    case dispid::kStopEncoding:
        if (m_window)
            m_window->StopEncoding();
        break;
    case dispid::kResetSettings:
        m_settings->Reset();
        break;
    case dispid::kTargetSettings:
        return Variant::Object(new TargetSettingsObject(m_settings, ArgI4(args, 0)));
    case dispid::kAudioCodecs:
        return Variant::Object(new AudioCodecList);
    }
    return Variant();
}

}  // namespace quenlar::encoder
