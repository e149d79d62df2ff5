#include "RegistryHive.h"

#include <algorithm>
#include <unordered_set>

#include "NoCase.h"

namespace {

bool Printable(unsigned char c) {
    return c >= 0x20 && c < 0x7F;
}

constexpr char kHexDigits[] = "0123456789abcdef";
// What the reader refuses, in the words the writer uses for the same.
constexpr const char* kHiveTooLarge = "hive file too large";
constexpr const char* kBadKeyName = "bad key name";
constexpr const char* kPathTooDeep = "key path too deep";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendHexByte(std::string& out, unsigned char c) {
    out += kHexDigits[c >> 4];
    out += kHexDigits[c & 0x0F];
}

// The bounded cursor every line is read through: it never passes the end of
// the line it was given, and every failure names what was expected.
class TLineReader {
public:
    explicit TLineReader(std::string_view line) : line_(line) {}
    bool AtEnd() const { return pos_ >= line_.size(); }
    char Peek() const { return AtEnd() ? '\0' : line_[pos_]; }
    bool Take(char c) {
        if (AtEnd() || line_[pos_] != c) return false;
        ++pos_;
        return true;
    }
    bool TakeWord(std::string_view word) {
        if (line_.substr(pos_).substr(0, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }
    // Two hex digits as one byte.
    bool TakeHexByte(unsigned char& out) {
        if (line_.size() - pos_ < 2) return false;
        const int hi = HexDigit(line_[pos_]), lo = HexDigit(line_[pos_ + 1]);
        if (hi < 0 || lo < 0) return false;
        out = static_cast<unsigned char>(hi << 4 | lo);
        pos_ += 2;
        return true;
    }
    // A quoted text with \\, \" and \xNN escapes.
    bool TakeQuoted(std::string& out, size_t maxLength) {
        if (!Take('"')) return false;
        out.clear();
        while (!AtEnd()) {
            // Plain text up to the next quote or escape is taken whole, so
            // that a long value does not grow a byte at a time.
            size_t end = pos_;
            while (end < line_.size() && line_[end] != '"' && line_[end] != '\\')
                ++end;
            if (end - pos_ > maxLength - out.size()) return false;
            out.append(line_.substr(pos_, end - pos_));
            pos_ = end;
            if (AtEnd()) return false;
            if (line_[pos_++] == '"') return true;
            // An escape.
            if (AtEnd()) return false;
            const char e = line_[pos_++];
            char c = e;
            if (e == 'x') {
                unsigned char b = 0;
                if (!TakeHexByte(b)) return false;
                c = static_cast<char>(b);
            } else if (e != '\\' && e != '"') {
                return false;
            }
            if (out.size() >= maxLength) return false;
            out += c;
        }
        return false;
    }
    std::string_view Rest() const { return line_.substr(std::min(pos_, line_.size())); }

private:
    std::string_view line_;
    size_t pos_ = 0;
};

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    size_t i = 0;
    while (i < text.size()) {
        // Text that needs no escape goes out whole.
        size_t end = i;
        while (end < text.size() && Printable(static_cast<unsigned char>(text[end])) &&
               text[end] != '\\' && text[end] != '"')
            ++end;
        out.append(text.substr(i, end - i));
        if (end == text.size()) break;
        const auto c = static_cast<unsigned char>(text[end]);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            AppendHexByte(out, c);
        }
        i = end + 1;
    }
    out += '"';
}

void AppendKeyName(std::string& out, std::string_view name) {
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (!Printable(c) || c == '%' || c == '[' || c == ']' || c == '"') {
            out += '%';
            AppendHexByte(out, c);
        } else {
            out += ch;
        }
    }
}

// A section header's text between '[' and ']': key names split at '\'
// with %XX decoded. Empty text is the root.
bool ParseKeyPath(std::string_view text, std::vector<std::string>& path, std::string& error) {
    path.clear();
    if (text.empty()) return true;
    std::string name;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\\') {
            if (!ValidHiveKeyName(name)) {
                error = kBadKeyName;
                return false;
            }
            if (path.size() >= kMaxHiveDepth) {
                error = kPathTooDeep;
                return false;
            }
            path.push_back(std::move(name));
            name.clear();
            continue;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            if (text.size() - i < 3) {
                error = "bad %XX escape";
                return false;
            }
            const int hi = HexDigit(text[i + 1]), lo = HexDigit(text[i + 2]);
            if (hi < 0 || lo < 0) {
                error = "bad %XX escape";
                return false;
            }
            name += static_cast<char>(hi << 4 | lo);
            i += 2;
        } else if (!Printable(c) || c == '[' || c == ']' || c == '"') {
            error = "unescaped byte in key name";
            return false;
        } else {
            name += text[i];
        }
        if (name.size() > kMaxKeyNameLength) {
            error = kBadKeyName;
            return false;
        }
    }
    return true;
}

