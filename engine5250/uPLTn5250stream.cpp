// The stream's construction, the record and its command loop, the answers
// that need no user (cancel invite, query, READ SCREEN), record framing and
// the small helpers every handler shares.
#include "uPLTn5250stream.h"

#include <algorithm>

#include "Logging.h"
#include "uPLIntfLogg.h"

TPLTn5250stream::TPLTn5250stream(int sessionId, int rows, int cols)
    : TPLTnStream(sessionId, rows, cols) {
    SetDisplay(std::make_unique<TPLTn5250display>(sessionId, rows, cols));
}

void TPLTn5250stream::SendRecord(uint8_t flags1, uint8_t flags2, uint8_t opcode,
                                 std::span<const uint8_t> data, std::span<const uint8_t> logView) {
    // The length field holds 16 bits; nothing this engine builds comes near.
    const size_t len = std::min<size_t>(T5250RecordHeader::kSize + data.size(), 0xFFFF);
    const auto dataLen = static_cast<long>(len - T5250RecordHeader::kSize);
    std::vector<uint8_t> record;
    record.reserve(len);
    record.insert(record.end(), {static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len), 0x12,
                                 0xA0, 0x00, 0x00, 0x04, flags1, flags2, opcode});
    if (logView.size() != data.size() || logView.empty()) {
        record.insert(record.end(), data.begin(), data.begin() + dataLen);
        DoSend(record.data(), record.size());
        return;
    }
    std::vector<uint8_t> view(record);
    record.insert(record.end(), data.begin(), data.begin() + dataLen);
    view.insert(view.end(), logView.begin(), logView.begin() + dataLen);
    DoSend(record.data(), record.size(), view.data());
}

void TPLTn5250stream::SetCursor(int pos) {
    Display()->SetCursorPos(pos);
}

void TPLTn5250stream::SetBoundsEmpty() {
    MinRow = 23;
    MinCol = 79;
    MaxRow = 0;
    MaxCol = 0;
}

void TPLTn5250stream::NoteCells(int first, int last) {
    constexpr int kCols = TPLTn5250display::kCols;
    const int row0 = first / kCols, col0 = first % kCols;
    const int row1 = last / kCols, col1 = last % kCols;
    auto mark = [this](int from, int to) {
        FillCells(ColumnMarkers.data() + from, 1, static_cast<size_t>(to - from + 1));
    };
    if (row0 == row1) {
        NoteArea(row0, col0, row1, col1);
        mark(col0, col1);
        return;
    }
    // Across a row end: the first row runs to the last column, the last row
    // starts at the first.
    NoteArea(row0, 0, row1, kCols - 1);
    if (last - first + 1 >= kCols) {
        mark(0, kCols - 1);
    } else {
        mark(col0, kCols - 1);
        mark(0, col1);
    }
}

void TPLTn5250stream::SetStatusText(const std::string& text) {
    StatusText = text;
    Display()->SetStatus(text);
}

// --- The record and its commands ---

