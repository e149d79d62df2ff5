// Late-bound calls by member number (DISPID), and the type-library
// description that drives them: the library, its interfaces with their
// members, enumerations and coclass, as compiled-in data. The generic Invoke
// here checks a call against the description (member, kind of call, number
// and types of arguments) before the object sees it, so an object only ever
// handles well-formed calls.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "ComponentVariant.h"

inline constexpr uint16_t DISPATCH_METHOD = 1;
inline constexpr uint16_t DISPATCH_PROPERTYGET = 2;
inline constexpr uint16_t DISPATCH_PROPERTYPUT = 4;
inline constexpr uint16_t DISPATCH_PROPERTYPUTREF = 8;

// The arguments of a call, in the order the member declares them.
struct TDispParams {
    TVariant* args = nullptr;
    uint32_t count = 0;
};

// What a failed member left: its result and its error text.
struct TExcepInfo {
    HRESULT scode = S_OK;
    std::u16string description;
};

class IDispatch : public IUnknown {
public:
    // The DISPID of a member by name, without regard to case.
    virtual HRESULT GetIDsOfNames(const char16_t* name, DISPID* id) = 0;
    // params may be null for a call without arguments; result may be null
    // where the member returns nothing; excep may be null.
    virtual HRESULT Invoke(DISPID id, uint16_t flags, TDispParams* params, TVariant* result,
                           TExcepInfo* excep) = 0;

protected:
    ~IDispatch() = default;
};

inline constexpr TGuid IID_IDispatch{
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// ---- The type-library description ----

struct TEnumMember {
    const char* name;
    int32_t value;
};

struct TEnumDesc {
    const char* name;
    TGuid guid;
    std::span<const TEnumMember> members;

    bool Contains(int32_t value) const;
};

enum class TTypeKind : uint8_t { Void, I2, I4, Bool, Str, Enum, Interface, I2ByRef };

struct TTypeRef {
    TTypeKind kind = TTypeKind::Void;
    const TEnumDesc* enumeration = nullptr; // for Enum
    const TGuid* iid = nullptr;             // for Interface
};

struct TParamDesc {
    const char* name;
    TTypeRef type;
};

// What a member allows.
inline constexpr uint8_t kMemberGet = 1;
inline constexpr uint8_t kMemberPut = 2;
inline constexpr uint8_t kMemberPutRef = 4;
inline constexpr uint8_t kMemberMethod = 8;

struct TMemberDesc {
    const char* name;
    DISPID id;
    uint8_t access;
    TTypeRef type;                        // a property's type
    std::span<const TParamDesc> params{}; // a method's parameters
};

struct TInterfaceDesc {
    const char* name;
    TGuid iid;
    const char* helpString;
    bool dispinterface; // events: called only through Invoke
    std::span<const TMemberDesc> members;

    const TMemberDesc* Find(DISPID id) const;
};

struct TCoclassDesc {
    const char* name;
    TGuid clsid;
    const char* helpString;
    const TInterfaceDesc* defaultInterface;
    const TInterfaceDesc* defaultSource;
};

struct TTypeLibDesc {
    const char* name;
    TGuid libid;
    const char* helpString;
    uint16_t majorVersion;
    uint16_t minorVersion;
    uint32_t lcid;
    std::span<const TInterfaceDesc* const> interfaces;
    std::span<const TEnumDesc* const> enumerations;
    const TCoclassDesc* coclass;

    // "1.0"
    std::string VersionText() const;
};

// ---- Calls checked against the description ----

// What the generic Invoke calls once a call checked out; the arguments have
// the member's declared types by then.
class TDispatchTarget {
public:
    virtual HRESULT GetProperty(const TMemberDesc& member, TVariant& value) = 0;
    virtual HRESULT PutProperty(const TMemberDesc& member, const TVariant& value, bool byRef) = 0;
    virtual HRESULT CallMethod(const TMemberDesc& member, std::span<TVariant> args) = 0;

protected:
    ~TDispatchTarget() = default;
};

// The argument as the declared type: DISP_E_TYPEMISMATCH when it cannot be
// one, DISP_E_OVERFLOW when it does not fit. An integer or boolean given for
// a boolean reads as True when it is not zero.
HRESULT CoerceArgument(const TVariant& in, const TTypeRef& type, TVariant& out);

// A call by DISPID: DISP_E_MEMBERNOTFOUND for an unknown member or a kind of
// call it does not allow (a put of a read-only property), DISP_E_BADPARAMCOUNT
// for a wrong number of arguments, E_POINTER for a get without a result,
// DISP_E_EXCEPTION when the member failed (its result and text in excep).
HRESULT DispatchInvoke(const TInterfaceDesc& desc, TDispatchTarget& target, DISPID id,
                       uint16_t flags, const TDispParams* params, TVariant* result,
                       TExcepInfo* excep);

HRESULT DispatchGetIDOfName(const TInterfaceDesc& desc, const char16_t* name, DISPID* id);
