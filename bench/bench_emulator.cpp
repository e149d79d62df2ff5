// The host emulator view: from a new screen to a painted view, and from a
// keystroke in an input field to its repaint. Offscreen Qt platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>

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
            f->SetAttr(a);
            fields.Add(std::move(f));
        }
    }
}

void BM_ScreenToPaintedView(benchmark::State& state) {
    TBenchView view;
    FillScreen(view.Screen);
    view.resize(820, 420);
    view.show();
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
    FillScreen(view.Screen);
    view.resize(820, 420);
    view.show();
    // Painting into an image runs the paint code the screen would.
    QImage image(view.size(), QImage::Format_RGB32);
    view.LoadScreen();
    view.render(&image);
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

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
