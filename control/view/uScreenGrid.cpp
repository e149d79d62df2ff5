#include "uScreenGrid.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPrinter>
#include <QRawFont>
#include <algorithm>
#include <array>
#include <stdexcept>

#include "uCellFonts.h"
#include "uGridLogic.h"

namespace {

QColor ToQColor(TColor c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

QRect ToQRect(const GridLogic::TRect& r) {
    return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

// One ring of an edge: top and left lines in one colour, bottom and right in
// the other.
void EdgeRing(QPainter& p, const QRect& r, TColor topLeft, TColor bottomRight) {
    if (r.width() <= 0 || r.height() <= 0) return;
    const int l = r.left(), t = r.top(), rt = r.left() + r.width() - 1,
              b = r.top() + r.height() - 1;
    p.setPen(ToQColor(bottomRight));
    p.drawLine(l, b, rt, b);
    p.drawLine(rt, t, rt, b);
    p.setPen(ToQColor(topLeft));
    p.drawLine(l, t, rt, t);
    p.drawLine(l, t, l, b);
}

void DrawEdge(QPainter& p, const QRect& r, bool raised) {
    using namespace GridLogic;
    if (raised) {
        EdgeRing(p, r, kEdgeLight, kEdgeDarkShadow);
        EdgeRing(p, r.adjusted(1, 1, -1, -1), kEdgeHighlight, kEdgeShadow);
    } else {
        EdgeRing(p, r, kEdgeShadow, kEdgeHighlight);
        EdgeRing(p, r.adjusted(1, 1, -1, -1), kEdgeDarkShadow, kEdgeLight);
    }
}

// Restores the screen cursor however printing ends.
struct TBusyCursor {
    TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

} // namespace

struct TScreenGrid::TImpl {
    THostFields gridFields;
    TPleStyle style = pleStandard;
    bool fontAutoSize = false;
    bool refitPending = true;
    bool painting = false;
    GridLogic::TMetrics m;
    int viewCols = THostViewport::kScreenCols;
    int viewRows = THostViewport::kScreenRows;
    int textTop = 0;
    GridLogic::TFontFit fontFit;
    QFont cellFont;
    TCellFonts cellFonts;
    QGlyphRun glyphRun; // reused by every run painted
    GridLogic::TDirtySpan dirty;
    bool selectionEnabled = false;
    GridLogic::TSelection sel;
    int pressX = 0, pressY = 0;
    bool selecting = false;
    bool mouseIsDown = false;
    GridLogic::TRect selRect;
};

TScreenGrid::TScreenGrid(QWidget* parent) : QWidget(parent), Viewport(this), impl_(new TImpl) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    SetStyle(pleStandard);
}

TScreenGrid::~TScreenGrid() {
    delete impl_;
}

TPleStyle TScreenGrid::Style() const {
    return impl_->style;
}

void TScreenGrid::SetStyle(TPleStyle style) {
    impl_->style = style;
    StyleDetail.ApplyPreset(style);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(StyleDetail.BackColor));
    setPalette(pal);
    update();
}

bool TScreenGrid::FontAutoSize() const {
    return impl_->fontAutoSize;
}

void TScreenGrid::SetFontAutoSize(bool on) {
    impl_->fontAutoSize = on;
    RecalcMetrics(true);
}

bool TScreenGrid::SelectionEnabled() const {
    return impl_->selectionEnabled;
}
void TScreenGrid::SetSelectionEnabled(bool on) {
    impl_->selectionEnabled = on;
}
int TScreenGrid::ColWidth() const {
    return impl_->m.ColWidth;
}
int TScreenGrid::RowHeight() const {
    return impl_->m.RowHeight;
}
int TScreenGrid::LeftMargin() const {
    return impl_->m.LeftMargin;
}
int TScreenGrid::TopMargin() const {
    return impl_->m.TopMargin;
}
void TScreenGrid::SetLeftMargin(int margin) {
    impl_->m.LeftMargin = margin;
}
void TScreenGrid::SetTopMargin(int margin) {
    impl_->m.TopMargin = margin;
}

THostFields* TScreenGrid::GetFields() {
    return &impl_->gridFields;
}
THostFields* TScreenGrid::GetInputFields() {
    return nullptr;
}

THostBasicField* TScreenGrid::GetField(int index) {
    THostFields* fields = GetFields();
    return fields ? fields->GetField(index) : nullptr;
}

THostBasicField* TScreenGrid::FieldAtCell(int col, int row) {
    return GetField(Cells.FieldIndex(col, row));
}

void TScreenGrid::LoadScreen() {
    ClearSelection();
    Cells.Reset();
    if (THostFields* fields = GetFields()) Cells.Load(*fields);
    impl_->dirty.All();
    PaintCells();
}

void TScreenGrid::ClearScreen() {
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->deleteLater();
    Cells.Reset();
    impl_->dirty.All();
    ClearSelection();
    update();
}

void TScreenGrid::InvalidateCell(int col, int row) {
    impl_->dirty.Add(col, row);
    ClearSelection();
}

void TScreenGrid::PaintCells() {
    auto& d = impl_->dirty;
    if (d.Clean()) return;
    // Qt paints only inside paint events: ask for the dirty rows, with room
    // for the edges that reach into neighbouring cells.
    const auto r =
        GridLogic::ViewRect(Viewport, impl_->m, 0, d.Top(), TScreenCells::kCols - 1, d.Bottom());
    update(ToQRect(r).adjusted(-3, -3, 3, 3));
    d.Clear();
}

QPoint TScreenGrid::PointToCell(int x, int y) const {
    const auto c = GridLogic::PointToCell(Viewport, impl_->m, x, y);
    return QPoint(c.Col, c.Row);
}

QRect TScreenGrid::CellRect(int viewportCol, int viewportRow) const {
    return ToQRect(GridLogic::CellRect(impl_->m, viewportCol, viewportRow));
}

void TScreenGrid::ClearSelection() {
    impl_->sel = {};
    DrawSelection();
}

void TScreenGrid::DrawSelection() {
    const auto frame = GridLogic::SelectionFrame(Viewport, impl_->m, impl_->sel);
    if (frame == impl_->selRect) return;
    if (!impl_->selRect.Empty()) update(ToQRect(impl_->selRect).adjusted(-1, -1, 1, 1));
    if (!frame.Empty()) update(ToQRect(frame).adjusted(-1, -1, 1, 1));
    impl_->selRect = frame;
}

std::string TScreenGrid::SelectionText() {
    return GridLogic::SelectionText(Cells, GetFields(), impl_->sel);
}

void TScreenGrid::CopySelection() {
    QGuiApplication::clipboard()->setText(QString::fromLatin1(SelectionText()));
}

void TScreenGrid::ViewportChanged() {
    impl_->viewRows = Viewport.BottomRow() - Viewport.TopRow();
    impl_->viewCols = Viewport.RightCol() - Viewport.LeftCol();
}

bool TScreenGrid::CellClick(int, int) {
    return true;
}

void TScreenGrid::RecalcMetrics(bool force) {
    TImpl& d = *impl_;
    const GridLogic::TCellSize cell = GridLogic::FitCells(
        width() - 2 * d.m.LeftMargin, height() - 2 * d.m.TopMargin, d.viewCols, d.viewRows);
    if (!d.refitPending && cell.RowHeight == d.m.RowHeight && cell.ColWidth == d.m.ColWidth) return;
    d.m.RowHeight = cell.RowHeight;
    d.m.ColWidth = cell.ColWidth;
    const GridLogic::TFontFit fit = GridLogic::FitFont(cell, logicalDpiX(), logicalDpiY());
    if (!force && fit == d.fontFit) return;
    d.fontFit = fit;

    const QString family = QString::fromLatin1(StyleDetail.Font.Name);
    QFont font;
    if (d.fontAutoSize) {
        // A character height and an average width: the glyphs are widened or
        // narrowed to fill the cell, as a font asked for by both is.
        font = FittedCellFont(family, std::abs(fit.Height), fit.Width);
    } else {
        font = QFont(family);
        font.setStyleHint(QFont::TypeWriter);
        font.setPointSize(std::clamp(StyleDetail.Font.Size, TPleStyleDetail::kMinFontSize,
                                     TPleStyleDetail::kMaxFontSize));
    }
    // The cell is measured with the bold font; each run is drawn in its
    // cell's own font style.
    font.setBold(true);
    d.cellFont = font;
    const QFontMetrics fm(font);
    if (!d.fontAutoSize) {
        d.m.RowHeight = fm.height() + 2;
        d.m.ColWidth = fm.horizontalAdvance(QLatin1Char('W')) + 1;
    }
    d.textTop = GridLogic::TextTop(d.m.RowHeight, fm.height());
    d.cellFonts.Reset(font, d.m.ColWidth, d.m.RowHeight, d.textTop);
    UpdateCaret();
    if (!d.painting) update();
}

void TScreenGrid::Refit() {
    impl_->refitPending = true;
    RecalcMetrics(true);
    impl_->refitPending = false;
}

void TScreenGrid::paintEvent(QPaintEvent* event) {
    TImpl& d = *impl_;
    d.painting = true;
    if (d.refitPending) Refit();
    QPainter p(this);
    const QRect area = event ? event->rect() : rect();
    p.fillRect(area, ToQColor(StyleDetail.BackColor));
    BeforePaintCells();
    try {
        PaintRuns(p, area);
    } catch (...) {
        FinishPaint(p);
        d.painting = false;
        throw;
    }
    FinishPaint(p);
    d.painting = false;
}

void TScreenGrid::FinishPaint(QPainter& p) {
    const auto& s = impl_->selRect;
    if (!s.Empty()) {
        p.setClipping(false);
        p.setPen(ToQColor(GridLogic::kSelectionColor));
        p.setBrush(Qt::NoBrush);
        p.drawRect(s.Left, s.Top, s.Right - s.Left - 1, s.Bottom - s.Top - 1);
    }
    AfterPaintCells();
}

namespace {

// Draws a run with every character in its own cell, in one draw call: the
// glyphs of the face placed at fixed advances. Blanks draw no glyph unless
// the face underlines or strikes out the whole run. A glyph whose ink
// reaches out of its cell (rare: a tall accent on a short row) is drawn on
// its own, clipped to its cell.
void DrawCellText(QPainter& p, QGlyphRun& run, const TCellFonts::TFace& face, std::string_view text,
                  const QRect& r, int colWidth) {
    constexpr size_t kMax = TScreenCells::kCols;
    const size_t size = std::min(text.size(), kMax);
    if (!face.Raw.isValid()) {
        p.setFont(face.Font);
        p.setClipRect(r);
        for (size_t i = 0; i < size; ++i)
            if (text[i] != ' ')
                p.drawText(
                    QPoint(r.left() + static_cast<int>(i) * colWidth, r.top() + face.Baseline),
                    QString(QChar(static_cast<uint8_t>(text[i]))));
        p.setClipping(false);
        return;
    }
    const bool blanksDraw = face.Underline || face.StrikeOut;
    std::array<quint32, kMax> glyphs;
    std::array<QPointF, kMax> positions;
    int count = 0;
    std::array<size_t, kMax> spilling; // cells whose glyph is drawn alone
    size_t spills = 0;
    for (size_t i = 0; i < size; ++i) {
        const auto code = static_cast<uint8_t>(text[i]);
        quint32 glyph = face.Glyphs[code];
        // Codes without a glyph (control codes) show as blanks.
        if (code == ' ' || glyph == 0) {
            if (!blanksDraw) continue;
            glyph = face.Glyphs[' '];
        } else if (face.Spills[code]) {
            spilling[spills++] = i;
            continue;
        }
        glyphs[static_cast<size_t>(count)] = glyph;
        positions[static_cast<size_t>(count)] = QPointF(static_cast<qreal>(i) * colWidth, 0);
        ++count;
    }
    const QPointF origin(r.left(), r.top() + face.Baseline);
    run.setRawFont(face.Raw);
    run.setUnderline(face.Underline);
    run.setStrikeOut(face.StrikeOut);
    if (count > 0) {
        run.setRawData(glyphs.data(), positions.data(), count);
        p.drawGlyphRun(origin, run);
    }
    for (size_t k = 0; k < spills; ++k) {
        const size_t i = spilling[k];
        const quint32 glyph = face.Glyphs[static_cast<uint8_t>(text[i])];
        const QPointF at(static_cast<qreal>(i) * colWidth, 0);
        run.setRawData(&glyph, &at, 1);
        p.setClipRect(
            QRect(r.left() + static_cast<int>(i) * colWidth, r.top(), colWidth, r.height())
                .intersected(r));
        p.drawGlyphRun(origin, run);
    }
    if (spills > 0) p.setClipping(false);
}

} // namespace

void TScreenGrid::PaintRuns(QPainter& p, const QRect& area) {
    TImpl& d = *impl_;
    // Only the screen rows that the area to paint touches (a keystroke
    // repaints one row, not the screen).
    const int rowHeight = std::max(1, d.m.RowHeight);
    const int firstRow =
        std::clamp((area.top() - d.m.TopMargin) / rowHeight - 1, 0, 23) + Viewport.TopRow() - 1;
    const int lastRow =
        std::clamp((area.bottom() - d.m.TopMargin) / rowHeight + 1, 0, 23) + Viewport.TopRow() - 1;
    GridLogic::TDirtySpan all;
    all.Add(0, std::clamp(firstRow, 0, 23));
    all.Add(TScreenCells::kCols - 1, std::clamp(lastRow, 0, 23));
    THostFields* fields = GetFields();
    const int fieldCount = fields ? fields->Count() : 0;
    // The pen is set only when the colour changes.
    TColor pen = 0;
    bool penSet = false;
    GridLogic::ForEachRun(Cells, all, Viewport, fieldCount, [&](const GridLogic::TRunView& run) {
        const THostBasicField* field =
            GridLogic::HasField(Cells, run.StartCol, run.Row, fieldCount)
                ? fields->GetField(Cells.FieldIndex(run.StartCol, run.Row))
                : nullptr;
        const auto cs =
            GridLogic::GetCellStyle(StyleDetail, field, Cells.IsAttribute(run.StartCol, run.Row));
        const QRect r =
            ToQRect(GridLogic::ViewRect(Viewport, d.m, run.StartCol, run.Row, run.EndCol, run.Row));
        if (r.width() <= 0 || r.height() <= 0) return;
        p.fillRect(r, ToQColor(cs.BackColor));
        // A run of blanks is its background alone, unless its font style
        // draws lines through or under the blanks.
        const bool blank = run.Text.find_first_not_of(' ') == std::string_view::npos &&
                           !cs.FontStyle.Contains(fsUnderline) &&
                           !cs.FontStyle.Contains(fsStrikeOut);
        if (!blank) {
            if (!penSet || cs.ForeColor != pen) {
                p.setPen(ToQColor(cs.ForeColor));
                pen = cs.ForeColor;
                penSet = true;
            }
            const TCellFonts::TFace& face = d.cellFonts.Face(cs.FontStyle);
            const bool proportional = cs.Field && cs.Field->GetAttr().Has(attProtected) &&
                                      StyleDetail.Font.Pitch == fpVariable;
            if (proportional) {
                p.setFont(face.Font);
                p.setClipRect(r);
                p.drawText(
                    QPoint(r.left(), r.top() + face.Baseline),
                    QString::fromLatin1(run.Text.data(), static_cast<qsizetype>(run.Text.size())));
                p.setClipping(false);
            } else {
                DrawCellText(p, d.glyphRun, face, run.Text, r, d.m.ColWidth);
            }
        }
        if (!cs.Field) return;
        if (cs.Underline) {
            if (!penSet || cs.ForeColor != pen) p.setPen(ToQColor(cs.ForeColor));
            pen = cs.ForeColor;
            penSet = true;
            p.drawLine(r.left(), r.bottom(), r.right() + 1, r.bottom());
        }
        const QRect edge = ToQRect(GridLogic::FieldEdgeRect(Viewport, d.m, *cs.Field));
        if (cs.Reverse && StyleDetail.ReverseStyle == ebs3D) {
            DrawEdge(p, edge, true);
            penSet = false;
        }
        if (GridLogic::IsEditField(*cs.Field) && StyleDetail.EditBorderStyle != ebsNone) {
            DrawEdge(p, edge, false);
            penSet = false;
        }
    });
}

void TScreenGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RecalcMetrics(false);
    impl_->m.LeftMargin = GridLogic::ResizedLeftMargin(width(), impl_->m.LeftMargin,
                                                       impl_->viewCols, impl_->m.ColWidth);
    UpdateCaret();
    update();
}

