// The parameter text in the caller's buffer of ParamDialog: read and written
// within the size the caller gave, never past it. Caller's thread.
#pragma once

#include <cstdint>
#include <string>

// The text up to the first zero byte, or the whole buffer when it holds none.
std::string ReadParamText(const char* buffer, int32_t size);

// Writes the text cut to size - 1 bytes and a zero byte after it.
void WriteParamText(char* buffer, int32_t size, const std::string& text);
