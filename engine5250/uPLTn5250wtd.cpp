// WRITE TO DISPLAY and WRITE ERROR CODE: the orders and data bytes that draw
// the host's screen and its fields.
//
// Addresses: the host names a cell by a 1-based row and column. An address
// outside the screen (row or column 0, a column past 80, a cell at or past
// the screen's end) is refused: the order's bytes are consumed and the
// current address stays where it was. Nothing is written for it, so a host's
// slip never writes outside the planes and never moves the writing to a cell
// the host did not mean.
#include <algorithm>

#include "Logging.h"
#include "uPLIntfLogg.h"
#include "uPLTn5250stream.h"

namespace {

constexpr int kCols = TPLTn5250display::kCols;

// Orders inside a WRITE TO DISPLAY.
enum : uint8_t {
    kStartOfHeader = 0x01,
    kRepeatToAddress = 0x02,
    kEraseToAddress = 0x03,
    kEscape = 0x04,
    kTransparentData = 0x10,
    kSetBufferAddress = 0x11,
    kWriteExtendedAttribute = 0x12,
    kInsertCursor = 0x13,
    kMoveCursor = 0x14,
    kWriteStructuredField = 0x15,
    kStartOfField = 0x1D,
};

constexpr uint8_t kAttributeCell = TPLTn5250display::kAttributeCell;
constexpr int kHeaderKept = 7;       // bytes of a Start-of-Header that mean something here
constexpr size_t kErrorTextMax = 80; // characters of an error message kept

bool IsAttribute(uint8_t b) {
    return b >= 0x20 && b <= 0x3F;
}
// Bytes below 0x20 (but 0x00 and 0x1F) and 0xFF are orders, never characters.
bool IsOrderByte(uint8_t b) {
    return (b >= 0x01 && b <= 0x1E) || b == 0xFF;
}
// Neither an order nor an attribute, nor one of the few characters below them.
bool IsText(uint8_t b) {
    return b >= 0x40 && b != 0xFF;
}

std::string TrimBlanksAndControls(const std::string& text) {
    auto kept = [](char c) { return static_cast<uint8_t>(c) > 0x20; };
    auto first = std::find_if(text.begin(), text.end(), kept);
    auto last = std::find_if(text.rbegin(), text.rend(), kept).base();
    return first < last ? std::string(first, last) : std::string();
}

} // namespace

void TPLTn5250stream::WriteToDisplay(TByteReader& in) {
    SetStatusText("WAITING");
    curAddr_ = Display5250()->Cursor();
    curAttr_ = 0;
    curExtra_ = 0;

    const uint8_t cc1 = in.byte();
    ApplyCC1(cc1);
    const uint8_t cc2 = in.byte();
    if (DebugOutputWanted() || LogWanted(9)) {
        const std::string cc = Format("CC1: 0x%.2X   CC2: 0x%.2X", cc1, cc2);
        DebugOut(cc);
        WriteLog(9, cc);
    }
    if (cc2 & 0x08) StatusText.clear(); // keyboard unlocked

    while (!in.atEnd()) {
        const uint8_t b = in.peek();
        if (b == kEscape) {
            // The next command; the command loop reads it.
            DebugOut("  CMD_ESC");
            return;
        }
        in.byte();
        switch (b) {
        case kStartOfHeader:
            DebugOut("  ORDER_WTD_START_OF_HEADER");
            StartOfHeader(in);
            break;
        case kRepeatToAddress:
            DebugOut("  ORDER_WTD_REPEAT_TO_ADDRESS");
            RepeatToAddress(in);
            break;
        case kEraseToAddress: {
            DebugOut("  ORDER_WTD_ERASE_TO_ADDRESS");
            changed_ = true;
            OrderNotImplemented(b);
            // Row, column, then a length byte that counts itself and the
            // attribute types after it.
            in.skip(2);
            const uint8_t length = in.byte();
            in.skip(length > 1 ? length - 1u : 0u);
            break;
        }
        case kTransparentData:
            DebugOut("  ORDER_WTD_TRANSPARENT_DATA");
            OrderNotImplemented(b);
            // Passed over unread: no dump shows what it holds.
            NoteHidden(in.take(in.u16be()));
            break;
        case kSetBufferAddress:
            DebugOut("  ORDER_WTD_SET_BUFFER_ADDRESS");
            changed_ = true;
            SetBufferAddress(in);
            break;
        case kWriteExtendedAttribute:
            DebugOut("  ORDER_WTD_WRITE_EXTENDED_ATTRIBUTE");
            OrderNotImplemented(b);
            in.skip(2);
            break;
        case kInsertCursor:
        case kMoveCursor:
            DebugOut("  ORDER_WTD_INSERT_CURSOR");
            InsertCursor(in);
            break;
        case kWriteStructuredField: {
            DebugOut("  ORDER_WTD_WRITE_STRUCTURED_FIELD");
            OrderNotImplemented(b);
            // The length counts its own two bytes.
            const uint16_t length = in.u16be();
            in.skip(length > 2 ? length - 2u : 0u);
            break;
        }
        case kStartOfField:
            DebugOut("  ORDER_WTD_START_OF_FIELD");
            StartOfField(in);
            break;
        default:
            WriteData(b, in);
            break;
        }
    }
}

