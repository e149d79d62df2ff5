#include "uParamItems.h"

#include <algorithm>
#include <cctype>

std::string TrimBlanks(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    return text.substr(b, e - b);
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::vector<std::pair<std::string, std::string>>
ParseParamItems(const std::string& params, const std::vector<std::string>& keys,
                const std::vector<std::string>& rawKeys) {
    std::vector<std::pair<std::string, std::string>> items;
    std::string rest = TrimBlanks(params);
    for (;;) {
        for (const auto& key : keys) {
            if (rest.size() < key.size() || !EqualsIgnoreCase(rest.substr(0, key.size()), key))
                continue;
            const bool raw = std::find(rawKeys.begin(), rawKeys.end(), key) != rawKeys.end();
            std::string value = rest.substr(key.size());
            if (!raw) value = TrimBlanks(value);
            value = value.substr(0, value.find(';'));
            items.emplace_back(key, value);
            break;
        }
        const size_t semi = rest.find(';');
        if (semi == std::string::npos) break;
        rest = rest.substr(semi + 1);
    }
    return items;
}
