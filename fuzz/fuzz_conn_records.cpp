// Arbitrary bytes as the stored connections (the registry value
// "Connections"): the reader keeps the records that read whole and never
// reads past the bytes; what it keeps must write back in no more bytes and
// read back to the same connections.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "uConnParm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TConnList list = LoadConnections(std::span<const uint8_t>(data, size));
    const std::vector<uint8_t> again = SaveConnections(list);
    if (again.size() > size) std::abort();
    // The writer picks the shortest form, so the list never grows.
    const TConnList back = LoadConnections(again);
    if (back.size() != list.size()) std::abort();
    for (size_t i = 0; i < list.size(); ++i) {
        if (back[i]->Name != list[i]->Name || back[i]->Param != list[i]->Param ||
            back[i]->ConnType != list[i]->ConnType)
            std::abort();
    }
    return 0;
}
