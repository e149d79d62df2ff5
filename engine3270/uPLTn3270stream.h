// The 3270 data-stream interpreter: each host record is a command (Write,
// Erase/Write, Erase/Write Alternate, Erase All Unprotected, the reads,
// Write Structured Field) interpreted into its display, and the inbound
// records (Read Modified, Read Buffer, the query reply) are built here.
//
// ProcessData and the answers that need no user run on the session's reader
// thread; SendModifiedFields also runs on the caller's thread inside
// SendToScreen. The session's lock keeps the two apart.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ByteReader.h"
#include "uPLTn3270display.h"
#include "uPLTnStream.h"

// Command codes as the interpreter dispatches them (the host may send the
// SNA form instead; see LocalCommand).
namespace cmd3270 {
inline constexpr uint8_t Write = 0x01, ReadBuffer = 0x02, Nop = 0x03, EraseWrite = 0x05,
                         ReadModified = 0x06, EraseWriteAlternate = 0x0D,
                         EraseAllUnprotected = 0x0F, WriteStructuredField = 0x11;
}

// Attention identifiers that the engine itself uses.
namespace aid3270 {
inline constexpr uint8_t NoAid = 0x60, StructuredField = 0x88, PA1 = 0x6C, PA2 = 0x6E, PA3 = 0x6B,
                         Clear = 0x6D, Enter = 0x7D;
}

class TPLTn3270stream : public TPLTnStream {
public:
    // Every model fits the 12-bit addresses this engine writes (at most 4096 cells).
    TPLTn3270stream(int sessionId, int rows, int cols);

    TPLTn3270display* Display3270() const { return static_cast<TPLTn3270display*>(Display()); }

    void ProcessData() override;
    // A data cell of a non-display field.
    bool HiddenCell(int cell) const override;
    void SendModifiedFields() override;
    void ResetMDT() override;
    // From start through end inclusive, wrapping; end just before start
    // covers the whole screen.
    void EraseUnprotected(int startPos, int endPos) override;
    void EraseAllUnprotected();
    void ReadBuffer();
    // The structured fields of a Write Structured Field, to the record's end.
    void ProcessStructuredFields(TByteReader& in);

    // The SNA command code as the local one; other codes pass unchanged.
    static uint8_t LocalCommand(uint8_t code);
    // 14-bit when the two high bits of b1 are 0, else 12-bit. No range check.
    static int DecodeBufferAddress(uint8_t b1, uint8_t b2);
    // The 12-bit form with the 6-bit code table, as replies carry it.
    static void EncodeBufferAddress(int address, uint8_t out[2]);
    static uint8_t PackExtendedAttribute(uint8_t highlight, uint8_t colour);

    // The 75 bytes answering Read Partition Query.
    std::vector<uint8_t> BuildQueryReply() const;

private:
    // Dispatches one record; false when the command failed.
    void ProcessCommand(TByteReader& in);
    // A write command with its WCC, orders and data; in starts after the
    // command byte.
    void ProcessWrite(uint8_t command, TByteReader& in);
    void RunOrders(TByteReader& record);
    // An address the host sent, checked against the screen.
    int ReadAddress(TByteReader& in) const;
    void SetStatus(const char* text);
    void Send(const std::vector<uint8_t>& reply) { DoSend(reply.data(), reply.size()); }
    void BeginReply(bool withCursor);

    // The working values of one run of orders.
    struct TWriteState {
        int address = 0;
        uint8_t charAttr = 0x08;
        uint8_t highlight = 0;
        uint8_t colour = 0;
        bool afterOrder = true;
    };
    // The record's byte at src, at the current address.
    void PutData(TWriteState& w, const uint8_t* src);
    // Writes the data bytes at the start of bytes, up to the first order;
    // the count written.
    size_t PutDataRun(TWriteState& w, std::span<const uint8_t> bytes);
    // The same within the cells from the current address to the screen end,
    // which bytes must not pass.
    size_t PutDataPiece(TWriteState& w, std::span<const uint8_t> bytes);
    void StartFieldExtended(TWriteState& w, TByteReader& in);
    void RepeatToAddress(TWriteState& w, TByteReader& in);
    void ProgramTab(TWriteState& w);

    // Every reply is built here; it keeps its room between replies.
    std::vector<uint8_t> reply_;
    // The current record is a write that has begun to change the display.
    bool wrote_ = false;
};
