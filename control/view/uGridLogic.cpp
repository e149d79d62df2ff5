#include "uGridLogic.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace GridLogic {

namespace {

constexpr int kCols = TScreenCells::kCols;
constexpr int kRows = TScreenCells::kRows;

// The colour and font style a host colour number (1 to 7) is shown in.
bool ExtendedColor(const THostExtendedColors& x, int number, TColor& color, TFontStyles& style) {
    switch (number) {
    case 1:
        color = x.MapToBlue, style = x.MapToBlueStyle;
        return true;
    case 2:
        color = x.MapToRed, style = x.MapToRedStyle;
        return true;
    case 3:
        color = x.MapToFuchsia, style = x.MapToFuchsiaStyle;
        return true;
    case 4:
        color = x.MapToLime, style = x.MapToLimeStyle;
        return true;
    case 5:
        color = x.MapToAqua, style = x.MapToAquaStyle;
        return true;
    case 6:
        color = x.MapToYellow, style = x.MapToYellowStyle;
        return true;
    case 7:
        color = x.MapToWhite, style = x.MapToWhiteStyle;
        return true;
    default:
        return false;
    }
}

// Moves a rectangle in screen pixels into the viewport, clips its right and
// bottom edges to the viewport's size and adds the margins.
TRect IntoView(const THostViewport& v, const TMetrics& m, TRect r) {
    const int dx = (1 - v.LeftCol()) * m.ColWidth;
    const int dy = (1 - v.TopRow()) * m.RowHeight;
    r.Left += dx, r.Right += dx, r.Top += dy, r.Bottom += dy;
    r.Right = std::min(r.Right, (v.RightCol() - v.LeftCol() + 1) * m.ColWidth);
    r.Bottom = std::min(r.Bottom, (v.BottomRow() - v.TopRow() + 1) * m.RowHeight);
    r.Left += m.LeftMargin, r.Right += m.LeftMargin;
    r.Top += m.TopMargin, r.Bottom += m.TopMargin;
    return r;
}

int AtLeast1(int v) {
    return std::max(1, v);
}

} // namespace

bool IsEditField(const THostBasicField& field) {
    const TFieldAttribute a = field.GetAttr();
    return a.Has(attUnProtected) && !a.Has(attByPass);
}

bool HidesText(const THostBasicField& field) {
    const TFieldAttribute a = field.GetAttr();
    return a.Has(attInvisible) || a.Has(attNonDisplay);
}

TCellStyle GetCellStyle(const TPleStyleDetail& style, const THostBasicField* field,
                        bool isAttribute) {
    TCellStyle s;
    s.BackColor = s.ForeColor = style.BackColor;
    if (!field || isAttribute) return s;
    s.Field = field;
    const TFieldAttribute a = field->GetAttr();
    const bool unprotected = a.Has(attUnProtected);
    const THostBasicColors& basic = style.BasicColors;
    if (IsEditField(*field)) s.BackColor = style.EditBackColor;
    const bool hidden = HidesText(*field);
    if (hidden) {
        s.ForeColor = s.BackColor;
    } else if (a.Has(attHigh)) {
        s.ForeColor = unprotected ? basic.UnprotectedHigh : basic.ProtectedHigh;
        s.FontStyle = unprotected ? basic.UnprotectedHighStyle : basic.ProtectedHighStyle;
    } else if (a.Has(attNormal)) {
        s.ForeColor = unprotected ? basic.UnprotectedNormal : basic.ProtectedNormal;
        s.FontStyle = unprotected ? basic.UnprotectedNormalStyle : basic.ProtectedNormalStyle;
    }
    const int eab = static_cast<uint8_t>(field->Eab);
    if (eab == 0) return s;
    if ((eab & kEabUnderline) && (a.Has(attDisplay) || unprotected)) s.Underline = true;
    if (eab & kEabReverse) s.Reverse = true;
    // Input fields keep their basic colours and are never shown reversed.
    if (unprotected) return s;
    // A hidden field stays hidden whatever colour the host asks for.
    if (!hidden)
        ExtendedColor(style.ExtendedColors, (eab & kEabColorMask) >> 3, s.ForeColor, s.FontStyle);
    if (s.Reverse) {
        s.BackColor = s.ForeColor;
        s.ForeColor = style.BackColor;
    }
    return s;
}

