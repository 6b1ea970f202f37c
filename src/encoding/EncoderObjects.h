// Drivers over the encoder control's sub-objects: the target settings, the audio codec list
// and its items. Each member is one call with a fixed DISPID and checks nothing.
#pragma once

#include <string>

#include "platform/automation/DispatchDriver.h"

class CTargetSettings : public automation::COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;

    void SetBitrate(float kbps);
    void SetAudioCodec(long index1, long index2, automation::IDispatch* codec);
};

class CAudioCodecList : public automation::COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;

    // Bare references: the caller attaches them to a releasing CAudioCodecItem.
    automation::IDispatch* GetFirst();
    automation::IDispatch* GetNext();
    long GetCount();
};

class CAudioCodecItem : public automation::COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;

    // The item's codec object, attached to a releasing driver.
    automation::COleDispatchDriver GetCodec();
    std::string GetName();
};
