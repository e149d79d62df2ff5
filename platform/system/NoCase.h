// Names that compare without regard to ASCII case, as the system's names do
// (settings-file sections and keys, module file names, registry keys and
// values). Other bytes of 8-bit text must be equal, as they are never decoded.
#pragma once

#include <cstddef>
#include <string_view>

inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}