void TScreenGrid::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) Refit();
    QWidget::changeEvent(event);
}

void TScreenGrid::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    TImpl& d = *impl_;
    d.mouseIsDown = true;
    if (!d.selectionEnabled) return;
    ClearSelection();
    const QPoint pos = event->position().toPoint();
    d.pressX = pos.x();
    d.pressY = pos.y();
    const auto cell = GridLogic::PointToCell(Viewport, d.m, pos.x(), pos.y());
    d.sel.Anchor = d.sel.Current = cell;
    d.selecting = false;
}

void TScreenGrid::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    TImpl& d = *impl_;
    if (!d.mouseIsDown || !d.selectionEnabled) return;
    const QPoint pos = event->position().toPoint();
    if (!d.selecting && GridLogic::DragStarted(d.m, d.pressX, d.pressY, pos.x(), pos.y())) {
        d.selecting = true;
        DrawSelection();
    }
    if (!d.selecting) return;
    const auto cell = GridLogic::PointToCell(Viewport, d.m, pos.x(), pos.y());
    if (cell == d.sel.Current) return;
    const auto clipped = Viewport.ClipCell(cell.Col, cell.Row);
    d.sel.Current = {clipped.Col, clipped.Row};
    DrawSelection();
}

void TScreenGrid::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    TImpl& d = *impl_;
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    const auto cell = GridLogic::PointToCell(Viewport, d.m, pos.x(), pos.y());
    CellClick(cell.Col, cell.Row);
    d.mouseIsDown = false;
    if (!d.selectionEnabled) return;
    if (d.selecting) {
        d.selecting = false;
    } else {
        d.sel = {}; // a plain click leaves no selection (the frame was never drawn)
    }
}

void TScreenGrid::PrintScreen(QPrinter& printer) {
    TBusyCursor busy;
    QPainter p;
    if (!p.begin(&printer)) throw std::runtime_error("Cannot start printing");
    const auto layout = GridLogic::PrintLayout(printer.width(), printer.height());
    // A printed cell's font is as high and as wide as the cell, and bold.
    QFont font = FittedCellFont(QString::fromLatin1(StyleDetail.Font.Name), layout.CellHeight,
                                layout.CellWidth);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::black);
    const THostFields* fields = GetFields();
    for (int row = 0; row < TScreenCells::kRows; ++row) {
        for (int col = 0; col < TScreenCells::kCols; ++col) {
            const char ch = GridLogic::ShownChar(Cells, fields, col, row);
            if (ch == ' ') continue;
            p.drawText(ToQRect(GridLogic::PrintCellRect(layout, col, row)),
                       Qt::AlignLeft | Qt::AlignTop, QString(QChar(static_cast<uint8_t>(ch))));
        }
    }
    p.setBrush(Qt::NoBrush);
    p.drawRect(ToQRect(GridLogic::PrintFrame(layout)));
    if (!p.end()) throw std::runtime_error("Cannot finish printing");
}
