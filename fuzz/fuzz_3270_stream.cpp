// Arbitrary host records for the 3270 interpreter, one after another on one
// session's stream: nothing may read or write outside the record or the
// screen, the attribute plane must stay consistent with the field attributes,
// every reply must start with its AID, and the host fields built from the
// screen must lie on it, one row at most each.
//
// Input: a first byte of switches, then records separated by FF EF (the
// telnet end of record), each handed over in two pieces as a socket might.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "uPLTn3270.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// Every cell carries its field's attribute (the changed bit aside); an
// unformatted screen carries none.
void CheckScreen(const TPLTn3270display& d) {
    Check(d.Cursor() >= 0 && d.Cursor() < d.Size());
    const int first = d.FindNextField(0);
    Check(d.Formatted() == (first != -1));
    const uint8_t keep = static_cast<uint8_t>(~attr3270::ChangedBit);
    uint8_t current = first == -1 ? 0 : d.Attrs[d.FindFieldStart(d.LastCell())];
    for (int c = 0; c < d.Size(); ++c) {
        if (d.IsFieldAttribute(c)) current = d.Attrs[c];
        Check((d.Attrs[c] & keep) == (current & keep));
        Check((d.Attrs[c] & 0xC0) == 0);
    }
}

void CheckFields(const THostFields& list) {
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

    std::span<const uint8_t> rest(data + 1, size - 1);
    while (!rest.empty()) {
        size_t end = 0;
        while (end + 1 < rest.size() && !(rest[end] == 0xFF && rest[end + 1] == 0xEF))
            ++end;
        const bool marked = end + 1 < rest.size();
        const size_t len = marked ? end : rest.size();
        const size_t half = len / 2;
        stream.AddData(rest.data(), half);
        stream.AddData(rest.data() + half, len - half);
        try {
            stream.ProcessRecord();
        } catch (const EPLError&) {}
        CheckScreen(display);
        session->GenHostFields();
        CheckFields(session->HostFields);
        // The user answers now and then: every unprotected field typed into.
        if (switches & 0x01) {
            THostFields input;
            TMemoryStream out;
            session->HostFields.SaveToStream(out);
            input.LoadFromStream(out);
            for (auto& f : input.Fields) {
                f->Data = "AB CD";
                f->SetAttr({attUnProtected, attModified});
            }
            input.CurPos = static_cast<int16_t>(switches * 7);
            TMemoryStream in;
            input.SaveToStream(in);
            session->PutScreenInput(in.bytes());
            CheckScreen(display);
            session->SetAid(switches & 0x02 ? "@E" : switches & 0x04 ? "@C" : "@x");
        }
        rest = rest.subspan(marked ? len + 2 : len);
    }
    return 0;
}
