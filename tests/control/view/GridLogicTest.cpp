// The screen grid's cell model and painting logic, without a display.
#include <gtest/gtest.h>

#include "uGridLogic.h"
#include "uScreenCells.h"

using namespace GridLogic;

namespace {

struct TFieldSpec {
    int Row, Col, Len;
    std::string Data;
    TFieldAttribute Attr = {};
    uint8_t Eab = 0;
};

THostFields MakeFields(std::initializer_list<TFieldSpec> specs) {
    THostFields fields;
    for (const auto& s : specs) {
        auto f = std::make_unique<THostBasicField>();
        f->Row = static_cast<uint8_t>(s.Row);
        f->Col = static_cast<uint8_t>(s.Col);
        f->Len = static_cast<int16_t>(s.Len);
        f->Data = s.Data;
        f->SetAttr(s.Attr);
        f->Eab = static_cast<char>(s.Eab);
        fields.Add(std::move(f));
    }
    return fields;
}

TScreenCells Loaded(const THostFields& fields) {
    TScreenCells cells;
    cells.Load(fields);
    return cells;
}

int AttributeCount(const TScreenCells& cells) {
    int n = 0;
    for (int r = 0; r < TScreenCells::kRows; ++r)
        for (int c = 0; c < TScreenCells::kCols; ++c)
            n += cells.IsAttribute(c, r);
    return n;
}

} // namespace

TEST(ScreenCellsLoad, FieldInColumn1EndingAt79MarksColumn80AsAttributeWithoutField) {
    auto cells = Loaded(MakeFields({{3, 1, 79, "ABC"}}));
    EXPECT_TRUE(cells.IsAttribute(79, 2));
    EXPECT_EQ(cells.Code(79, 2), 1);
    EXPECT_EQ(cells.FieldIndex(79, 2), -1);
    EXPECT_EQ(cells.FieldIndex(78, 2), 0);
    EXPECT_EQ(AttributeCount(cells), 1);
}

TEST(ScreenCellsLoad, FieldInColumn1NotEndingAt79HasNoAttributeCell) {
    EXPECT_EQ(AttributeCount(Loaded(MakeFields({{3, 1, 10, "ABC"}}))), 0);
}

TEST(ScreenCellsLoad, AttributeCellInFrontCarriesTheFieldIndex) {
    auto cells = Loaded(MakeFields({{1, 1, 2, "xx"}, {2, 5, 3, "ABC"}}));
    EXPECT_TRUE(cells.IsAttribute(3, 1));
    EXPECT_EQ(cells.FieldIndex(3, 1), 1);
    EXPECT_EQ(cells.Code(4, 1), 'A');
    EXPECT_EQ(cells.Code(6, 1), 'C');
    EXPECT_EQ(cells.FieldIndex(7, 1), -1);
}

TEST(ScreenCellsLoad, DataLongerThanLenShowsOnlyLenCharacters) {
    auto cells = Loaded(MakeFields({{1, 2, 3, "ABCDEF"}}));
    EXPECT_EQ(cells.Code(3, 0), 'C');
    EXPECT_EQ(cells.Code(4, 0), 0);
    EXPECT_EQ(cells.FieldIndex(4, 0), -1);
}

TEST(ScreenCellsLoad, DataShorterThanLenLeavesEmptyFieldCells) {
    auto cells = Loaded(MakeFields({{1, 2, 5, "AB"}}));
    for (int c = 3; c <= 5; ++c) {
        EXPECT_EQ(cells.Code(c, 0), 0) << c;
        EXPECT_EQ(cells.FieldIndex(c, 0), 0) << c;
    }
}

TEST(ScreenCellsLoad, FieldRunningPastColumn80IsClippedNotWrapped) {
    auto cells = Loaded(MakeFields({{5, 75, 20, std::string(20, 'Z')}}));
    EXPECT_EQ(cells.Code(79, 4), 'Z');
    for (int c = 0; c < TScreenCells::kCols; ++c)
        EXPECT_EQ(cells.FieldIndex(c, 5), -1) << c;
}

