// The automation layer: values, the reference-counted dispatch interface and the dispatch
// exception, as the program and the encoder control talk to each other through them.
#pragma once

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace automation {

using DISPID = int32_t;
using VARIANT_BOOL = int16_t;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

enum InvokeKind : uint16_t {
    DISPATCH_METHOD = 1,
    DISPATCH_PROPERTYGET = 2,
    DISPATCH_PROPERTYPUT = 4,
};

enum VARTYPE : uint16_t {
    VT_EMPTY = 0,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_BOOL = 11,
};

class IDispatch;

// A value crossing the automation boundary. An object value is a bare pointer: a result of
// Invoke carries one reference that the receiver owns; an argument is only lent to the callee.
struct Variant {
    VARTYPE vt = VT_EMPTY;
    int32_t lVal = 0;
    float fltVal = 0.0f;
    VARIANT_BOOL boolVal = VARIANT_FALSE;
    std::string bstrVal;  // UTF-8
    IDispatch* pdispVal = nullptr;

    static Variant I4(int32_t v);
    static Variant R4(float v);
    static Variant Bool(bool v);
    static Variant Str(std::string v);
    static Variant Object(IDispatch* v);

    bool operator==(const Variant& other) const;
};

// Raised by a failing call; the framework's event and message dispatch reports it in a box.
class DispatchException : public std::runtime_error {
public:
    explicit DispatchException(const std::string& description, int32_t scode = kDispatchFailed);
    int32_t m_scError;
    std::string m_strDescription;

    static constexpr int32_t kDispatchFailed = static_cast<int32_t>(0x80020009);  // DISP_E_EXCEPTION
    static constexpr int32_t kTypeMismatch = static_cast<int32_t>(0x80020005);
    static constexpr int32_t kMemberNotFound = static_cast<int32_t>(0x80020003);
    static constexpr int32_t kBadParamCount = static_cast<int32_t>(0x8002000E);

    // Shows the description in the application's message box with the stop icon.
    void ReportError() const;
};

class IDispatch {
public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
    // Throws DispatchException when the object fails the call.
    virtual Variant Invoke(DISPID dispid, InvokeKind kind, const std::vector<Variant>& args) = 0;

protected:
    virtual ~IDispatch() = default;
};

// Reference counting for objects that implement IDispatch; deletes itself at zero.
class CDispatchObject : public IDispatch {
public:
    uint32_t AddRef() override;
    uint32_t Release() override;

protected:
    CDispatchObject() = default;

private:
    std::atomic<uint32_t> m_refs{1};
};

// Converts a call's result to the type the caller asked for (VT_EMPTY: result discarded,
// an object in it released). Throws DispatchException on a type that cannot be converted.
Variant CoerceResult(Variant result, VARTYPE vtRet);

// Helpers for servers and event handlers: typed access to an argument, throwing on a mismatch.
int32_t ArgI4(const std::vector<Variant>& args, size_t index);
float ArgR4(const std::vector<Variant>& args, size_t index);
bool ArgBool(const std::vector<Variant>& args, size_t index);
const std::string& ArgStr(const std::vector<Variant>& args, size_t index);
IDispatch* ArgObject(const std::vector<Variant>& args, size_t index);
void RequireArgCount(const std::vector<Variant>& args, size_t count);

}  // namespace automation
