// The inbound records the 3270 engine builds (Read Modified, Read Buffer,
// the query reply) and the structured fields of Write Structured Field.
#include <algorithm>
#include <string>
#include <utility>

#include "PLError.h"
#include "uPLIntfLogg.h"
#include "uPLTn3270stream.h"

namespace {

// The 6-bit code of each value 0..63 in a 12-bit buffer address.
constexpr uint8_t kAddressCodes[64] = {
    0x40, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x61, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F,
};

constexpr uint8_t kSbaOrder = 0x11;
constexpr uint8_t kSfOrder = 0x1D;

// Structured-field identifiers.
constexpr uint8_t kReadPartition = 0x01, kOutbound3270DS = 0x40;
constexpr uint8_t kQueryOperation = 0x02, kQueryPartition = 0xFF;

bool IsShortRead(uint8_t aid) {
    return aid == aid3270::PA1 || aid == aid3270::PA2 || aid == aid3270::PA3 ||
           aid == aid3270::Clear;
}

// Byte ranges [first, second) of a reply that hold a non-display field's text.
using THiddenRanges = std::vector<std::pair<size_t, size_t>>;

// The reply goes out as built; the log is handed a copy with the text of
// non-display fields (passwords, as a rule) masked.
void SendMasked(TPLTn3270stream& stream, const std::vector<uint8_t>& reply,
                const THiddenRanges& hidden) {
    if (hidden.empty()) {
        stream.DoSend(reply.data(), reply.size());
        return;
    }
    std::vector<uint8_t> view(reply);
    for (const auto& [first, last] : hidden)
        std::fill(view.begin() + static_cast<long>(first), view.begin() + static_cast<long>(last),
                  kHiddenDumpByte);
    stream.DoSend(reply.data(), reply.size(), view.data());
}

} // namespace

void TPLTn3270stream::EncodeBufferAddress(int address, uint8_t out[2]) {
    out[0] = kAddressCodes[(address >> 6) & 0x3F];
    out[1] = kAddressCodes[address & 0x3F];
}

void TPLTn3270stream::BeginReply(bool withCursor) {
    reply_.clear();
    reply_.push_back(PendingAid);
    if (!withCursor) return;
    uint8_t cursor[2];
    EncodeBufferAddress(Display()->Cursor(), cursor);
    reply_.insert(reply_.end(), cursor, cursor + 2);
}

void TPLTn3270stream::SendModifiedFields() {
    SetStatus("SENDING");
    const TPLTn3270display& d = *Display3270();
    const bool shortRead = IsShortRead(PendingAid);
    BeginReply(!shortRead);
    if (shortRead) {
        Send(reply_);
        return;
    }
    const int first = d.FindNextField(0);
    if (first == -1) {
        for (int c = 0; c < d.Size(); ++c)
            if (d.Chars[c] != 0) reply_.push_back(ToEbcdic(d.Chars[c]));
        Send(reply_);
        return;
    }
    // The reply grows as it needs: a screen of adjacent modified attribute
    // cells takes three bytes a cell, more than the usual reply room.
    THiddenRanges hidden;
    for (int f = first; f != -1; f = d.FindNextField(f + 1)) {
        if (!d.IsFieldModified(f)) continue;
        const int data = d.Next(f);
        uint8_t address[2];
        EncodeBufferAddress(data, address);
        reply_.push_back(kSbaOrder);
        reply_.insert(reply_.end(), address, address + 2);
        const size_t textStart = reply_.size();
        for (int c = data; !d.IsFieldAttribute(c); c = d.Next(c))
            if (d.Chars[c] != 0) reply_.push_back(ToEbcdic(d.Chars[c]));
        if (attr3270::NonDisplay(d.Attrs[f]) && reply_.size() > textStart)
            hidden.emplace_back(textStart, reply_.size());
    }
    SendMasked(*this, reply_, hidden);
}

