#include "uPLTnStream.h"

#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstring>

#include "Logging.h"
#include "PLError.h"
#include "uPLIntfLogg.h"

TPLTnStream::TPLTnStream(int sessionId, int /*rows*/, int /*cols*/)
    : SessionId(sessionId), record_(kInitialRecordSize) {
    LoadTable("");
}

TPLTnStream::~TPLTnStream() {
    // The room goes back to the allocator as it was taken (see ProcessRecord).
    ASAN_UNPOISON_MEMORY_REGION(record_.data(), record_.size());
}

void TPLTnStream::SetDisplay(std::unique_ptr<TPLTndisplay> display) {
    if (display && display.get() == display_.get()) {
        (void)display.release(); // already ours: one owner only
        return;
    }
    display_ = std::move(display);
}

void TPLTnStream::DoSend(const uint8_t* data, size_t len, const uint8_t* logView) {
    if (OnSend) OnSend(data, len, logView);
}

void TPLTnStream::AddData(const uint8_t* data, size_t len) {
    if (len == 0) return;
    if (overlongBytes_ != 0 || len > kMaxRecordSize - recordLen_) {
        overlongBytes_ += len;
        return;
    }
    ASAN_UNPOISON_MEMORY_REGION(record_.data(), record_.size());
    if (recordLen_ + len > record_.size())
        record_.resize(std::min(kMaxRecordSize, std::max(record_.size() * 2, recordLen_ + len)));
    std::memcpy(record_.data() + recordLen_, data, len);
    recordLen_ += len;
}

void TPLTnStream::ProcessData() {}

void TPLTnStream::ProcessRecord() {
    written_.clear();
    hiddenBytes_.clear();
    if (Overlong()) {
        // Never interpreted, so its hidden text is unknown: nothing of it
        // may reach a dump.
        const size_t total = PendingBytes();
        DropRecord();
        throw EPLError("record of " + std::to_string(total) + " bytes is longer than " +
                       std::to_string(kMaxRecordSize) + " bytes: dropped");
    }
    struct Empty {
        TPLTnStream& stream;
        ~Empty() {
            // Also when interpreting failed: what it wrote is on the screen.
            try {
                stream.FindHiddenBytes();
                stream.RecordInterpreted(stream.Record());
            } catch (...) {}
            stream.DropRecord();
        }
    } empty{*this};
    tracking_ = LogWanted(6);
    // The buffer keeps its room, and the bytes of earlier records in it,
    // from record to record. Under AddressSanitizer that room is unreadable
    // while a record is interpreted, so that an interpreter reading past a
    // record's end is caught whatever the record's length, not only when
    // the record fills the room. (Without it this does nothing.)
    ASAN_POISON_MEMORY_REGION(record_.data() + recordLen_, record_.size() - recordLen_);
    ProcessData();
}

bool TPLTnStream::HiddenCell(int) const {
    return false;
}

void TPLTnStream::FindHiddenBytes() {
    const int cells = display_ ? display_->Size() : 0;
    if (cells <= 0) return;
    auto hidden = [&](int cell, size_t n) {
        for (size_t i = 0; i < n; ++i)
            if (HiddenCell(static_cast<int>((static_cast<size_t>(cell) + i) % cells))) return true;
        return false;
    };
    auto add = [this](size_t first, size_t last) {
        if (!hiddenBytes_.empty() && hiddenBytes_.back().second == first)
            hiddenBytes_.back().second = last;
        else
            hiddenBytes_.emplace_back(first, last);
    };
    for (const TWritten& w : written_) {
        const auto offset = static_cast<size_t>(w.offset);
        if (w.cell < 0) {
            add(offset, offset + w.len);
            continue;
        }
        if (w.len == 1) {
            if (hidden(w.cell, w.count)) add(offset, offset + 1);
            continue;
        }
        for (size_t i = 0; i < w.len; ++i)
            if (hidden(static_cast<int>((static_cast<size_t>(w.cell) + i) % cells), 1))
                add(offset + i, offset + i + 1);
    }
    // Later writes may name earlier bytes again: the ranges go in order.
    std::sort(hiddenBytes_.begin(), hiddenBytes_.end());
}

void TPLTnStream::LoadTable(const std::string& fileName) {
    TableFile = fileName;
    if (LoadCodeTables(fileName, tables_) == TTableSource::OpenFailed) {
        std::string text = "ERROR: No se pudo cargar la tabla de conversion " + fileName;
        WriteLog(1, text);
        DebugOut(text);
    }
}