TEST(ScreenCellsLoad, FieldsOffTheScreenWriteNothing) {
    // Row 0, row 25, a column beyond the screen and a huge length on the last row.
    auto cells = Loaded(MakeFields(
        {{0, 5, 10, "AAAA"}, {25, 5, 10, "BBBB"}, {3, 200, 10, "CCCC"}, {24, 80, 30000, "D"}}));
    EXPECT_EQ(AttributeCount(cells), 1); // only the one in front of the last field
    EXPECT_TRUE(cells.IsAttribute(78, 23));
    EXPECT_EQ(cells.Code(79, 23), 'D');
    for (int r = 0; r < 23; ++r)
        for (int c = 0; c < TScreenCells::kCols; ++c)
            ASSERT_EQ(cells.FieldIndex(c, r), -1) << c << "," << r;
}

TEST(ScreenCellsLoad, ColumnZeroDropsTheCellLeftOfTheScreen) {
    auto cells = Loaded(MakeFields({{2, 0, 3, "ABC"}}));
    EXPECT_EQ(cells.Code(0, 1), 'B');
    EXPECT_EQ(cells.Code(1, 1), 'C');
    EXPECT_EQ(cells.Code(79, 0), 0);
}

TEST(ScreenCellsLoad, DataByte01IsACharacterNotAnAttribute) {
    auto cells = Loaded(MakeFields({{1, 1, 3, std::string("A\x01") + "B"}}));
    EXPECT_EQ(cells.Code(1, 0), 1);
    EXPECT_FALSE(cells.IsAttribute(1, 0));
    EXPECT_EQ(cells.FieldIndex(1, 0), 0);
    // ... so it neither splits the run nor starts a blank one.
    auto runs = SplitRow(cells, 0, 0, 2, 1);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Text, std::string("A\x01") + "B");
}

TEST(ScreenCellsEdit, WritesOffTheScreenDoNothingAndCharactersReplaceAttributes) {
    TScreenCells cells;
    cells.SetCode(80, 0, 'X');
    cells.SetCode(-1, 0, 'X');
    cells.SetField(0, 24, 3);
    EXPECT_EQ(cells.FieldIndex(0, 24), -1);
    cells.SetAttribute(5, 5, true);
    EXPECT_EQ(cells.Code(5, 5), 1);
    cells.SetCode(5, 5, 'Q');
    EXPECT_FALSE(cells.IsAttribute(5, 5));
    EXPECT_EQ(cells.Code(5, 5), 'Q');
}

TEST(PaintRuns, FieldRunStopsAtAttributeAndEmptyCellsWithoutFieldAreSingleBlanks) {
    // Field 0: cols 2..5 "AB" (attribute at 1); field 1: cols 8..9 (attribute at 7).
    auto cells = Loaded(MakeFields({{1, 3, 4, "AB"}, {1, 9, 2, "CD"}}));
    auto runs = SplitRow(cells, 0, 0, 10, 2);
    std::vector<TPaintRun> want = {{0, 0, 0, " "},  {0, 1, 1, " "}, {0, 2, 5, "AB  "},
                                   {0, 6, 6, " "},  {0, 7, 7, " "}, {0, 8, 9, "CD"},
                                   {0, 10, 10, " "}};
    EXPECT_EQ(runs, want);
}

TEST(PaintRuns, IndexBeyondTheFieldListReadsAsNoField) {
    auto cells = Loaded(MakeFields({{1, 3, 4, "AB"}}));
    auto runs = SplitRow(cells, 0, 2, 5, 0);
    EXPECT_EQ(runs.size(), 4u);
}

TEST(PaintRuns, RunNeverPassesTheEndColumn) {
    auto cells = Loaded(MakeFields({{1, 1, 79, std::string(79, 'x')}}));
    auto runs = SplitRow(cells, 0, 10, 20, 1);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].EndCol, 20);
}

