// The read commands that arm a reply, and the records sent when the user
// presses an attention key.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "Logging.h"
#include "uPLIntfLogg.h"
#include "uPLTn5250stream.h"

namespace {

constexpr uint8_t kSetBufferAddress = 0x11;
constexpr uint8_t kAidAttention = 0x60;
constexpr uint8_t kAidSysRequest = 0x00;
constexpr uint8_t kAidTestRequest = 0x3D;
constexpr uint8_t kAidHelp = 0xF3;

// Blanks and control characters (local character set) are trimmed from replies.
bool IsTrimmed(char c) {
    return static_cast<uint8_t>(c) <= 0x20;
}

std::string Trim(const std::string& text) {
    auto first = std::find_if_not(text.begin(), text.end(), IsTrimmed);
    auto last = std::find_if_not(text.rbegin(), text.rend(), IsTrimmed).base();
    return first < last ? std::string(first, last) : std::string();
}

// A field's start attribute in column 80 gives it column 81; the host knows
// that field by its first data cell, column 1 of the next row.
std::pair<uint8_t, uint8_t> FieldAddress(const TFieldFormatRec& f) {
    if (f.Col >= 1 && f.Col <= TPLTn5250display::kCols) return {f.Row, f.Col};
    const int start = f.Start();
    if (start < 0) return {f.Row, f.Col};
    return {static_cast<uint8_t>(start / TPLTn5250display::kCols + 1),
            static_cast<uint8_t>(start % TPLTn5250display::kCols + 1)};
}

// Attention, system request, test request and help have records of their own.
bool IsSpecialAid(uint8_t aid) {
    return aid == kAidAttention || aid == kAidSysRequest || aid == kAidTestRequest ||
           aid == kAidHelp;
}

// Byte ranges [first, second) of a reply that hold a non-display field's text.
using THiddenRanges = std::vector<std::pair<size_t, size_t>>;

// The text of a non-display field (a password, as a rule) goes to the host as
// typed; the log is handed a copy of the reply with it masked (EBCDIC '*').
// Empty when nothing is hidden.
std::vector<uint8_t> LogView(const std::vector<uint8_t>& data, const THiddenRanges& hidden) {
    if (hidden.empty()) return {};
    std::vector<uint8_t> view(data);
    for (const auto& [first, last] : hidden)
        std::fill(view.begin() + static_cast<long>(first), view.begin() + static_cast<long>(last),
                  kHiddenDumpByte);
    return view;
}

// The cursor as the 5250 data stream addresses it: 1-based row and column of
// the 80-column position, whatever the model.
std::pair<uint8_t, uint8_t> CursorAddress(const TPLTn5250display& d) {
    const int p = d.Cursor();
    return {static_cast<uint8_t>(p / TPLTn5250display::kCols + 1),
            static_cast<uint8_t>(p % TPLTn5250display::kCols + 1)};
}

} // namespace

void TPLTn5250stream::ReadFields(TByteReader& in, uint8_t mode) {
    const uint8_t cc1 = in.byte();
    ApplyCC1(cc1);
    const uint8_t cc2 = in.byte();
    if (DebugOutputWanted()) DebugOut(Format("CC1: 0x%.2X   CC2: 0x%.2X", cc1, cc2));
    if (cc2 & 0x08) StatusText.clear();
    // The reply goes out with the next attention key.
    ReplyMode = mode;
}

void TPLTn5250stream::ApplyCC1(uint8_t cc1) {
    if (!(cc1 & 0x80)) return;
    const bool all = (cc1 & 0x20) != 0;
    TPLTn5250display* d = Display5250();
    for (int slot = TPLTn5250display::kSlots; slot >= 1; --slot) {
        TFieldFormatRec* f = d->Field(slot);
        if (!f || !(all || f->Modified == 1)) continue;
        std::fill(f->Data.begin(), f->Data.end(), '\0');
        const int start = f->Start();
        for (int k = 0; k < f->Length; ++k) {
            const int pos = start + k;
            if (pos >= 0 && pos < d->CellCount()) d->Chars[pos] = 0;
        }
    }
}

void TPLTn5250stream::SendReply() {
    if (ReplyMode == 0)
        SendModifiedFields();
    else
        SendInputFields();
}

