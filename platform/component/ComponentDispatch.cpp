#include "ComponentDispatch.h"

#include <limits>
#include <vector>

namespace {

char16_t AsciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool SameName(const char* declared, const char16_t* asked) {
    size_t i = 0;
    for (; declared[i] != '\0'; ++i) {
        if (asked[i] == u'\0') return false;
        if (AsciiLower(static_cast<char16_t>(static_cast<unsigned char>(declared[i]))) !=
            AsciiLower(asked[i]))
            return false;
    }
    return asked[i] == u'\0';
}

// An integer argument of either width, or nothing.
bool IntegerOf(const TVariant& in, int32_t& value) {
    switch (in.Type()) {
    case TVarType::I2:
        value = in.AsI2();
        return true;
    case TVarType::I4:
        value = in.AsI4();
        return true;
    default:
        return false;
    }
}

HRESULT MemberFailed(HRESULT hr, TExcepInfo* excep) {
    std::string text = TakeErrorInfoText();
    if (excep) {
        excep->scode = hr;
        excep->description = Latin1ToWide(text);
    }
    return DISP_E_EXCEPTION;
}

} // namespace

bool TEnumDesc::Contains(int32_t value) const {
    for (const TEnumMember& m : members) {
        if (m.value == value) return true;
    }
    return false;
}

const TMemberDesc* TInterfaceDesc::Find(DISPID id) const {
    for (const TMemberDesc& m : members) {
        if (m.id == id) return &m;
    }
    return nullptr;
}

std::string TTypeLibDesc::VersionText() const {
    return std::to_string(majorVersion) + "." + std::to_string(minorVersion);
}

HRESULT CoerceArgument(const TVariant& in, const TTypeRef& type, TVariant& out) {
    int32_t number = 0;
    switch (type.kind) {
    case TTypeKind::I2:
        if (!IntegerOf(in, number)) return DISP_E_TYPEMISMATCH;
        if (number < std::numeric_limits<int16_t>::min() ||
            number > std::numeric_limits<int16_t>::max())
            return DISP_E_OVERFLOW;
        out = TVariant::I2(static_cast<int16_t>(number));
        return S_OK;
    case TTypeKind::I4:
    case TTypeKind::Enum:
        if (!IntegerOf(in, number)) return DISP_E_TYPEMISMATCH;
        out = TVariant::I4(number);
        return S_OK;
    case TTypeKind::Bool:
        if (in.Type() == TVarType::Bool) {
            number = in.AsBool();
        } else if (!IntegerOf(in, number)) {
            return DISP_E_TYPEMISMATCH;
        }
        out = TVariant::FromBool(number != 0);
        return S_OK;
    case TTypeKind::Str:
        if (in.Type() != TVarType::BStr) return DISP_E_TYPEMISMATCH;
        out = in;
        return S_OK;
    case TTypeKind::Interface: {
        if (in.Type() != TVarType::Unknown || !type.iid) return DISP_E_TYPEMISMATCH;
        // A null reference is the member's to judge; anything else must
        // really be the declared interface.
        if (!in.AsUnknown()) {
            out = in;
            return S_OK;
        }
        void* typed = nullptr;
        if (Failed(in.AsUnknown()->QueryInterface(*type.iid, &typed)) || !typed)
            return DISP_E_TYPEMISMATCH;
        IUnknown* object = static_cast<IUnknown*>(typed);
        out = TVariant::Unknown(object);
        object->Release();
        return S_OK;
    }
    case TTypeKind::I2ByRef:
        if (in.Type() != TVarType::I2ByRef) return DISP_E_TYPEMISMATCH;
        if (!in.AsI2Ref()) return E_POINTER;
        out = in;
        return S_OK;
    case TTypeKind::Void:
        break;
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT DispatchInvoke(const TInterfaceDesc& desc, TDispatchTarget& target, DISPID id,
                       uint16_t flags, const TDispParams* params, TVariant* result,
                       TExcepInfo* excep) {
    return SafeCall([&]() -> HRESULT {
        constexpr uint16_t kKnown =
            DISPATCH_METHOD | DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
        if (flags == 0 || (flags & ~kKnown) != 0) return E_INVALIDARG;
        const uint32_t count = params ? params->count : 0;
        if (count > 0 && !params->args) return E_POINTER;
        const TMemberDesc* member = desc.Find(id);
        if (!member) return DISP_E_MEMBERNOTFOUND;
        // Only a failure of this call may speak in excep.
        SetErrorInfoText({});

        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            const bool byRef = (flags & DISPATCH_PROPERTYPUTREF) != 0;
            if (!(member->access & (byRef ? kMemberPutRef : kMemberPut)))
                return DISP_E_MEMBERNOTFOUND;
            if (count != 1) return DISP_E_BADPARAMCOUNT;
            TVariant value;
            if (HRESULT hr = CoerceArgument(params->args[0], member->type, value); Failed(hr))
                return hr;
            if (HRESULT hr = target.PutProperty(*member, value, byRef); Failed(hr))
                return MemberFailed(hr, excep);
            return S_OK;
        }
        if ((flags & DISPATCH_PROPERTYGET) && (member->access & kMemberGet)) {
            if (count != 0) return DISP_E_BADPARAMCOUNT;
            if (!result) return E_POINTER;
            TVariant value;
            if (HRESULT hr = target.GetProperty(*member, value); Failed(hr))
                return MemberFailed(hr, excep);
            *result = std::move(value);
            return S_OK;
        }
        if ((flags & DISPATCH_METHOD) && (member->access & kMemberMethod)) {
            if (count != member->params.size()) return DISP_E_BADPARAMCOUNT;
            std::vector<TVariant> args(count);
            for (uint32_t i = 0; i < count; ++i) {
                if (HRESULT hr = CoerceArgument(params->args[i], member->params[i].type, args[i]);
                    Failed(hr))
                    return hr;
            }
            if (HRESULT hr = target.CallMethod(*member, args); Failed(hr))
                return MemberFailed(hr, excep);
            if (result) *result = TVariant();
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    });
}

HRESULT DispatchGetIDOfName(const TInterfaceDesc& desc, const char16_t* name, DISPID* id) {
    if (!id) return E_POINTER;
    *id = -1;
    if (!name) return E_POINTER;
    for (const TMemberDesc& m : desc.members) {
        if (SameName(m.name, name)) {
            *id = m.id;
            return S_OK;
        }
    }
    return DISP_E_UNKNOWNNAME;
}
