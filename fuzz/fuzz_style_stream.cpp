// Arbitrary bytes as a style stream (a screen profile from the registry): the
// reader must refuse what it cannot read without reading past the bytes and
// without changing the style; what it reads must hold values the view can
// use, and must save and read back to the same style.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "uPleStyle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TPleStyleDetail style;
    style.ApplyPreset(pleWindows);
    const TPleStyleDetail before = style;
    TMemoryStream in(std::span<const uint8_t>(data, size));
    try {
        style.LoadFromStream(in);
    } catch (const EReadError&) {
        if (!(style == before) || in.position() != 0) std::abort();
        return 0;
    }
    if (in.position() > size) std::abort();
    if (style.EditBorderStyle > ebs3D || style.ReverseStyle > ebs3D || style.Font.Pitch > fpFixed)
        std::abort();
    if (style.Font.Size < TPleStyleDetail::kMinFontSize ||
        style.Font.Size > TPleStyleDetail::kMaxFontSize ||
        style.Font.Name.size() > TPleStyleDetail::kMaxFontNameLength)
        std::abort();

    TMemoryStream out;
    style.SaveToStream(out);
    out.setPosition(0);
    TPleStyleDetail again;
    again.LoadFromStream(out); // what was written must read
    if (!(again == style) || out.position() != out.size()) std::abort();
    return 0;
}