namespace {

constexpr uint8_t kEscape = 0x04;

// Commands, as the byte after an escape.
enum : uint8_t {
    kSaveScreen = 0x02,
    kSavePartialScreen = 0x03,
    kWriteToDisplay = 0x11,
    kRestoreScreen = 0x12,
    kRestorePartialScreen = 0x13,
    kCopyToPrinter = 0x16,
    kClearUnitAlternate = 0x20,
    kWriteErrorCode = 0x21,
    kWriteErrorCodeToWindow = 0x22,
    kRoll = 0x23,
    kClearUnit = 0x40,
    kReadInputFields = 0x42,
    kClearFormatTable = 0x50,
    kReadMdtFields = 0x52,
    kReadScreen = 0x62,
    kReadScreenExtended = 0x64,
    kReadImmediate = 0x72,
    kReadMdtAlternate = 0x82,
    kReadModifiedImmediateAlternate = 0x83,
    kWriteStructuredField = 0xF3,
    kWriteSingleStructuredField = 0xF4,
};

const char* CommandName(uint8_t code) {
    switch (code) {
    case kSaveScreen:
        return "CMD_SAVE_SCREEN";
    case kSavePartialScreen:
        return "CMD_SAVE_PARTIAL_SCREEN";
    case kWriteToDisplay:
        return "CMD_WRITE_TO_DISPLAY";
    case kRestoreScreen:
        return "CMD_RESTORE_SCREEN";
    case kRestorePartialScreen:
        return "CMD_RESTORE_PARTIAL_SCREEN";
    case kCopyToPrinter:
        return "COPY_TO_PRINTER";
    case kClearUnitAlternate:
        return "CMD_CLEAR_UNIT_ALTERNATE";
    case kWriteErrorCode:
        return "CMD_WRITE_ERROR_CODE";
    case kWriteErrorCodeToWindow:
        return "CMD_WRITE_ERROR_CODE_TO_WINDOW";
    case kRoll:
        return "CMD_ROLL";
    case kClearUnit:
        return "CMD_CLEAR_UNIT";
    case kReadInputFields:
        return "CMD_READ_INPUT_FIELDS";
    case kClearFormatTable:
        return "CMD_CLEAR_FORMAT_TABLE";
    case kReadMdtFields:
        return "CMD_READ_MDT_FIELDS";
    case kReadScreen:
        return "CMD_READ_SCREEN";
    case kReadScreenExtended:
        return "CMD_READ_SCREEN_WITH_EXTENDED_ATTRIBUTES";
    case kReadImmediate:
        return "CMD_READ_IMMEDIATE";
    case kReadMdtAlternate:
        return "CMD_READ_MDT_ALTERNATE";
    case kReadModifiedImmediateAlternate:
        return "CMD_READ_MODIFIED_IMMEDIATE_ALTERNATE";
    case kWriteStructuredField:
        return "CMD_WRITE_STRUCTURED_FIELD";
    case kWriteSingleStructuredField:
        return "CMD_WRITE_SINGLE_STRUCTURED_FIELD";
    default:
        return nullptr;
    }
}

// The record's data: what its header announces, but never more than arrived.
// A header shorter than its own 10 bytes, or announcing less, leaves no data.
std::span<const uint8_t> RecordData(std::span<const uint8_t> record) {
    constexpr size_t kHead = T5250RecordHeader::kSize;
    if (record.size() < kHead) return {};
    const size_t announced = static_cast<size_t>(record[0] << 8 | record[1]);
    const size_t wanted = announced > kHead ? announced - kHead : 0;
    return record.subspan(kHead, std::min(wanted, record.size() - kHead));
}

// A structured field counts its own two length bytes; its rest is skipped,
// as far as the record goes, so that none of it runs as commands.
void SkipStructuredField(TByteReader& in, uint16_t length, size_t alreadyRead) {
    const size_t rest = length > 2 + alreadyRead ? length - 2 - alreadyRead : 0;
    in.skip(std::min(rest, in.remaining()));
}

} // namespace

