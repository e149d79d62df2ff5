// The screen of a "Virtual" connection, read from its template file: plain
// text, one line per row, Latin-1. The file is written by hand, so any bytes
// must read as a screen. Caller's thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

inline constexpr size_t kTemplateRows = 24;
inline constexpr size_t kTemplateCols = 80;
// A screen needs about 2 KiB; the rest of a bigger file is never read.
inline constexpr size_t kTemplateMaxBytes = 64 * 1024;

// 24 rows of exactly 80 characters each, blank-filled.
using TVirtualScreen = std::array<std::string, kTemplateRows>;

// Lines end at LF, with or without CR before it. Each line fills one row: cut
// to 80 characters, lines past the 24th ignored, rows without a line blank.
// Latin-1 bytes stay as they are; control characters (C0, DEL and C1) are
// shown as blanks. Only the first kTemplateMaxBytes bytes are read.
TVirtualScreen ParseVirtualTemplate(std::span<const uint8_t> bytes);

// Reads a template file (at most kTemplateMaxBytes of it) and parses it.
// Throws EPLError with a text that names the file when it cannot be read.
TVirtualScreen LoadVirtualTemplate(const std::string& path);