void TPLTn5250stream::OrderNotImplemented(uint8_t order) {
    WriteLog(1, Format("%.4d : ERROR:-> Orden 0x%.2X no implementada", SessionId, order));
}

int TPLTn5250stream::CheckedPos(int row, int col) const {
    if (row < 1 || col < 1 || col > kCols) return -1;
    const int pos = RowColToPos(row, col);
    return pos < Display5250()->CellCount() ? pos : -1;
}

void TPLTn5250stream::SetBufferAddress(TByteReader& in) {
    const uint8_t row = in.byte();
    const uint8_t col = in.byte();
    const int pos = CheckedPos(row, col);
    if (pos < 0) return; // refused: the current address stays
    curAddr_ = pos;
    NoteAddress(row - 1, col - 1);
}

void TPLTn5250stream::InsertCursor(TByteReader& in) {
    const uint8_t row = in.byte();
    const uint8_t col = in.byte();
    const int pos = CheckedPos(row, col);
    if (pos < 0) return; // refused: cursor and current address stay
    curAddr_ = pos;
    SetCursor(pos);
    NoteAddress(row - 1, col - 1);
}

void TPLTn5250stream::StartOfHeader(TByteReader& in) {
    changed_ = true;
    Display5250()->ClearFields();
    // The header may announce more bytes than the record holds; it ends with the record.
    const uint8_t announced = in.byte();
    const auto header = in.take(std::min<size_t>(announced, in.remaining()));
    std::array<uint8_t, kHeaderKept> kept{};
    std::copy_n(header.begin(), std::min<size_t>(header.size(), kept.size()), kept.begin());
    // Byte 4 names the error line; 0 (the default) or a row off the screen means row 24.
    const uint8_t errorRow = kept[3];
    ErrorRow = errorRow >= 1 && errorRow <= 24 ? errorRow : 24;
}

