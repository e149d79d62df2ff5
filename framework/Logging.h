// Text for the debugger's eyes: written to standard error when the
// environment variable PL_DEBUG_OUTPUT is 1, else dropped. Any thread.
#pragma once

#include <string_view>

namespace debugoutput {
bool ReadSetting(); // PL_DEBUG_OUTPUT is 1
void Write(std::string_view text);
} // namespace debugoutput

// The setting is read once. The interpreters call DebugOut for every order,
// so the check stays inline; a caller that would build a text only for
// DebugOut asks first.
inline bool DebugOutputWanted() {
    static const bool on = debugoutput::ReadSetting();
    return on;
}

inline void DebugOut(std::string_view text) {
    if (DebugOutputWanted()) debugoutput::Write(text);
}
