// The stream's construction, the command of each record, the write commands
// with their control character, and the orders and data of a write.
#include "uPLTn3270stream.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "PLError.h"

namespace {

// Orders inside a write.
enum : uint8_t {
    kProgramTab = 0x05,
    kGraphicEscape = 0x08,
    kSetBufferAddress = 0x11,
    kEraseUnprotectedToAddress = 0x12,
    kInsertCursor = 0x13,
    kNewLine = 0x15,
    kStartField = 0x1D,
    kSetAttribute = 0x28,
    kStartFieldExtended = 0x29,
    kModifyField = 0x2C,
    kRepeatToAddress = 0x3C,
};

// Attribute types of SA and SFE.
enum : uint8_t { kTypeHighlight = 0x41, kTypeColour = 0x42, kTypeFieldAttribute = 0xC0 };

// Write control character bits.
constexpr uint8_t kWccResetMdt = 0x01, kWccKeyboardRestore = 0x02;

} // namespace

TPLTn3270stream::TPLTn3270stream(int sessionId, int rows, int cols)
    : TPLTnStream(sessionId, rows, cols) {
    SetDisplay(std::make_unique<TPLTn3270display>(sessionId, rows, cols));
    reply_.reserve(static_cast<size_t>(rows * cols * 2 + 21));
}

uint8_t TPLTn3270stream::LocalCommand(uint8_t code) {
    switch (code) {
    case 0xF1:
        return cmd3270::Write;
    case 0xF5:
        return cmd3270::EraseWrite;
    case 0x7E:
        return cmd3270::EraseWriteAlternate;
    case 0x6F:
        return cmd3270::EraseAllUnprotected;
    case 0xF2:
        return cmd3270::ReadBuffer;
    case 0xF6:
        return cmd3270::ReadModified;
    case 0xF3:
        return cmd3270::WriteStructuredField;
    default:
        return code;
    }
}

int TPLTn3270stream::DecodeBufferAddress(uint8_t b1, uint8_t b2) {
    if ((b1 & 0xC0) == 0) return (b1 & 0x3F) << 8 | b2;
    return (b1 & 0x3F) << 6 | (b2 & 0x3F);
}

uint8_t TPLTn3270stream::PackExtendedAttribute(uint8_t highlight, uint8_t colour) {
    uint8_t packed = 0;
    switch (highlight) {
    case 0xF1:
        packed = 0x40; // blink
        break;
    case 0xF2:
        packed = 0x80; // reverse video
        break;
    case 0xF4:
        packed = 0xC0; // underscore
        break;
    default:
        break;
    }
    if (colour >= 0xF1 && colour <= 0xF7) packed |= static_cast<uint8_t>((colour - 0xF0) << 3);
    return packed;
}

void TPLTn3270stream::SetStatus(const char* text) {
    StatusText = text;
    Display()->SetStatus(text);
}

void TPLTn3270stream::ProcessData() {
    const auto record = Record();
    // An empty record (a bare IAC EOR) carries no command.
    if (!record.empty()) {
        TByteReader in(record);
        wrote_ = false;
        try {
            ProcessCommand(in);
        } catch (...) {
            NotInterpretedFrom(in.current());
            // What a write put on the screen before its fault is the screen
            // the user sees and answers: publish it as any record's.
            if (wrote_) Display()->FlushChanges();
            throw;
        }
        // A command that takes no data leaves the rest of the record alone.
        NotInterpretedFrom(in.current());
    }
    TPLTnStream::ProcessData();
}

bool TPLTn3270stream::HiddenCell(int cell) const {
    const TPLTn3270display& d = *Display3270();
    if (cell < 0 || cell >= d.Size() || d.IsFieldAttribute(cell)) return false;
    // Every data cell carries its field's attribute.
    return attr3270::NonDisplay(d.Attrs[static_cast<size_t>(cell)]);
}

