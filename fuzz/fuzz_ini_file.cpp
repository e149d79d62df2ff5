// Settings files are written by hand and by other programs; any bytes must
// parse, and every lookup must stay inside what was parsed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const TIniFile ini = TIniFile::FromText(text);

    // Names the seeds use, the empty name, and names cut from the input itself
    // so that lookups also hit what the fuzzer wrote.
    const std::string_view head = text.substr(0, std::min<size_t>(text.size(), 8));
    const std::string_view tail = text.substr(text.size() - std::min<size_t>(text.size(), 4));
    for (std::string_view section : {std::string_view("Engine"), std::string_view(""), head}) {
        for (std::string_view key : {std::string_view("LogLevel"), std::string_view(""), tail}) {
            const std::string value = ini.ReadString(section, key, "default");
            const int32_t number = ini.ReadInteger(section, key, -1);
            // A missing key reads as the default both ways.
            if (value == "default" && number != -1) __builtin_trap();
            ini.SectionExists(section);
        }
    }
    return 0;
}
