// The entry editor's state: the old host code, and the new one as the text
// the user types, in hexadecimal or decimal. User-interface thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class TTableEntryModel {
public:
    enum class TMode { Hexadecimal, Decimal };

    // Both values := value; hexadecimal mode, the text two hexadecimal digits.
    void SetValue(uint8_t value);
    // Switches the mode; a text that reads as a code in the old mode is
    // shown as the same code in the new one, other text is kept as far as
    // the new mode's length allows.
    void SetMode(TMode mode);
    void SetNewText(const std::string& text);
    // Stores the new value when the text is a code (0-255 decimal, or two
    // hexadecimal digits); false and nothing stored otherwise.
    bool Accept();

    uint8_t OldValue() const { return oldValue_; }
    uint8_t NewValue() const { return newValue_; }
    TMode Mode() const { return mode_; }
    const std::string& OldText() const { return oldText_; }
    const std::string& NewText() const { return newText_; }
    int MaxLength() const { return mode_ == TMode::Decimal ? 3 : 2; }
    // Whether the character may be typed into the new-value text in this mode.
    bool KeyAllowed(char c) const;

    // The text as a code in the given mode, if it is one.
    static std::optional<uint8_t> Parse(const std::string& text, TMode mode);
    static std::string Format(uint8_t value, TMode mode);

private:
    uint8_t oldValue_ = 0;
    uint8_t newValue_ = 0;
    TMode mode_ = TMode::Hexadecimal;
    std::string oldText_ = "00";
    std::string newText_ = "00";
};
