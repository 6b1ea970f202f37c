#include "platform/automation/Automation.h"

#include "platform/MessageBox.h"

namespace automation {

Variant Variant::I4(int32_t v)
{
    Variant r;
    r.vt = VT_I4;
    r.lVal = v;
    return r;
}

Variant Variant::R4(float v)
{
    Variant r;
    r.vt = VT_R4;
    r.fltVal = v;
    return r;
}

Variant Variant::Bool(bool v)
{
    Variant r;
    r.vt = VT_BOOL;
    r.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
}

Variant Variant::Str(std::string v)
{
    Variant r;
    r.vt = VT_BSTR;
    r.bstrVal = std::move(v);
    return r;
}

Variant Variant::Object(IDispatch* v)
{
    Variant r;
    r.vt = VT_DISPATCH;
    r.pdispVal = v;
    return r;
}

bool Variant::operator==(const Variant& other) const
{
    if (vt != other.vt)
        return false;
    switch (vt) {
    case VT_EMPTY: return true;
    case VT_I4: return lVal == other.lVal;
    case VT_R4: return fltVal == other.fltVal;
    case VT_BOOL: return boolVal == other.boolVal;
    case VT_BSTR: return bstrVal == other.bstrVal;
    case VT_DISPATCH: return pdispVal == other.pdispVal;
    }
    return false;
}

DispatchException::DispatchException(const std::string& description, int32_t scode)
    : std::runtime_error(description), m_scError(scode), m_strDescription(description)
{
}

void DispatchException::ReportError() const
{
    platform::AfxMessageBox(m_strDescription, MB_OK | MB_ICONSTOP);
}

uint32_t CDispatchObject::AddRef()
{
    return ++m_refs;
}

uint32_t CDispatchObject::Release()
{
    const uint32_t left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

namespace {

[[noreturn]] void ThrowTypeMismatch()
{
    throw DispatchException("Type mismatch.", DispatchException::kTypeMismatch);
}

}  // namespace

Variant CoerceResult(Variant result, VARTYPE vtRet)
{
    if (vtRet == VT_EMPTY) {
        if (result.vt == VT_DISPATCH && result.pdispVal)
            result.pdispVal->Release();
        return Variant();
    }
    if (result.vt == vtRet)
        return result;
    const bool numeric = result.vt == VT_I4 || result.vt == VT_R4 || result.vt == VT_BOOL;
    if (!numeric) {
        if (result.vt == VT_DISPATCH && result.pdispVal)
            result.pdispVal->Release();
        ThrowTypeMismatch();
    }
    const double value = result.vt == VT_I4 ? result.lVal
                         : result.vt == VT_R4 ? result.fltVal
                                              : (result.boolVal != VARIANT_FALSE ? -1 : 0);
    switch (vtRet) {
    case VT_I4: return Variant::I4(static_cast<int32_t>(value));
    case VT_R4: return Variant::R4(static_cast<float>(value));
    case VT_BOOL: return Variant::Bool(value != 0);
    default: ThrowTypeMismatch();
    }
}

void RequireArgCount(const std::vector<Variant>& args, size_t count)
{
    if (args.size() != count)
        throw DispatchException("Invalid number of parameters.", DispatchException::kBadParamCount);
}

namespace {

const Variant& Arg(const std::vector<Variant>& args, size_t index, VARTYPE vt)
{
    if (index >= args.size())
        throw DispatchException("Invalid number of parameters.", DispatchException::kBadParamCount);
    if (args[index].vt != vt)
        ThrowTypeMismatch();
    return args[index];
}

}  // namespace

int32_t ArgI4(const std::vector<Variant>& args, size_t index)
{
    return Arg(args, index, VT_I4).lVal;
}

float ArgR4(const std::vector<Variant>& args, size_t index)
{
    return Arg(args, index, VT_R4).fltVal;
}

bool ArgBool(const std::vector<Variant>& args, size_t index)
{
    return Arg(args, index, VT_BOOL).boolVal != VARIANT_FALSE;
}

const std::string& ArgStr(const std::vector<Variant>& args, size_t index)
{
    return Arg(args, index, VT_BSTR).bstrVal;
}

IDispatch* ArgObject(const std::vector<Variant>& args, size_t index)
{
    return Arg(args, index, VT_DISPATCH).pdispVal;
}

}  // namespace automation
