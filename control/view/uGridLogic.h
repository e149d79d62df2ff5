// The arithmetic and decisions behind the screen grid, free of any drawing
// library: the colours of a cell, the runs a row is painted in, the dirty
// span, the selection, the copied text, fitting cells and font to the
// widget, and the print layout. Plain C++; user-interface thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "uPlBasFld.h"
#include "uPleStyle.h"
#include "uScreenCells.h"

namespace GridLogic {

// Attribute and extended-attribute bits that decide a cell's look.
inline constexpr int kEabUnderline = 0x04;
inline constexpr int kEabReverse = 0x80;
inline constexpr int kEabColorMask = 0x38;

// The four shades of a 3D edge: a raised edge is light at its top and left,
// a sunken one dark.
inline constexpr TColor kEdgeHighlight = 0xFFFFFF;
inline constexpr TColor kEdgeLight = 0xE3E3E3;
inline constexpr TColor kEdgeShadow = 0xA0A0A0;
inline constexpr TColor kEdgeDarkShadow = 0x696969;
// The selection frame.
inline constexpr TColor kSelectionColor = 0xFFFFFF;

// A rectangle in pixels; Right and Bottom are exclusive.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Empty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TRect&) const = default;
};

struct TCell {
    int Col = 0, Row = 0;
    bool operator==(const TCell&) const = default;
};

struct TCellStyle {
    const THostBasicField* Field = nullptr;
    bool Underline = false;
    bool Reverse = false;
    TFontStyles FontStyle;
    TColor BackColor = 0;
    TColor ForeColor = 0;
};

// The look of a cell of the given field (null for none); an attribute cell
// looks like a cell without a field.
TCellStyle GetCellStyle(const TPleStyleDetail& style, const THostBasicField* field,
                        bool isAttribute);

// A field with an input border: unprotected and not bypass.
bool IsEditField(const THostBasicField& field);
// A field whose text is hidden (invisible or non-display): painted in its
// background colour, copied and printed as blanks.
bool HidesText(const THostBasicField& field);

// The cells still to be painted, kept as the first and the last cell in
// reading order so that every cell added lies between them.
class TDirtySpan {
public:
    bool Clean() const { return first_ < 0; }
    void Add(int col, int row);
    void All() { first_ = 0, last_ = TScreenCells::kCells - 1; }
    void Clear() { first_ = last_ = -1; }
    int Top() const { return first_ < 0 ? -1 : first_ / TScreenCells::kCols; }
    int Left() const { return first_ < 0 ? -1 : first_ % TScreenCells::kCols; }
    int Bottom() const { return last_ < 0 ? -1 : last_ / TScreenCells::kCols; }
    int Right() const { return last_ < 0 ? -1 : last_ % TScreenCells::kCols; }

private:
    int first_ = -1;
    int last_ = -1;
};

// One piece of a row drawn with one text call: cells StartCol..EndCol
// (inclusive) of Row, the text one character per cell.
struct TPaintRun {
    int Row = 0;
    int StartCol = 0;
    int EndCol = 0;
    std::string Text;
    bool operator==(const TPaintRun&) const = default;
};

// A cell has a field when its index names one of fieldCount fields.
bool HasField(const TScreenCells& cells, int col, int row, int fieldCount);

// The runs of one row between two columns (inclusive): a cell of a field
// starts a run that takes cells to the right up to an attribute cell or an
// empty cell without a field; any other cell is a blank run of its own.
std::vector<TPaintRun> SplitRow(const TScreenCells& cells, int row, int startCol, int endCol,
                                int fieldCount);

// Every run of the dirty span inside the viewport, row by row.
std::vector<TPaintRun> PlanPaint(const TScreenCells& cells, const TDirtySpan& span,
                                 const THostViewport& viewport, int fieldCount);

// A run as the painter gets it: its text lives only during the call.
struct TRunView {
    int Row = 0;
    int StartCol = 0;
    int EndCol = 0;
    std::string_view Text;
};
// The runs of PlanPaint handed to draw one at a time, without keeping them.
void ForEachRun(const TScreenCells& cells, const TDirtySpan& span, const THostViewport& viewport,
                int fieldCount, const std::function<void(const TRunView&)>& draw);

// Cell size and margins in pixels.
struct TMetrics {
    int ColWidth = 7;
    int RowHeight = 14;
    int LeftMargin = 7;
    int TopMargin = 14;
};

// The pixel rectangle of screen cells [col0..col1] x [row0..row1] moved into
// the viewport, clipped to its width and height, moved by the margins.
TRect ViewRect(const THostViewport& viewport, const TMetrics& m, int col0, int row0, int col1,
               int row1);
// The field's whole rectangle for its edge, moved and clipped the same way.
TRect FieldEdgeRect(const THostViewport& viewport, const TMetrics& m, const THostBasicField& field);

// The 0-based screen cell under a pixel.
TCell PointToCell(const THostViewport& viewport, const TMetrics& m, int x, int y);
// A viewport-relative cell's rectangle.
TRect CellRect(const TMetrics& m, int viewportCol, int viewportRow);

// Selection corners in screen cells; all four 0 means none.
struct TSelection {
    TCell Anchor;
    TCell Current;
    bool None() const { return Anchor == TCell{} && Current == TCell{}; }
};
// The frame drawn round a selection; empty for none.
TRect SelectionFrame(const THostViewport& viewport, const TMetrics& m, const TSelection& sel);
// A drag starts once the pointer is more than half a cell from the press.
bool DragStarted(const TMetrics& m, int pressX, int pressY, int x, int y);
// The character a cell gives to copied and printed text: its code, or a
// blank for a code below 32 and for a cell whose field hides its text.
char ShownChar(const TScreenCells& cells, const THostFields* fields, int col, int row);
// The selected text: every row ends with CR LF, each cell as ShownChar.
std::string SelectionText(const TScreenCells& cells, const THostFields* fields,
                          const TSelection& sel);

// Fitting cells to the free area; ViewCols and ViewRows are the figures
// that are divided by after adding 1. Never below 1 pixel.
struct TCellSize {
    int ColWidth = 1;
    int RowHeight = 1;
    bool operator==(const TCellSize&) const = default;
};
TCellSize FitCells(int width, int height, int viewCols, int viewRows);
// The cell font for a cell size: a negative height (a character height in
// pixels) and a width, at the device's dots per inch.
struct TFontFit {
    int Height = 0;
    int Width = 0;
    bool operator==(const TFontFit&) const = default;
};
TFontFit FitFont(const TCellSize& cell, int dpiX, int dpiY);
// Vertical offset of text of the given height in a row, halves to even.
int TextTop(int rowHeight, int textHeight);
// The left margin after a resize, starting from the margin before it.
int ResizedLeftMargin(int width, int leftMargin, int viewCols, int colWidth);

// The print layout on a page: the box and one cell, never below 1 pixel.
struct TPrintLayout {
    int BoxWidth = 0;
    int BoxHeight = 0;
    int CellWidth = 1;
    int CellHeight = 1;
    bool operator==(const TPrintLayout&) const = default;
};
TPrintLayout PrintLayout(int pageWidth, int pageHeight);
// Where screen cell (col, row) is printed.
TRect PrintCellRect(const TPrintLayout& layout, int col, int row);
// The frame round the printed screen.
TRect PrintFrame(const TPrintLayout& layout);

} // namespace GridLogic