void TPLTn3270stream::ReadBuffer() {
    const TPLTn3270display& d = *Display3270();
    BeginReply(true);
    THiddenRanges hidden;
    for (int c = 0; c < d.Size(); ++c) {
        if (d.IsFieldAttribute(c)) {
            reply_.push_back(kSfOrder);
            reply_.push_back(d.GetFieldAttribute(c));
            continue;
        }
        // Every data cell carries its field's attribute.
        if (HiddenCell(c)) {
            if (!hidden.empty() && hidden.back().second == reply_.size())
                ++hidden.back().second;
            else
                hidden.emplace_back(reply_.size(), reply_.size() + 1);
        }
        reply_.push_back(ToEbcdic(d.Chars[c]));
    }
    SendMasked(*this, reply_, hidden);
}

std::vector<uint8_t> TPLTn3270stream::BuildQueryReply() const {
    const TPLTndisplay& d = *Display();
    const auto cols = static_cast<uint8_t>(d.Cols());
    const auto rows = static_cast<uint8_t>(d.Rows());
    const auto sizeHigh = static_cast<uint8_t>(d.Size() >> 8);
    const auto sizeLow = static_cast<uint8_t>(d.Size());
    return {aid3270::StructuredField,
            // Color: eight pairs, green by default, each colour as itself.
            0x00, 0x16, 0x81, 0x86, 0x00, 0x08, 0x00, 0xF4, 0xF1, 0xF1, 0xF2, 0xF2, 0xF3, 0xF3,
            0xF4, 0xF4, 0xF5, 0xF5, 0xF6, 0xF6, 0xF7, 0xF7,
            // Highlighting: default, blink, reverse, underscore.
            0x00, 0x0D, 0x81, 0x87, 0x04, 0x00, 0xF0, 0xF1, 0xF1, 0xF2, 0xF2, 0xF4, 0xF4,
            // Usable Area: 12/14-bit addressing, the screen in cells, the buffer size.
            0x00, 0x17, 0x81, 0x81, 0x01, 0x00, 0x00, cols, 0x00, rows, 0x00, 0x00, 0x02, 0x00,
            0x89, 0x00, 0x02, 0x00, 0x85, 0x09, 0x10, sizeHigh, sizeLow,
            // Character Sets: one descriptor.
            0x00, 0x10, 0x81, 0x85, 0x00, 0x00, 0x09, 0x10, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00,
            0x00, 0x00};
}

void TPLTn3270stream::ProcessStructuredFields(TByteReader& in) {
    // A fault leaves the reader where the fields stopped being read: the
    // record's caller keeps the rest out of the dump.
    while (!in.atEnd()) {
        if (in.remaining() < 3) throw EPLError("WSF too small");
        const size_t left = in.remaining();
        const uint16_t length = in.u16be();
        const uint8_t id = in.byte();
        // The identifier and the length are judged before the body is read:
        // an unknown or short field is named as such even when the record
        // breaks off after its header.
        if (id != kReadPartition && id != kOutbound3270DS)
            throw EPLError("unsupported WFS ID: " + std::to_string(id));
        if (length < 5)
            throw EPLError(id == kReadPartition ? "WSF-RP too small" : "WSF-OBDS too small");
        // A length past the record would read bytes the host never sent.
        if (length > left) throw EPLError("WSF length beyond record");
        // The body is taken only once it is known to be one of ours.
        const uint8_t partition = in.byte();
        const uint8_t operation = in.byte();
        if (id == kReadPartition) {
            if (operation != kQueryOperation) throw EPLError("WSF-RP not a query op");
            if (partition != kQueryPartition) throw EPLError("WSF-RP invalid PID");
            in.skip(length - 5u);
            Send(BuildQueryReply());
        } else {
            if (partition != 0x00) throw EPLError("WSF-OBDS invalid PID");
            if (operation != 0xF1 && operation != 0xF5 && operation != 0x7E && operation != 0x6F)
                throw EPLError("WSF-OBDS unsupported");
            // Interpreted where it stands: a field longer than the reply
            // buffer needs no copy.
            TByteReader write(in.take(length - 5u));
            ProcessWrite(LocalCommand(operation), write);
        }
    }
}
