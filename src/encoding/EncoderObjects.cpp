#include "encoding/EncoderObjects.h"

#include "common/EncoderContract.h"

using namespace automation;

void CTargetSettings::SetBitrate(float kbps)
{
    InvokeHelper(dispid::kSetBitrate, DISPATCH_PROPERTYPUT, VT_EMPTY, {Variant::R4(kbps)});
}

void CTargetSettings::SetAudioCodec(long index1, long index2, IDispatch* codec)
{
    InvokeHelper(dispid::kAudioCodec, DISPATCH_PROPERTYPUT, VT_EMPTY,
                 {Variant::I4(index1), Variant::I4(index2), Variant::Object(codec)});
}

IDispatch* CAudioCodecList::GetFirst()
{
    return InvokeHelper(dispid::kGetFirst, DISPATCH_METHOD, VT_DISPATCH).pdispVal;
}

IDispatch* CAudioCodecList::GetNext()
{
    return InvokeHelper(dispid::kGetNext, DISPATCH_METHOD, VT_DISPATCH).pdispVal;
}

long CAudioCodecList::GetCount()
{
    return InvokeHelper(dispid::kGetCount, DISPATCH_METHOD, VT_I4).lVal;
}

COleDispatchDriver CAudioCodecItem::GetCodec()
{
    return COleDispatchDriver(InvokeHelper(dispid::kCodec, DISPATCH_PROPERTYGET, VT_DISPATCH).pdispVal);
}

std::string CAudioCodecItem::GetName()
{
    return InvokeHelper(dispid::kName, DISPATCH_PROPERTYGET, VT_BSTR).bstrVal;
}
