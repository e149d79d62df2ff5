// Template files of "Virtual" connections are written by hand; any bytes must
// read as exactly 24 rows of 80 shown characters.
#include <cstddef>
#include <cstdint>
#include <span>

#include "uVirtualTemplate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TVirtualScreen screen = ParseVirtualTemplate(std::span<const uint8_t>(data, size));
    for (const std::string& row : screen) {
        if (row.size() != kTemplateCols) __builtin_trap();
        for (char c : row) {
            const auto b = static_cast<uint8_t>(c);
            if (b < 0x20 || b == 0x7F || (b >= 0x80 && b <= 0x9F)) __builtin_trap();
        }
    }
    return 0;
}