bool TPLTn5250stream::BeginReply(std::vector<uint8_t>& data) {
    const auto [row, col] = CursorAddress(*Display5250());
    SetStatusText("SENDING");
    if (IsSpecialAid(PendingAid)) {
        SendSpecialRecord(PendingAid, row, col);
        return false;
    }
    // Sized to what the fields hold: a busy screen is not cut at a fixed block.
    data = {row, col, PendingAid};
    return true;
}

void TPLTn5250stream::SendModifiedFields() {
    std::vector<uint8_t> data;
    if (!BeginReply(data)) return;
    THiddenRanges hidden;
    const TPLTn5250display* d = Display5250();
    for (int slot = 1; slot <= TPLTn5250display::kSlots; ++slot) {
        const TFieldFormatRec* f = d->Field(slot);
        if (!f || f->Modified == 0) continue;
        // The text ends at the first zero byte; it never runs past the field.
        const size_t limit =
            std::min(f->Data.size(), std::max<size_t>(f->Length, TFieldFormatRec::kMinData - 1));
        const std::string raw = f->Data.substr(0, limit);
        const std::string text = Trim(raw.substr(0, raw.find('\0')));
        const auto [fieldRow, fieldCol] = FieldAddress(*f);
        data.insert(data.end(), {kSetBufferAddress, fieldRow, fieldCol});
        const size_t textStart = data.size();
        for (char c : text)
            data.push_back(ToEbcdic(static_cast<uint8_t>(c)));
        if (f->Hidden() && data.size() > textStart) hidden.emplace_back(textStart, data.size());
    }
    SendRecord(0x00, 0x00, op5250::PutGet, data, LogView(data, hidden));
}

void TPLTn5250stream::SendInputFields() {
    std::vector<uint8_t> data;
    if (!BeginReply(data)) return;
    THiddenRanges hidden;
    const TPLTn5250display* d = Display5250();
    for (int slot = 1; slot <= TPLTn5250display::kSlots; ++slot) {
        const TFieldFormatRec* f = d->Field(slot);
        if (!f) continue;
        std::string text = f->Data.substr(0, std::min<size_t>(f->Length, f->Data.size()));
        std::replace(text.begin(), text.end(), '\0', ' ');
        // Signed numeric: a trailing minus marks the digit before it negative.
        const bool signedNumeric = (f->FFW1 & 0x07) == 0x07;
        if (signedNumeric && text.size() >= 2 && text.back() == '-')
            text[text.size() - 2] = static_cast<char>(ToAscii(0x0D));
        const size_t textStart = data.size();
        for (char c : text)
            data.push_back(ToEbcdic(static_cast<uint8_t>(c)));
        if (f->Hidden() && data.size() > textStart) hidden.emplace_back(textStart, data.size());
    }
    SendRecord(0x00, 0x00, op5250::PutGet, data, LogView(data, hidden));
}

void TPLTn5250stream::ResetMDT() {
    const TPLTn5250display* d = Display5250();
    for (int slot = 1; slot <= TPLTn5250display::kSlots; ++slot)
        if (TFieldFormatRec* f = d->Field(slot)) f->Modified = 0;
}

void TPLTn5250stream::SendSpecialRecord(uint8_t aid, int row, int col) {
    const auto r = static_cast<uint8_t>(row);
    const auto c = static_cast<uint8_t>(col);
    switch (aid) {
    case kAidAttention:
        SendRecord(0x40, 0x00, kAidAttention);
        break;
    case kAidSysRequest:
        SendRecord(0x04, 0x00, kAidSysRequest);
        break;
    case kAidTestRequest: {
        const uint8_t data[] = {0x06, r, c, kAidTestRequest, 0x00, 0x00, r, c, kAidTestRequest};
        SendRecord(0x02, 0x80, op5250::PutGet, data);
        break;
    }
    case kAidHelp: {
        const uint8_t data[] = {0x06, r, c, kAidHelp, 0x00, 0x00, r, c, kAidHelp};
        SendRecord(0x00, 0x80, op5250::PutGet, data);
        break;
    }
    default:
        break;
    }
}