bool ParseValueLine(std::string_view line, THiveValue& value, std::string& error) {
    TLineReader r(line);
    if (!r.TakeQuoted(value.name, kMaxValueNameLength) || !r.Take('=')) {
        error = "expected \"name\"=";
        return false;
    }
    if (r.TakeWord("sz:")) {
        value.type = TRegDataType::String;
        // A string may be as long as the file allows.
        if (!r.TakeQuoted(value.text, kMaxHiveBytes)) {
            error = "bad string";
            return false;
        }
    } else if (r.TakeWord("dword:")) {
        value.type = TRegDataType::Integer;
        uint32_t n = 0;
        size_t digits = 0;
        while (!r.AtEnd() && HexDigit(r.Peek()) >= 0) {
            if (++digits > 8) {
                error = "dword longer than 8 digits";
                return false;
            }
            n = n << 4 | static_cast<uint32_t>(HexDigit(r.Peek()));
            r.Take(r.Peek());
        }
        if (digits == 0) {
            error = "bad dword";
            return false;
        }
        value.integer = static_cast<int32_t>(n);
    } else if (r.TakeWord("hex:")) {
        value.type = TRegDataType::Binary;
        unsigned char b = 0;
        if (r.TakeHexByte(b)) {
            value.binary.push_back(b);
            while (r.Take(',')) {
                if (!r.TakeHexByte(b)) {
                    error = "bad hex byte";
                    return false;
                }
                value.binary.push_back(b);
            }
        }
    } else {
        error = "unknown value type";
        return false;
    }
    for (const char c : r.Rest()) {
        if (c != ' ' && c != '\t') {
            error = "text after the value";
            return false;
        }
    }
    return true;
}

// False, naming it in error, once the text is beyond what the reader takes.
bool WithinFileBound(const std::string& text, std::string& error) {
    if (text.size() <= kMaxHiveBytes) return true;
    error = kHiveTooLarge;
    return false;
}

// Writes a key and its subkeys at depth below the root; stops at the first
// name or size the reader would refuse, named in error. Stopping once the
// text passes the file bound also keeps a tree whose paths repeat at every
// depth from filling memory with text that would never be kept.
bool WriteKey(std::string& out, const THiveKey& key, std::string& path, size_t depth,
              std::string& error) {
    out += '[';
    out += path;
    out += "]\n";
    if (!WithinFileBound(out, error)) return false;
    for (const THiveValue& v : key.Values()) {
        if (v.name.size() > kMaxValueNameLength) {
            error = "value name too long";
            return false;
        }
        AppendQuoted(out, v.name);
        switch (v.type) {
        case TRegDataType::Integer: {
            out += "=dword:";
            const auto n = static_cast<uint32_t>(v.integer);
            for (int shift = 28; shift >= 0; shift -= 4)
                out += kHexDigits[(n >> shift) & 0x0F];
            break;
        }
        case TRegDataType::Binary:
            out += "=hex:";
            for (size_t i = 0; i < v.binary.size(); ++i) {
                if (i) out += ',';
                AppendHexByte(out, v.binary[i]);
            }
            break;
        default:
            out += "=sz:";
            AppendQuoted(out, v.text);
            break;
        }
        out += '\n';
        if (!WithinFileBound(out, error)) return false;
    }
    out += '\n';
    for (const auto& sub : key.Keys()) {
        if (!ValidHiveKeyName(sub->Name())) {
            error = kBadKeyName;
            return false;
        }
        if (depth >= kMaxHiveDepth) {
            error = kPathTooDeep;
            return false;
        }
        const size_t had = path.size();
        if (had) path += '\\';
        AppendKeyName(path, sub->Name());
        if (!WriteKey(out, *sub, path, depth + 1, error)) return false;
        path.resize(had);
    }
    return true;
}

} // namespace

bool HiveSameName(std::string_view a, std::string_view b) {
    return EqualNoCase(a, b);
}

bool ValidHiveKeyName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxKeyNameLength &&
           name.find('\\') == std::string_view::npos;
}

