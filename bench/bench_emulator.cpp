// The host emulator view: from a new screen to a painted view, from a
// keystroke in an input field to its repaint, and the paint of a full screen
// beside the floor of drawing the same glyph runs with Qt alone, in the same
// run. Offscreen Qt platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QGlyphRun>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QRawFont>

#include "uCellFonts.h"
#include "uGridLogic.h"
#include "uHostEmulator.h"

namespace {

// A view over a field list of its own, as a bound view shows the binding's.
class TBenchView : public TCustomHostEmulator {
public:
    THostFields Screen;
    THostFields* GetFields() override { return &Screen; }
};

// About a hundred fields: four per row, labels and input fields in turn.
void FillScreen(THostFields& fields) {
    for (int row = 1; row <= 24; ++row) {
        for (int k = 0; k < 4; ++k) {
            auto f = std::make_unique<THostBasicField>();
            f->Row = static_cast<uint8_t>(row);
            f->Col = static_cast<uint8_t>(2 + k * 20);
            f->Len = 18;
            f->Data = k % 2 ? "" : "Label text here";
            TFieldAttribute a;
            a.Include(k % 2 ? attUnProtected : attProtected);
            a.Include(attNormal);
            f->SetAttr(a);
            fields.Add(std::move(f));
        }
    }
}

// The view at the form's usual size with the whole screen loaded and painted once.
void Prepare(TBenchView& view) {
    FillScreen(view.Screen);
    view.SetFontAutoSize(true);
    view.resize(820, 420);
    view.show();
    view.LoadScreen();
    QImage image(view.size(), QImage::Format_RGB32);
    view.render(&image);
}

void BM_ScreenToPaintedView(benchmark::State& state) {
    TBenchView view;
    Prepare(view);
    // Painting into an image runs the paint code the screen would.
    QImage image(view.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        view.LoadScreen();
        view.render(&image);
    }
}
BENCHMARK(BM_ScreenToPaintedView)->Unit(benchmark::kMicrosecond);

void BM_KeystrokeToRepaint(benchmark::State& state) {
    TBenchView view;
    Prepare(view);
    QImage image(view.size(), QImage::Format_RGB32);
    // A keystroke repaints the typed cell's row, which is what the view
    // asks Qt to update.
    const QRect cell = view.CellRect(22, 5);
    const QRegion row(0, cell.top(), view.width(), cell.height());
    for (auto _ : state) {
        view.SetCursorAddress(5 * 80 + 22);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QApplication::sendEvent(&view, &key);
        view.render(&image, cell.topLeft() - QPoint(cell.left(), 0), row);
    }
}
BENCHMARK(BM_KeystrokeToRepaint)->Unit(benchmark::kMicrosecond);

// The whole screen painted by the view (the paint of an expose or a new
// screen), with the number of runs it draws.
void BM_PaintFullScreen(benchmark::State& state) {
    TBenchView view;
    Prepare(view);
    QImage image(view.size(), QImage::Format_RGB32);
    for (auto _ : state)
        view.render(&image);
    GridLogic::TDirtySpan all;
    all.All();
    state.counters["runs"] = static_cast<double>(
        GridLogic::PlanPaint(view.Cells, all, view.Viewport, view.Screen.Count()).size());
}
BENCHMARK(BM_PaintFullScreen)->Unit(benchmark::kMicrosecond);

// The floor: the same runs drawn straight into the same image with Qt
// alone, everything that does not draw worked out beforehand: the
// background, then per run its cells' background and, for text, one glyph
// run at fixed advances in its colour.
void BM_PaintFloor(benchmark::State& state) {
    TBenchView view;
    Prepare(view);
    struct TDrawn {
        QRect Rect;
        QColor Back, Fore;
        QGlyphRun Glyphs;
        bool HasText;
    };
    // The view's cell font: the character height and width of its cell, bold.
    QFont font = FittedCellFont(QString::fromLatin1(view.StyleDetail.Font.Name),
                                view.RowHeight() - 5, view.ColWidth() - 1);
    font.setBold(true);
    const QRawFont raw = QRawFont::fromFont(font);
    const auto colour = [](TColor c) {
        return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
    };
    GridLogic::TMetrics m{view.ColWidth(), view.RowHeight(), view.LeftMargin(), view.TopMargin()};
    GridLogic::TDirtySpan all;
    all.All();
    std::vector<TDrawn> drawn;
    for (const auto& run :
         GridLogic::PlanPaint(view.Cells, all, view.Viewport, view.Screen.Count())) {
        const THostBasicField* field = view.GetField(view.Cells.FieldIndex(run.StartCol, run.Row));
        const auto cs = GridLogic::GetCellStyle(view.StyleDetail, field,
                                                view.Cells.IsAttribute(run.StartCol, run.Row));
        const auto r =
            GridLogic::ViewRect(view.Viewport, m, run.StartCol, run.Row, run.EndCol, run.Row);
        TDrawn d{QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top),
                 colour(cs.BackColor),
                 colour(cs.ForeColor),
                 {},
                 run.Text.find_first_not_of(' ') != std::string::npos};
        if (d.HasText) {
            const QList<quint32> glyphs = raw.glyphIndexesForString(QString::fromLatin1(run.Text));
            QList<QPointF> positions;
            for (qsizetype i = 0; i < glyphs.size(); ++i)
                positions.append(QPointF(double(i * m.ColWidth), 0));
            d.Glyphs.setRawFont(raw);
            d.Glyphs.setGlyphIndexes(glyphs);
            d.Glyphs.setPositions(positions);
        }
        drawn.push_back(d);
    }
    const int ascent = int(raw.ascent());
    const QColor back = colour(view.StyleDetail.BackColor);
    QImage image(view.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&image);
        p.fillRect(image.rect(), back);
        for (const TDrawn& d : drawn) {
            p.fillRect(d.Rect, d.Back);
            if (!d.HasText) continue;
            p.setPen(d.Fore);
            p.drawGlyphRun(QPointF(d.Rect.left(), d.Rect.top() + ascent), d.Glyphs);
        }
    }
    state.counters["runs"] = static_cast<double>(drawn.size());
}
BENCHMARK(BM_PaintFloor)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
