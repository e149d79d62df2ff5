// Arbitrary host records for the 5250 interpreter, one after another on one
// stream: nothing may read or write outside the record or the screen, every
// record sent back must be framed, and the screen must stay consistent.
//
// Input: a first byte of switches, then records separated by FF EF (the
// telnet end of record), each handed over in two pieces as a socket might.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "FuzzInput.h"

#include "uPLTn5250stream.h"

namespace {

using fuzz::Check;

// Every record the stream sends: a header announcing the true length.
FUZZ_UNTRACED void CheckSent(const uint8_t* data, size_t len) {
    Check(len >= T5250RecordHeader::kSize && len <= 0xFFFF);
    Check(static_cast<size_t>(data[0] << 8 | data[1]) == len);
    Check(data[2] == 0x12 && data[3] == 0xA0 && data[6] == 0x04);
}

FUZZ_UNTRACED void CheckScreen(const TPLTn5250stream& stream) {
    const TPLTn5250display& d = *stream.Display5250();
    Check(d.Cursor() >= 0 && d.Cursor() < d.CellCount());
    Check(stream.ErrorRow >= 1 && stream.ErrorRow <= 24);
    Check(d.FieldCount() <= TPLTn5250display::kSlots);
    const int cells = d.CellCount();
    for (int pos = 0; pos < cells; ++pos) {
        const uint8_t slot = d.FieldMap[static_cast<size_t>(pos)];
        Check(slot == 0 || d.Field(slot) != nullptr);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t switches = data[0];
    const bool wide = switches & 0x01;
    TPLTn5250stream stream(1, wide ? 27 : 24, wide ? 132 : 80);
    stream.SetErrorAsMessage(switches & 0x02);
    stream.OnSend = CheckSent;

    std::span<const uint8_t> rest(data + 1, size - 1);
    while (!rest.empty()) {
        const auto [record, after] = fuzz::NextRecord(rest);
        const size_t half = record.size() / 2;
        stream.AddData(record.data(), half);
        stream.AddData(record.data() + half, record.size() - half);
        stream.ProcessRecord();
        CheckScreen(stream);
        // The user answers now and then, from whatever the host left.
        if (switches & 0x04) {
            stream.PendingAid = 0xF1;
            stream.SendReply();
        }
        rest = after;
    }
    return 0;
}
