// Settings files in the INI format, read with the semantics that settings
// files beside a module have always had: sections and keys compare without
// regard to case, the first of two equal sections or keys wins, and a missing
// file, section or key gives the caller's default.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TIniFile {
public:
    // Reads the file once; a file that is missing or cannot be read reads as empty.
    explicit TIniFile(const std::string& path);
    static TIniFile FromText(std::string_view text);

    // The value with blanks around it removed and one pair of surrounding
    // quotes ('...' or "...") taken off.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    // Decimal with an optional sign, or hexadecimal as 0x.../$...; anything
    // else, or a value outside 32 bits, gives the default.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
    bool SectionExists(std::string_view section) const;

private:
    TIniFile() = default;
    void Parse(std::string_view text);
    struct Entry {
        std::string key, value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    std::vector<Section> sections_;
};
