// CProducerControl2: the hosted encoder control as the program sees it - one member per property
// or method, each one call with its DISPID. Without a created control every call is skipped.
#pragma once

#include <string>

#include "platform/WinDefs.h"
#include "platform/automation/ControlWnd.h"
#include "encoding/EncoderObjects.h"

class CProducerControl2 : public automation::COleControlWnd {
public:
    // Creates the control (class id kProducerControlClsid) as child `id` of parent at rect.
    bool Create(const char* className, const char* windowName, uint32_t style, const wxRect& rect,
                wxWindow* parent, int id);

    BOOL IsEncoding();
    void StartEncoding();
    void StopEncoding();
    void ResetSettings();

    std::string GetInputFile();
    void SetInputFile(const std::string& path);
    void SetOutputFile(const std::string& path);
    void SetTitle(const std::string& title);
    void SetAuthor(const std::string& author);
    void SetProgramName(const std::string& name);
    void SetDeInterlace(BOOL deInterlace);

    CTargetSettings GetTargetSettings(long index);
    CAudioCodecList GetAudioCodecs();

    // Properties whose meaning lies inside the control; the set-up writes fixed values.
    void SetProperty3155(BOOL value);
    void SetProperty3156(BOOL value);
    void SetProperty3159(BOOL value);
    void SetProperty3201(BOOL value);
    void SetProperty3202(BOOL value);
    void SetProperty3351(BOOL value);
    void SetProperty3352(BOOL value);
    void SetProperty3401(BOOL value);
    void SetProperty3402(BOOL value);
    void SetProperty3403(BOOL value);
    void SetProperty3404(BOOL value);
    void SetProperty3405(BOOL value);
    void SetProperty3406(BOOL value);
    void SetProperty3409(BOOL value);
    void SetProperty3412(BOOL value);
    void SetProperty3413(BOOL value);
    void SetProperty3414(BOOL value);
    void SetProperty3415(BOOL value);
    void SetProperty3801(BOOL value);
    void SetProperty3802(BOOL value);
    void SetProperty3807(BOOL value);
    void SetProperty3151(long value);
    void SetProperty3407(long value);
    void SetProperty3408(long value);
    void SetProperty3410(long value);
    void SetProperty3804(long value);

private:
    void PutBool(automation::DISPID dispid, BOOL value);
    void PutLong(automation::DISPID dispid, long value);
    void PutString(automation::DISPID dispid, const std::string& value);
};
