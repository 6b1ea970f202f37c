// The encoder control's contract, as both sides see it: its class id, the DISPIDs of the control
// and its sub-objects, and its events. The program (src/encoding) and the control
// (encoder/control) meet only through these numbers; the codec names are the audio rows.
#pragma once

#include <array>
#include <cstdint>

#include "common/AudioRows.h"

inline constexpr const char* kProducerControlClsid = "{56919D41-BE39-11D2-A404-00104BDF4755}";

namespace dispid {

// The automation layer's DISPID, kept here as the plain type so that this file needs no toolkit.
using DISPID = std::int32_t;

// The control.
constexpr DISPID kProp3151 = 3151;      // put I4
constexpr DISPID kInputFile = 3152;      // get/put string
constexpr DISPID kProp3155 = 3155;
constexpr DISPID kProp3156 = 3156;
constexpr DISPID kProp3159 = 3159;
constexpr DISPID kProp3201 = 3201;
constexpr DISPID kProp3202 = 3202;
constexpr DISPID kOutputFile = 3203;     // put string
constexpr DISPID kTitle = 3251;          // string
constexpr DISPID kAuthor = 3252;         // string
constexpr DISPID kProgramName = 3253;    // string
constexpr DISPID kProp3351 = 3351;
constexpr DISPID kProp3352 = 3352;
constexpr DISPID kProp3401 = 3401;
constexpr DISPID kProp3402 = 3402;
constexpr DISPID kProp3403 = 3403;
constexpr DISPID kProp3404 = 3404;
constexpr DISPID kProp3405 = 3405;
constexpr DISPID kProp3406 = 3406;
constexpr DISPID kProp3407 = 3407;       // put I4
constexpr DISPID kProp3408 = 3408;       // put I4
constexpr DISPID kProp3409 = 3409;
constexpr DISPID kProp3410 = 3410;       // put I4
constexpr DISPID kProp3412 = 3412;
constexpr DISPID kProp3413 = 3413;
constexpr DISPID kProp3414 = 3414;
constexpr DISPID kProp3415 = 3415;
constexpr DISPID kTargetSettings = 3501;  // get with an I4 index
constexpr DISPID kAudioCodecs = 3651;     // get
constexpr DISPID kIsEncoding = 3701;      // get BOOL
constexpr DISPID kProp3801 = 3801;
constexpr DISPID kProp3802 = 3802;
constexpr DISPID kProp3804 = 3804;        // put I4
constexpr DISPID kProp3807 = 3807;
constexpr DISPID kDeInterlace = 3808;     // BOOL
constexpr DISPID kStartEncoding = 4301;   // method
constexpr DISPID kStopEncoding = 4302;    // method
constexpr DISPID kResetSettings = 4304;   // method

// The properties the program sets whose values the encoder keeps but does not use, by type
// (the rest of the kProp numbers are BOOL).
constexpr std::array<DISPID, 5> kStoredI4 = {kProp3151, kProp3407, kProp3408, kProp3410, kProp3804};
constexpr std::array<DISPID, 21> kStoredBool = {
    kProp3155, kProp3156, kProp3159, kProp3201, kProp3202, kProp3351, kProp3352,
    kProp3401, kProp3402, kProp3403, kProp3404, kProp3405, kProp3406, kProp3409,
    kProp3412, kProp3413, kProp3414, kProp3415, kProp3801, kProp3802, kProp3807};

// Target settings.
constexpr DISPID kSetBitrate = 3453;      // put R4, Kbps of the whole stream
constexpr DISPID kAudioCodec = 3456;      // indexed put: I4, I4, then the codec object

// Audio codec list and its items (their names: kAudioRows, in order).
constexpr DISPID kGetFirst = 4051;
constexpr DISPID kGetNext = 4052;
constexpr DISPID kGetCount = 4053;
constexpr DISPID kCodec = 3551;           // get object
constexpr DISPID kName = 3552;            // get string

// Events.
constexpr DISPID kEventStarted = 5001;
constexpr DISPID kEventFinished = 5002;
constexpr DISPID kEventError = 5003;      // I4 code, string text
constexpr DISPID kEventProgress = 5005;   // I4 elapsed ms, I4 duration ms, I4 percent, I4 frames
constexpr DISPID kEventDisplaySize = 5006;  // I4 width, I4 height

}  // namespace dispid
