#include "Component.h"

#include "ByteReader.h"

namespace {

thread_local std::string errorInfoText;

constexpr char kHex[] = "0123456789ABCDEF";

void AppendHex(std::string& out, uint64_t value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += kHex[(value >> shift) & 0xF];
}

int HexValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// digits hex digits as one number; throws at anything else.
uint32_t TakeHex(TByteReader& r, int digits) {
    uint32_t value = 0;
    for (int i = 0; i < digits; ++i) {
        const int v = HexValue(r.byte());
        if (v < 0) throw EReadError("not a hex digit");
        value = value << 4 | static_cast<uint32_t>(v);
    }
    return value;
}

void Expect(TByteReader& r, char c) {
    if (r.byte() != static_cast<uint8_t>(c)) throw EReadError("unexpected character");
}

} // namespace

std::string ResultText(HRESULT hr) {
    std::string out = "0x";
    AppendHex(out, static_cast<uint32_t>(hr), 8);
    return out;
}

std::string TGuid::ToString() const {
    std::string out;
    out.reserve(38);
    out += '{';
    AppendHex(out, Data1, 8);
    out += '-';
    AppendHex(out, Data2, 4);
    out += '-';
    AppendHex(out, Data3, 4);
    out += '-';
    AppendHex(out, Data4[0], 2);
    AppendHex(out, Data4[1], 2);
    out += '-';
    for (int i = 2; i < 8; ++i)
        AppendHex(out, Data4[i], 2);
    out += '}';
    return out;
}

std::optional<TGuid> TGuid::Parse(std::string_view text) {
    TByteReader r(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    try {
        TGuid g;
        Expect(r, '{');
        g.Data1 = TakeHex(r, 8);
        Expect(r, '-');
        g.Data2 = static_cast<uint16_t>(TakeHex(r, 4));
        Expect(r, '-');
        g.Data3 = static_cast<uint16_t>(TakeHex(r, 4));
        Expect(r, '-');
        g.Data4[0] = static_cast<uint8_t>(TakeHex(r, 2));
        g.Data4[1] = static_cast<uint8_t>(TakeHex(r, 2));
        Expect(r, '-');
        for (int i = 2; i < 8; ++i)
            g.Data4[i] = static_cast<uint8_t>(TakeHex(r, 2));
        Expect(r, '}');
        if (!r.atEnd()) return std::nullopt;
        return g;
    } catch (const EReadError&) {
        return std::nullopt;
    }
}

void SetErrorInfoText(std::string text) {
    errorInfoText = std::move(text);
}

std::string TakeErrorInfoText() {
    return std::exchange(errorInfoText, std::string());
}
