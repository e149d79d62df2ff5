// The 5250 screen buffer: the shared planes, plus the table of input fields
// the host defines with Start of Field, the map that names the field owning
// each cell, the rectangle written by the last host record and the columns it
// addressed. Position arithmetic is fixed at 80 columns and 1920 cells.
//
// Written on the session's reader thread by the interpreter and on the
// caller's thread by SendToScreen; the session keeps the two apart.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "uPLTndisplay.h"

// One input field as the host defined it.
struct TFieldFormatRec {
    static constexpr int kMinData = 257;

    // Data is blank-filled and holds at least kMinData characters and at
    // least Length (capped at the screen size), so every Length-long read or
    // write of it stays inside.
    explicit TFieldFormatRec(uint16_t length = 0);

    uint8_t FFW1 = 0, FFW2 = 0; // field format word; 0 when the host sent none
    uint8_t FCW1 = 0, FCW2 = 0; // field control word; 0 when none
    uint8_t Attribute = 0;      // start attribute, 0x20..0x3F
    uint8_t Row = 0;            // 1-based row of the first data position
    uint8_t Col = 0;            // 1-based column; 81 when the attribute stands in column 80
    uint8_t EndRow = 0;
    uint8_t EndCol = 0; // (Col - 1) mod 80 + Length, kept to 8 bits
    uint16_t Length = 0;
    uint8_t RowsSpanned = 0;
    uint8_t Modified = 0; // 1 once the user's text was written into the field
    std::string Data;     // local character set

    // First data position, (Row - 1) * 80 + (Col - 1); may lie outside the screen.
    int Start() const { return (Row - 1) * 80 + (Col - 1); }
    // The screen does not show the field's text (a password, as a rule): its
    // attribute is no screen attribute, or one of the non-display ones.
    bool Hidden() const { return HidingAttribute(Attribute); }
    // A screen attribute that hides what follows it: none at all (outside
    // 0x20..0x3F), or one of the non-display ones.
    static bool HidingAttribute(uint8_t attribute) {
        if (attribute < 0x20 || attribute > 0x3F) return true;
        return (attribute & 0x07) == 0x07 && attribute != 0x3F;
    }
    // Every value back to its start, for a field of this length.
    void Reset(uint16_t length);
    // Resizes Data for the current Length (never below kMinData).
    void FitData();
};

class TPLTn5250display : public TPLTndisplay {
public:
    static constexpr int kCols = 80;
    static constexpr int kCells = 1920;
    // The field map and the saved image name a field in one byte: slots 1..255.
    static constexpr int kSlots = 255;
    // The character of a cell that holds a screen attribute.
    static constexpr uint8_t kAttributeCell = 0x01;

    TPLTn5250display(int sessionId, int rows, int cols);
    ~TPLTn5250display() override;

    int16_t WinTop() const { return winTop_; }
    int16_t WinLeft() const { return winLeft_; }
    int16_t WinBottom() const { return winBottom_; }
    int16_t WinRight() const { return winRight_; }
    int16_t WinWidth() const { return winWidth_; }
    int16_t WinHeight() const { return winHeight_; }
    // Clamped to 0..23 (rows) or 0..79 (columns).
    void SetWinTop(int16_t value);
    void SetWinLeft(int16_t value);
    void SetWinBottom(int16_t value);
    void SetWinRight(int16_t value);

    uint8_t WindowFound = 0;
    std::array<uint8_t, kPlaneSize> FieldMap{}; // slot owning each position; 0 = none
    std::array<uint8_t, kCols> ColumnMarkers{};

    // Every cell: character 0, attribute dirty, extra 0, no field; no fields; cursor 0.
    void Clear() override;
    // Registers a field defined by the host (or restored); a field at the
    // same place replaces the old one. With the table full the cells are
    // still drawn but no record is kept.
    void AddField(std::unique_ptr<TFieldFormatRec> rec);
    // A blank record for a field about to be added, reusing one of the
    // records the display let go of (a screen defines its fields again and
    // again; this spares the allocations).
    std::unique_ptr<TFieldFormatRec> NewField(uint16_t length);
    // Pos is a start-attribute position: the field that begins after it goes.
    void RemoveFieldAt(int pos);
    void RemoveField(int slot);
    void ClearFields();
    int FieldCount() const;
    // The record in a slot (1..kSlots), or null.
    TFieldFormatRec* Field(int slot) const;
    // The start attribute of the field owning pos, else the attribute plane's byte.
    uint8_t GetAttrAt(int pos) const;
    // Writes the user's text into the field owning pos, from pos on.
    void PutFieldData(int pos, const std::string& text);

    // Cells that Clear resets: Rows * Cols.
    int CellCount() const { return Size(); }

private:
    bool InScreen(int pos) const { return pos >= 0 && pos < CellCount(); }

    int16_t winTop_ = 0, winLeft_ = 0, winBottom_ = 0, winRight_ = 0;
    int16_t winWidth_ = 1, winHeight_ = 1;
    std::array<std::unique_ptr<TFieldFormatRec>, kSlots + 1> fields_; // [0] unused
    int lowestFree_ = 1;                                              // no slot below it is free
    std::vector<std::unique_ptr<TFieldFormatRec>> spare_; // records let go of, for NewField
    void Retire(std::unique_ptr<TFieldFormatRec> rec);
};