void TPLTn5250stream::ProcessData() {
    if (LogWanted(9)) WriteLog(9, Format("%.4d : Procesando DataStream", SessionId));
    const std::span<const uint8_t> record = Record();

    const uint8_t opcode = record.size() >= T5250RecordHeader::kSize ? record[9] : 0;
    switch (opcode) {
    case op5250::OutputOnly:
    case op5250::PutGet:
    case op5250::ReadScreen:
        SetBoundsEmpty();
        break;
    case op5250::CancelInvite:
        // Answered whether or not the record carries data.
        SendRecord(0x00, 0x00, op5250::CancelInvite);
        break;
    default:
        break;
    }

    ErrorText.clear();
    SetCursor(0);
    ColumnMarkers.fill(0);
    changed_ = false;

    const std::span<const uint8_t> data = RecordData(record);
    TByteReader in(data);
    try {
        while (!in.atEnd()) {
            const uint8_t code = in.byte();
            if (code == kEscape) {
                DebugOut("CMD_ESC");
                continue;
            }
            if (!RunCommand(code, in)) break;
        }
    } catch (const EReadError&) {
        // The record ended inside an order's or a command's parameters: what
        // was interpreted up to there stands, the rest is not there to run.
    }
    // What the commands did not reach, and what lies past the data the
    // header announces, was never interpreted.
    NotInterpretedFrom(data.empty()
                           ? record.data() + std::min(record.size(), T5250RecordHeader::kSize)
                           : in.current());

    if (changed_) {
        TPLTn5250display* d = Display5250();
        // A record that wrote a rectangle of more than one row and column may
        // have drawn a pop-up window there; the session looks for it.
        if (MinCol < MaxCol && MinRow < MaxRow) {
            d->SetWinTop(MinRow);
            d->SetWinLeft(MinCol);
            d->SetWinBottom(MaxRow);
            d->SetWinRight(MaxCol);
            d->ColumnMarkers = ColumnMarkers;
        }
        d->FlushChanges();
    }
    TPLTnStream::ProcessData();
}

void TPLTn5250stream::RecordInterpreted(std::span<const uint8_t> record) {
    if (!LogWanted(6)) return;
    // The dump shows the record in the local character set, the text the
    // host wrote into hidden fields masked.
    std::vector<uint8_t> local(record.begin(), record.end());
    for (uint8_t& b : local)
        b = ToAscii(b);
    for (const auto& [first, last] : HiddenBytes())
        std::fill(local.begin() + static_cast<long>(std::min(first, local.size())),
                  local.begin() + static_cast<long>(std::min(last, local.size())), '*');
    const int n = static_cast<int>(local.size());
    WriteDump(6, Format("DATA STREAM (ASCII) 5250 A PROCESAR: %d BYTES", n), kDumpWidth,
              local.data(), n, kDumpBlock);
}

bool TPLTn5250stream::HiddenCell(int cell) const {
    const TPLTn5250display& d = *Display5250();
    if (cell < 0 || cell >= d.CellCount()) return false;
    const TFieldFormatRec* field = d.Field(d.FieldMap[static_cast<size_t>(cell)]);
    return TFieldFormatRec::HidingAttribute(d.Extra[static_cast<size_t>(cell)]) ||
           (field && field->Hidden());
}

bool TPLTn5250stream::RunCommand(uint8_t code, TByteReader& in) {
    const char* name = CommandName(code);
    if (!name) {
        DebugOut(Format("ERROR: 0x%.2X es un comando desconocido", code));
        WriteLog(1, Format("%.4d : ERROR:-> Comando desconocido: 0x%.2X procesando "
                           "TPLTn5250stream.ProcessData",
                           SessionId, code));
        return true;
    }
    DebugOut(name);
    switch (code) {
    case kSaveScreen:
        SaveScreen();
        SetBoundsEmpty();
        ColumnMarkers.fill(0);
        return false;
    case kWriteToDisplay:
        WriteToDisplay(in);
        return true;
    case kRestoreScreen:
        RestoreScreen(in);
        changed_ = true;
        StatusText.clear();
        return false;
    case kClearUnitAlternate:
        // Its parameter byte names the screen size; the screen stays ours.
        // A host that leaves the byte out goes straight on with a command.
        ClearUnit();
        if (!in.atEnd() && in.peek() != kEscape) in.skip(1);
        return true;
    case kClearUnit:
    case kClearFormatTable:
        ClearUnit();
        return true;
    case kSavePartialScreen:
        // Not carried out; its flag byte and the window's top row, left
        // column, depth and width are the command's.
        CommandNotImplemented(code);
        in.skip(5);
        return true;
    case kRestorePartialScreen:
    case kCopyToPrinter:
    case kWriteErrorCodeToWindow:
        // Not carried out; what follows up to the next command is theirs
        // (the image brought back; the window's columns and message).
        CommandNotImplemented(code);
        SkipToNextCommand(in);
        return true;
    case kWriteErrorCode:
        changed_ = true;
        WriteErrorCode(in);
        return true;
    case kRoll:
        // Not carried out, but its three parameter bytes are the command's.
        CommandNotImplemented(code);
        in.skip(3);
        return true;
    case kReadInputFields:
        ReadFields(in, 1);
        return true;
    case kReadMdtFields:
        ReadFields(in, 0);
        return true;
    case kReadScreen:
        ReadScreen();
        return false;
    case kReadMdtAlternate:
        // Not carried out; its CC1 and CC2 are the command's.
        CommandNotImplemented(code);
        in.skip(2);
        return true;
    case kWriteStructuredField:
        WriteStructuredField(in);
        return true;
    case kWriteSingleStructuredField: {
        CommandNotImplemented(code);
        const uint16_t length = in.u16be();
        SkipStructuredField(in, length, 0);
        return true;
    }
    default:
        CommandNotImplemented(code);
        return true;
    }
}

