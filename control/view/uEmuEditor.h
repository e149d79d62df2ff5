// The editing engine of the host emulator view: the cursor, typing into the
// host's input fields under each field's attributes, the local function keys,
// hexadecimal entry, pasting, the input inhibit and collecting the modified
// fields for an attention key. It works on the view's cells and talks to the
// view through TEmuEditorHost. Plain C++; user-interface thread.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "uPlBasFld.h"
#include "uPleStyle.h"
#include "uScreenCells.h"

// A refused key that the user is to be told about (invalid hexadecimal digits).
class EEmuEditorError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the editor needs from the view that holds it.
class TEmuEditorHost {
public:
    // Which host's typing rules apply after a character: none without a binding.
    enum class TRules { None, Tn3270, Tn5250 };

    virtual void InvalidateCell(int col, int row) = 0;
    virtual void PaintCells() = 0;
    // The field lists of the live screen; null when there are none.
    virtual THostFields* GetFields() = 0;
    virtual THostFields* GetInputFields() = 0;
    virtual bool IsConnected() = 0;
    virtual TRules Rules() = 0;
    // Before an attention key is acted on; false stops it.
    virtual bool AidKeyPressed(const std::string& aidName) = 0;
    // An attention key that the editor let through, to go to the host.
    virtual void SendAid(const std::string& aidName) = 0;
    // The current host screen is to be fetched and shown again.
    virtual void RestoreScreen() = 0;
    // The cursor address was set: place the caret.
    virtual void CursorPlaced(int address) = 0;
    virtual void InputInhibitChanged() = 0;
    virtual void InsertModeChanged() = 0;

protected:
    ~TEmuEditorHost() = default;
};

class TEmuEditor {
public:
    static constexpr const char* kXLock = "X-LOCK";
    static constexpr const char* kHexFirstError = "Invalid hexa key. Valid ranges are 4..9 , A..F";
    static constexpr const char* kHexSecondError = "Invalid hexa key. Valid ranges are 0..9 , A..F";

    TEmuEditor(TScreenCells& cells, const THostViewport& viewport, TEmuEditorHost& host);

    // Cursor: an address 0..1919; values outside are taken onto the screen.
    int CursorAddress() const { return cursor_; }
    void SetCursorAddress(int address);
    // To (address mod 1920), wrapped or clamped into the viewport.
    void MoveCursor(int address, bool wrap);
    void CursorAdvance() { MoveCursor(cursor_ + 1, true); }
    void CellClick(int col, int row);

    bool InsertMode() const { return insertMode_; }
    void SetInsertMode(bool on);

    const std::string& InhibitReason() const { return inhibitReason_; }
    bool Inhibited() const { return !inhibitReason_.empty(); }
    void SetInputInhibit(const std::string& reason);
    bool InputInhibitEnabled = true;
    bool HostBusy = false;

    // A new session starts as a terminal just switched on: no input inhibit,
    // no wait for the host, no hexadecimal entry or key half done, and
    // typing overwrites.
    void StartAfresh();

    bool HexMode() const { return hexMode_; }
    int HexCount() const { return hexCount_; }
    bool SwallowNextChar() const { return swallowNextChar_; }

    // The field of a cell (an attribute cell gives the field after it), or null.
    THostBasicField* FieldAt(int address) const;
    bool CanEditCell(int col, int row, bool report);
    bool PutChar(uint8_t ch, int col, int row);
    // A character that can be typed into a cell: printable Latin-1, not DEL
    // and not a C1 control code.
    static bool Typable(char32_t c) { return c >= 0x20 && c <= 0xFF && (c < 0x7F || c > 0x9F); }
    // One typed character (8-bit code). Throws EEmuEditorError for an
    // invalid hexadecimal digit.
    void KeyPress(uint8_t ch);
    // A local function key by its key-map name; alt is the Alt modifier.
    void LocalFunction(std::string_view name, bool alt = false);
    void InsertShift();
    void DeleteChar(int col, int row);
    void NextField();
    void PriorField();
    void NextLine();

    // An attention key: true when it is to go to the host (and then sent).
    bool DoAidKey(const std::string& aidName);
    void CollectModifiedFields();
    // Pasted text as character codes (Unicode code points).
    void PasteText(std::u32string_view text);

private:
    static bool Eligible(const THostBasicField* field);
    int Col(int address) const { return address % TScreenCells::kCols; }
    int Row(int address) const { return address / TScreenCells::kCols; }
    int16_t IndexAt(int address) const;
    bool IsAttribute(int address) const;
    // Whether the cell is a data cell of the same field as the cell before
    // it: the same entry along a row, or a row that continues the field of
    // the row before.
    bool ContinuesField(int address) const;
    // Whether the address is the first data cell of an input field that a
    // field movement from the cursor may land on.
    bool IsFieldStart(int address, int16_t index) const;
    // The first data cell of the input field that Tab goes to from the
    // address (wrapping at the screen's end); -1 when there is none.
    int NextFieldStart(int from) const;
    // The field whose attribute is at the address; null when no field's is.
    const THostBasicField* FieldStartedBy(int address) const;
    // The cells of the field that holds the address, a field that runs over
    // several rows taken whole: first and last data cells, both -1 when the
    // address is in no field's data.
    struct TSpan {
        int First = -1, Last = -1;
    };
    TSpan FieldSpan(int address) const;
    // The cells of the field the cursor is in or, on an attribute cell, starts.
    TSpan CursorFieldSpan() const;
    void MarkModified(THostBasicField& field);
    // A cell whose text an edit moved: its field (the row of a field that
    // runs over several rows) is modified.
    void CellMoved(int address);
    void EraseToEndOfField();
    void LeaveHexMode();
    void TypedNextCell(int typed, const THostBasicField& typedField);

    TScreenCells& cells_;
    const THostViewport& viewport_;
    TEmuEditorHost& host_;
    int cursor_ = 0;
    bool insertMode_ = false;
    std::string inhibitReason_;
    bool hexMode_ = false;
    int hexCount_ = 0;
    char hexDigit1_ = 0;
    char hexDigit2_ = 0;
    bool swallowNextChar_ = false;
};
