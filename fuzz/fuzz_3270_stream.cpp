// Arbitrary host records for the 3270 interpreter, one after another on one
// session's stream: nothing may read or write outside the record or the
// screen, the attribute plane must stay consistent with the field attributes,
// every reply must start with its AID, and the host fields built from the
// screen must lie on it, one row at most each.
//
// Input: a first byte of switches (0x01: the user types now and then,
// 0x02 and 0x04 pick the key; 0x08: the checks run after every record, not
// only at the end), then records separated by FF EF (the telnet end of
// record), each handed over in two pieces as a socket might.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "FuzzInput.h"

#include "uPLTn3270.h"

namespace {

using fuzz::Check;

// Every cell carries its field's attribute (the changed bit aside); an
// unformatted screen carries none.
FUZZ_UNTRACED void CheckScreen(const TPLTn3270display& d) {
    Check(d.Cursor() >= 0 && d.Cursor() < d.Size());
    const int first = d.FindNextField(0);
    Check(d.Formatted() == (first != -1));
    const uint8_t keep = static_cast<uint8_t>(~attr3270::ChangedBit);
    uint8_t current = first == -1 ? 0 : d.Attrs[d.FindFieldStart(d.LastCell())];
    const uint8_t* marks = d.FieldMarks();
    for (int c = 0; c < d.Size(); ++c) {
        if (marks[c]) current = d.Attrs[c];
        Check((d.Attrs[c] & keep) == (current & keep));
        Check((d.Attrs[c] & 0xC0) == 0);
    }
}

FUZZ_UNTRACED void CheckFields(const THostFields& list) {
    for (const auto& f : list.Fields) {
        Check(f->Pos >= 1 && f->Len >= 1 && f->Pos + f->Len - 1 <= 1920);
        Check((f->Pos - 1) / 80 == (f->Pos + f->Len - 2) / 80);
        Check(static_cast<int>(f->Data.size()) <= f->Len);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t switches = data[0];
    auto session = std::make_shared<TPLTn3270>(1);
    TPLTn3270stream& stream = *session->Stream3270();
    TPLTn3270display& display = *stream.Display3270();
    stream.OnSend = [&stream](const uint8_t* reply, size_t len) {
        Check(len >= 1);
        Check(reply[0] == stream.PendingAid || reply[0] == aid3270::StructuredField);
    };

    auto checkAll = [&] {
        CheckScreen(display);
        session->GenHostFields();
        CheckFields(session->HostFields);
    };
    std::span<const uint8_t> rest(data + 1, size - 1);
    for (unsigned records = 0; !rest.empty(); ++records) {
        const auto [record, after] = fuzz::NextRecord(rest);
        const size_t half = record.size() / 2;
        stream.AddData(record.data(), half);
        stream.AddData(record.data() + half, record.size() - half);
        try {
            stream.ProcessRecord();
        } catch (const EPLError&) {}
        // Checking the whole screen after every record costs more than the
        // record: an input asks for it (0x08), else it is checked at its end.
        if (switches & 0x08) checkAll();
        // The user answers now and then (after every eighth record, and the
        // last): every unprotected field typed into.
        if ((switches & 0x01) && (records % 8 == 0 || after.empty())) {
            if (!(switches & 0x08)) session->GenHostFields();
            THostFields input;
            for (const auto& f : session->HostFields.Fields) {
                auto typed = std::make_unique<THostBasicField>();
                typed->CopyFrom(f.get());
                typed->Data = "AB CD";
                typed->SetAttr({attUnProtected, attModified});
                input.Add(std::move(typed));
            }
            input.CurPos = static_cast<int16_t>(switches * 7);
            TMemoryStream in;
            input.SaveToStream(in);
            session->PutScreenInput(in.bytes());
            CheckScreen(display);
            session->SetAid(switches & 0x02 ? "@E" : switches & 0x04 ? "@C" : "@x");
        }
        rest = after;
    }
    checkAll();
    return 0;
}
