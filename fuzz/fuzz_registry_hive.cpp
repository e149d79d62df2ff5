// Hive files are edited by hand and may be cut short by a full disk; any
// bytes must parse or be refused, and whatever parses must write back and
// parse again to the same tree, or a rewrite would change what it kept. The
// writer refuses only a text above the file bound (written keys and values
// may take more room than the hand-made text did): then no write is kept.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "RegistryHive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const THiveParseResult first = ParseHive(text);
    if (!first.root) __builtin_trap();
    if (!first.error.empty()) return 0;
    const THiveWriteResult written = WriteHive(*first.root);
    if (!written.error.empty()) {
        if (written.text.size() <= kMaxHiveBytes) __builtin_trap();
        return 0;
    }
    const THiveParseResult second = ParseHive(written.text);
    if (!second.error.empty() || !second.root) __builtin_trap();
    if (!SameHive(*first.root, *second.root)) __builtin_trap();
    // Written text is stable: writing the re-read tree gives the same bytes.
    const THiveWriteResult again = WriteHive(*second.root);
    if (!again.error.empty() || again.text != written.text) __builtin_trap();
    return 0;
}