void TDirtySpan::Add(int col, int row) {
    if (!TScreenCells::InScreen(col, row)) return;
    const int address = row * kCols + col;
    first_ = first_ < 0 ? address : std::min(first_, address);
    last_ = std::max(last_, address);
}

bool HasField(const TScreenCells& cells, int col, int row, int fieldCount) {
    const int index = cells.FieldIndex(col, row);
    return index >= 0 && index < fieldCount;
}

namespace {

// Splits one row between two columns (inclusive) into runs, handing each to
// draw with its text in a buffer of the call's own.
template <typename TDraw>
void SplitRowInto(const TScreenCells& cells, int row, int startCol, int endCol, int fieldCount,
                  TDraw&& draw) {
    if (row < 0 || row >= kRows) return;
    startCol = std::max(startCol, 0);
    endCol = std::min(endCol, kCols - 1);
    char text[kCols];
    for (int c = startCol; c <= endCol;) {
        int e = c;
        text[0] = ' ';
        if (HasField(cells, c, row, fieldCount) && !cells.IsAttribute(c, row)) {
            for (;;) {
                const uint8_t code = cells.Code(e, row);
                text[e - c] = code == 0 ? ' ' : static_cast<char>(code);
                const int n = e + 1;
                if (n > endCol || cells.IsAttribute(n, row) ||
                    (cells.Code(n, row) == 0 && !HasField(cells, n, row, fieldCount)))
                    break;
                e = n;
            }
        }
        draw(TRunView{row, c, e, std::string_view(text, static_cast<size_t>(e - c + 1))});
        c = e + 1;
    }
}

TPaintRun ToRun(const TRunView& r) {
    return {r.Row, r.StartCol, r.EndCol, std::string(r.Text)};
}

} // namespace

std::vector<TPaintRun> SplitRow(const TScreenCells& cells, int row, int startCol, int endCol,
                                int fieldCount) {
    std::vector<TPaintRun> runs;
    SplitRowInto(cells, row, startCol, endCol, fieldCount,
                 [&runs](const TRunView& r) { runs.push_back(ToRun(r)); });
    return runs;
}

void ForEachRun(const TScreenCells& cells, const TDirtySpan& span, const THostViewport& v,
                int fieldCount, const std::function<void(const TRunView&)>& draw) {
    if (span.Clean()) return;
    const int top = std::max({span.Top(), v.TopRow() - 1, 0});
    const int bottom = std::min({span.Bottom(), v.BottomRow() - 1, kRows - 1});
    for (int r = top; r <= bottom; ++r) {
        int start = r == span.Top() ? span.Left() : 0;
        int end = r == span.Bottom() ? span.Right() : kCols - 1;
        start = std::max(start, v.LeftCol() - 1);
        end = std::min(end, v.RightCol() - 1);
        SplitRowInto(cells, r, start, end, fieldCount, draw);
    }
}

std::vector<TPaintRun> PlanPaint(const TScreenCells& cells, const TDirtySpan& span,
                                 const THostViewport& v, int fieldCount) {
    std::vector<TPaintRun> runs;
    ForEachRun(cells, span, v, fieldCount,
               [&runs](const TRunView& r) { runs.push_back(ToRun(r)); });
    return runs;
}

TRect ViewRect(const THostViewport& v, const TMetrics& m, int col0, int row0, int col1, int row1) {
    return IntoView(
        v, m,
        {col0 * m.ColWidth, row0 * m.RowHeight, (col1 + 1) * m.ColWidth, (row1 + 1) * m.RowHeight});
}

TRect FieldEdgeRect(const THostViewport& v, const TMetrics& m, const THostBasicField& f) {
    TRect r;
    r.Top = (f.Row - 1) * m.RowHeight;
    r.Bottom = f.Row * m.RowHeight;
    r.Left = std::max((f.Col - 1) * m.ColWidth - 2, (v.LeftCol() - 1) * m.ColWidth);
    r.Right = (f.Col - 1) * m.ColWidth + f.Len * m.ColWidth;
    return IntoView(v, m, r);
}

TCell PointToCell(const THostViewport& v, const TMetrics& m, int x, int y) {
    return {(x - m.LeftMargin) / AtLeast1(m.ColWidth) + v.LeftCol() - 1,
            (y - m.TopMargin) / AtLeast1(m.RowHeight) + v.TopRow() - 1};
}

