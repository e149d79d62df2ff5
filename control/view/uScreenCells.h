// The 80 x 24 cells of a host screen as the terminal view keeps them: one
// character code and the index of the owning field (in the field list the
// cells were loaded from) per cell, and which cells stand in front of a
// field (attribute cells). Plain C++; user-interface thread.
#pragma once

#include <array>
#include <cstdint>

#include "uPlBasFld.h"

class TScreenCells {
public:
    static constexpr int kCols = 80;
    static constexpr int kRows = 24;
    static constexpr int kCells = kCols * kRows;

    TScreenCells() { Reset(); }

    static bool InScreen(int col, int row) {
        return col >= 0 && col < kCols && row >= 0 && row < kRows;
    }
    // A screen address (row * 80 + column) taken into 0..1919, wrapping.
    static int Wrap(int address) { return ((address % kCells) + kCells) % kCells; }

    // Every cell empty (code 0), in no field, no attribute cell.
    void Reset();
    // The cells of a screen's field list: each field's data cells along its
    // row, the attribute cell in front of it, everything clipped to the
    // screen, and which rows continue a field. A data byte 0x01 is a
    // character, never an attribute cell.
    void Load(const THostFields& fields);

    // Cell code: 0 empty, else the character (attribute cells read as 1).
    uint8_t Code(int col, int row) const;
    bool IsAttribute(int col, int row) const;
    // Whether the row's first cell goes on with the field that holds the
    // last cell of the row before (as loaded): the host hands a field that
    // runs over several rows as one entry per row, each with the same
    // attributes and no attribute cell between them. The screen's first
    // row continues a field that wraps round from the screen's last cell.
    bool ContinuesRow(int row) const;
    // Index of the cell's field, -1 for none (and for a cell off the screen).
    int16_t FieldIndex(int col, int row) const;

    // Editing writes single cells; writes off the screen do nothing.
    void SetCode(int col, int row, uint8_t code);
    void SetField(int col, int row, int16_t index);
    void SetAttribute(int col, int row, bool on);

private:
    static int Index(int col, int row) { return row * kCols + col; }
    std::array<uint8_t, kCells> codes_{};
    std::array<int16_t, kCells> fields_{};
    std::array<bool, kCells> attribute_{};
    std::array<bool, kRows> continues_{};
};
