// The 3270 screen buffer: the shared planes read with the 3270 notion of a
// field. A field begins at a cell that holds a field attribute and runs,
// wrapping from the last cell to the first, up to the next attribute cell;
// every cell of a field carries its field's internal attribute byte.
//
// Written on the session's reader thread by the interpreter and on the
// caller's thread by SendToScreen; the session's lock keeps the two apart.
#pragma once

#include <cstdint>
#include <string>

#include "uPLTndisplay.h"

// The internal attribute byte of a cell.
namespace attr3270 {
inline constexpr uint8_t Intensity = 0x03; // 0 normal, 1 detectable, 2 intensified, 3 non-display
// An internal attribute whose field the screen does not show (a password's).
inline constexpr bool NonDisplay(uint8_t attribute) {
    return (attribute & Intensity) == Intensity;
}
inline constexpr uint8_t Modified = 0x04; // modified data tag
inline constexpr uint8_t ChangedBit = TPLTndisplay::kDirty;
inline constexpr uint8_t Protected = 0x10;
inline constexpr uint8_t Numeric = 0x20;
} // namespace attr3270

class TPLTn3270display : public TPLTndisplay {
public:
    // The character that stands in an attribute cell's character plane.
    static constexpr uint8_t kAttributeChar = 1;

    TPLTn3270display(int sessionId, int rows, int cols);

    // The 3270 attribute byte A (graphic form or bare 6 bits) as the
    // internal byte, changed bit included; and back to the bare 6 bits.
    static uint8_t ToInternal(uint8_t a);
    static uint8_t ToFieldAttribute(uint8_t internal);

    bool Formatted() const { return HeadFlags[0] != 0; }
    // Attribute cells are marked on their own plane, not by their character:
    // a data byte that a code table maps to 1 stays a character.
    bool IsFieldAttribute(int pos) const { return InScreen(pos) && fieldMarks_[pos] != 0; }
    // The plane of attribute marks (1 for each attribute cell), for runs
    // of data that look at every cell.
    const uint8_t* FieldMarks() const { return fieldMarks_.data(); }

    // Unformatted; every cell: character 0, attribute changed, extended 0.
    void Clear() override;
    // As the base's: every changed bit cleared, the screen marked changed.
    void FlushChanges() override;
    void StartField(int pos, uint8_t attribute);
    // Merges the field at pos into the one before it; the character plane at
    // pos is left to the caller.
    void RemoveFieldAttribute(int pos);
    uint8_t GetFieldAttribute(int pos) const;
    bool IsFieldModified(int pos) const;
    // Forward to the screen end, no wrap; -1 when none or unformatted.
    int FindNextField(int pos) const;
    // The first data cell of the next unprotected, non-empty field at or
    // after pos, no wrap; -1 when none or unformatted.
    int FindNextUnprotected(int pos) const;
    // Backwards to cell 0, no wrap; -1 when none or unformatted.
    int FindFieldStart(int pos) const;
    void SetExtendedAttribute(int pos, uint8_t bits);
    // pos must be an attribute cell; anything else is ignored.
    void SetFieldModified(int pos, bool on);
    void MarkFieldModified(int pos);
    // The user's text for the field whose data starts at start (count cells,
    // the field's length). Clipped to the screen and to the field: it stops
    // at the next attribute cell and writes nothing into a protected field.
    void PutString(int start, int count, const std::string& text);

    // The cell after pos, wrapping from the last cell to cell 0.
    int Next(int pos) const {
        const unsigned next = static_cast<unsigned>(pos) + 1u;
        return next < static_cast<unsigned>(Size()) ? static_cast<int>(next) : 0;
    }
    int LastCell() const { return Size() - 1; }

private:
    bool InScreen(int pos) const { return pos >= 0 && pos < Size(); }
    // Writes the byte into the attribute plane from pos on, wrapping, up to
    // the next attribute cell after pos (at most once round the screen).
    void FillField(int pos, uint8_t internal);
    // Cell after pos through the next attribute cell, wrapping; pos itself
    // when it is the only one.
    int NextAttributeAfter(int pos) const;
    // Whether the field holding pos has a character before pos.
    bool HasTextBefore(int pos) const;
    // Clears the mark of an attribute cell, keeping the bounds of the marks.
    void UnmarkAttribute(int pos);

    TPlane fieldMarks_{};                // 1 for each attribute cell
    int firstMark_ = -1, lastMark_ = -1; // the lowest and highest marked cells; -1: none
};
