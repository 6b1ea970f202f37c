// The numbers the encoder control answers to: its class id, properties, methods and events.
#pragma once

#include <array>

#include "platform/automation/Automation.h"

namespace quenlar::encoder {

inline constexpr const char* kEncoderControlClsid = "{56919D41-BE39-11D2-A404-00104BDF4755}";

namespace ids {

using automation::DISPID;

// Properties the set-up writes and the control uses.
constexpr DISPID kInputFile = 3152;
constexpr DISPID kOutputFile = 3203;
constexpr DISPID kTitle = 3251;
constexpr DISPID kAuthor = 3252;
constexpr DISPID kProgramName = 3253;
constexpr DISPID kDeInterlace = 3808;

// Properties whose values are kept but mean nothing to this encoder.
constexpr std::array<DISPID, 26> kStoredOnly = {3151, 3155, 3156, 3159, 3201, 3202, 3351,
                                                3352, 3401, 3402, 3403, 3404, 3405, 3406,
                                                3407, 3408, 3409, 3410, 3412, 3413, 3414,
                                                3415, 3801, 3802, 3804, 3807};

constexpr DISPID kTargetSettings = 3501;  // get, I4 index
constexpr DISPID kAudioCodecs = 3651;     // get
constexpr DISPID kIsEncoding = 3701;      // get BOOL
constexpr DISPID kStartEncoding = 4301;
constexpr DISPID kStopEncoding = 4302;
constexpr DISPID kResetSettings = 4304;

// Target settings.
constexpr DISPID kBitrate = 3453;         // R4, Kbps of the whole stream
constexpr DISPID kAudioCodec = 3456;      // indexed: I4, I4, then the codec object

// Codec list and its items.
constexpr DISPID kGetFirst = 4051;
constexpr DISPID kGetNext = 4052;
constexpr DISPID kGetCount = 4053;
constexpr DISPID kCodec = 3551;
constexpr DISPID kName = 3552;

// Events.
constexpr DISPID kEventStarted = 5001;
constexpr DISPID kEventFinished = 5002;
constexpr DISPID kEventError = 5003;
constexpr DISPID kEventProgress = 5005;
constexpr DISPID kEventDisplaySize = 5006;

}  // namespace ids
}  // namespace quenlar::encoder
