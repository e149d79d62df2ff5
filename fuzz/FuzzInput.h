// What the fuzz targets share: an input cut into host records, and the
// checks of what the code under test left. The targets' own code is kept out
// of the coverage feedback (FUZZ_UNTRACED): a loop over every cell or byte
// there would cost more than the code it checks and guide nothing.
// Records reach an interpreter through the stream's buffer, which under
// AddressSanitizer lets no read pass a record's end: whatever its length,
// a record is seen in memory of exactly its own size.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#define FUZZ_UNTRACED __attribute__((no_sanitize("coverage")))

namespace fuzz {

FUZZ_UNTRACED inline void Check(bool ok) {
    if (!ok) std::abort();
}

// The record at the start of rest (up to the telnet record end FF EF, or all
// of rest when none follows) and what comes after that end.
struct TCut {
    std::span<const uint8_t> record, rest;
};

FUZZ_UNTRACED inline TCut NextRecord(std::span<const uint8_t> rest) {
    const uint8_t* const begin = rest.data();
    const uint8_t* const end = begin + rest.size();
    for (const uint8_t* p = begin; p < end;) {
        const void* hit = std::memchr(p, 0xFF, static_cast<size_t>(end - p));
        if (!hit) break;
        const uint8_t* ff = static_cast<const uint8_t*>(hit);
        if (ff + 1 < end && ff[1] == 0xEF) {
            const auto len = static_cast<size_t>(ff - begin);
            return {rest.first(len), rest.subspan(len + 2)};
        }
        p = ff + 1;
    }
    return {rest, {}};
}

} // namespace fuzz
