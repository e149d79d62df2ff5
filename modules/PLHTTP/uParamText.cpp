#include "uParamText.h"

#include <algorithm>
#include <cstring>

std::string ReadParamText(const char* buffer, int32_t size) {
    if (!buffer || size <= 0) return {};
    return std::string(buffer, ::strnlen(buffer, static_cast<size_t>(size)));
}

void WriteParamText(char* buffer, int32_t size, const std::string& text) {
    if (!buffer || size <= 0) return;
    const size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}
