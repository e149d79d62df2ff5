// Arbitrary field-list streams as SendToScreen receives them from a caller,
// against a screen with input fields, whole-screen or window-relative:
// positions, lengths and the cursor must never reach outside the display.
#include <cstddef>
#include <cstdint>

#include "uPLTn5250.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    auto session = std::make_shared<TPLTn5250>(1);
    TPLTn5250display& display = *session->Stream5250()->Display5250();
    for (int i = 0; i < 6; ++i) {
        auto rec = std::make_unique<TFieldFormatRec>(static_cast<uint16_t>(10 + i * 37));
        rec->Row = static_cast<uint8_t>(3 + i * 3);
        rec->Col = static_cast<uint8_t>(i % 2 ? 81 : 20);
        rec->Attribute = 0x24;
        rec->FFW1 = 0x40;
        display.AddField(std::move(rec));
    }
    session->GenHostFields();
    // The first bytes make the current list window-relative, as after a
    // detected pop-up, with any rectangle.
    if (data[0] & 1) {
        session->HostFields.WindowMode = 1;
        session->HostFields.WinTop = data[1];
        session->HostFields.WinLeft = data[2];
        session->HostFields.WinRight = data[3];
    }
    try {
        session->PutScreenInput(std::span<const uint8_t>(data + 4, size - 4));
    } catch (const EReadError&) {}
    session->GenHostFields();
    return 0;
}