TEST(DirtySpan, EveryInvalidatedCellIsRepaintedWhateverTheOrder) {
    TScreenCells cells;
    THostViewport viewport;
    TDirtySpan span;
    span.Add(70, 0);
    span.Add(5, 1);
    span.Add(40, 1);
    span.Add(3, 1);
    auto runs = PlanPaint(cells, span, viewport, 0);
    auto painted = [&](int c, int r) {
        for (const auto& run : runs)
            if (run.Row == r && run.StartCol <= c && c <= run.EndCol) return true;
        return false;
    };
    for (auto [c, r] : {std::pair{70, 0}, {79, 0}, {3, 1}, {5, 1}, {40, 1}})
        EXPECT_TRUE(painted(c, r)) << c << "," << r;
    EXPECT_FALSE(painted(69, 0));
    EXPECT_FALSE(painted(41, 1));
}

TEST(DirtySpan, PaintIsLimitedToTheViewport) {
    TScreenCells cells;
    THostViewport viewport;
    viewport.SetTopRow(3);
    viewport.SetBottomRow(4);
    viewport.SetLeftCol(11);
    viewport.SetRightCol(12);
    TDirtySpan span;
    span.All();
    std::vector<TPaintRun> want = {
        {2, 10, 10, " "}, {2, 11, 11, " "}, {3, 10, 10, " "}, {3, 11, 11, " "}};
    EXPECT_EQ(PlanPaint(cells, span, viewport, 0), want);
}

namespace {
struct TStyleCase {
    const char* name;
    TFieldAttribute attr;
    uint8_t eab;
    TColor back, fore;
    bool underline, reverse;
    bool bold;
};
} // namespace

TEST(CellStyle, SelectionMatrixUnderWindowsPreset) {
    TPleStyleDetail style;
    style.ApplyPreset(pleWindows);
    const TColor silver = 0xC0C0C0, white = 0xFFFFFF, navy = 0x800000, maroon = 0x000080, black = 0,
                 blue = 0xFF0000, red = 0x0000FF;
    const TStyleCase cases[] = {
        {"protected normal", {attProtected, attNormal}, 0, silver, navy, false, false, false},
        {"protected high", {attProtected, attHigh}, 0, silver, black, false, false, false},
        {"input normal", {attUnProtected, attNormal}, 0, white, maroon, false, false, true},
        {"bypass keeps screen background",
         {attUnProtected, attByPass, attNormal},
         0,
         silver,
         maroon,
         false,
         false,
         true},
        {"protected invisible",
         {attProtected, attInvisible},
         0,
         silver,
         silver,
         false,
         false,
         false},
        {"input nondisplay",
         {attUnProtected, attNonDisplay, attNormal},
         0,
         white,
         white,
         false,
         false,
         false},
        {"hidden stays hidden with a colour",
         {attProtected, attNonDisplay},
         0x10,
         silver,
         silver,
         false,
         false,
         false},
        {"no intensity", {attProtected}, 0, silver, silver, false, false, false},
        {"extended red", {attProtected, attNormal}, 0x10, silver, red, false, false, true},
        {"extended colour 0 keeps basic",
         {attProtected, attNormal},
         0x04,
         silver,
         navy,
         false,
         false,
         false},
        {"underline needs display",
         {attProtected, attDisplay, attNormal},
         0x04,
         silver,
         navy,
         true,
         false,
         false},
        {"reverse blue", {attProtected, attNormal}, 0x80 | 0x08, blue, silver, false, true, true},
        {"input keeps basic colour, never swapped",
         {attUnProtected, attNormal},
         0x80 | 0x10 | 0x04,
         white,
         maroon,
         true,
         true,
         true},
    };
    THostBasicField field;
    for (const auto& c : cases) {
        field.SetAttr(c.attr);
        field.Eab = static_cast<char>(c.eab);
        auto s = GetCellStyle(style, &field, false);
        EXPECT_EQ(s.BackColor, c.back) << c.name;
        EXPECT_EQ(s.ForeColor, c.fore) << c.name;
        EXPECT_EQ(s.Underline, c.underline) << c.name;
        EXPECT_EQ(s.Reverse, c.reverse) << c.name;
        EXPECT_EQ(s.FontStyle.Contains(fsBold), c.bold) << c.name;
        EXPECT_EQ(s.Field, &field) << c.name;
    }
}

