// The data-stream interpreter both engines specialise: it collects one
// inbound record, interprets it into its display, converts characters through
// the code tables and hands outbound records to the transport. Runs on the
// session's reader thread, or on the caller's thread under the engine's lock.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "uCodeTables.h"
#include "uPLTndisplay.h"

// Where the stream hands an outbound record. Beside the record it may get a
// log view: the same number of bytes with the user's text of non-display
// fields masked, for what is dumped to the log (nullptr: none; the record
// itself is dumped). A handler that takes only the record ignores the view.
// Called on the thread that sends: the reader thread or the caller's.
class TSendHandler {
public:
    using TFull = std::function<void(const uint8_t* data, size_t len, const uint8_t* logView)>;

    TSendHandler() = default;
    template <class F>
    requires std::invocable<F&, const uint8_t*, size_t, const uint8_t*> TSendHandler(F f)
        : handler_(std::move(f)) {}
    template <class F>
    requires(std::invocable<F&, const uint8_t*, size_t> &&
             !std::invocable<F&, const uint8_t*, size_t, const uint8_t*>) TSendHandler(F f)
        : handler_([f = std::move(f)](const uint8_t* data, size_t len, const uint8_t*) mutable {
              f(data, len);
          }) {}

    explicit operator bool() const { return static_cast<bool>(handler_); }
    void operator()(const uint8_t* data, size_t len, const uint8_t* logView = nullptr) const {
        handler_(data, len, logView);
    }

private:
    TFull handler_;
};

class TPLTnStream {
public:
    // The record buffer starts at the size most records need and grows,
    // up to a bound far beyond any screen a host can send: a record longer
    // than that is dropped whole, never cut and run.
    static constexpr size_t kInitialRecordSize = 8192;
    static constexpr size_t kMaxRecordSize = 256 * 1024;

    TPLTnStream(int sessionId, int rows, int cols);
    virtual ~TPLTnStream();
    TPLTnStream(const TPLTnStream&) = delete;
    TPLTnStream& operator=(const TPLTnStream&) = delete;

    uint8_t PendingAid = 0;
    int SessionId = 0;
    TSendHandler OnSend;
    std::string TableFile;
    std::string StatusText;

    TPLTndisplay* Display() const { return display_.get(); }
    // Frees the display held and takes the given one; handing back the
    // display already held changes nothing.
    void SetDisplay(std::unique_ptr<TPLTndisplay> display);

    virtual void EraseUnprotected(int startPos, int endPos) = 0;
    // logView, when given, holds len bytes: the record as the log may show it.
    virtual void DoSend(const uint8_t* data, size_t len, const uint8_t* logView = nullptr);
    // Appends to the current record. A record that outgrows kMaxRecordSize
    // is marked overlong: the rest of it is not kept.
    virtual void AddData(const uint8_t* data, size_t len);
    // Interprets the current record. The base only empties it.
    virtual void ProcessData();
    virtual void SendModifiedFields() = 0;
    virtual void ResetMDT() = 0;

    // What the transport calls at a record end: ProcessData, and the record
    // is empty afterwards even when interpreting it failed. An overlong
    // record is not interpreted: it is dropped, and EPLError names its length.
    void ProcessRecord();
    // The bytes of the current record so far, kept or not.
    size_t PendingBytes() const { return recordLen_ + overlongBytes_; }
    // The current record outgrew kMaxRecordSize: it will not be interpreted.
    bool Overlong() const { return overlongBytes_ != 0; }
    // Forgets the current record without interpreting it.
    void DropRecord() { recordLen_ = overlongBytes_ = 0; }

    // Whether the text in a cell is hidden (a non-display field's). The base
    // hides none.
    virtual bool HiddenCell(int cell) const;
    // Byte ranges [first, last) of the record ProcessRecord took last.
    using TByteRanges = std::vector<std::pair<size_t, size_t>>;
    // The bytes of the last record that the interpreter wrote into cells
    // hidden when the record ended: text that no log may show. Kept only
    // while records are dumped (log level 6 or more).
    const TByteRanges& HiddenBytes() const { return hiddenBytes_; }

    uint8_t ToEbcdic(uint8_t code) const { return tables_.LocalToHost[code]; }
    uint8_t ToAscii(uint8_t code) const { return tables_.HostToLocal[code]; }
    // Built-in tables for an empty name or a missing file; a file that cannot
    // be read gives the identity and an error line.
    void LoadTable(const std::string& fileName);
    const TCodeTables& Tables() const { return tables_; }

    const std::string& GetStatusText() const { return StatusText; }

protected:
    std::span<const uint8_t> Record() const { return {record_.data(), recordLen_}; }
    // The interpreter wrote len bytes of the record, from src on, into the
    // cells from cell on (one byte into count cells when len is 1); cells
    // past the screen's end go on at its start.
    void NoteWritten(const uint8_t* src, size_t len, int cell, size_t count) {
        if (tracking_) written_.push_back({src - record_.data(), len, cell, count});
    }
    void NoteWritten(std::span<const uint8_t> src, int cell) {
        NoteWritten(src.data(), src.size(), cell, src.size());
    }
    // Bytes of the record that hold hidden text wherever they go.
    void NoteHidden(std::span<const uint8_t> src) { NoteWritten(src.data(), src.size(), -1, 0); }
    // The bytes of the record from there to its end, which the interpreter
    // never reached (it stopped, or a fault ended the record): what they
    // hold is unknown, so no dump may show them as they came.
    void NotInterpretedFrom(const uint8_t* from) {
        const uint8_t* end = record_.data() + recordLen_;
        if (from >= record_.data() && from < end)
            NoteWritten(from, static_cast<size_t>(end - from), -1, 0);
    }
    // Called by ProcessRecord once the record has been interpreted, with its
    // hidden bytes known; an engine dumps its view of the record here.
    virtual void RecordInterpreted(std::span<const uint8_t> /*record*/) {}

private:
    std::unique_ptr<TPLTndisplay> display_;
    TCodeTables tables_;
    // Finds the hidden bytes of the record just interpreted.
    void FindHiddenBytes();

    std::vector<uint8_t> record_;
    size_t recordLen_ = 0;
    size_t overlongBytes_ = 0; // bytes of the current record past the bound; 0: none
    // Where the bytes of the current record went, while records are dumped.
    struct TWritten {
        std::ptrdiff_t offset; // in the record
        size_t len;
        int cell; // -1: hidden wherever it goes
        size_t count;
    };
    bool tracking_ = false;
    std::vector<TWritten> written_;
    TByteRanges hiddenBytes_;
};
