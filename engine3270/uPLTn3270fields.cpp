// The host-field list of a 3270 screen: one field per run of cells after a
// field attribute, split at row ends, with flags from the 3270 attribute.
#include <algorithm>
#include <cstring>

#include "uHostFieldBuilder.h"
#include "uHostFieldLog.h"
#include "uPLIntfLogg.h"
#include "uPLTn3270.h"

namespace {

// Host fields describe the 24 x 80 screen of model 2, the only one asked for.
constexpr int kCols = 80;
constexpr int kCells = 1920;

TFieldAttribute FieldAttribute(uint8_t a) {
    TFieldAttribute f;
    f.Include(a & 0x20 ? attProtected : attUnProtected);
    f.Include(a & 0x10 ? attNumeric : attAlphanumeric);
    if ((a & 0x0C) == 0x0C) {
        f.Include(attInvisible);
        f.Include(attNonDisplay);
    } else if (a & 0x04) {
        f.Include(attNormal);
        f.Include(attDisplay);
    } else if (a & 0x08) {
        f.Include(attHigh);
        f.Include(attDisplay);
    } else {
        f.Include(attNormal);
        f.Include(attDisplay);
    }
    f.Include(a & 0x01 ? attModified : attNonModified);
    return f;
}

// Builds the list; positions are 1-based, as the fields'.
class TFieldBuilder {
public:
    TFieldBuilder(const TPLTn3270display& display, THostFields& list)
        : display_(display), fields_(list) {}

    void Open(int pos, TFieldAttribute attr) { fields_.Open(pos, attr); }

    // Ends the current field before cell k; a field with no cells goes.
    void Close(int k) {
        THostBasicField* f = fields_.Close(k);
        if (!f) return;
        SetText(*f, display_.Chars.data() + (f->Pos - 1), static_cast<size_t>(f->Len));
        f->Col = static_cast<uint8_t>((f->Pos - 1) % kCols + 1);
        f->Row = static_cast<uint8_t>((f->Pos - 1) / kCols + 1);
        f->Eab = static_cast<char>(display_.Extra[static_cast<size_t>(f->Pos - 1)]);
    }

    // The attributes a continuation on the next row carries.
    TFieldAttribute CurrentAttr() const {
        if (const THostBasicField* f = fields_.Current()) return f->GetAttr();
        return {attProtected, attNumeric, attNormal, attNonDisplay, attNonModified};
    }

private:
    // The field's text as SetData stores it: null cells read as blanks, and
    // trailing blanks and control characters go.
    static void SetText(THostBasicField& f, const uint8_t* cells, size_t count) {
        size_t end = count;
        while (end > 0 && cells[end - 1] <= ' ')
            --end;
        CellsToText(f.Data, cells, end);
    }

    const TPLTn3270display& display_;
    THostFieldBuilder fields_;
};

} // namespace

void TPLTn3270::GenHostFields() {
    if (LogWanted(6)) WriteLog(6, Format("%.4d : Generando HostFields", SessionId));
    const TPLTn3270display& d = *Stream3270()->Display3270();
    const int cells = std::min(kCells, d.Size());
    const uint8_t* marks = d.FieldMarks();
    HostFields.Reset();
    TFieldBuilder fields(d, HostFields);
    // An attribute cell ends the field before it and starts its own.
    auto attributeCell = [&](int cell) {
        fields.Close(cell + 1);
        fields.Open(cell + 2, FieldAttribute(d.GetFieldAttribute(cell)));
    };
    for (int rowStart = 0; rowStart < cells; rowStart += kCols) {
        if (marks[rowStart] && rowStart + 1 < cells) {
            attributeCell(rowStart);
        } else if (rowStart == 0) {
            // The field that wraps round from the screen's end, or the
            // whole unformatted screen.
            uint8_t a = d.GetFieldAttribute(0);
            if (a == 0x18) a = 0x02;
            fields.Open(1, FieldAttribute(a));
        } else {
            // A field never spans rows: the next row goes on with its flags,
            // taken before the closing may drop the field.
            const TFieldAttribute attr = fields.CurrentAttr();
            fields.Close(rowStart + 1);
            fields.Open(rowStart + 1, attr);
        }
        // The rest of the row: its attribute cells, but one in the last cell.
        const int rowEnd = std::min(rowStart + kCols, cells);
        for (int c = rowStart + 1; c < rowEnd; ++c) {
            const void* hit = std::memchr(marks + c, 1, static_cast<size_t>(rowEnd - c));
            if (!hit) break;
            c = static_cast<int>(static_cast<const uint8_t*>(hit) - marks);
            if (c + 1 < cells) attributeCell(c);
        }
    }
    // An attribute in the last cell starts no field: its data begins at cell 1.
    fields.Close(marks[cells - 1] ? cells : cells + 1);
    HostFields.CurPos = static_cast<int16_t>(d.Cursor());
    if (LogWanted(5)) {
        LogFieldLines(HostFields);
        WriteLog(5, Format("CurPos:%4d", HostFields.CurPos));
    }
    RaiseEvent(ceScreenChanged);
}