void TPLTn5250stream::RepeatToAddress(TByteReader& in) {
    changed_ = true;
    TPLTn5250display* d = Display5250();
    const int cells = d->CellCount();
    const uint8_t row = in.byte();
    int end = cells; // one past the last cell filled
    uint8_t ch = 0x00;
    if (row != 0xFF) {
        const uint8_t col = in.byte();
        const uint8_t x = in.byte();
        const int target = CheckedPos(row, col);
        if (target < 0) return; // refused: nothing filled, the current address stays
        end = target + 1;
        ch = ToAscii(x);
    }
    const int last = end - 1;
    // The cells filled, from the current address through last, wrapping.
    const auto filled = static_cast<size_t>((last - curAddr_ + cells) % cells) + 1;
    if (row != 0xFF) NoteWritten(in.current() - 1, 1, curAddr_, filled);
    // A target before the current address wraps round the screen end; the
    // fill never takes more than one pass, whatever the two addresses.
    // The filled cells show as text the host writes there would: in the
    // attribute this write last set (a field's own, after Start of Field or
    // its attribute sent again), else in the look each cell had, which the
    // extra plane holds (a field's data cells have no screen attribute of
    // their own in the attribute plane).
    int p = curAddr_;
    for (int n = 0; n < cells; ++n) {
        if (curAttr_ != 0) d->Extra[p] = curExtra_;
        d->Attrs[p] = static_cast<uint8_t>(curAttr_ | TPLTndisplay::kDirty);
        d->Chars[p] = ch;
        ColumnMarkers[static_cast<size_t>(p % kCols)] = 1;
        if (p == last) break;
        if (++p == cells) p = 0;
    }
    curAddr_ = end < cells ? end : 0;
    NoteAddress(last / kCols, last % kCols);
}

void TPLTn5250stream::StartOfField(TByteReader& in) {
    changed_ = true;
    TPLTn5250display* d = Display5250();
    uint8_t ffw1 = 0, ffw2 = 0, fcw1 = 0, fcw2 = 0;
    if (in.peek() & 0x40) {
        ffw1 = in.byte();
        ffw2 = in.byte();
        // At most one control word; an attribute byte always has 0x20.
        if (!(in.peek() & 0x20)) {
            fcw1 = in.byte();
            fcw2 = in.byte();
        }
    }
    const uint8_t attr = in.byte();
    const uint16_t length = in.u16be();

    // The start attribute goes at the current address and the field's data
    // follows it, whether the host placed the address with SBA or left it
    // after the data it wrote.
    const int row0 = curAddr_ / kCols;
    const int col0 = curAddr_ % kCols;
    NoteAddress(row0, col0);
    auto rec = Display5250()->NewField(length);
    rec->FFW1 = ffw1;
    rec->FFW2 = ffw2;
    rec->FCW1 = fcw1;
    rec->FCW2 = fcw2;
    rec->Attribute = attr;
    rec->Length = length;
    rec->Row = static_cast<uint8_t>(row0 + 1);
    rec->Col = static_cast<uint8_t>(col0 + 2); // 81 when the attribute stands in column 80
    rec->EndRow = rec->Row;
    rec->EndCol = static_cast<uint8_t>((rec->Col - 1) % kCols + length);
    rec->RowsSpanned = 1;
    rec->Modified = 0;

    // The first field of a record with a format word that asks for it gets
    // the cursor, unless an insert-cursor order placed it already.
    if (d->Cursor() == 0 && (ffw1 & 0x0F) != 0) SetCursor((curAddr_ + 1) % d->CellCount());

    d->AddField(std::move(rec));
    // The field's attribute is the screen attribute of the characters that
    // follow it, as an attribute byte is: text the host writes into a new
    // field keeps the field's colour and underline.
    curAttr_ = attr;
    curExtra_ = attr;
    if (++curAddr_ >= d->CellCount()) curAddr_ = 0;
}

