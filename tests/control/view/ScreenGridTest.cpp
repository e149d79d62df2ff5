// The screen grid widget, rendered offscreen and printed to PDF.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPrinter>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <vector>

#include "support/TempDir.h"
#include "uGridLogic.h"
#include "uScreenGrid.h"

namespace {

QRgb Rgb(TColor c) {
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

void AddField(TScreenGrid& grid, int row, int col, int len, const std::string& data,
              TFieldAttribute attr) {
    auto f = std::make_unique<THostBasicField>();
    f->Row = static_cast<uint8_t>(row);
    f->Col = static_cast<uint8_t>(col);
    f->Len = static_cast<int16_t>(len);
    f->Data = data;
    f->SetAttr(attr);
    grid.GetFields()->Add(std::move(f));
}

} // namespace

TEST(ScreenGridPaint, WindowsStyleShowsSilverScreenAndSunkenEdgeRoundInputField) {
    TScreenGrid grid;
    grid.SetStyle(pleWindows);
    grid.SetFontAutoSize(true);
    grid.resize(7 * 2 + 81 * 8, 14 * 2 + 25 * 16);
    AddField(grid, 2, 2, 20, "Sign on", {attProtected, attNormal});
    AddField(grid, 5, 11, 10, "USER", {attUnProtected, attNormal});
    grid.LoadScreen();
    const QImage image = grid.grab().toImage();
    const int cw = grid.ColWidth(), rh = grid.RowHeight();
    const int lm = grid.LeftMargin(), tm = grid.TopMargin();
    ASSERT_EQ(cw, 8);
    ASSERT_EQ(rh, 16);
    // A cell outside every field, and the margin, in the screen's background.
    EXPECT_EQ(image.pixel(lm + 60 * cw + 3, tm + 20 * rh + 3), Rgb(0xC0C0C0));
    EXPECT_EQ(image.pixel(2, 2), Rgb(0xC0C0C0));
    // The input field: its edge's outer top-left line is the shadow shade and
    // its inside the white edit background.
    const int fieldLeft = lm + 10 * cw, fieldTop = tm + 4 * rh;
    EXPECT_EQ(image.pixel(fieldLeft + 4 * cw + 3, fieldTop), Rgb(GridLogic::kEdgeShadow));
    EXPECT_EQ(image.pixel(fieldLeft + 8 * cw + 3, fieldTop + rh - 1),
              Rgb(GridLogic::kEdgeHighlight));
    EXPECT_EQ(image.pixel(fieldLeft + 8 * cw + 3, fieldTop + rh / 2), Rgb(0xFFFFFF));
}

TEST(ScreenGridPaint, StandardStyleWithoutBorderPaintsNoEdge) {
    TScreenGrid grid;
    grid.SetFontAutoSize(true);
    grid.resize(7 * 2 + 81 * 8, 14 * 2 + 25 * 16);
    AddField(grid, 5, 11, 10, "", {attUnProtected, attNormal});
    grid.LoadScreen();
    const QImage image = grid.grab().toImage();
    EXPECT_EQ(image.pixel(grid.LeftMargin() + 13 * grid.ColWidth(), grid.TopMargin() + 4 * 16),
              Rgb(0));
}

// How far the pixels of an area stand out from the background, summed per
// column of pixels: the ink of the text, antialiased edges weighing less.
std::vector<int> InkColumns(const QImage& image, const QRect& area, QRgb background) {
    std::vector<int> columns(static_cast<size_t>(area.width()), 0);
    for (int x = 0; x < area.width(); ++x)
        for (int y = area.top(); y <= area.bottom(); ++y)
            columns[static_cast<size_t>(x)] +=
                std::abs(qGray(image.pixel(area.left() + x, y)) - qGray(background));
    return columns;
}

TEST(ScreenGridPaint, TextIsBoldOnlyWhereTheStyleAsksForIt) {
    TScreenGrid grid;
    grid.SetFontAutoSize(true);
    grid.resize(900, 520);
    AddField(grid, 3, 2, 40, "MENU ITEM WITH BOLD OR REGULAR GLYPHS", {attProtected, attNormal});
    grid.LoadScreen();
    const auto inked = [&grid] {
        const QImage image = grid.grab().toImage();
        const QRect row = grid.CellRect(1, 2).united(grid.CellRect(40, 2));
        const auto columns = InkColumns(image, row, Rgb(grid.StyleDetail.BackColor));
        return std::accumulate(columns.begin(), columns.end(), 0);
    };
    ASSERT_TRUE(grid.StyleDetail.BasicColors.ProtectedNormalStyle.Empty());
    const int regular = inked();
    grid.StyleDetail.BasicColors.ProtectedNormalStyle = {fsBold};
    grid.update();
    const int bold = inked();
    EXPECT_GT(regular, 0);
    EXPECT_GT(bold, regular * 6 / 5) << "regular " << regular << ", bold " << bold;
}

TEST(ScreenGridPaint, AutoSizedGlyphsFillTheirCellsWidthAndStayInside) {
    // The view at the emulator form's default size and at a large one.
    for (const QSize size : {QSize(663, 350), QSize(1260, 900)}) {
        SCOPED_TRACE(size.width());
        TScreenGrid grid;
        grid.SetFontAutoSize(true);
        grid.resize(size);
        AddField(grid, 2, 2, 78, std::string(78, 'M'), {attProtected, attHigh});
        // Tall accents, descenders and wide marks, each between blank cells.
        const std::string tall = "\xC9 \xC5 \xC7 \xD1 g j _ | W @ \xC6 \xBE";
        AddField(grid, 5, 2, static_cast<int>(tall.size()), tall, {attProtected, attHigh});
        grid.LoadScreen();
        const QImage image = grid.grab().toImage();
        const int cw = grid.ColWidth();
        const QRgb back = Rgb(grid.StyleDetail.BackColor);
        for (int col = 1; col <= 78; col += 11) {
            const QRect cell = grid.CellRect(col, 1);
            const auto inside = InkColumns(image, cell, back);
            const int width = static_cast<int>(
                std::count_if(inside.begin(), inside.end(), [](int n) { return n > 0; }));
            // A glyph widened to the cell less one pixel, as the font asks for.
            EXPECT_GE(width * 5, (cw - 1) * 4) << "column " << col << ", cell width " << cw;
        }
        // Nothing of the text reaches the blank cells beside it, nor the rows
        // above and below.
        const auto blank = [&](int col, int row) {
            const auto ink = InkColumns(image, grid.CellRect(col, row), back);
            return std::accumulate(ink.begin(), ink.end(), 0) == 0;
        };
        for (int col : {0, 79})
            EXPECT_TRUE(blank(col, 1)) << "column " << col;
        for (int col = 1; col <= static_cast<int>(tall.size()) + 1; ++col) {
            if (col % 2 == 0) {
                EXPECT_TRUE(blank(col, 4)) << "column " << col;
            }
            EXPECT_TRUE(blank(col, 3) && blank(col, 5)) << "column " << col;
        }
    }
}

TEST(ScreenGridSelection, ClickWithoutDragLeavesNoSelectionAndCopiesCellZero) {
    TScreenGrid grid;
    grid.SetSelectionEnabled(true);
    AddField(grid, 1, 1, 5, "HELLO", {attProtected, attNormal});
    grid.resize(600, 400);
    grid.LoadScreen();
    const QPoint cell22 = grid.CellRect(2, 0).center();
    QTest::mousePress(&grid, Qt::LeftButton, {}, cell22);
    QTest::mouseRelease(&grid, Qt::LeftButton, {}, cell22 + QPoint(1, 1));
    EXPECT_EQ(grid.SelectionText(), "H\r\n");
}

TEST(ScreenGridSelection, DragSelectsCellsAndIsClampedToTheViewport) {
    TScreenGrid grid;
    grid.SetSelectionEnabled(true);
    AddField(grid, 1, 1, 5, "HELLO", {attProtected, attNormal});
    grid.resize(600, 400);
    grid.LoadScreen();
    grid.Viewport.SetRightCol(3);
    QTest::mousePress(&grid, Qt::LeftButton, {}, grid.CellRect(1, 0).center());
    QMouseEvent move(QEvent::MouseMove, QPointF(590, grid.CellRect(0, 0).center().y()),
                     QPointF(590, 0), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&grid, &move);
    QTest::mouseRelease(&grid, Qt::LeftButton, {}, QPoint(590, 20));
    EXPECT_EQ(grid.SelectionText(), "EL\r\n"); // columns 1..2: RightCol 3 is column 2
}

TEST(ScreenGridPrint, FullScreenPrintsToAPdfFile) {
    TTempDir dir;
    TScreenGrid grid;
    for (int row = 1; row <= 24; ++row)
        AddField(grid, row, 2, 78, std::string(78, static_cast<char>('A' + row)),
                 {attProtected, attNormal});
    grid.LoadScreen();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const std::string path = dir.file("screen.pdf");
    printer.setOutputFileName(QString::fromStdString(path));
    grid.PrintScreen(printer);
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good());
    char head[4] = {};
    in.read(head, 4);
    EXPECT_EQ(std::string(head, 4), "%PDF");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
