#include "encoding/ProducerControl2.h"

#include "common/EncoderContract.h"

using namespace automation;

bool CProducerControl2::Create(const char* /*className*/, const char* windowName, uint32_t style,
                               const wxRect& rect, wxWindow* parent, int id)
{
    return CreateControl(kProducerControlClsid, windowName, style, rect, parent, id);
}

BOOL CProducerControl2::IsEncoding()
{
    return InvokeHelper(dispid::kIsEncoding, DISPATCH_PROPERTYGET, VT_BOOL).boolVal != VARIANT_FALSE;
}

void CProducerControl2::StartEncoding()
{
    InvokeHelper(dispid::kStartEncoding, DISPATCH_METHOD, VT_EMPTY);
}

void CProducerControl2::StopEncoding()
{
    InvokeHelper(dispid::kStopEncoding, DISPATCH_METHOD, VT_EMPTY);
}

void CProducerControl2::ResetSettings()
{
    InvokeHelper(dispid::kResetSettings, DISPATCH_METHOD, VT_EMPTY);
}

std::string CProducerControl2::GetInputFile()
{
    return InvokeHelper(dispid::kInputFile, DISPATCH_PROPERTYGET, VT_BSTR).bstrVal;
}

void CProducerControl2::SetInputFile(const std::string& path)
{
    PutString(dispid::kInputFile, path);
}

void CProducerControl2::SetOutputFile(const std::string& path)
{
    PutString(dispid::kOutputFile, path);
}

void CProducerControl2::SetTitle(const std::string& title)
{
    PutString(dispid::kTitle, title);
}

void CProducerControl2::SetAuthor(const std::string& author)
{
    PutString(dispid::kAuthor, author);
}

void CProducerControl2::SetProgramName(const std::string& name)
{
    PutString(dispid::kProgramName, name);
}

void CProducerControl2::SetDeInterlace(BOOL deInterlace)
{
    PutBool(dispid::kDeInterlace, deInterlace);
}

CTargetSettings CProducerControl2::GetTargetSettings(long index)
{
    return CTargetSettings(
        InvokeHelper(dispid::kTargetSettings, DISPATCH_PROPERTYGET, VT_DISPATCH, {Variant::I4(index)}).pdispVal);
}

CAudioCodecList CProducerControl2::GetAudioCodecs()
{
    return CAudioCodecList(InvokeHelper(dispid::kAudioCodecs, DISPATCH_PROPERTYGET, VT_DISPATCH).pdispVal);
}

void CProducerControl2::SetProperty3155(BOOL value)
{
    PutBool(dispid::kProp3155, value);
}

void CProducerControl2::SetProperty3156(BOOL value)
{
    PutBool(dispid::kProp3156, value);
}

void CProducerControl2::SetProperty3159(BOOL value)
{
    PutBool(dispid::kProp3159, value);
}

void CProducerControl2::SetProperty3201(BOOL value)
{
    PutBool(dispid::kProp3201, value);
}

void CProducerControl2::SetProperty3202(BOOL value)
{
    PutBool(dispid::kProp3202, value);
}

void CProducerControl2::SetProperty3351(BOOL value)
{
    PutBool(dispid::kProp3351, value);
}

void CProducerControl2::SetProperty3352(BOOL value)
{
    PutBool(dispid::kProp3352, value);
}

void CProducerControl2::SetProperty3401(BOOL value)
{
    PutBool(dispid::kProp3401, value);
}

void CProducerControl2::SetProperty3402(BOOL value)
{
    PutBool(dispid::kProp3402, value);
}

void CProducerControl2::SetProperty3403(BOOL value)
{
    PutBool(dispid::kProp3403, value);
}

void CProducerControl2::SetProperty3404(BOOL value)
{
    PutBool(dispid::kProp3404, value);
}

void CProducerControl2::SetProperty3405(BOOL value)
{
    PutBool(dispid::kProp3405, value);
}

void CProducerControl2::SetProperty3406(BOOL value)
{
    PutBool(dispid::kProp3406, value);
}

void CProducerControl2::SetProperty3409(BOOL value)
{
    PutBool(dispid::kProp3409, value);
}

void CProducerControl2::SetProperty3412(BOOL value)
{
    PutBool(dispid::kProp3412, value);
}

void CProducerControl2::SetProperty3413(BOOL value)
{
    PutBool(dispid::kProp3413, value);
}

void CProducerControl2::SetProperty3414(BOOL value)
{
    PutBool(dispid::kProp3414, value);
}

void CProducerControl2::SetProperty3415(BOOL value)
{
    PutBool(dispid::kProp3415, value);
}

void CProducerControl2::SetProperty3801(BOOL value)
{
    PutBool(dispid::kProp3801, value);
}

void CProducerControl2::SetProperty3802(BOOL value)
{
    PutBool(dispid::kProp3802, value);
}

void CProducerControl2::SetProperty3807(BOOL value)
{
    PutBool(dispid::kProp3807, value);
}

void CProducerControl2::SetProperty3151(long value)
{
    PutLong(dispid::kProp3151, value);
}

void CProducerControl2::SetProperty3407(long value)
{
    PutLong(dispid::kProp3407, value);
}

void CProducerControl2::SetProperty3408(long value)
{
    PutLong(dispid::kProp3408, value);
}

void CProducerControl2::SetProperty3410(long value)
{
    PutLong(dispid::kProp3410, value);
}

void CProducerControl2::SetProperty3804(long value)
{
    PutLong(dispid::kProp3804, value);
}

void CProducerControl2::PutBool(DISPID id, BOOL value)
{
    InvokeHelper(id, DISPATCH_PROPERTYPUT, VT_EMPTY, {Variant::Bool(value != FALSE)});
}

void CProducerControl2::PutLong(DISPID id, long value)
{
    InvokeHelper(id, DISPATCH_PROPERTYPUT, VT_EMPTY, {Variant::I4(static_cast<int32_t>(value))});
}

void CProducerControl2::PutString(DISPID id, const std::string& value)
{
    InvokeHelper(id, DISPATCH_PROPERTYPUT, VT_EMPTY, {Variant::Str(value)});
}
