#include "uScreenCells.h"

#include <algorithm>

void TScreenCells::Reset() {
    codes_.fill(0);
    fields_.fill(-1);
    attribute_.fill(false);
    continues_.fill(false);
}

void TScreenCells::Load(const THostFields& fields) {
    const int count = fields.Count();
    for (int i = 0; i < count && i <= INT16_MAX; ++i) {
        const THostBasicField* field = fields.GetField(i);
        if (!field) continue;
        const auto index = static_cast<int16_t>(i);
        // Row, column and length come from the host; a field whose row is off
        // the screen has no cells, and cells past column 80 of its row are
        // dropped rather than wrapped onto the next row.
        const int row = field->Row - 1;
        const int col = field->Col - 1; // first data cell, 0-based
        const int len = field->Len;
        if (row < 0 || row >= kRows) continue;
        if (field->Col >= 2) {
            SetAttribute(col - 1, row, true);
            SetField(col - 1, row, index);
        } else if (field->Col + len == kCols) {
            // A field from column 1 that ends in column 79: the host's
            // attribute for whatever follows sits in column 80.
            SetAttribute(kCols - 1, row, true);
        }
        const int dataLen = static_cast<int>(field->Data.size());
        for (int j = 0; j < len; ++j) {
            const int c = col + j;
            if (c >= kCols) break;
            if (c < 0) continue;
            SetField(c, row, index);
            if (j < dataLen)
                SetCode(c, row, static_cast<uint8_t>(field->Data[static_cast<size_t>(j)]));
        }
    }
    // A field that truly starts in column 1 has its attribute in the last
    // cell of the row before, which no field then holds; a row whose first
    // cell follows a field's cell with nothing between goes on with it.
    // Different attributes make it a field of its own all the same.
    // The 3270 host's buffer wraps: a field that runs to the screen's end
    // goes on in the first row, up to the first attribute cell. A screen
    // without any attribute cell (unformatted) is one field that starts at
    // the first cell.
    const bool formatted =
        std::find(attribute_.begin(), attribute_.end(), true) != attribute_.end();
    for (int row = 0; row < kRows; ++row) {
        const int above = (row + kRows - 1) % kRows;
        const THostBasicField* last = fields.GetField(FieldIndex(kCols - 1, above));
        const THostBasicField* first = fields.GetField(FieldIndex(0, row));
        continues_[row] = last && first && last != first && !IsAttribute(kCols - 1, above) &&
                          !IsAttribute(0, row) && last->GetAttr() == first->GetAttr() &&
                          (row > 0 || formatted);
    }
}

uint8_t TScreenCells::Code(int col, int row) const {
    if (!InScreen(col, row)) return 0;
    const int i = Index(col, row);
    return attribute_[i] ? 1 : codes_[i];
}

bool TScreenCells::IsAttribute(int col, int row) const {
    return InScreen(col, row) && attribute_[Index(col, row)];
}

bool TScreenCells::ContinuesRow(int row) const {
    return row >= 0 && row < kRows && continues_[static_cast<size_t>(row)];
}

int16_t TScreenCells::FieldIndex(int col, int row) const {
    return InScreen(col, row) ? fields_[Index(col, row)] : int16_t{-1};
}

void TScreenCells::SetCode(int col, int row, uint8_t code) {
    if (!InScreen(col, row)) return;
    // A character written over an attribute cell replaces it.
    codes_[Index(col, row)] = code;
    attribute_[Index(col, row)] = false;
}

void TScreenCells::SetField(int col, int row, int16_t index) {
    if (InScreen(col, row)) fields_[Index(col, row)] = index;
}

void TScreenCells::SetAttribute(int col, int row, bool on) {
    if (!InScreen(col, row)) return;
    const int i = Index(col, row);
    if (on)
        codes_[i] = 1;
    else if (attribute_[i])
        codes_[i] = 0;
    attribute_[i] = on;
}