void TPLTn3270stream::ProcessCommand(TByteReader& in) {
    const uint8_t command = LocalCommand(in.byte());
    switch (command) {
    case cmd3270::Write:
    case cmd3270::EraseWrite:
    case cmd3270::EraseWriteAlternate:
    case cmd3270::EraseAllUnprotected:
        SetStatus("SYSTEM");
        ProcessWrite(command, in);
        break;
    case cmd3270::ReadBuffer:
        SetStatus("SENDING");
        ReadBuffer();
        break;
    case cmd3270::ReadModified:
        SetStatus("SENDING");
        SendModifiedFields();
        break;
    case cmd3270::WriteStructuredField:
        ProcessStructuredFields(in);
        break;
    case cmd3270::Nop:
        break;
    default:
        throw EPLError("unknown 3270 command");
    }
    Display()->FlushChanges();
}

void TPLTn3270stream::ProcessWrite(uint8_t command, TByteReader& in) {
    wrote_ = true;
    if (command == cmd3270::EraseAllUnprotected) {
        EraseAllUnprotected();
        return;
    }
    // A write that ends before its control character is malformed: the
    // reader raises, and the record ends here.
    const uint8_t wcc = in.byte();
    auto restoreKeyboard = [this, wcc] {
        if (!(wcc & kWccKeyboardRestore)) return;
        PendingAid = aid3270::NoAid;
        StatusText.clear();
    };
    const bool erases = command == cmd3270::EraseWrite || command == cmd3270::EraseWriteAlternate;
    // The erase clears every modified tag with the rest of the screen.
    if ((wcc & kWccResetMdt) && !erases) ResetMDT();
    if (erases) {
        Display()->Clear();
        Display()->SetCursorPos(0);
    }
    try {
        RunOrders(in);
    } catch (...) {
        NotInterpretedFrom(in.current());
        // The host asked for the keyboard with the screen it wrote; a fault
        // further on must not leave the user locked out of it.
        restoreKeyboard();
        throw;
    }
    restoreKeyboard();
}

void TPLTn3270stream::ResetMDT() {
    TPLTn3270display& d = *Display3270();
    for (int f = d.FindNextField(0); f != -1; f = d.FindNextField(f + 1))
        d.SetFieldModified(f, false);
}

void TPLTn3270stream::EraseUnprotected(int startPos, int endPos) {
    TPLTn3270display& d = *Display3270();
    if (startPos < 0 || startPos >= d.Size() || endPos < 0 || endPos >= d.Size()) return;
    auto erase = [&d](int from, int through) {
        for (int p = from; p <= through; ++p)
            if (!d.IsFieldAttribute(p) && !(d.Attrs[p] & attr3270::Protected)) {
                d.Chars[p] = 0;
                d.Attrs[p] |= attr3270::ChangedBit;
            }
    };
    if (startPos <= endPos) {
        erase(startPos, endPos);
    } else {
        erase(startPos, d.LastCell());
        erase(0, endPos);
    }
}

void TPLTn3270stream::EraseAllUnprotected() {
    TPLTn3270display& d = *Display3270();
    EraseUnprotected(0, d.LastCell());
    ResetMDT();
    PendingAid = aid3270::NoAid;
    const int first = d.FindNextUnprotected(0);
    d.SetCursorPos(first == -1 ? 0 : first);
    StatusText.clear();
}

int TPLTn3270stream::ReadAddress(TByteReader& in) const {
    const uint8_t b1 = in.byte();
    const uint8_t b2 = in.byte();
    const int address = DecodeBufferAddress(b1, b2);
    // A 14-bit address reaches far past a 24 x 80 screen; such a record is
    // not ours to guess at.
    if (address >= Display()->Size()) throw EPLError("invalid buffer address");
    return address;
}

void TPLTn3270stream::PutData(TWriteState& w, const uint8_t* src) {
    TPLTn3270display& d = *Display3270();
    const int a = w.address;
    const uint8_t hostByte = *src;
    NoteWritten(src, 1, a, 1);
    if (d.IsFieldAttribute(a)) d.RemoveFieldAttribute(a);
    d.Chars[a] = ToAscii(hostByte);
    d.Attrs[a] |= attr3270::ChangedBit;
    d.Extra[a] = w.charAttr;
    w.address = d.Next(a);
}

