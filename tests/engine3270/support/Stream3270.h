// 3270 bytes as a host writes them and as a terminal answers: buffer
// addresses in the 12-bit code, text in the host code of the built-in tables,
// and a builder for the host's write records.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "uCodeTables.h"

namespace s3270 {

using Bytes = std::vector<uint8_t>;

// The 64 codes of the 6-bit halves of a 12-bit buffer address.
inline constexpr uint8_t kAddressCode[64] = {
    0x40, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x61, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F};

// 0-based buffer address of a 1-based row and column on the 80-column screen.
constexpr int Cell(int row, int col) {
    return (row - 1) * 80 + (col - 1);
}

inline Bytes Address(int address) {
    return {kAddressCode[(address >> 6) & 0x3F], kAddressCode[address & 0x3F]};
}

// Local (Latin-1) text in the host's code, as the engine translates it with
// its built-in tables.
inline Bytes Host(std::string_view text) {
    static const TCodeTables tables = TCodeTables::Builtin();
    Bytes out;
    for (unsigned char c : text)
        out.push_back(tables.LocalToHost[c]);
    return out;
}

// Host code to local text with the built-in tables.
inline std::string Local(const Bytes& bytes) {
    static const TCodeTables tables = TCodeTables::Builtin();
    std::string out;
    for (uint8_t b : bytes)
        out.push_back(static_cast<char>(tables.HostToLocal[b]));
    return out;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Commands in the SNA code, as a host on a TN3270 line sends them.
enum : uint8_t { kWrite = 0xF1, kEraseWrite = 0xF5, kEraseAllUnprotected = 0x6F };
// WCC bits.
enum : uint8_t { kWccResetMdt = 0x01, kWccRestore = 0x02 };
// Field attributes (graphic form).
enum : uint8_t {
    kAttrProtected = 0x60,
    kAttrProtectedHigh = 0xE8,
    kAttrInput = 0x40,
    kAttrInputModified = 0xC1,
    kAttrInputNumeric = 0x50,
    kAttrInputHidden = 0x4C,
    kAttrSkip = 0xF0
};

// A host write record, order by order.
class TWriteRecord {
public:
    TWriteRecord(uint8_t command, uint8_t wcc) : bytes_{command, wcc} {}
    TWriteRecord& Sba(int row, int col) { return SbaAt(Cell(row, col)); }
    TWriteRecord& SbaAt(int address) {
        bytes_.push_back(0x11);
        return Raw(Address(address));
    }
    TWriteRecord& Sf(uint8_t attribute) { return Raw({0x1D, attribute}); }
    // Start field extended with (type, value) pairs.
    TWriteRecord& Sfe(std::initializer_list<std::pair<uint8_t, uint8_t>> pairs) {
        bytes_.push_back(0x29);
        bytes_.push_back(static_cast<uint8_t>(pairs.size()));
        for (auto [type, value] : pairs)
            Raw({type, value});
        return *this;
    }
    TWriteRecord& Ic() { return Raw({0x13}); }
    TWriteRecord& Text(std::string_view text) { return Raw(Host(text)); }
    TWriteRecord& Raw(const Bytes& bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    const Bytes& bytes() const { return bytes_; }
    operator const Bytes&() const { return bytes_; }

private:
    Bytes bytes_;
};

} // namespace s3270
