// A pair of code-conversion tables between the local character set (Latin-1)
// and the host's EBCDIC, built in or derived from a 256-byte table file.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

struct TCodeTables {
    std::array<uint8_t, 256> LocalToHost{}; // byte i: host code of local code i
    std::array<uint8_t, 256> HostToLocal{}; // byte h: local code of host code h

    static TCodeTables Builtin();
    // From the bytes of a table file: byte i is the host code of local code
    // i; codes the file does not reach convert to themselves. Byte 0 is not
    // used: local 0 and host 0 always stand for each other.
    static TCodeTables FromTableFile(std::span<const uint8_t> bytes);
};

enum class TTableSource { Builtin, File, OpenFailed };

// Reads the tables named by a table file. An empty name, or a name of no file,
// gives the built-in tables; a file that exists but cannot be read gives the
// identity and OpenFailed.
TTableSource LoadCodeTables(const std::string& fileName, TCodeTables& tables);