namespace {
constexpr bool IsOrder(uint8_t b) {
    switch (b) {
    case kProgramTab:
    case kGraphicEscape:
    case kSetBufferAddress:
    case kEraseUnprotectedToAddress:
    case kInsertCursor:
    case kNewLine:
    case kStartField:
    case kSetAttribute:
    case kStartFieldExtended:
    case kModifyField:
    case kRepeatToAddress:
        return true;
    default:
        return false;
    }
}
} // namespace

size_t TPLTn3270stream::PutDataRun(TWriteState& w, std::span<const uint8_t> bytes) {
    const size_t size = static_cast<size_t>(Display()->Size());
    size_t n = 0;
    // A run that reaches the screen end goes on at cell 0.
    while (n < bytes.size()) {
        const size_t room = size - static_cast<size_t>(w.address);
        const size_t written = PutDataPiece(w, bytes.subspan(n, std::min(room, bytes.size() - n)));
        n += written;
        if (written < room) break; // an order, or the end of the bytes
        w.address = 0;
    }
    return n;
}

size_t TPLTn3270stream::PutDataPiece(TWriteState& w, std::span<const uint8_t> bytes) {
    TPLTn3270display& d = *Display3270();
    const auto a = static_cast<size_t>(w.address);
    // Plain pointers: stores into byte planes would otherwise make the
    // compiler reload every member after each cell.
    uint8_t* chars = d.Chars.data() + a;
    const uint8_t* toLocal = Tables().HostToLocal.data();
    size_t n = 0;
    for (; n < bytes.size() && !IsOrder(bytes[n]); ++n)
        chars[n] = toLocal[bytes[n]];
    NoteWritten(bytes.first(n), static_cast<int>(a));
    // Then the attribute plane, in the order of the cells: an attribute cell
    // written over goes, its field joining the one before. That changes the
    // attribute plane only, so the characters could go first.
    const uint8_t* marks = d.FieldMarks();
    uint8_t* attrs = d.Attrs.data();
    size_t done = 0;
    while (done < n) {
        const void* hit = std::memchr(marks + a + done, 1, n - done);
        const size_t plain =
            hit ? static_cast<size_t>(static_cast<const uint8_t*>(hit) - (marks + a + done))
                : n - done;
        SetBitInEach(attrs + a + done, plain, attr3270::ChangedBit);
        done += plain;
        if (done == n) break;
        d.RemoveFieldAttribute(static_cast<int>(a + done));
        attrs[a + done] |= attr3270::ChangedBit;
        ++done;
    }
    FillCells(d.Extra.data() + a, w.charAttr, n);
    w.address = static_cast<int>(a + n < static_cast<size_t>(d.Size()) ? a + n : 0);
    return n;
}

void TPLTn3270stream::RunOrders(TByteReader& in) {
    TPLTn3270display& d = *Display3270();
    TWriteState w;
    w.address = d.Cursor();
    while (!in.atEnd()) {
        if (!IsOrder(in.peek())) {
            in.skip(PutDataRun(w, {in.current(), in.remaining()}));
            w.afterOrder = false;
            continue;
        }
        const uint8_t b = in.byte();
        bool order = true;
        switch (b) {
        case kSetBufferAddress:
            w.address = ReadAddress(in);
            w.charAttr = 0;
            break;
        case kStartField: {
            const uint8_t attribute = in.byte();
            d.StartField(w.address, attribute);
            d.SetExtendedAttribute(w.address, w.charAttr);
            w.address = d.Next(w.address);
            w.charAttr = 0;
            break;
        }
        case kStartFieldExtended:
            StartFieldExtended(w, in);
            break;
        case kSetAttribute: {
            const uint8_t type = in.byte();
            const uint8_t value = in.byte();
            if (type == kTypeHighlight) w.highlight = value;
            if (type == kTypeColour) w.colour = value;
            w.charAttr = PackExtendedAttribute(w.highlight, w.colour);
            break;
        }
        case kModifyField:
            in.skip(static_cast<size_t>(in.byte()) * 2);
            order = false;
            break;
        case kInsertCursor:
            d.SetCursorPos(w.address);
            break;
        case kProgramTab:
            ProgramTab(w);
            break;
        case kEraseUnprotectedToAddress: {
            const int stop = ReadAddress(in);
            EraseUnprotected(w.address, stop == 0 ? d.LastCell() : stop - 1);
            w.address = stop;
            break;
        }
        case kRepeatToAddress:
            RepeatToAddress(w, in);
            break;
        case kGraphicEscape:
            // The escaped character is read before it is written: a record
            // that ends with the order has none to write.
            PutData(w, in.take(1).data());
            order = false;
            break;
        case kNewLine: {
            const int next = (w.address / d.Cols() + 1) * d.Cols();
            w.address = next >= d.Size() ? 0 : next;
            order = false;
            break;
        }
        default: // not reached: data runs are written above
            PutData(w, in.current() - 1);
            order = false;
            break;
        }
        w.afterOrder = order;
    }
}