void TPLTn5250stream::WriteData(uint8_t first, TByteReader& in) {
    changed_ = true;
    // Each data byte counts the cell before its own as written (the first
    // cell when the address is 0).
    if (IsOrderByte(first)) {
        const int before = curAddr_ > 0 ? curAddr_ - 1 : 0;
        NoteAddress(before / kCols, before % kCols);
        WriteLog(1, Format("%.4d : ERROR:-> Orden desconocida: 0x%.2X procesando "
                           "TPLTn5250stream.writeToDisplay",
                           SessionId, first));
        return;
    }
    // Text comes in runs: they are written in one go and noted as one
    // range. A run stops at the screen end, so its cells never wrap.
    TPLTn5250display* d = Display5250();
    const int cells = d->CellCount();
    const int start = curAddr_;
    // The bytes after the first, read ahead without moving the reader; the
    // run takes as many as are data and fit before the screen end.
    TByteReader ahead = in;
    const std::span<const uint8_t> rest = ahead.take(ahead.remaining());
    const size_t most = std::min(rest.size(), static_cast<size_t>(cells - start - 1));
    // Plain pointers into the planes: the run is written without a look at
    // the display object between cells.
    uint8_t* chars = d->Chars.data() + start;
    uint8_t* attrs = d->Attrs.data() + start;
    uint8_t* extra = d->Extra.data() + start;
    const auto& toLocal = Tables().HostToLocal;
    uint8_t attr = curAttr_, ext = curExtra_;
    // One cell: an attribute byte stands for itself and colours what follows.
    auto put = [&](size_t cell, uint8_t b) {
        if (IsAttribute(b)) {
            attr = ext = b;
            chars[cell] = kAttributeCell;
        } else {
            chars[cell] = toLocal[b];
        }
        attrs[cell] = attr;
        extra[cell] = ext;
    };
    put(0, first);
    NoteWritten(in.current() - 1, 1, start, 1);
    size_t taken = 0; // bytes of rest written, each in the cell after the one before
    for (; taken < most; ++taken) {
        const uint8_t b = rest[taken];
        if (IsText(b)) { // the usual byte: a character in the attribute that stands
            chars[1 + taken] = toLocal[b];
            attrs[1 + taken] = attr;
            extra[1 + taken] = ext;
            continue;
        }
        if (IsOrderByte(b)) break;
        put(1 + taken, b);
    }
    NoteWritten(rest.first(taken), start + 1);
    in.skip(taken);
    const int p = start + static_cast<int>(taken) + 1; // one past the last cell written
    curAttr_ = attr;
    curExtra_ = ext;
    curAddr_ = p < cells ? p : 0;
    NoteCells(start > 0 ? start - 1 : 0, p > 1 ? p - 2 : 0);
}

void TPLTn5250stream::PutDataCell(const uint8_t* src) {
    TPLTn5250display* d = Display5250();
    const int p = curAddr_;
    const uint8_t b = *src;
    NoteWritten(src, 1, p, 1);
    if (IsAttribute(b)) {
        curAttr_ = b;
        curExtra_ = b;
        d->Chars[p] = kAttributeCell;
        d->Attrs[p] = b;
        d->Extra[p] = b;
    } else {
        d->Chars[p] = ToAscii(b);
        d->Attrs[p] = curAttr_;
        d->Extra[p] = curExtra_;
    }
    if (++curAddr_ >= d->CellCount()) curAddr_ = 0;
}

void TPLTn5250stream::WriteErrorCode(TByteReader& in) {
    const int cells = Display5250()->CellCount();
    const int lineStart = RowColToPos(ErrorRow, 1) % cells;
    curAddr_ = lineStart;
    curAttr_ = 0;
    curExtra_ = 0;
    std::string text;

    auto finish = [&] {
        if (ErrorsAsMessage) {
            ErrorText = TrimBlanksAndControls(text);
            DebugOut("  " + ErrorText);
        }
        StatusText.clear(); // keyboard unlocked
    };
    try {
        while (!in.atEnd()) {
            const uint8_t b = in.peek();
            if (b == kInsertCursor) {
                in.byte();
                const uint8_t row = in.byte();
                const uint8_t col = in.byte();
                const int pos = CheckedPos(row, col);
                if (pos >= 0) SetCursor(pos);
                curAddr_ = lineStart;
                continue;
            }
            // Orders and the next escape belong to the command loop.
            if (IsOrderByte(b)) break;
            const uint8_t* src = in.current();
            in.byte();
            if (!ErrorsAsMessage) {
                PutDataCell(src);
                continue;
            }
            // A long message is read to its end, so that its rest never runs
            // as commands; only the first characters are kept.
            if (IsAttribute(b) || text.size() >= kErrorTextMax) continue;
            text.push_back(static_cast<char>(ToAscii(b)));
        }
    } catch (const EReadError&) {
        finish();
        throw;
    }
    finish();
}