TEST(CellStyle, AttributeCellAndNoFieldLookLikeTheScreen) {
    TPleStyleDetail style;
    style.ApplyPreset(pleWindows);
    THostBasicField field;
    field.SetAttr({attUnProtected, attHigh});
    for (auto s : {GetCellStyle(style, &field, true), GetCellStyle(style, nullptr, false)}) {
        EXPECT_EQ(s.BackColor, 0xC0C0C0u);
        EXPECT_EQ(s.ForeColor, 0xC0C0C0u);
        EXPECT_EQ(s.Field, nullptr);
    }
}

TEST(Selection, CopyEndsEveryRowWithCrLfAndBlanksControlCodes) {
    const auto fields = MakeFields({{1, 2, 4, std::string("A\x02") + "C"}, {2, 2, 2, "XY"}});
    auto cells = Loaded(fields);
    TSelection sel{{3, 1}, {0, 0}};
    EXPECT_EQ(SelectionText(cells, &fields, sel), " A C\r\n XY \r\n");
}

TEST(Selection, NoSelectionCopiesCellZeroAndCornersOffScreenAreClamped) {
    TScreenCells cells;
    cells.SetCode(0, 0, 'Q');
    EXPECT_EQ(SelectionText(cells, nullptr, {}), "Q\r\n");
    EXPECT_EQ(SelectionText(cells, nullptr, {{-5, -5}, {0, 0}}), "Q\r\n");
    EXPECT_EQ(SelectionText(cells, nullptr, {{79, 23}, {500, 500}}), " \r\n");
}

TEST(Selection, CopyAndPrintGiveBlanksWhereThePictureHidesAField) {
    const auto fields = MakeFields({{1, 2, 6, "User:", {attProtected, attNormal}},
                                    {1, 9, 8, "secret", {attUnProtected, attNonDisplay}},
                                    {2, 2, 6, "hidden", {attProtected, attInvisible}, 0x10}});
    auto cells = Loaded(fields);
    cells.SetCode(14, 0, 'x'); // typed into the hidden input field
    EXPECT_EQ(SelectionText(cells, &fields, {{0, 0}, {16, 1}}),
              " User:  " + std::string(9, ' ') + "\r\n" + std::string(17, ' ') + "\r\n");
    TPleStyleDetail style;
    style.ApplyPreset(pleWindows);
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col <= 16; ++col) {
            const THostBasicField* field = fields.GetField(cells.FieldIndex(col, row));
            if (!field || cells.Code(col, row) < 32) continue;
            // Printed and copied as the picture paints it.
            const auto look = GetCellStyle(style, field, false);
            EXPECT_EQ(ShownChar(cells, &fields, col, row) == ' ',
                      look.ForeColor == look.BackColor || cells.Code(col, row) == ' ')
                << col << "," << row;
        }
    }
    EXPECT_EQ(ShownChar(cells, &fields, 1, 0), 'U');
    EXPECT_EQ(ShownChar(cells, &fields, 8, 0), ' ');
}

TEST(Selection, FrameIsEmptyForNoneAndCoversBothCorners) {
    THostViewport viewport;
    TMetrics m{7, 14, 7, 14};
    EXPECT_TRUE(SelectionFrame(viewport, m, {}).Empty());
    EXPECT_EQ(SelectionFrame(viewport, m, {{3, 2}, {1, 1}}), (TRect{14, 28, 35, 56}));
}

TEST(Selection, DraggedOutsideTheViewportClampsToItsEdgeCells) {
    THostViewport viewport;
    viewport.SetLeftCol(10);
    viewport.SetRightCol(20);
    viewport.SetTopRow(5);
    viewport.SetBottomRow(8);
    TMetrics m{7, 14, 7, 14};
    auto cell = PointToCell(viewport, m, 5000, 5000);
    auto clipped = viewport.ClipCell(cell.Col, cell.Row);
    EXPECT_EQ(clipped, (THostViewport::TCell{19, 7}));
    cell = PointToCell(viewport, m, -500, -500);
    clipped = viewport.ClipCell(cell.Col, cell.Row);
    EXPECT_EQ(clipped, (THostViewport::TCell{9, 4}));
}

