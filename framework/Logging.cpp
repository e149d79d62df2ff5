#include "Logging.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
bool DebugOutputOn() {
    static const bool on = [] {
        const char* v = std::getenv("PL_DEBUG_OUTPUT");
        return v && std::strcmp(v, "1") == 0;
    }();
    return on;
}
} // namespace

void DebugOut(std::string_view text) {
    if (!DebugOutputOn()) return;
    std::string line(text);
    if (line.empty() || line.back() != '\n') line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}
