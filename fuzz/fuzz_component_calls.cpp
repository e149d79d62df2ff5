// What a container hands the control's component layer: identifier texts
// (from the registry or a caller) and late-bound calls by DISPID with any
// kind of call and any arguments. Parsing must accept only the exact text
// form, and a call that reaches the object must carry the member's declared
// types; nothing may crash or read outside the arguments.
//
// Input: the first byte picks the case; the rest is the identifier text, or
// a DISPID (4 bytes), call flags (2), an argument count (1) and per argument
// a type byte and a value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "ByteReader.h"
#include "Velmora_TLB.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

bool HasType(const TVariant& v, const TTypeRef& type) {
    switch (type.kind) {
    case TTypeKind::I2:
        return v.Type() == TVarType::I2;
    case TTypeKind::I4:
    case TTypeKind::Enum:
        return v.Type() == TVarType::I4;
    case TTypeKind::Bool:
        return v.Type() == TVarType::Bool;
    case TTypeKind::Str:
        return v.Type() == TVarType::BStr;
    case TTypeKind::Interface:
        return v.Type() == TVarType::Unknown;
    case TTypeKind::I2ByRef:
        return v.Type() == TVarType::I2ByRef;
    case TTypeKind::Void:
        return true;
    }
    return false;
}

// Accepts every call that checked out and verifies that it did.
class TCheckingTarget : public TDispatchTarget {
public:
    HRESULT GetProperty(const TMemberDesc& member, TVariant& value) override {
        Check((member.access & kMemberGet) != 0);
        value = TVariant::I4(0);
        return S_OK;
    }
    HRESULT PutProperty(const TMemberDesc& member, const TVariant& value, bool byRef) override {
        Check((member.access & (byRef ? kMemberPutRef : kMemberPut)) != 0);
        Check(HasType(value, member.type));
        return S_OK;
    }
    HRESULT CallMethod(const TMemberDesc& member, std::span<TVariant> args) override {
        Check((member.access & kMemberMethod) != 0);
        Check(args.size() == member.params.size());
        for (size_t i = 0; i < args.size(); ++i) {
            Check(HasType(args[i], member.params[i].type));
            // A by-reference argument may be written by the callee.
            if (int16_t* ref = args[i].AsI2Ref()) *ref = static_cast<int16_t>(*ref + 1);
        }
        return S_OK;
    }
};

TVariant ReadArgument(TByteReader& in, int16_t& refTarget) {
    switch (in.byte() % 7) {
    case 0:
        return TVariant();
    case 1:
        return TVariant::I2(static_cast<int16_t>(in.u16be()));
    case 2:
        return TVariant::I4(static_cast<int32_t>(in.u32le()));
    case 3:
        return TVariant::Bool(static_cast<WordBool>(in.u16be()));
    case 4: {
        std::u16string text;
        const size_t n = in.byte() % 16;
        for (size_t i = 0; i < n; ++i)
            text.push_back(static_cast<char16_t>(in.u16be()));
        return TVariant::Str(text);
    }
    case 5:
        return TVariant::Unknown(nullptr);
    default:
        return TVariant::I2Ref(&refTarget);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    if (data[0] & 1) {
        const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
        if (auto guid = TGuid::Parse(text)) {
            // Only the exact form parses, so it prints back the same but for case.
            const std::string again = guid->ToString();
            Check(again.size() == text.size());
            Check(TGuid::Parse(again) == guid);
        }
        return 0;
    }
    TByteReader in(std::span<const uint8_t>(data + 1, size - 1));
    try {
        const auto id = static_cast<DISPID>(in.u32le());
        const uint16_t flags = in.u16be();
        const size_t count = in.byte() % 4;
        std::vector<int16_t> refs(count, 0);
        std::vector<TVariant> args;
        for (size_t i = 0; i < count; ++i)
            args.push_back(ReadArgument(in, refs[i]));
        TDispParams params{args.empty() ? nullptr : args.data(), static_cast<uint32_t>(count)};
        TCheckingTarget target;
        TVariant result;
        TExcepInfo excep;
        const TInterfaceDesc& desc = (data[0] & 2) ? IVelmoraEventsDesc : IVelmoraDesc;
        DispatchInvoke(desc, target, id, flags, (data[0] & 4) ? nullptr : &params,
                       (data[0] & 8) ? nullptr : &result, &excep);
    } catch (const EReadError&) {}
    return 0;
}
