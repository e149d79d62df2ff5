// Arbitrary bytes as a field-list stream: the reader must refuse what it
// cannot read without reading past the bytes, and what it reads must save
// and read back to the same list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "uPlBasFld.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemoryStream in(std::span<const uint8_t>(data, size));
    THostFields list;
    try {
        list.LoadFromStream(in);
    } catch (const EReadError&) {
        return 0;
    }
    list.SetFiltered(true);
    for (int i = 0; i < list.Count(); ++i)
        if (!list.GetField(i)) std::abort();
    TMemoryStream out;
    list.SaveToStream(out);
    THostFields again;
    again.LoadFromStream(out); // what was written must read
    TMemoryStream out2;
    again.SaveToStream(out2);
    if (out.size() != out2.size() ||
        !std::equal(out.bytes().begin(), out.bytes().end(), out2.bytes().begin()))
        std::abort();
    return 0;
}
