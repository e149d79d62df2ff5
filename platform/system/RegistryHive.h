// One registry hive in memory, and the text file it is kept in.
//
// The file is plain text, one line each, LF or CR LF line ends:
//
//   ; a comment (also '#'); blank lines are skipped
//   [SOFTWARE\Keldware\Pallisor\Corvalen]      a key, by its path from the root
//   "Left"=dword:0000001f                       a 32-bit integer, 1 to 8 hex digits
//   "CurrentProfile"=sz:"Blue \"night\"\xE9"    a string
//   "Connections"=hex:01,a0,ff                  binary data, possibly empty ("hex:")
//   []                                          the root key itself
//
// Key names in a section header are separated by '\'; a byte outside printable
// ASCII and the bytes '%', '[', ']' and '"' are written %XX. Value names and
// strings are quoted; inside them '\\', '\"' and \xNN (any byte) are the only
// escapes, and the writer uses \xNN for every byte outside printable ASCII, so
// a hive file is ASCII whatever 8-bit text it holds.
//
// Anything else makes the whole file damaged: a value before the first
// section, a key or value named twice (without regard to case), an empty or
// over-long key or value name, a path deeper than kMaxHiveDepth, a file above
// kMaxHiveBytes. A damaged hive is never rewritten, so nothing a person wrote
// by hand is lost to a guess; and no hive is written that the reader would
// find damaged, so that one write beyond a bound cannot lose every setting.
//
// Keys keep the case they were created with and compare without regard to
// ASCII case; keys and values keep the order they were created in.
// Caller's thread; a hive is not shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Registry.h"

// Bounds of what a hive holds: the sizes the registry has always allowed for
// names, and a file size far beyond any settings but short of filling memory.
// The reader refuses a file beyond any of them, and the writer never writes one.
constexpr size_t kMaxHiveBytes = size_t{16} << 20;
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
constexpr size_t kMaxHiveDepth = 512;

// ASCII letters compare without case; other bytes of 8-bit text must be equal.
bool HiveSameName(std::string_view a, std::string_view b);
// A name a key may have: 1 to kMaxKeyNameLength bytes, no '\'.
bool ValidHiveKeyName(std::string_view name);

struct THiveValue {
    std::string name;
    TRegDataType type = TRegDataType::String;
    std::string text;            // String
    int32_t integer = 0;         // Integer
    std::vector<uint8_t> binary; // Binary
};

class THiveKey {
public:
    explicit THiveKey(std::string name) : name_(std::move(name)) {}
    THiveKey(const THiveKey&) = delete;
    THiveKey& operator=(const THiveKey&) = delete;

    const std::string& Name() const { return name_; }

    const std::vector<std::unique_ptr<THiveKey>>& Keys() const { return keys_; }
    THiveKey* FindKey(std::string_view name);
    const THiveKey* FindKey(std::string_view name) const;
    // The subkey of that name, created last when there is none; the caller
    // checks the name with ValidHiveKeyName.
    THiveKey& AddKey(std::string_view name);
    bool RemoveKey(std::string_view name);

    const std::vector<THiveValue>& Values() const { return values_; }
    const THiveValue* FindValue(std::string_view name) const;
    // Replaces the value of that name in its place (keeping the name's stored
    // case), or adds it last.
    void SetValue(THiveValue value);
    bool RemoveValue(std::string_view name);

private:
    static std::string Folded(std::string_view name);
    void ReindexKeys();
    void ReindexValues();

    std::string name_;
    std::vector<std::unique_ptr<THiveKey>> keys_;
    std::vector<THiveValue> values_;
    // Case-folded name -> position, so that large hives do not parse in
    // quadratic time.
    std::unordered_map<std::string, size_t> keyIndex_;
    std::unordered_map<std::string, size_t> valueIndex_;
};

struct THiveParseResult {
    // Never null; when the text is damaged, what was read before the damage.
    std::unique_ptr<THiveKey> root;
    std::string error; // empty, or what was wrong with its line number
};

struct THiveWriteResult {
    std::string text;
    // Empty, or what ParseHive would refuse in the text (a name or the file
    // beyond its bound); the text is then not to be kept.
    std::string error;
};

THiveParseResult ParseHive(std::string_view text);
THiveWriteResult WriteHive(const THiveKey& root);
// Same names (byte for byte), types, data and order throughout.
bool SameHive(const THiveKey& a, const THiveKey& b);
