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
#include <stdexcept>

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

std::string TScreenGrid::SelectionText() const {
    return GridLogic::SelectionText(Cells, impl_->sel);
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

    QFont font(QString::fromLatin1(StyleDetail.Font.Name));
    font.setStyleHint(QFont::TypeWriter);
    font.setBold(true); // cell text is always bold
    if (d.fontAutoSize) {
        font.setPixelSize(std::max(1, std::abs(fit.Height)));
        // Scale the glyphs into the cell's width where the face is too wide.
        const int advance = QFontMetrics(font).horizontalAdvance(QLatin1Char('W'));
        if (advance > d.m.ColWidth) font.setStretch(std::max(1, 100 * d.m.ColWidth / advance));
    } else {
        font.setPointSize(std::clamp(StyleDetail.Font.Size, TPleStyleDetail::kMinFontSize,
                                     TPleStyleDetail::kMaxFontSize));
    }
    d.cellFont = font;
    const QFontMetrics fm(font);
    if (!d.fontAutoSize) {
        d.m.RowHeight = fm.height() + 2;
        d.m.ColWidth = fm.horizontalAdvance(QLatin1Char('W')) + 1;
    }
    d.textTop = GridLogic::TextTop(d.m.RowHeight, fm.height());
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
// Draws text with every character in its own cell, one draw call for the
// whole run: the glyphs of the font placed at fixed advances.
void DrawCellText(QPainter& p, const QFont& font, const std::string& text, int left, int baseline,
                  int colWidth) {
    static thread_local QFont cachedFont;
    static thread_local QRawFont raw;
    static thread_local bool cached = false;
    if (!cached || !(font == cachedFont)) {
        raw = QRawFont::fromFont(font);
        cachedFont = font;
        cached = true;
    }
    const QString qtext = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    if (!raw.isValid()) {
        for (qsizetype i = 0; i < qtext.size(); ++i)
            if (qtext[i] != u' ')
                p.drawText(QPoint(left + static_cast<int>(i) * colWidth, baseline),
                           QString(qtext[i]));
        return;
    }
    QList<quint32> glyphs = raw.glyphIndexesForString(qtext);
    QList<QPointF> positions;
    positions.reserve(glyphs.size());
    for (qsizetype i = 0; i < glyphs.size(); ++i)
        positions.append(QPointF(static_cast<qreal>(i) * colWidth, 0));
    QGlyphRun run;
    run.setRawFont(raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    p.drawGlyphRun(QPointF(left, baseline), run);
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
    const auto runs = GridLogic::PlanPaint(Cells, all, Viewport, fieldCount);
    for (const auto& run : runs) {
        const THostBasicField* field =
            GridLogic::HasField(Cells, run.StartCol, run.Row, fieldCount)
                ? fields->GetField(Cells.FieldIndex(run.StartCol, run.Row))
                : nullptr;
        const auto cs =
            GridLogic::GetCellStyle(StyleDetail, field, Cells.IsAttribute(run.StartCol, run.Row));
        const QRect r =
            ToQRect(GridLogic::ViewRect(Viewport, d.m, run.StartCol, run.Row, run.EndCol, run.Row));
        if (r.width() <= 0 || r.height() <= 0) continue;
        p.setClipRect(r);
        p.fillRect(r, ToQColor(cs.BackColor));
        QFont font = d.cellFont;
        font.setItalic(cs.FontStyle.Contains(fsItalic));
        font.setUnderline(cs.FontStyle.Contains(fsUnderline));
        font.setStrikeOut(cs.FontStyle.Contains(fsStrikeOut));
        p.setFont(font);
        p.setPen(ToQColor(cs.ForeColor));
        const int baseline = r.top() + d.textTop + QFontMetrics(font).ascent();
        const bool proportional = cs.Field && cs.Field->GetAttr().Has(attProtected) &&
                                  StyleDetail.Font.Pitch == fpVariable;
        if (proportional) {
            p.drawText(QPoint(r.left(), baseline), QString::fromLatin1(run.Text));
        } else {
            // One character per cell at fixed advances, as one glyph run.
            DrawCellText(p, font, run.Text, r.left(), baseline, d.m.ColWidth);
        }
        p.setClipping(false);
        if (cs.Underline) p.drawLine(r.left(), r.bottom(), r.right() + 1, r.bottom());
        if (!cs.Field) continue;
        const QRect edge = ToQRect(GridLogic::FieldEdgeRect(Viewport, d.m, *cs.Field));
        if (cs.Reverse && StyleDetail.ReverseStyle == ebs3D) DrawEdge(p, edge, true);
        if (GridLogic::IsEditField(*cs.Field) && StyleDetail.EditBorderStyle != ebsNone)
            DrawEdge(p, edge, false);
    }
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
    QFont font(QString::fromLatin1(StyleDetail.Font.Name));
    font.setStyleHint(QFont::TypeWriter);
    font.setBold(true);
    font.setPixelSize(layout.CellHeight);
    const int advance = QFontMetrics(font, &printer).horizontalAdvance(QLatin1Char('W'));
    if (advance > layout.CellWidth) font.setStretch(std::max(1, 100 * layout.CellWidth / advance));
    p.setFont(font);
    p.setPen(Qt::black);
    for (int row = 0; row < TScreenCells::kRows; ++row) {
        for (int col = 0; col < TScreenCells::kCols; ++col) {
            const uint8_t code = Cells.Code(col, row);
            if (code <= 31) continue;
            p.drawText(ToQRect(GridLogic::PrintCellRect(layout, col, row)),
                       Qt::AlignLeft | Qt::AlignTop, QString(QChar(code)));
        }
    }
    p.setBrush(Qt::NoBrush);
    p.drawRect(ToQRect(GridLogic::PrintFrame(layout)));
    if (!p.end()) throw std::runtime_error("Cannot finish printing");
}
