#include "Logging.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace debugoutput {

bool ReadSetting() {
    const char* v = std::getenv("PL_DEBUG_OUTPUT");
    return v && std::strcmp(v, "1") == 0;
}

void Write(std::string_view text) {
    std::string line(text);
    if (line.empty() || line.back() != '\n') line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

} // namespace debugoutput
