// The 5250 data-stream interpreter: turns each host record into changes of
// its display, answers what needs no user (query, READ SCREEN, cancel
// invite, SAVE SCREEN), and builds the replies to attention keys.
//
// ProcessData and its answers run on the session's reader thread; the
// attention-key replies (SendReply and the special records) run on the
// caller's thread inside SendToScreen. The session keeps the two apart.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ByteReader.h"
#include "uPLTn5250display.h"
#include "uPLTnStream.h"

// The 10 bytes before every 5250 record, both ways.
struct T5250RecordHeader {
    static constexpr size_t kSize = 10;
    uint16_t Length = 0; // header included, big-endian on the wire
    uint8_t Flags1 = 0, Flags2 = 0, Opcode = 0;
};

// Record opcodes.
namespace op5250 {
inline constexpr uint8_t Invite = 1, OutputOnly = 2, PutGet = 3, SaveScreen = 4, ReadScreen = 8,
                         CancelInvite = 10, QueryReply = 0xF1;
}

class TPLTn5250stream : public TPLTnStream {
public:
    TPLTn5250stream(int sessionId, int rows, int cols);

    TPLTn5250display* Display5250() const { return static_cast<TPLTn5250display*>(Display()); }

    uint8_t ErrorRow = 24; // 1-based row of the error line
    std::string ErrorText; // errors-as-message mode: the last error text
    uint8_t ReplyMode = 0; // 0: READ MDT FIELDS answers the next key; 1: READ INPUT FIELDS
    uint8_t ErrorsAsMessage = 1;
    // Bounds of the area the current record wrote, 0-based; empty is 23, 79, 0, 0.
    int16_t MinRow = 23, MinCol = 79, MaxRow = 0, MaxCol = 0;
    std::array<uint8_t, TPLTn5250display::kCols> ColumnMarkers{};

    void EraseUnprotected(int, int) override {}
    void ProcessData() override;
    // A cell of a field the screen does not show: its own screen attribute
    // hides it (as the host-field list has it), or the input field it
    // belongs to does.
    bool HiddenCell(int cell) const override;
    void SendModifiedFields() override;
    void ResetMDT() override;

    // Header plus data, handed to DoSend in one block; logView, when it is as
    // long as data, is what the log shows of data.
    void SendRecord(uint8_t flags1, uint8_t flags2, uint8_t opcode,
                    std::span<const uint8_t> data = {}, std::span<const uint8_t> logView = {});
    // The reply ReplyMode asks for, for the pending AID byte.
    void SendReply();
    void SendInputFields();
    void SetErrorAsMessage(bool on) { ErrorsAsMessage = on ? 1 : 0; }
    void SetCursor(int pos);
    static int RowColToPos(int row, int col) { return (row - 1) * 80 + (col - 1); }

    // The 62 data bytes of the reply to the host's query.
    std::vector<uint8_t> BuildQueryReply() const;
    // The save-screen image of the current display; with logView, also the
    // same image with the text of hidden fields masked, for the log.
    std::vector<uint8_t> BuildSaveImage(std::vector<uint8_t>* logView = nullptr) const;

private:
    // Command handlers, each entered with the command byte consumed. They read
    // the record's data through the bounded reader: a record that ends inside
    // an order or a command's parameters raises EReadError, which ends the
    // record's interpretation there.
    void WriteToDisplay(TByteReader& in);
    void WriteErrorCode(TByteReader& in);
    void WriteStructuredField(TByteReader& in);
    void ProcessStructuredField(uint8_t cls, uint8_t type);
    void ReadScreen();
    void ClearUnit();
    void ReadFields(TByteReader& in, uint8_t mode);
    void SaveScreen();
    void RestoreScreen(TByteReader& in);

    // WTD orders and data.
    void StartOfHeader(TByteReader& in);
    void RepeatToAddress(TByteReader& in);
    void StartOfField(TByteReader& in);
    // A data byte and the run of data bytes after it, up to the next order
    // or the screen end.
    void WriteData(uint8_t first, TByteReader& in);
    // CC1 of a WTD or read command: nulls modified (or all) fields.
    void ApplyCC1(uint8_t cc1);
    // A cell the record addressed, 0-based; only screen columns have markers.
    void NoteAddress(int row0, int col0) {
        if (col0 >= 0 && col0 < TPLTn5250display::kCols)
            ColumnMarkers[static_cast<size_t>(col0)] = 1;
        MinCol = std::min<int16_t>(MinCol, static_cast<int16_t>(col0));
        MinRow = std::min<int16_t>(MinRow, static_cast<int16_t>(row0));
        MaxCol = std::max<int16_t>(MaxCol, static_cast<int16_t>(col0));
        MaxRow = std::max<int16_t>(MaxRow, static_cast<int16_t>(row0));
    }
    void NoteCells(int first, int last); // every cell of a range of positions, first <= last
    // The bounds take in a rectangle, 0-based, top left to bottom right.
    void NoteArea(int top, int left, int bottom, int right) {
        MinRow = std::min<int16_t>(MinRow, static_cast<int16_t>(top));
        MinCol = std::min<int16_t>(MinCol, static_cast<int16_t>(left));
        MaxRow = std::max<int16_t>(MaxRow, static_cast<int16_t>(bottom));
        MaxCol = std::max<int16_t>(MaxCol, static_cast<int16_t>(right));
    }
    void SetBoundsEmpty();
    void SetStatusText(const std::string& text);
    void SendSpecialRecord(uint8_t aid, int row, int col);
    // The start of an AID reply: status "SENDING", then the cursor and the
    // AID byte in data; false when the key has a record of its own, sent already.
    bool BeginReply(std::vector<uint8_t>& data);

    // The command loop and its pieces.
    bool RunCommand(uint8_t code, TByteReader& in); // false: the record ends here
    void CommandNotImplemented(uint8_t code);
    // Passes over the bytes before the next escape (or the record's end).
    void SkipToNextCommand(TByteReader& in);
    void OrderNotImplemented(uint8_t order);
    // The record in the local character set, hidden text masked, to the dump.
    void RecordInterpreted(std::span<const uint8_t> record) override;
    // The position of a 1-based row and column, or -1 when it lies outside the screen.
    int CheckedPos(int row, int col) const;
    void SetBufferAddress(TByteReader& in);
    void InsertCursor(TByteReader& in);
    // Writes one attribute or character (the record's byte at src) at the
    // current address and moves on.
    void PutDataCell(const uint8_t* src);

    // The current record changed the display: set by the handlers as they
    // write, so that it holds also when the record ends inside an order.
    bool changed_ = false;

    // WTD state: the current address always lies on the screen.
    int curAddr_ = 0;
    uint8_t curAttr_ = 0, curExtra_ = 0;
};
