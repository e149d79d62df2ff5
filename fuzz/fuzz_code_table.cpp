// Arbitrary table-file contents: loading never reads past them, and the two
// tables always stay inverse where the file decides.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "uCodeTables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto t = TCodeTables::FromTableFile(std::span<const uint8_t>(data, size));
    if (t.LocalToHost[0] != 0 || t.HostToLocal[0] != 0) std::abort();
    for (int i = 1; i < 256; ++i) {
        uint8_t h = t.LocalToHost[i];
        // The host code of every local code leads back to a local code with
        // that same host code (the highest one that shares it).
        if (h != 0 && t.LocalToHost[t.HostToLocal[h]] != h) std::abort();
    }
    return 0;
}
