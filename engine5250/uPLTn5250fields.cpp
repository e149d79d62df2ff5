// The host-field list of a 5250 screen: one field per run of cells between
// field attributes, split at row ends, with flags from the field format words
// and the screen attribute; or, when a bordered pop-up window is found in the
// area the last host record wrote, the same for the inside of the window.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "uHostFieldBuilder.h"
#include "uHostFieldLog.h"
#include "uPLIntfLogg.h"
#include "uPLTn5250.h"

namespace {

constexpr int kCols = TPLTn5250display::kCols;
constexpr int kCells = TPLTn5250display::kCells;
constexpr uint8_t kNonDisplay = 0xFF; // marks the screen attributes that hide a field

// Eab for each screen attribute 0x20..0x3F.
constexpr std::array<uint8_t, 32> kEab = {
    0x20, 0xA0, 0x38, 0xB8, 0x24, 0xA4, 0x3C, kNonDisplay, // 0x20..0x27
    0x10, 0x90, 0x50, 0xD0, 0x14, 0x94, 0x54, kNonDisplay, // 0x28..0x2F
    0x2A, 0xAA, 0x32, 0xB2, 0x2C, 0xAC, 0x34, kNonDisplay, // 0x30..0x37
    0x18, 0x98, 0x08, 0x88, 0x1C, 0x9C, 0x0C, 0x08,        // 0x38..0x3F
};

// Flags from the field format words of an input field.
void AddFormatFlags(TFieldAttribute& a, const TFieldFormatRec& rec) {
    const uint8_t f1 = rec.FFW1, f2 = rec.FFW2;
    auto input = [&a](TAttrTypes t) {
        a.Include(t);
        a.Include(attUnProtected);
    };
    if (f1 & 0x20) a.Include(attByPass);
    if (f1 & 0x10) input(attDupEnable);
    if (f1 & 0x08) input(attModified);
    if (f1 & 0x40) a.Include(attUnProtected);
    static constexpr TAttrTypes kShift[8] = {attAlphanumericShift, attAlphabeticOnly, attNumeric,
                                             attNumericOnly,       attKataShift,      attDigits,
                                             attMagneticStripe,    attSignedNumeric};
    input(kShift[f1 & 0x07]);
    if (f2 & 0x80) input(attAutoEnter);
    if (f2 & 0x40) input(attFieldExitRequired);
    if (f2 & 0x20) input(attMonoCase);
    if (f2 & 0x08) input(attMandatory);
    switch (f2 & 0x07) {
    case 0:
        a.Include(attNoAdjust);
        break;
    case 5:
        a.Include(attRightZero);
        break;
    case 6:
        a.Include(attRightBlank);
        break;
    case 7:
        input(attMandatoryFill);
        break;
    default:
        break;
    }
}

// One walk over a run of cells (the screen, or a window's inside), building
// the fields of the list.
class TFieldWalk {
public:
    // The walk covers rows of `width` cells from (top, left): the whole
    // screen, or the inside of a window.
    TFieldWalk(const TPLTn5250display& display, THostFields& list, int top, int left, int width,
               int height, bool window)
        : display_(display), fields_(list), cells_(width * height), width_(width), top_(top),
          left_(left), window_(window) {}

    void Run() {
        for (int rowStart = 0; rowStart < cells_; rowStart += width_) {
            const int rowEnd = std::min(rowStart + width_, cells_);
            // The first cell of a row: an attribute, the screen's first cell,
            // or the start of a continuation of the field above.
            if (IsAttributeCell(rowStart) && rowStart < cells_ - 1) {
                Close(rowStart + 1);
                Open(rowStart + 1);
            } else if (rowStart == 0) {
                Open(0);
            } else {
                Continue(rowStart);
            }
            // The rest of the row: the attribute cells, found in the row's
            // contiguous run of screen cells.
            const uint8_t* base = &display_.Chars[static_cast<size_t>(CellOf(rowStart))];
            for (int c = rowStart + 1; c < rowEnd;) {
                const void* hit =
                    std::memchr(base + (c - rowStart), 0x01, static_cast<size_t>(rowEnd - c));
                if (!hit) break;
                c = rowStart + static_cast<int>(static_cast<const uint8_t*>(hit) - base);
                if (c < cells_ - 1) {
                    Close(c + 1);
                    Open(c + 1);
                }
                ++c;
            }
        }
        // The last cell belongs to the last field, unless it is an attribute.
        Close(IsAttributeCell(cells_ - 1) ? cells_ : cells_ + 1);
    }

