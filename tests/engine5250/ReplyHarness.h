// A stream (24 x 80 unless told otherwise) whose sent records are captured, fed whole host records.
#pragma once

#include <memory>
#include <vector>

#include "uPLTn5250stream.h"

using TBytes = std::vector<uint8_t>;

struct TReplyHarness {
    TPLTn5250stream s;
    std::vector<TBytes> sent;

    explicit TReplyHarness(int rows = 24, int cols = 80) : s(1, rows, cols) {
        s.OnSend = [this](const uint8_t* d, size_t n) { sent.emplace_back(d, d + n); };
    }
    TPLTn5250display& d() { return *s.Display5250(); }

    // A host record: the 10-byte header, then the data.
    void Feed(const TBytes& data, uint8_t opcode = 3) {
        const size_t len = data.size() + 10;
        TBytes rec{uint8_t(len >> 8), uint8_t(len), 0x12, 0xA0, 0, 0, 0x04, 0, 0, opcode};
        rec.insert(rec.end(), data.begin(), data.end());
        s.AddData(rec.data(), rec.size());
        s.ProcessRecord();
    }

    // A field at 1-based row and column (column of the first data cell).
    TFieldFormatRec& Define(int row, int col, uint16_t length, uint8_t attr = 0x24,
                            uint8_t ffw1 = 0x40) {
        auto f = std::make_unique<TFieldFormatRec>(length);
        f->Row = uint8_t(row);
        f->Col = uint8_t(col);
        f->Attribute = attr;
        f->FFW1 = ffw1;
        TFieldFormatRec* raw = f.get();
        d().AddField(std::move(f));
        return *raw;
    }
};

// True when every field-map entry names an occupied slot.
inline bool MapNamesOnlyFields(const TPLTn5250display& d) {
    for (uint8_t slot : d.FieldMap)
        if (slot != 0 && d.Field(slot) == nullptr) return false;
    return true;
}
