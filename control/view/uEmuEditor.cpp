#include "uEmuEditor.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr int kCells = TScreenCells::kCells;
constexpr int kCols = TScreenCells::kCols;

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool NumericChar(uint8_t c) {
    return c == ' ' || c == ',' || c == '.' || (c >= '0' && c <= '9');
}
bool SignedNumericChar(uint8_t c) {
    return c == ',' || c == '-' || c == '.' || (c >= '0' && c <= '9');
}
bool AlphabeticChar(uint8_t c) {
    return c == ' ' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

TEmuEditor::TEmuEditor(TScreenCells& cells, const THostViewport& viewport, TEmuEditorHost& host)
    : cells_(cells), viewport_(viewport), host_(host) {}

int16_t TEmuEditor::IndexAt(int address) const {
    address = TScreenCells::Wrap(address);
    return cells_.FieldIndex(Col(address), Row(address));
}

bool TEmuEditor::IsAttribute(int address) const {
    address = TScreenCells::Wrap(address);
    return cells_.IsAttribute(Col(address), Row(address));
}

THostBasicField* TEmuEditor::FieldAt(int address) const {
    const int16_t index = IndexAt(address);
    THostFields* fields = host_.GetFields();
    return index < 0 || !fields ? nullptr : fields->GetField(index);
}

bool TEmuEditor::Eligible(const THostBasicField* field) {
    return field && field->GetAttr().Has(attUnProtected) && !field->GetAttr().Has(attByPass);
}

bool TEmuEditor::ContinuesField(int address) const {
    if (address <= 0 || address >= kCells || IsAttribute(address) || IsAttribute(address - 1))
        return false;
    const int16_t index = IndexAt(address);
    if (index < 0) return false;
    if (Col(address) == 0) return cells_.ContinuesRow(Row(address));
    return IndexAt(address - 1) == index;
}

bool TEmuEditor::IsFieldStart(int address, int16_t index) const {
    address = TScreenCells::Wrap(address);
    if (index < 0 || IsAttribute(address) || IndexAt(address) != index) return false;
    // A field that starts in column 1 has no attribute cell in front of it;
    // a row that goes on with the field of the row before starts nothing,
    // nor does the first row when a field wraps into it from the screen's end.
    if (address == 0) return !cells_.ContinuesRow(0);
    return !ContinuesField(address);
}

TEmuEditor::TSpan TEmuEditor::CursorFieldSpan() const {
    // On an attribute cell the cursor's field is the one that cell starts.
    if (IsAttribute(cursor_) && IndexAt(cursor_) >= 0 && cursor_ + 1 < kCells &&
        IndexAt(cursor_ + 1) == IndexAt(cursor_))
        return FieldSpan(cursor_ + 1);
    return FieldSpan(cursor_);
}

TEmuEditor::TSpan TEmuEditor::FieldSpan(int address) const {
    address = TScreenCells::Wrap(address);
    const int16_t index = IndexAt(address);
    if (index < 0 || IsAttribute(address)) return {};
    TSpan span{address, address};
    // A field never wraps round from the screen's end to its start.
    while (ContinuesField(span.First))
        --span.First;
    while (ContinuesField(span.Last + 1))
        ++span.Last;
    return span;
}

void TEmuEditor::SetCursorAddress(int address) {
    cursor_ = std::clamp(address, 0, kCells - 1);
    host_.CursorPlaced(cursor_);
}

void TEmuEditor::MoveCursor(int address, bool wrap) {
    address = TScreenCells::Wrap(address);
    int col = Col(address);
    int row = Row(address);
    const int left = viewport_.LeftCol() - 1, right = viewport_.RightCol() - 1;
    const int top = viewport_.TopRow() - 1, bottom = viewport_.BottomRow() - 1;
    if (wrap) {
        if (col > right)
            col = left;
        else if (col < left)
            col = right;
        if (row > bottom)
            row = top;
        else if (row < top)
            row = bottom;
        // A viewport set off the screen still leaves the cursor on it.
        col = std::clamp(col, 0, kCols - 1);
        row = std::clamp(row, 0, TScreenCells::kRows - 1);
    } else {
        const auto cell = viewport_.ClipCell(col, row);
        col = cell.Col;
        row = cell.Row;
    }
    SetCursorAddress(row * kCols + col);
}

void TEmuEditor::CellClick(int col, int row) {
    col = std::clamp(col, 0, kCols - 1);
    row = std::clamp(row, 0, TScreenCells::kRows - 1);
    SetCursorAddress(row * kCols + col);
}

void TEmuEditor::SetInsertMode(bool on) {
    insertMode_ = on;
    host_.InsertModeChanged();
}

void TEmuEditor::StartAfresh() {
    HostBusy = false;
    LeaveHexMode();
    swallowNextChar_ = false;
    if (insertMode_) SetInsertMode(false);
    if (Inhibited()) SetInputInhibit("");
}

void TEmuEditor::LeaveHexMode() {
    hexMode_ = false;
    hexCount_ = 0;
    hexDigit1_ = hexDigit2_ = 0;
}

void TEmuEditor::SetInputInhibit(const std::string& reason) {
    if (!InputInhibitEnabled) return;
    inhibitReason_ = reason;
    host_.InputInhibitChanged();
}

bool TEmuEditor::CanEditCell(int col, int row, bool report) {
    bool ok = false;
    if (TScreenCells::InScreen(col, row) && !cells_.IsAttribute(col, row)) {
        const THostBasicField* field = FieldAt(row * kCols + col);
        ok = field && !field->GetAttr().Has(attProtected);
    }
    if (!ok && report) SetInputInhibit(kXLock);
    return ok;
}

void TEmuEditor::MarkModified(THostBasicField& field) {
    TFieldAttribute attr = field.GetAttr();
    attr.Include(attModified);
    attr.Exclude(attNonModified);
    field.SetAttr(attr);
}

void TEmuEditor::CellMoved(int address) {
    // Only modified fields go back to the host: a row of a field that runs
    // over several rows is its own entry in the list.
    if (THostBasicField* field = FieldAt(address)) MarkModified(*field);
    host_.InvalidateCell(Col(address), Row(address));
}

bool TEmuEditor::PutChar(uint8_t ch, int col, int row) {
    if (!CanEditCell(col, row, true) || Inhibited()) return false;
    const int address = row * kCols + col;
    THostBasicField* field = FieldAt(address);
    if (!field) return false;
    const TFieldAttribute attr = field->GetAttr();
    if (attr.Has(attMonoCase) && ch >= 'a' && ch <= 'z') ch = static_cast<uint8_t>(ch - 'a' + 'A');
    if (attr.Has(attNumericOnly) && !NumericChar(ch)) return false;
    if (attr.Has(attNumeric) && !NumericChar(ch)) return false;
    if (attr.Has(attSignedNumeric) && !SignedNumericChar(ch)) return false;
    if (attr.Has(attAlphabeticOnly) && !AlphabeticChar(ch)) return false;
    if (!attr.Has(attMagneticStripe)) {
        // Empty cells between the field's start and the typed cell become
        // blanks, so that the host sees the text where it was typed.
        const TSpan span = FieldSpan(address);
        for (int a = address - 1; a >= span.First && a >= row * kCols; --a) {
            if (cells_.Code(Col(a), row) >= 32) break;
            cells_.SetCode(Col(a), row, ' ');
            host_.InvalidateCell(Col(a), row);
        }
        cells_.SetCode(col, row, ch);
    }
    MarkModified(*field);
    // The field's last cell: the field may go on in the next row.
    if (attr.Has(attAutoEnter) && !ContinuesField(address + 1)) DoAidKey("ENTER");
    return true;
}

void TEmuEditor::KeyPress(uint8_t ch) {
    if (swallowNextChar_) {
        swallowNextChar_ = false;
        return;
    }
    if (Inhibited()) return;
    if (ch >= 32) {
        if (hexMode_) {
            const char c = static_cast<char>(ch);
            if (hexCount_ == 0) {
                const int v = HexValue(c);
                if (v < 4) {
                    LeaveHexMode();
                    throw EEmuEditorError(kHexFirstError);
                }
                hexDigit1_ = c;
                hexCount_ = 1;
                return;
            }
            const int v = HexValue(c);
            if (v < 0) {
                LeaveHexMode();
                throw EEmuEditorError(kHexSecondError);
            }
            hexDigit2_ = c;
            const auto code = static_cast<uint8_t>(HexValue(hexDigit1_) * 16 + v);
            LeaveHexMode();
            KeyPress(code);
            return;
        }
        const int typed = cursor_;
        if (insertMode_) InsertShift();
        const int col = Col(typed), row = Row(typed);
        if (PutChar(ch, col, row) && !Inhibited()) {
            host_.InvalidateCell(col, row);
            if (const THostBasicField* field = FieldAt(typed)) TypedNextCell(typed, *field);
        }
    }
    host_.PaintCells();
}

void TEmuEditor::TypedNextCell(int typed, const THostBasicField& typedField) {
    const int next = typed + 1;
    int col = next % kCols, row = next / kCols;
    if (col > viewport_.RightCol() - 1) {
        col = viewport_.LeftCol() - 1;
        ++row;
    }
    if (row > viewport_.BottomRow() - 1) row = viewport_.TopRow() - 1;
    const TSpan typedSpan = FieldSpan(typed);
    const int wrapped = row * kCols + col;
    const bool sameField = wrapped >= typedSpan.First && wrapped <= typedSpan.Last;
    const bool exitRequired = typedField.GetAttr().Has(attFieldExitRequired);
    if (sameField || !exitRequired) CursorAdvance();

    const TEmuEditorHost::TRules rules = host_.Rules();
    if (rules == TEmuEditorHost::TRules::None) return;
    const int at = TScreenCells::Wrap(next);
    if (rules == TEmuEditorHost::TRules::Tn3270) {
        // An auto-skip attribute (protected and numeric) after the field: the
        // cursor goes on as Tab goes from that attribute, to the next input
        // field, so that typing runs on into it. With none to go to, it stays.
        const THostBasicField* started = FieldStartedBy(at);
        if (started && started->GetAttr().Has(attProtected) && started->GetAttr().Has(attNumeric)) {
            const int target = NextFieldStart(at);
            if (target >= 0) MoveCursor(target, true);
        }
        return;
    }
    if (ContinuesField(next)) return;
    const THostBasicField* nextField = FieldAt(at);
    if (!nextField) {
        NextField();
    } else if (IsAttribute(at)) {
        cursor_ = std::max(cursor_ - 1, 0);
        NextField();
    } else if (nextField->GetAttr().Has(attProtected)) {
        NextField();
    }
}

void TEmuEditor::InsertShift() {
    // Only the cells of the field being edited move: a protected field's
    // text is never shifted, and nothing is pushed out of the field.
    if (!CanEditCell(Col(cursor_), Row(cursor_), false)) return;
    const TSpan span = FieldSpan(cursor_);
    int empty = -1;
    for (int a = cursor_; a <= span.Last; ++a) {
        if (cells_.Code(Col(a), Row(a)) == 0) {
            empty = a;
            break;
        }
    }
    if (empty < 0) {
        SetInputInhibit(kXLock);
        return;
    }
    for (int a = empty; a > cursor_; --a) {
        cells_.SetCode(Col(a), Row(a), cells_.Code(Col(a - 1), Row(a - 1)));
        CellMoved(a);
    }
    host_.PaintCells();
}

void TEmuEditor::DeleteChar(int col, int row) {
    if (!CanEditCell(col, row, true) || Inhibited()) return;
    const int address = row * kCols + col;
    THostBasicField* field = FieldAt(address);
    if (!field) return;
    MarkModified(*field);
    // The rest of the field moves left; the next field's text stays put.
    const TSpan span = FieldSpan(address);
    for (int a = address; a < span.Last; ++a) {
        cells_.SetCode(Col(a), Row(a), cells_.Code(Col(a + 1), Row(a + 1)));
        CellMoved(a);
    }
    cells_.SetCode(Col(span.Last), Row(span.Last), 0);
    CellMoved(span.Last);
    host_.PaintCells();
}

int TEmuEditor::NextFieldStart(int from) const {
    for (int k = 1; k <= kCells; ++k) {
        const int a = TScreenCells::Wrap(from + k);
        const int16_t index = IndexAt(a);
        if (!IsFieldStart(a, index) || !Eligible(FieldAt(a))) continue;
        // The attribute cell in front of the field is what must be inside
        // the viewport and not where the search starts; a field in column 1
        // has none.
        const bool hasAttribute = Col(a) > 0 && IsAttribute(a - 1);
        const int mark = hasAttribute ? a - 1 : a;
        if (hasAttribute && mark == from) continue;
        const auto cell = viewport_.ClipCell(Col(mark), Row(mark));
        if (cell.Col != Col(mark) || cell.Row != Row(mark)) continue;
        return a;
    }
    return -1;
}

void TEmuEditor::NextField() {
    const int a = NextFieldStart(cursor_);
    if (a >= 0) MoveCursor(a, true);
}

const THostBasicField* TEmuEditor::FieldStartedBy(int address) const {
    address = TScreenCells::Wrap(address);
    if (IsAttribute(address) && IndexAt(address) >= 0) return FieldAt(address);
    // The attribute of a field that starts in column 1 sits in the last
    // cell of the row before (the screen's last cell for the first row),
    // which the cells hold as no field's.
    if (Col(address) != kCols - 1 || (IndexAt(address) >= 0 && !IsAttribute(address)))
        return nullptr;
    const int start = TScreenCells::Wrap(address + 1);
    return IsFieldStart(start, IndexAt(start)) ? FieldAt(start) : nullptr;
}

void TEmuEditor::PriorField() {
    for (int k = 1; k < kCells; ++k) {
        const int a = TScreenCells::Wrap(cursor_ - k);
        const int16_t index = IndexAt(a);
        if (!IsFieldStart(a, index) || !Eligible(FieldAt(a))) continue;
        if (Col(a) > 0 && IsAttribute(a - 1) && a - 1 == cursor_) continue;
        MoveCursor(a, false);
        return;
    }
}

void TEmuEditor::NextLine() {
    const int start = (Row(cursor_) + 1) * kCols % kCells;
    for (int k = 0; k < kCells; ++k) {
        const int a = TScreenCells::Wrap(start + k);
        if (k > 0 && a == cursor_) return;
        const THostBasicField* field = FieldAt(a);
        if (!Eligible(field)) continue;
        // Scanning from a row's start, the first input cell found is the
        // first data cell of a field, or of the row's piece of a field that
        // runs over several rows; or the attribute cell in front of one.
        MoveCursor(IsAttribute(a) ? a + 1 : a, true);
        return;
    }
}

void TEmuEditor::EraseToEndOfField() {
    const int start = cursor_;
    const TSpan field = FieldSpan(start);
    for (int n = 0; n < kCells; ++n) {
        const int a = cursor_;
        // Erasing begun in a field stays in it, over all of its rows. Begun
        // outside any field, it refuses cell after cell (the first refusal
        // locks) up to the next attribute cell, where the field move that
        // follows starts.
        if (IsAttribute(a) || (field.First >= 0 && (a < field.First || a > field.Last))) break;
        PutChar(' ', Col(a), Row(a));
        host_.InvalidateCell(Col(a), Row(a));
        CursorAdvance();
        if (cursor_ == start || Row(cursor_) < Row(start)) break;
    }
    host_.PaintCells();
}

void TEmuEditor::LocalFunction(std::string_view name, bool alt) {
    if (Inhibited() || hexMode_) return;
    const auto is = [name](std::string_view n) { return SameText(name, n); };
    if (is("HEXA")) {
        hexMode_ = true;
        hexCount_ = 0;
        hexDigit1_ = hexDigit2_ = 0;
    } else if (is("NEXTLINE")) {
        NextLine();
    } else if (is("PRIORFIELD")) {
        const THostBasicField* field = FieldAt(cursor_);
        if (!field) return;
        const TSpan span = FieldSpan(cursor_);
        // The first row's piece of a field that wraps round from the
        // screen's end: the field begins before the end.
        const int first =
            span.First == 0 && cells_.ContinuesRow(0) ? FieldSpan(kCells - 1).First : span.First;
        if (field->GetAttr().Has(attUnProtected) && span.First >= 0 && cursor_ > span.First &&
            cursor_ <= span.Last)
            MoveCursor(first, true);
        else
            PriorField();
    } else if (is("NEXTFIELD")) {
        NextField();
    } else if (is("INSERT")) {
        SetInsertMode(!insertMode_);
    } else if (is("ARROW_UP")) {
        MoveCursor(cursor_ - kCols, true);
    } else if (is("ARROW_DOWN")) {
        MoveCursor(cursor_ + kCols, true);
    } else if (is("ARROW_LEFT") || is("ARROW_RIGHT")) {
        const int step = (alt ? 3 : 1) * (is("ARROW_LEFT") ? -1 : 1);
        const int col = ((Col(cursor_) + step) % kCols + kCols) % kCols;
        MoveCursor(Row(cursor_) * kCols + col, true);
    } else if (is("BACK")) {
        const int before = TScreenCells::Wrap(cursor_ - 1);
        if (!Eligible(FieldAt(before))) return;
        DeleteChar(Col(before), Row(before));
        MoveCursor(before, false);
    } else if (is("DELETECHAR")) {
        DeleteChar(Col(cursor_), Row(cursor_));
    } else if (is("FIELD-")) {
        swallowNextChar_ = true;
        const TSpan span = FieldSpan(cursor_);
        EraseToEndOfField();
        if (span.First >= 0) MoveCursor(span.First, true);
        PriorField();
    } else if (is("FIELD+")) {
        swallowNextChar_ = true;
        EraseToEndOfField();
        NextField();
    } else if (is("ERASE EOF")) {
        const int start = cursor_;
        EraseToEndOfField();
        MoveCursor(start, true);
    } else if (is("HOME")) {
        PriorField();
    } else if (is("RESTORESCREEN")) {
        host_.RestoreScreen();
    } else if (is("END")) {
        const TSpan span = CursorFieldSpan();
        if (span.First < 0) {
            NextField();
            return;
        }
        const int after = TScreenCells::Wrap(span.Last + 1);
        const THostBasicField* next = FieldAt(after);
        if (next && next->GetAttr().Has(attUnProtected)) {
            const TSpan nextSpan = FieldSpan(IsAttribute(after) ? after + 1 : after);
            MoveCursor(nextSpan.Last >= 0 ? nextSpan.Last : span.Last, true);
        } else {
            MoveCursor(span.Last, true);
        }
    } else if (is("ERASE FIELD")) {
        const TSpan span = CursorFieldSpan();
        if (span.First >= 0) {
            MoveCursor(span.First, true);
            for (int a = span.First; a <= span.Last; ++a) {
                PutChar(' ', Col(a), Row(a));
                host_.InvalidateCell(Col(a), Row(a));
            }
            MoveCursor(span.First, true);
            host_.PaintCells();
        }
        NextField();
    }
}

bool TEmuEditor::DoAidKey(const std::string& aidName) {
    if (!host_.IsConnected()) return false;
    if (!host_.AidKeyPressed(aidName)) return false;
    if (aidName == "RESET") {
        if (!HostBusy) SetInputInhibit("");
        return false;
    }
    if (Inhibited() || aidName == "HOME" || aidName == "END") return false;
    CollectModifiedFields();
    host_.SendAid(aidName);
    return true;
}

void TEmuEditor::CollectModifiedFields() {
    if (!host_.IsConnected()) return;
    THostFields* inputs = host_.GetInputFields();
    if (!inputs) return;
    for (int i = 0; i < inputs->Count(); ++i) {
        THostBasicField* field = inputs->GetField(i);
        if (!field || !field->GetAttr().Has(attModified)) continue;
        std::string text;
        const int row = field->Row - 1;
        for (int j = 0; j < field->Len; ++j) {
            const int col = field->Col - 1 + j;
            if (col >= kCols) break;
            if (col < 0 || !TScreenCells::InScreen(col, row)) continue;
            const uint8_t code = cells_.Code(col, row);
            text += code == 0 || cells_.IsAttribute(col, row) ? ' ' : static_cast<char>(code);
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        field->Data = text;
    }
    inputs->CurPos = static_cast<int16_t>(cursor_ + 1);
}

void TEmuEditor::PasteText(std::u32string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') {
            LocalFunction("NEXTFIELD");
            ++i;
        } else if (c == U'\n') {
            LocalFunction("NEXTFIELD");
        } else if (Typable(c)) {
            // Control codes and characters the 8-bit cells cannot hold are
            // skipped, not cut.
            if (!CanEditCell(Col(cursor_), Row(cursor_), false)) LocalFunction("NEXTFIELD");
            KeyPress(static_cast<uint8_t>(c));
        }
    }
}