std::string THiveKey::Folded(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

void THiveKey::ReindexKeys() {
    keyIndex_.clear();
    for (size_t i = 0; i < keys_.size(); ++i)
        keyIndex_.emplace(Folded(keys_[i]->Name()), i);
}

void THiveKey::ReindexValues() {
    valueIndex_.clear();
    for (size_t i = 0; i < values_.size(); ++i)
        valueIndex_.emplace(Folded(values_[i].name), i);
}

THiveKey* THiveKey::FindKey(std::string_view name) {
    const auto it = keyIndex_.find(Folded(name));
    return it == keyIndex_.end() ? nullptr : keys_[it->second].get();
}

const THiveKey* THiveKey::FindKey(std::string_view name) const {
    const auto it = keyIndex_.find(Folded(name));
    return it == keyIndex_.end() ? nullptr : keys_[it->second].get();
}

THiveKey& THiveKey::AddKey(std::string_view name) {
    if (THiveKey* existing = FindKey(name)) return *existing;
    keys_.push_back(std::make_unique<THiveKey>(std::string(name)));
    keyIndex_.emplace(Folded(name), keys_.size() - 1);
    return *keys_.back();
}

bool THiveKey::RemoveKey(std::string_view name) {
    const auto it = keyIndex_.find(Folded(name));
    if (it == keyIndex_.end()) return false;
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(it->second));
    ReindexKeys();
    return true;
}

const THiveValue* THiveKey::FindValue(std::string_view name) const {
    const auto it = valueIndex_.find(Folded(name));
    return it == valueIndex_.end() ? nullptr : &values_[it->second];
}

void THiveKey::SetValue(THiveValue value) {
    const auto it = valueIndex_.find(Folded(value.name));
    if (it != valueIndex_.end()) {
        value.name = values_[it->second].name;
        values_[it->second] = std::move(value);
        return;
    }
    std::string key = Folded(value.name);
    values_.push_back(std::move(value));
    valueIndex_.emplace(std::move(key), values_.size() - 1);
}

bool THiveKey::RemoveValue(std::string_view name) {
    const auto it = valueIndex_.find(Folded(name));
    if (it == valueIndex_.end()) return false;
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(it->second));
    ReindexValues();
    return true;
}

THiveParseResult ParseHive(std::string_view text) {
    THiveParseResult result;
    auto root = std::make_unique<THiveKey>("");
    if (text.size() > kMaxHiveBytes) {
        result.error = kHiveTooLarge;
        result.root = std::move(root);
        return result;
    }
    // Keys declared by a header so far; a key only implied as the parent of
    // a later one may still get its own header.
    std::unordered_set<const THiveKey*> declared;
    THiveKey* current = nullptr;
    size_t lineNo = 0;
    size_t pos = 0;
    std::vector<std::string> path;
    std::string error;
    auto fail = [&](const std::string& what) {
        result.error = "line " + std::to_string(lineNo) + ": " + what;
        result.root = std::move(root);
        return std::move(result);
    };
    while (pos < text.size()) {
        ++lineNo;
        const size_t eol = text.find('\n', pos);
        std::string_view line =
            text.substr(pos, eol == std::string_view::npos ? std::string_view::npos : eol - pos);
        pos = eol == std::string_view::npos ? text.size() : eol + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;

        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 2) return fail("bad section header");
            if (!ParseKeyPath(line.substr(1, line.size() - 2), path, error)) return fail(error);
            THiveKey* key = root.get();
            for (const std::string& name : path)
                key = &key->AddKey(name);
            if (!declared.insert(key).second) return fail("key named twice");
            current = key;
            continue;
        }
        if (!current) return fail("value before the first key");
        THiveValue value;
        if (!ParseValueLine(line, value, error)) return fail(error);
        if (current->FindValue(value.name)) return fail("value named twice");
        current->SetValue(std::move(value));
    }
    result.root = std::move(root);
    return result;
}

THiveWriteResult WriteHive(const THiveKey& root) {
    THiveWriteResult result;
    result.text = "; Corvalen registry hive\n";
    std::string path;
    if (WriteKey(result.text, root, path, 0, result.error))
        WithinFileBound(result.text, result.error);
    return result;
}

bool SameHive(const THiveKey& a, const THiveKey& b) {
    if (a.Name() != b.Name() || a.Keys().size() != b.Keys().size() ||
        a.Values().size() != b.Values().size())
        return false;
    for (size_t i = 0; i < a.Values().size(); ++i) {
        const THiveValue &x = a.Values()[i], &y = b.Values()[i];
        if (x.name != y.name || x.type != y.type) return false;
        if (x.type == TRegDataType::Integer && x.integer != y.integer) return false;
        if (x.type == TRegDataType::Binary && x.binary != y.binary) return false;
        if (x.type == TRegDataType::String && x.text != y.text) return false;
    }
    for (size_t i = 0; i < a.Keys().size(); ++i) {
        if (!SameHive(*a.Keys()[i], *b.Keys()[i])) return false;
    }
    return true;
}