void TPLTn3270stream::StartFieldExtended(TWriteState& w, TByteReader& in) {
    TPLTn3270display& d = *Display3270();
    const uint8_t pairs = in.byte();
    w.highlight = 0;
    w.colour = 0;
    int field = -1;
    for (int i = 0; i < pairs; ++i) {
        const uint8_t type = in.byte();
        const uint8_t value = in.byte();
        if (type == kTypeHighlight) {
            w.highlight = value;
        } else if (type == kTypeColour) {
            w.colour = value;
        } else if (type == kTypeFieldAttribute) {
            d.StartField(w.address, value);
            field = w.address;
            w.address = d.Next(w.address);
        }
        w.charAttr = PackExtendedAttribute(w.highlight, w.colour);
    }
    if (field != -1) {
        // The characters that follow carry the field's highlighting and colour.
        d.SetExtendedAttribute(field, w.charAttr);
        return;
    }
    d.StartField(w.address, 0x08);
    d.SetExtendedAttribute(w.address, w.charAttr);
    w.address = d.Next(w.address);
    w.charAttr = 0;
}

void TPLTn3270stream::RepeatToAddress(TWriteState& w, TByteReader& in) {
    TPLTn3270display& d = *Display3270();
    const int stop = ReadAddress(in);
    uint8_t b = in.byte();
    if (b == kGraphicEscape) b = in.byte();
    const uint8_t ch = ToAscii(b);
    // Through stop - 1, wrapping; stop at the current address fills the
    // whole buffer once.
    const int size = d.Size();
    NoteWritten(in.current() - 1, 1, w.address,
                static_cast<size_t>((stop - w.address + size - 1) % size) + 1);
    const uint8_t extended = stop == 0 ? 0 : w.charAttr;
    int p = w.address;
    do {
        if (d.IsFieldAttribute(p)) d.RemoveFieldAttribute(p);
        d.Chars[p] = ch;
        d.Attrs[p] |= attr3270::ChangedBit;
        d.Extra[p] = extended;
        p = d.Next(p);
    } while (p != stop);
    w.address = stop;
}

void TPLTn3270stream::ProgramTab(TWriteState& w) {
    TPLTn3270display& d = *Display3270();
    // After data the tab nulls the rest of the field the data went into, up
    // to its end (the next attribute cell, wrapping), protected or not: the
    // host writes, not the operator. On an unformatted screen the rest is the
    // rest of the buffer.
    if (!w.afterOrder) {
        int p = w.address;
        for (int n = 0; n < d.Size() && !d.IsFieldAttribute(p); ++n) {
            d.Chars[p] = 0;
            d.Attrs[p] |= attr3270::ChangedBit;
            p = d.Next(p);
            if (p == 0 && !d.Formatted()) break;
        }
    }
    // The field the tab lands in keeps its text. No unprotected field after
    // the address: the tab goes home.
    const int target = d.FindNextUnprotected(w.address);
    w.address = target == -1 ? 0 : target;
}
