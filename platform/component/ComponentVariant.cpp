#include "ComponentVariant.h"

TVariant TVariant::I2(int16_t value) {
    TVariant v;
    v.type_ = TVarType::I2;
    v.number_ = value;
    return v;
}

TVariant TVariant::I4(int32_t value) {
    TVariant v;
    v.type_ = TVarType::I4;
    v.number_ = value;
    return v;
}

TVariant TVariant::Bool(WordBool value) {
    TVariant v;
    v.type_ = TVarType::Bool;
    v.number_ = value;
    return v;
}

TVariant TVariant::Str(std::u16string value) {
    TVariant v;
    v.type_ = TVarType::BStr;
    v.text_ = std::move(value);
    return v;
}

TVariant TVariant::Unknown(IUnknown* value) {
    TVariant v;
    v.type_ = TVarType::Unknown;
    v.object_ = TComPtr<IUnknown>(value);
    return v;
}

TVariant TVariant::I2Ref(int16_t* target) {
    TVariant v;
    v.type_ = TVarType::I2ByRef;
    v.ref_ = target;
    return v;
}

std::string WideToLatin1(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        // A character beyond the 16-bit range takes two units; it is one '?'.
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000)
            ++i;
        out += c <= 0xFF ? static_cast<char>(c) : '?';
    }
    return out;
}

std::u16string Latin1ToWide(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text)
        out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}