    int FirstInput() const { return firstInput_; }

private:
    // A field never spans two rows: the next row goes on with the flags of
    // the field above (or those of a hidden protected field when there is none).
    void Continue(int c) {
        TFieldAttribute attr{attProtected, attNumeric, attNormal, attNonDisplay, attNonModified};
        char eab = 0x20;
        if (const THostBasicField* above = fields_.Current()) {
            attr = above->GetAttr();
            eab = above->Eab;
        }
        Close(c + 1);
        fields_.Open(c + 1, attr, eab);
    }

    // The screen cell of a walk cell.
    int CellOf(int k) const {
        return window_ ? (top_ + k / width_) * kCols + left_ + k % width_ : k;
    }
    uint8_t CharAt(int c) const { return display_.Chars[static_cast<size_t>(CellOf(c))]; }
    bool IsAttributeCell(int c) const { return CharAt(c) == 0x01; }

    void Open(int s) {
        TFieldAttribute a{attProtected, attNormal, attDisplay};
        const int cell = CellOf(s);
        if (const TFieldFormatRec* rec =
                display_.Field(display_.FieldMap[static_cast<size_t>(cell)]))
            AddFormatFlags(a, *rec);
        const uint8_t b = display_.Extra[static_cast<size_t>(cell)];
        const uint8_t eab = (b >= 0x20 && b <= 0x3F) ? kEab[b - 0x20] : kNonDisplay;
        if (eab == kNonDisplay) {
            a.Include(attInvisible);
            a.Include(attNonDisplay);
        }
        if (a.Has(attUnProtected)) {
            if (firstInput_ == 0) firstInput_ = s;
            a.Exclude(attProtected);
        }
        if (a.Has(attInvisible) || a.Has(attNonDisplay)) a.Exclude(attDisplay);
        if (a.Has(attHigh)) a.Exclude(attNormal);
        if (a.Has(attByPass)) {
            a.Exclude(attUnProtected);
            a.Include(attProtected);
        }
        fields_.Open(s + 1, a, eab == kNonDisplay ? 0 : static_cast<char>(eab));
    }

    // k: the 1-based number of the cell after the field. A field with no
    // cells stays in a window's list and goes from the whole screen's.
    void Close(int k) {
        THostBasicField* f = fields_.Close(k, window_ ? 0 : 1);
        if (!f) return;
        SetText(*f, f->Pos - 1, f->Len);
        if (window_) {
            f->Col = static_cast<uint8_t>((f->Pos - 1) % width_ + 2);
            f->Row = static_cast<uint8_t>((f->Pos - 1) / width_ + 2);
        } else {
            f->Col = static_cast<uint8_t>((f->Pos - 1) % kCols + 1);
            f->Row = static_cast<uint8_t>((f->Pos - 1) / kCols + 1);
        }
    }

    // The text of the count cells from walk cell first: empty cells read as
    // blanks; trailing blanks are dropped (Len keeps them). A field never
    // spans two rows, so its cells lie side by side on the screen.
    void SetText(THostBasicField& f, int first, int count) const {
        if (count <= 0) {
            f.Data.clear();
            return;
        }
        count = std::min(count, width_ - first % width_); // the row's end, never passed
        const uint8_t* cells = &display_.Chars[static_cast<size_t>(CellOf(first))];
        size_t end = static_cast<size_t>(count);
        while (end > 0 && (cells[end - 1] == 0 || cells[end - 1] == ' '))
            --end;
        CellsToText(f.Data, cells, end);
    }

    const TPLTn5250display& display_;
    THostFieldBuilder fields_;
    int cells_, width_, top_, left_;
    bool window_;
    int firstInput_ = 0;
};

} // namespace

void TPLTn5250::GenHostFields() {
    if (LogWanted(9)) WriteLog(9, Format("%.4d : TPLTn5250.GenHostFields", SessionId));
    const TPLTn5250display& display = *Stream5250()->Display5250();
    HostFields.Reset();
    HostFields.CurPos = static_cast<int16_t>(display.Cursor());
    TFieldWalk walk(display, HostFields, 0, 0, kCols, kCells / kCols, false);
    walk.Run();
    if (HostFields.CurPos == 0) HostFields.CurPos = static_cast<int16_t>(walk.FirstInput());
    HostFields.WinTop = static_cast<uint8_t>(display.WinTop());
    HostFields.WinLeft = static_cast<uint8_t>(display.WinLeft());
    HostFields.WinBottom = static_cast<uint8_t>(display.WinBottom());
    HostFields.WinRight = static_cast<uint8_t>(display.WinRight());
    HostFields.WindowMode = 0;
    FinishHostFields();
}