TEST(Selection, DragStartsOnlyBeyondHalfACell) {
    TMetrics m{7, 14, 7, 14};
    EXPECT_FALSE(DragStarted(m, 100, 100, 103, 107));
    EXPECT_TRUE(DragStarted(m, 100, 100, 104, 100));
    EXPECT_TRUE(DragStarted(m, 100, 100, 100, 92));
}

TEST(CellArithmetic, PointToCellAndCellRectFollowTheViewportAndMargins) {
    THostViewport viewport;
    viewport.SetLeftCol(3);
    viewport.SetTopRow(2);
    TMetrics m{7, 14, 7, 14};
    EXPECT_EQ(PointToCell(viewport, m, 7, 14), (TCell{2, 1}));
    EXPECT_EQ(PointToCell(viewport, m, 7 + 13, 14 + 28), (TCell{3, 3}));
    EXPECT_EQ(CellRect(m, 1, 2), (TRect{14, 42, 21, 56}));
    TMetrics zero{0, 0, 0, 0};
    EXPECT_EQ(PointToCell(viewport, zero, 10, 10), (TCell{12, 11})); // no division by zero
}

TEST(FontFit, DividesByViewFiguresPlusOneAndNeverGoesBelowOnePixel) {
    EXPECT_EQ(FitCells(810, 250, 80, 24), (TCellSize{10, 10}));
    EXPECT_EQ(FitCells(810, 250, 79, 23), (TCellSize{10, 10}));
    EXPECT_EQ(FitCells(0, 0, 80, 24), (TCellSize{1, 1}));
    EXPECT_EQ(FitCells(-30, -30, 80, 24), (TCellSize{1, 1}));
    EXPECT_EQ(FitCells(100, 100, -1, -5), (TCellSize{100, 100}));
}

TEST(FontFit, FontSizeFromCellAndDpiNeverDividesByZero) {
    EXPECT_EQ(FitFont({7, 14}, 96, 96), (TFontFit{-9, 6}));
    EXPECT_EQ(FitFont({7, 14}, 144, 144), (TFontFit{-4, 3}));
    EXPECT_EQ(FitFont({1, 1}, 0, 0), (TFontFit{4, 0}));
}

TEST(FontFit, TextTopRoundsHalvesToEven) {
    EXPECT_EQ(TextTop(15, 12), 2); // 1.5
    EXPECT_EQ(TextTop(13, 12), 0); // 0.5
    EXPECT_EQ(TextTop(17, 12), 2); // 2.5
    EXPECT_EQ(TextTop(14, 12), 1);
}

TEST(FontFit, RepeatedResizeStartsFromThePreviousMargin) {
    const int first = ResizedLeftMargin(600, 7, 80, 7);
    EXPECT_EQ(first, (600 - 7 - 567) / 2);
    EXPECT_NE(ResizedLeftMargin(600, first, 80, 7), first);
}

TEST(PrintLayout, PortraitUsesPageWidthLandscapeUsesPageHeight) {
    EXPECT_EQ(PrintLayout(4800, 6600), (TPrintLayout{4800, 3200, 57, 123}));
    EXPECT_EQ(PrintLayout(1000, 600), (TPrintLayout{900, 600, 10, 23}));
    EXPECT_EQ(PrintLayout(10, 5), (TPrintLayout{6, 5, 1, 1}));
    const auto p = PrintLayout(840, 2600);
    EXPECT_EQ(PrintCellRect(p, 0, 0), (TRect{20, 21, 30, 42}));
    EXPECT_EQ(PrintCellRect(p, 79, 23), (TRect{810, 504, 820, 525}));
    EXPECT_EQ(PrintFrame(p), (TRect{10, 10, 830, 550}));
}