TRect CellRect(const TMetrics& m, int col, int row) {
    return {col * m.ColWidth + m.LeftMargin, row * m.RowHeight + m.TopMargin,
            (col + 1) * m.ColWidth + m.LeftMargin, (row + 1) * m.RowHeight + m.TopMargin};
}

TRect SelectionFrame(const THostViewport& v, const TMetrics& m, const TSelection& sel) {
    if (sel.None()) return {};
    const int c0 = std::min(sel.Anchor.Col, sel.Current.Col);
    const int c1 = std::max(sel.Anchor.Col, sel.Current.Col);
    const int r0 = std::min(sel.Anchor.Row, sel.Current.Row);
    const int r1 = std::max(sel.Anchor.Row, sel.Current.Row);
    return {m.LeftMargin + m.ColWidth * (c0 - v.LeftCol() + 1),
            m.TopMargin + m.RowHeight * (r0 - v.TopRow() + 1),
            m.LeftMargin + m.ColWidth * (c1 - v.LeftCol() + 2),
            m.TopMargin + m.RowHeight * (r1 - v.TopRow() + 2)};
}

bool DragStarted(const TMetrics& m, int pressX, int pressY, int x, int y) {
    return std::abs(x - pressX) > m.ColWidth / 2 || std::abs(y - pressY) > m.RowHeight / 2;
}

char ShownChar(const TScreenCells& cells, const THostFields* fields, int col, int row) {
    const uint8_t code = cells.Code(col, row);
    if (code < 32) return ' ';
    // A typed password or the host's hidden text never leaves the screen.
    const THostBasicField* field = fields ? fields->GetField(cells.FieldIndex(col, row)) : nullptr;
    return field && HidesText(*field) ? ' ' : static_cast<char>(code);
}

std::string SelectionText(const TScreenCells& cells, const THostFields* fields,
                          const TSelection& sel) {
    auto clampCol = [](int c) { return std::clamp(c, 0, kCols - 1); };
    auto clampRow = [](int r) { return std::clamp(r, 0, kRows - 1); };
    const int c0 = clampCol(std::min(sel.Anchor.Col, sel.Current.Col));
    const int c1 = clampCol(std::max(sel.Anchor.Col, sel.Current.Col));
    const int r0 = clampRow(std::min(sel.Anchor.Row, sel.Current.Row));
    const int r1 = clampRow(std::max(sel.Anchor.Row, sel.Current.Row));
    std::string text;
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c)
            text += ShownChar(cells, fields, c, r);
        text += "\r\n";
    }
    return text;
}

TCellSize FitCells(int width, int height, int viewCols, int viewRows) {
    return {AtLeast1(width / AtLeast1(viewCols + 1)), AtLeast1(height / AtLeast1(viewRows + 1))};
}

TFontFit FitFont(const TCellSize& cell, int dpiX, int dpiY) {
    return {(5 - cell.RowHeight) / AtLeast1(dpiY / 72), (cell.ColWidth - 1) / AtLeast1(dpiX / 72)};
}

int TextTop(int rowHeight, int textHeight) {
    return static_cast<int>(std::lrint((rowHeight - textHeight) / 2.0));
}

int ResizedLeftMargin(int width, int leftMargin, int viewCols, int colWidth) {
    return ((width - leftMargin) - (viewCols + 1) * colWidth) / 2;
}

TPrintLayout PrintLayout(int pageWidth, int pageHeight) {
    TPrintLayout p;
    p.BoxWidth = pageWidth;
    p.BoxHeight = (pageWidth / 3) * 2;
    if (p.BoxHeight > pageHeight) {
        p.BoxHeight = pageHeight;
        p.BoxWidth = (pageHeight / 2) * 3;
    }
    p.CellWidth = AtLeast1(p.BoxWidth / 84);
    p.CellHeight = AtLeast1(p.BoxHeight / 26);
    return p;
}

TRect PrintCellRect(const TPrintLayout& p, int col, int row) {
    const int left = (col + 2) * p.CellWidth;
    const int top = (row + 1) * p.CellHeight;
    return {left, top, left + p.CellWidth, top + p.CellHeight};
}

TRect PrintFrame(const TPrintLayout& p) {
    return {p.CellWidth, p.CellHeight / 2, p.BoxWidth - p.CellWidth,
            p.BoxHeight - p.CellHeight / 2};
}

} // namespace GridLogic