void TPLTn5250stream::SkipToNextCommand(TByteReader& in) {
    const uint8_t* from = in.current();
    while (!in.atEnd() && in.peek() != kEscape)
        in.skip(1);
    // Passed over unread (an image brought back among them): what it holds
    // is unknown, so no dump shows it.
    NoteHidden({from, in.current()});
}

void TPLTn5250stream::CommandNotImplemented(uint8_t code) {
    WriteLog(1, Format("%.4d : ERROR:-> Comando 0x%.2X no implementado", SessionId, code));
}

void TPLTn5250stream::ClearUnit() {
    Display5250()->Clear();
    changed_ = true;
    ColumnMarkers.fill(0);
    SetBoundsEmpty();
}

void TPLTn5250stream::ReadScreen() {
    SetStatusText("SENDING");
    static constexpr uint8_t kAnswer[] = {0x04, 0x72};
    SendRecord(0x00, 0x00, op5250::ReadScreen, kAnswer);
    ColumnMarkers.fill(0);
    SetBoundsEmpty();
    // Only the stream's text: the display keeps "SENDING" until the
    // transport passes the stream's status on at the record end.
    StatusText.clear();
}

void TPLTn5250stream::WriteStructuredField(TByteReader& in) {
    const uint16_t length = in.u16be();
    const uint8_t cls = in.byte();
    const uint8_t type = in.byte();
    in.byte(); // flags
    SkipStructuredField(in, length, 3);
    ProcessStructuredField(cls, type);
}

void TPLTn5250stream::ProcessStructuredField(uint8_t cls, uint8_t type) {
    constexpr uint8_t kQueryClass = 0xD9, kQueryType = 0x70;
    if (cls != kQueryClass || type != kQueryType) return;
    SendRecord(0x00, 0x00, op5250::QueryReply, BuildQueryReply());
}

std::vector<uint8_t> TPLTn5250stream::BuildQueryReply() const {
    std::vector<uint8_t> reply;
    reply.reserve(62);
    auto zeros = [&reply](size_t n) { reply.insert(reply.end(), n, 0x00); };
    auto text = [&](const char* s) {
        for (; *s; ++s)
            reply.push_back(ToEbcdic(static_cast<uint8_t>(*s)));
    };
    reply.insert(reply.end(), {0x00, 0x00, // cursor row and column
                               0x88,       // inbound write-structured-field AID
                               0x00, 0x3A, // length of the field
                               0xD9, 0x70, // class, type: 5250 query
                               0x80, 0x06, 0x00, 0x01, 0x01});
    zeros(17);
    reply.push_back(0x01);
    text("5251"); // device type
    text("011");  // model
    reply.push_back(0x02);
    zeros(4);
    reply.insert(reply.end(), {0x61, 0x50, 0x00, 0x01});
    zeros(5);
    reply.push_back(0x11);
    zeros(10);
    return reply;
}
