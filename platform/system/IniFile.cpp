#include "IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>

#include "NoCase.h"

namespace {

// Settings files are a few kilobytes; the bound keeps a wrong path (a log, a
// disk image) from filling memory. Whatever lies past it is not read.
constexpr size_t kMaxFileBytes = size_t{1} << 20;
constexpr size_t kReadChunk = 64 * 1024;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Values are quoted to keep blanks at their ends; only one matching pair comes off.
std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// The first kMaxFileBytes of a regular file; empty for anything else or on any error.
std::string ReadBounded(const std::string& path) {
    // O_NONBLOCK so that a FIFO at the path cannot hang the caller in open();
    // it has no effect on regular files.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return {};
    std::string text;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return {};
    }
    while (text.size() < kMaxFileBytes) {
        const size_t had = text.size();
        text.resize(std::min(had + kReadChunk, kMaxFileBytes));
        const ssize_t n = ::read(fd, text.data() + had, text.size() - had);
        text.resize(had + (n > 0 ? static_cast<size_t>(n) : 0));
        if (n > 0 || (n < 0 && errno == EINTR)) continue;
        // A file that fails part way reads as empty, like one that cannot be opened.
        if (n < 0) text.clear();
        break;
    }
    ::close(fd);
    return text;
}

std::optional<int32_t> ParseHex(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * 16 + static_cast<uint64_t>(d);
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    // Hexadecimal is a 32-bit pattern: $FFFFFFFF is -1, as settings files
    // have always written colours and masks.
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::optional<int32_t> ParseInteger(std::string_view s) {
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) return ParseHex(s.substr(2));
    if (!s.empty() && s[0] == '$') return ParseHex(s.substr(1));
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

} // namespace

TIniFile::TIniFile(const std::string& path) {
    Parse(ReadBounded(path));
}

TIniFile TIniFile::FromText(std::string_view text) {
    TIniFile ini;
    ini.Parse(text);
    return ini;
}

void TIniFile::Parse(std::string_view text) {
    // An editor that marks UTF-8 puts a byte-order mark before the first
    // section; it is not part of the section's name.
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (text.starts_with(kBom)) text.remove_prefix(kBom.size());

    // Keys before the first section belong to none and cannot be looked up.
    bool inSection = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = Trim(line);
        if (line.empty() || line.front() == ';') continue;

        if (line.front() == '[') {
            // "[Name]" with anything after the bracket ignored; a line with no
            // closing bracket is not a header and changes nothing.
            const size_t close = line.find(']');
            if (close == std::string_view::npos) continue;
            sections_.push_back(Section{std::string(Trim(line.substr(1, close - 1))), {}});
            inSection = true;
            continue;
        }

        const size_t eq = line.find('=');
        if (!inSection || eq == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(0, eq));
        if (key.empty()) continue;
        const std::string_view value = Unquote(Trim(line.substr(eq + 1)));
        sections_.back().entries.push_back(Entry{std::string(key), std::string(value)});
    }
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
    // Only the first section of a name is searched: a later one of the same
    // name is never read, as with the settings files this stands in for.
    for (const Section& s : sections_) {
        if (!EqualNoCase(s.name, section)) continue;
        for (const Entry& e : s.entries) {
            if (EqualNoCase(e.key, key)) return e.value;
        }
        break;
    }
    return std::string(def);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
    const std::string text = ReadString(section, key, "");
    return ParseInteger(text).value_or(def);
}

bool TIniFile::SectionExists(std::string_view section) const {
    for (const Section& s : sections_) {
        if (EqualNoCase(s.name, section)) return true;
    }
    return false;
}