void TPLTn5250::FinishHostFields() {
    const TPLTn5250stream& stream = *Stream5250();
    HostFields.TermModel = 3179;
    THostBasicField& msg = *HostFields.MessageField;
    msg.Row = stream.ErrorRow;
    msg.Col = 2;
    msg.Len = static_cast<int16_t>(stream.ErrorText.size());
    msg.Data = stream.ErrorText;
    while (!msg.Data.empty() && msg.Data.back() == ' ')
        msg.Data.pop_back();
    msg.SetAttr({attProtected, attHigh, attNormal, attDisplay});
    msg.Eab = 0x40;
    if (!LogWanted(5)) return;
    LogFieldLines(HostFields);
    WriteLog(5, Format("CurPos:%4d - WinTop:%.2d - WinLeft:%.2d - WinBottom:%.2d - WinRight:%.2d",
                       HostFields.CurPos, HostFields.WinTop, HostFields.WinLeft,
                       HostFields.WinBottom, HostFields.WinRight));
}

void TPLTn5250::RefreshHostFields() {
    TPLTn5250display& display = *Stream5250()->Display5250();
    if (useWindows_ && DetectWindow(display)) {
        if (GenWinHostFields()) return;
    }
    display.WindowFound = 0;
    display.SetWinTop(0);
    display.SetWinLeft(0);
    display.SetWinBottom(23);
    display.SetWinRight(79);
    GenHostFields();
}

bool TPLTn5250::DetectWindow(TPLTn5250display& display) {
    int t = display.WinTop(), l = display.WinLeft(), b = display.WinBottom(),
        r = display.WinRight();
    WriteLog(5, Format("Drawing on Top:%.2d - Left:%.2d - Bottom:%.2d - Right:%.2d", t, l, b, r));
    const auto& markers = display.ColumnMarkers;
    if (markers[79] == 1 && markers[78] == 0) {
        for (int c = 78; c >= 0; --c)
            if (markers[static_cast<size_t>(c)] == 1) {
                r = c;
                break;
            }
        r += 1;
        b -= 1;
        t += 1;
        l = 0;
        display.SetWinTop(static_cast<int16_t>(t));
        display.SetWinLeft(0);
        display.SetWinBottom(static_cast<int16_t>(b));
        display.SetWinRight(static_cast<int16_t>(r));
    }
    // An inverted rectangle, or one outside the screen, holds no window.
    if (t < 0 || b > 23 || t > b || l < 0 || r > 79 || l > r) return false;
    if (std::abs(b - t) < 2 || std::abs(r - l) < 6) return false;
    if (l == 0 && r == 79 && (t > 0 || b < 23)) t += 1;
    auto extra = [&display](int cell) -> uint8_t {
        return cell >= 0 && cell < kCells ? display.Extra[static_cast<size_t>(cell)] : 0;
    };
    const uint8_t a = extra(t * kCols + l + 1);
    if ((a & 0x20) == 0) return false;
    for (int row = t; row <= b; ++row)
        if (extra(row * kCols + l + 1) != a) return false;
    for (int row = t + 1; row <= b - 3; ++row)
        if (extra(row * kCols + r - 1) != a) return false;
    const THostFields& list = HostFields;
    const bool sameWindow = list.WindowMode == 1 && list.WinTop <= display.WinTop() &&
                            list.WinLeft - 3 <= display.WinLeft() &&
                            list.WinBottom >= display.WinBottom() &&
                            list.WinRight + 2 >= display.WinRight();
    display.WindowFound = sameWindow ? 0 : 1;
    return true;
}

bool TPLTn5250::GenWinHostFields() {
    WriteLog(9, Format("%.4d : TPLTn5250.GenWinHostFields", SessionId));
    const TPLTn5250display& display = *Stream5250()->Display5250();
    int t, l, b, r;
    if (display.WindowFound == 1) {
        const int e = display.WinLeft() == 0 ? 2 : 3;
        t = display.WinTop() + 1;
        l = display.WinLeft() + e;
        b = display.WinBottom() - 1;
        r = display.WinRight() + e - 4;
    } else {
        t = HostFields.WinTop;
        l = HostFields.WinLeft;
        b = HostFields.WinBottom - 1;
        r = HostFields.WinRight - 1;
    }
    // The inside must be a real part of the screen: no empty width or
    // height, nothing past an edge.
    if (t < 0 || l < 0 || b > 23 || r > 79 || b < t || r < l) return false;
    const int w = r - l + 1, h = b - t + 1;
    HostFields.Reset();
    TFieldWalk walk(display, HostFields, t, l, w, h, true);
    walk.Run();
    const int f = walk.FirstInput();
    HostFields.CurPos = static_cast<int16_t>(f == 0 ? 2 * 80 + 4 : (f / w + 1) * 80 + (f % w + 1));
    HostFields.WinTop = static_cast<uint8_t>(t);
    HostFields.WinLeft = static_cast<uint8_t>(l);
    HostFields.WinBottom = static_cast<uint8_t>(b + 1);
    HostFields.WinRight = static_cast<uint8_t>(r + 1);
    HostFields.WindowMode = 1;
    FinishHostFields();
    return true;
}
