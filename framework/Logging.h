// Text for the debugger's eyes: written to standard error when the
// environment variable PL_DEBUG_OUTPUT is 1, else dropped. Any thread.
#pragma once

#include <string_view>

void DebugOut(std::string_view text);
