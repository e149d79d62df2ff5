// The value an automation call carries: empty, a 16-bit or 32-bit integer, a
// 16-bit boolean, a wide string, an interface reference, or a 16-bit integer
// by reference (which the callee may change). The type numbers are those of
// the automation variant, so a log or a test reads them the usual way.
#pragma once

#include <cstdint>
#include <string>

#include "Component.h"

enum class TVarType : uint16_t {
    Empty = 0,
    I2 = 2,
    I4 = 3,
    BStr = 8,
    Bool = 11,
    Unknown = 13,
    I2ByRef = 0x4002,
};

class TVariant {
public:
    TVariant() = default;

    static TVariant I2(int16_t value);
    static TVariant I4(int32_t value);
    // Kept as given: a caller may pass any non-zero value for True.
    static TVariant Bool(WordBool value);
    static TVariant FromBool(bool value) { return Bool(ToWordBool(value)); }
    static TVariant Str(std::u16string value);
    // Holds a reference of its own; null is allowed.
    static TVariant Unknown(IUnknown* value);
    // The callee reads and writes *target during the call; it must outlive it.
    static TVariant I2Ref(int16_t* target);

    TVarType Type() const { return type_; }
    bool IsEmpty() const { return type_ == TVarType::Empty; }

    // Each reads its own type only; another type reads as 0 or empty.
    int16_t AsI2() const { return type_ == TVarType::I2 ? static_cast<int16_t>(number_) : 0; }
    int32_t AsI4() const { return type_ == TVarType::I4 ? number_ : 0; }
    WordBool AsBool() const {
        return type_ == TVarType::Bool ? static_cast<WordBool>(number_) : kWordFalse;
    }
    const std::u16string& AsStr() const { return text_; }
    IUnknown* AsUnknown() const { return object_.Get(); }
    int16_t* AsI2Ref() const { return type_ == TVarType::I2ByRef ? ref_ : nullptr; }

private:
    TVarType type_ = TVarType::Empty;
    int32_t number_ = 0;
    std::u16string text_;
    TComPtr<IUnknown> object_;
    int16_t* ref_ = nullptr;
};

// Wide text and Latin-1 8-bit text, the two forms a caption takes; a
// character outside Latin-1 becomes '?', as an 8-bit code page gives it.
std::string WideToLatin1(const std::u16string& text);
std::u16string Latin1ToWide(const std::string& text);
