#include "uTableEntryModel.h"

#include <cstdio>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

std::optional<uint8_t> TTableEntryModel::Parse(const std::string& text, TMode mode) {
    if (mode == TMode::Hexadecimal) {
        if (text.size() != 2) return std::nullopt;
        int hi = HexDigit(text[0]), lo = HexDigit(text[1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        return static_cast<uint8_t>(hi * 16 + lo);
    }
    if (text.empty() || text.size() > 3) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > 255) return std::nullopt;
    return static_cast<uint8_t>(value);
}

std::string TTableEntryModel::Format(uint8_t value, TMode mode) {
    char buf[4];
    std::snprintf(buf, sizeof buf, mode == TMode::Decimal ? "%.3d" : "%02X", value);
    return buf;
}

void TTableEntryModel::SetValue(uint8_t value) {
    oldValue_ = newValue_ = value;
    mode_ = TMode::Hexadecimal;
    oldText_ = Format(value, TMode::Hexadecimal);
    newText_ = oldText_;
}

void TTableEntryModel::SetMode(TMode mode) {
    if (mode == mode_) return;
    auto value = Parse(newText_, mode_);
    mode_ = mode;
    if (value)
        newText_ = Format(*value, mode);
    else if (newText_.size() > static_cast<size_t>(MaxLength()))
        newText_.resize(static_cast<size_t>(MaxLength()));
}

void TTableEntryModel::SetNewText(const std::string& text) {
    newText_ = text.substr(0, static_cast<size_t>(MaxLength()));
}

bool TTableEntryModel::Accept() {
    auto value = Parse(newText_, mode_);
    if (!value) return false;
    newValue_ = *value;
    return true;
}

bool TTableEntryModel::KeyAllowed(char c) const {
    return mode_ == TMode::Decimal ? (c >= '0' && c <= '9') : HexDigit(c) >= 0;
}
