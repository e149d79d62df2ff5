// WRITE TO DISPLAY and WRITE ERROR CODE: orders, data bytes, fields, and the
// addresses a host may get wrong.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "Stream5250Rig.h"

using namespace rig5250;
using ::testing::ElementsAre;

namespace {

Bytes Wtd(uint8_t cc1 = 0x00, uint8_t cc2 = 0x00) {
    return {0x04, 0x11, cc1, cc2};
}

std::vector<int> Bounds(const TPLTn5250stream& s) {
    return {s.MinRow, s.MinCol, s.MaxRow, s.MaxCol};
}

TEST(WriteToDisplay, LettersAfterSetBufferAddressLandThereAndBoundTheirRow) {
    TStreamRig rig;
    rig.Run({0x04, 0x11, 0x00, 0x08, 0x11, 0x05, 0x0A, 0xC1, 0xC2});
    auto& d = rig.display();
    EXPECT_EQ(d.Chars[329], 'A');
    EXPECT_EQ(d.Chars[330], 'B');
    EXPECT_EQ(rig.stream.StatusText, "") << "CC2 0x08 unlocks the keyboard";
    EXPECT_THAT(Bounds(rig.stream), ElementsAre(4, 8, 4, 9));
    EXPECT_THAT((std::vector<int>{d.WinTop(), d.WinLeft(), d.WinBottom(), d.WinRight()}),
                ElementsAre(0, 0, 0, 0))
        << "one row is no window";
    EXPECT_TRUE(std::all_of(d.ColumnMarkers.begin(), d.ColumnMarkers.end(),
                            [](uint8_t m) { return m == 0; }));
}

TEST(WriteToDisplay, AttributeByteDrawsItsCellAndColoursTheTextAfterIt) {
    TStreamRig rig;
    rig.Run(Cat({Wtd(), {0x22}, rig.Host("A"), {0x00, 0x1F}, rig.Host("B")}));
    auto& d = rig.display();
    EXPECT_EQ(d.Chars[0], 0x01);
    EXPECT_EQ(d.Attrs[0], 0x22);
    EXPECT_EQ(d.Extra[0], 0x22);
    EXPECT_EQ(d.Chars[1], 'A');
    EXPECT_EQ(d.Attrs[1], 0x22);
    EXPECT_EQ(d.Extra[1], 0x22);
    EXPECT_EQ(d.Chars[4], 'B') << "0x00 and 0x1F are characters and take a cell each";
}

TEST(WriteToDisplay, UnknownOrderByteIsLoggedAndTakesNoCell) {
    TLogCapture log;
    TStreamRig rig;
    rig.Run(Cat({Wtd(), rig.Host("A"), {0x05, 0xFF}, rig.Host("B")}));
    EXPECT_EQ(rig.Text(0, 3), "AB.");
    EXPECT_TRUE(log.Logged("1 0001 : ERROR:-> Orden desconocida: 0x05 procesando "
                           "TPLTn5250stream.writeToDisplay"));
    EXPECT_TRUE(log.Logged("1 0001 : ERROR:-> Orden desconocida: 0xFF procesando "
                           "TPLTn5250stream.writeToDisplay"));
}

TEST(WriteToDisplay, NotImplementedOrdersConsumeTheirParameters) {
    struct Case {
        const char* what;
        uint8_t order;
        Bytes params; // all blanks if written as data
    };
    for (const Case& c : {
             Case{"erase to address", 0x03, {0x40, 0x40, 0x04, 0x40, 0x40, 0x40}},
             Case{"erase to address, length 0", 0x03, {0x40, 0x40, 0x00}},
             Case{"transparent data", 0x10, {0x00, 0x03, 0x40, 0x40, 0x40}},
             Case{"write extended attribute", 0x12, {0x40, 0x40}},
             Case{"write structured field", 0x15, {0x00, 0x05, 0x40, 0x40, 0x40}},
         }) {
        TLogCapture log;
        TStreamRig rig;
        rig.Run(Cat({Wtd(), {c.order}, c.params, rig.Host("A")}));
        EXPECT_EQ(rig.Text(0, 3), "A..") << c.what;
        EXPECT_TRUE(log.Logged(Format("1 0001 : ERROR:-> Orden 0x%.2X no implementada", c.order)))
            << c.what;
    }
}

TEST(WriteToDisplay, ControlCharacterOneNullsModifiedOrAllFields) {
    TStreamRig rig;
    rig.Run(Cat({Wtd(),
                 {0x11, 2, 1, 0x1D, 0x24, 0x00, 0x05},
                 rig.Host("HELLO"),
                 {0x11, 3, 1, 0x1D, 0x24, 0x00, 0x05},
                 rig.Host("WORLD")}));
    rig.display().PutFieldData(81, "HI");
    rig.Run(Wtd(0x80));
    EXPECT_EQ(rig.Text(81, 5), ".....");
    EXPECT_EQ(rig.Text(161, 5), "WORLD") << "an unmodified field keeps its text";
    rig.Run(Wtd(0xA0));
    EXPECT_EQ(rig.Text(161, 5), ".....");
}

TEST(WriteToDisplay, WritingPastTheLastCellWrapsToTheFirst) {
    TStreamRig rig;
    rig.Run(Cat({Wtd(), {0x11, 24, 80}, rig.Host("AB")}));
    auto& d = rig.display();
    EXPECT_EQ(d.Chars[1919], 'A');
    EXPECT_EQ(d.Chars[0], 'B');
    EXPECT_EQ(d.Chars[1920], 0) << "nothing beyond the screen";
}

TEST(WriteToDisplay, TextNotesTheCellBeforeEachOfItsBytes) {
    struct Case {
        uint8_t row, col;
        size_t length;
    };
    // Within a row, across one row end, across several, up to the screen end
    // and round to its start.
    for (Case c : {Case{5, 10, 3},
                   {1, 1, 1},
                   {1, 1, 4},
                   {3, 75, 10},
                   {3, 79, 3},
                   {6, 40, 200},
                   {24, 70, 11},
                   {24, 78, 6}}) {
        TStreamRig rig;
        rig.Run(Cat({Wtd(), {0x11, c.row, c.col}, rig.Host(std::string(c.length, 'x'))}));
        // Expected: the SBA's cell, and for each byte the cell before the
        // one it is written to (cell 0 for the byte written to cell 0).
        int minRow = c.row - 1, maxRow = c.row - 1, minCol = c.col - 1, maxCol = c.col - 1;
        std::array<uint8_t, 80> markers{};
        markers[c.col - 1u] = 1;
        int at = (c.row - 1) * 80 + c.col - 1;
        for (size_t i = 0; i < c.length; ++i) {
            const int noted = at > 0 ? at - 1 : 0;
            minRow = std::min(minRow, noted / 80);
            maxRow = std::max(maxRow, noted / 80);
            minCol = std::min(minCol, noted % 80);
            maxCol = std::max(maxCol, noted % 80);
            markers[static_cast<size_t>(noted % 80)] = 1;
            at = (at + 1) % 1920;
        }
        EXPECT_THAT(Bounds(rig.stream), ElementsAre(minRow, minCol, maxRow, maxCol))
            << int(c.row) << "," << int(c.col) << " +" << c.length;
        EXPECT_EQ(rig.stream.ColumnMarkers, markers)
            << int(c.row) << "," << int(c.col) << " +" << c.length;
    }
}

// --- Addresses ---

TEST(Addresses, AddressOutsideTheScreenIsRefusedAndTheCurrentAddressStays) {
    struct Address {
        uint8_t row, col;
    };
    for (Address a : {Address{0, 5}, {5, 0}, {0, 0}, {25, 1}, {5, 81}, {24, 81}, {0xFF, 0xFF}}) {
        for (uint8_t order : {0x11, 0x13, 0x14}) {
            TStreamRig rig;
            rig.Run(Cat({Wtd(), {0x13, 2, 1, order, a.row, a.col}, rig.Host("A")}));
            EXPECT_EQ(rig.display().Chars[80], 'A')
                << "order " << int(order) << " row " << int(a.row) << " col " << int(a.col);
            EXPECT_EQ(rig.display().Cursor(), 80)
                << "order " << int(order) << " row " << int(a.row) << " col " << int(a.col);
            EXPECT_EQ(rig.stream.MaxRow, 1) << "a refused address is not noted";
        }
    }
}

// --- Repeat to address ---

TEST(RepeatToAddress, RowFFFillsToTheScreenEndWithNullsAndTakesOneByte) {
    TStreamRig rig;
    rig.Run(Cat({Wtd(), {0x11, 24, 31}, rig.Host(std::string(50, 'X'))}));
    rig.Run(Cat({Wtd(), {0x11, 24, 31, 0x02, 0xFF}, rig.Host("A")}));
    EXPECT_EQ(rig.Text(1870, 50), std::string(50, '.'));
    EXPECT_EQ(rig.display().Chars[0], 'A') << "the byte after 0xFF is data, at the wrapped address";
    EXPECT_EQ(rig.display().Chars[1920], 0);
}

TEST(RepeatToAddress, FillToTheLastCellWrapsTheCurrentAddressToTheFirst) {
    TStreamRig rig;
    rig.Run(Cat({Wtd(), {0x11, 24, 71, 0x02, 24, 80}, rig.Host("Z"), rig.Host("A")}));
    EXPECT_EQ(rig.Text(1910, 10), "ZZZZZZZZZZ");
    EXPECT_EQ(rig.display().Chars[0], 'A');
    EXPECT_EQ(rig.display().Chars[1920], 0) << "nothing beyond the screen";
    EXPECT_THAT(Bounds(rig.stream), ElementsAre(0, 0, 23, 79));
}

TEST(RepeatToAddress, TargetJustBeforeTheCurrentAddressFillsTheScreenExactlyOnce) {
    TStreamRig rig;
    rig.Run(Cat({Wtd(), {0x11, 1, 2, 0x02, 1, 1}, rig.Host("Z"), rig.Host("A")}));
    auto& d = rig.display();
    EXPECT_EQ(std::count(d.Chars.begin(), d.Chars.begin() + 1920, 'Z'), 1919);
    EXPECT_EQ(d.Chars[1], 'A') << "the address after the fill is the cell after the target";
    EXPECT_EQ(std::count(d.Chars.begin() + 1920, d.Chars.end(), 'Z'), 0);
}

TEST(RepeatToAddress, TargetOutsideTheScreenIsRefusedWholly) {
    for (Bytes target : {Bytes{0, 5}, Bytes{25, 1}, Bytes{3, 0}, Bytes{3, 81}}) {
        TStreamRig rig;
        rig.Run(Cat({Wtd(), {0x11, 2, 1, 0x02}, target, rig.Host("Z"), rig.Host("A")}));
        EXPECT_EQ(rig.display().Chars[80], 'A') << int(target[0]) << "," << int(target[1]);
        auto& d = rig.display();
        EXPECT_EQ(std::count(d.Chars.begin(), d.Chars.end(), 'Z'), 0);
    }
}

// --- Start of header ---

TEST(StartOfHeader, ErrorRowComesFromHeaderByteFourWhenOnTheScreen) {
    struct Case {
        const char* what;
        Bytes soh; // from the length byte on
        int errorRow;
    };
    for (const Case& c : {
             Case{"row 5", {0x07, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00}, 5},
             Case{"row 1", {0x04, 0x00, 0x00, 0x00, 0x01}, 1},
             Case{"row 0 means the last", {0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 24},
             Case{"row 25", {0x07, 0x00, 0x00, 0x00, 0x19, 0x00, 0x00, 0x00}, 24},
             Case{"row FF", {0x07, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00}, 24},
             Case{"short header", {0x03, 0x00, 0x00, 0x05}, 24},
             Case{"long header", {0x09, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00}, 7},
             Case{"header past the record", {0xFF, 0x00, 0x00, 0x00, 0x0A}, 10},
         }) {
        TStreamRig rig;
        rig.Run(Cat({Wtd(), {0x01, 0x07, 0, 0, 0, 3, 0, 0, 0}}));
        ASSERT_EQ(rig.stream.ErrorRow, 3);
        rig.Run(Cat({Wtd(), {0x01}, c.soh}));
        EXPECT_EQ(rig.stream.ErrorRow, c.errorRow) << c.what;
    }
}

// --- Start of field ---

TEST(StartOfField, FormatAndControlWordsAttributeAndLengthAreRead) {
    struct Case {
        const char* what;
        Bytes sf; // after the order byte
        uint8_t ffw1, ffw2, fcw1, fcw2, attr;
        uint16_t length;
    };
    for (const Case& c : {
             Case{"format word, length 300",
                  {0x40, 0x00, 0x24, 0x01, 0x2C},
                  0x40,
                  0,
                  0,
                  0,
                  0x24,
                  300},
             Case{"no format word", {0x24, 0x00, 0x0A}, 0, 0, 0, 0, 0x24, 10},
             Case{"format and control word",
                  {0x44, 0x07, 0x81, 0x00, 0x27, 0x00, 0x05},
                  0x44,
                  0x07,
                  0x81,
                  0x00,
                  0x27,
                  5},
         }) {
        TStreamRig rig;
        rig.Run(Cat({Wtd(), {0x11, 5, 10, 0x1D}, c.sf}));
        auto& d = rig.display();
        ASSERT_EQ(d.FieldCount(), 1) << c.what;
        const TFieldFormatRec* f = d.Field(1);
        EXPECT_THAT((std::vector<int>{f->FFW1, f->FFW2, f->FCW1, f->FCW2, f->Attribute, f->Length}),
                    ElementsAre(c.ffw1, c.ffw2, c.fcw1, c.fcw2, c.attr, c.length))
            << c.what;
        EXPECT_THAT((std::vector<int>{f->Row, f->Col, f->EndRow, f->RowsSpanned, f->Modified}),
                    ElementsAre(5, 11, 5, 1, 0))
            << c.what;
        EXPECT_EQ(f->EndCol, static_cast<uint8_t>(10 + c.length)) << c.what;
        EXPECT_EQ(d.Chars[329], 0x01) << c.what;
        EXPECT_EQ(d.Attrs[329], c.attr) << c.what;
        EXPECT_EQ(d.FieldMap[330], 1) << c.what;
        EXPECT_EQ(d.FieldMap[329 + c.length], 1) << c.what;
    }
}

TEST(StartOfField, AttributeInColumnEightyStartsTheFieldOnTheNextRow) {
    TStreamRig rig;
    rig.Run(Cat({Wtd(), {0x11, 3, 80, 0x1D, 0x24, 0x00, 0x04}, rig.Host("DATA")}));
    const TFieldFormatRec* f = rig.display().Field(1);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Row, 3);
    EXPECT_EQ(f->Col, 81);
    EXPECT_EQ(rig.Text(240, 4), "DATA");
    EXPECT_EQ(rig.display().FieldMap[240], 1);
}

TEST(StartOfField, TextWrittenIntoANewFieldKeepsTheFieldsAttribute) {
    TStreamRig rig;
    // A green attribute byte, then an underlined field that the host fills
    // with two nulls and a letter.
    Bytes r = Wtd();
    r.insert(r.end(), {0x11, 0x06, 0x30, 0x20, 0x11, 0x06, 0x34, 0x1D, 0x40, 0x20, 0x24, 0x00, 0x0A,
                       0x00, 0x00, 0xC1});
    rig.Run(r);
    auto& d = rig.display();
    const int first = 5 * 80 + 52; // row 6, column 53
    for (int c = first; c < first + 3; ++c)
        EXPECT_EQ(d.Extra[c], 0x24) << c;
    EXPECT_EQ(d.Chars[first + 2], 'A');
}

TEST(StartOfField, RepeatToAddressIntoAFieldKeepsTheFieldsAttribute) {
    // The field at row 6, column 53 is defined, then cleared three ways: RA
    // right after its Start of Field, RA after its attribute is sent again
    // at its attribute cell, and RA alone at its first cell.
    const Bytes sf = {0x11, 0x06, 0x34, 0x1D, 0x40, 0x20, 0x24, 0x00, 0x0A};
    const Bytes ra = {0x02, 0x06, 0x3E, 0x00};
    for (const Bytes& clear : {Cat({sf, ra}), Bytes{0x11, 0x06, 0x34, 0x24, 0x02, 0x06, 0x3E, 0x00},
                               Bytes{0x11, 0x06, 0x35, 0x02, 0x06, 0x3E, 0x00}}) {
        TStreamRig rig;
        rig.Run(Cat({Wtd(), sf, rig.Host("ABC")}));
        rig.Run(Cat({Wtd(), clear}));
        auto& d = rig.display();
        const int first = 5 * 80 + 52;
        for (int c = first; c < first + 10; ++c) {
            EXPECT_EQ(d.Extra[c], 0x24) << ::testing::PrintToString(clear) << " cell " << c;
            EXPECT_EQ(d.Chars[c], 0) << c;
        }
    }
}

TEST(StartOfField, FieldAfterTextStartsAtTheCurrentAddress) {
    TStreamRig rig;
    rig.Run(Cat({Wtd(), {0x11, 5, 10}, rig.Host("AB"), {0x1D, 0x24, 0x00, 0x03}, rig.Host("xyz")}));
    const TFieldFormatRec* f = rig.display().Field(1);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Row, 5);
    EXPECT_EQ(f->Col, 13);
    EXPECT_EQ(rig.Text(329, 6), "AB.xyz");
}

TEST(StartOfField, FirstFieldWhoseFormatWordAsksTakesTheCursorUnlessInsertCursorPlacedIt) {
    struct Case {
        const char* what;
        Bytes orders;
        int cursor;
    };
    for (const Case& c : {
             Case{"plain format word", {0x11, 4, 10, 0x1D, 0x40, 0x00, 0x24, 0x00, 0x05}, 0},
             Case{"format word with low bits",
                  {0x11, 4, 10, 0x1D, 0x41, 0x00, 0x24, 0x00, 0x05, 0x11, 6, 10, 0x1D, 0x41, 0x00,
                   0x24, 0x00, 0x05},
                  250},
             Case{"insert cursor first",
                  {0x13, 2, 2, 0x11, 4, 10, 0x1D, 0x41, 0x00, 0x24, 0x00, 0x05},
                  81},
         }) {
        TStreamRig rig;
        rig.Run(Cat({Wtd(), c.orders}));
        EXPECT_EQ(rig.display().Cursor(), c.cursor) << c.what;
    }
}

TEST(StartOfField, FieldLongerThanTheScreenOwnsOnlyCellsOnIt) {
    TStreamRig rig;
    rig.Run(Cat({Wtd(), {0x11, 24, 70, 0x1D, 0x24, 0xFF, 0xFF}, rig.Host("A")}));
    auto& d = rig.display();
    ASSERT_EQ(d.FieldCount(), 1);
    EXPECT_EQ(d.Field(1)->Length, 0xFFFF);
    EXPECT_EQ(d.Chars[1910], 'A');
    EXPECT_EQ(d.FieldMap[1919], 1);
}

// --- Write error code ---

std::string Repeat(char c, size_t n) {
    return std::string(n, c);
}

TEST(WriteErrorCode, MessageKeepsEightyCharactersAndItsRestIsNeverRunAsCommands) {
    TStreamRig rig;
    rig.Run(Cat({Wtd(), rig.Host("KEEP")}), op5250::Invite);
    // 300 characters and an attribute, which counts for nothing; the blanks
    // (0x40) and '&' (0x50) after the 80th character would clear the screen
    // if read as commands.
    const std::string message = "  " + Repeat('M', 78) + Repeat(' ', 216) + "&&&&";
    ASSERT_EQ(message.size(), 300u);
    rig.Run(Cat({{0x04, 0x21},
                 rig.Host(message.substr(0, 40)),
                 {0x22},
                 rig.Host(message.substr(40)),
                 Wtd(),
                 {0x11, 1, 6},
                 rig.Host("!")}));
    EXPECT_EQ(rig.stream.ErrorText, Repeat('M', 78)) << "first 80 characters, trimmed";
    EXPECT_EQ(rig.Text(0, 6), "KEEP.!") << "the screen is not cleared and the WTD after runs";
}

TEST(WriteErrorCode, OrderBytesEndTheTextAndAreLeftForTheCommandLoop) {
    TLogCapture log;
    TStreamRig rig;
    rig.Run(Cat({{0x04, 0x21}, rig.Host("AB"), {0x01}, Wtd(), rig.Host("C")}));
    EXPECT_EQ(rig.stream.ErrorText, "AB");
    EXPECT_EQ(rig.Text(0, 1), "C");
    EXPECT_TRUE(log.Logged(
        "1 0001 : ERROR:-> Comando desconocido: 0x01 procesando TPLTn5250stream.ProcessData"));
}

TEST(WriteErrorCode, OnTheErrorLineLongTextWrapsToTheScreenStart) {
    TStreamRig rig;
    rig.stream.SetErrorAsMessage(false);
    const std::string message = Repeat('E', 80) + Repeat('F', 220);
    rig.Run(Cat({{0x04, 0x21}, rig.Host(message)}));
    EXPECT_EQ(rig.Text(1840, 80), Repeat('E', 80));
    EXPECT_EQ(rig.Text(0, 221), Repeat('F', 220) + ".");
    EXPECT_EQ(rig.stream.ErrorText, "");
    EXPECT_EQ(rig.stream.StatusText, "") << "the keyboard is unlocked";
    EXPECT_TRUE(rig.display().Changed);
}

} // namespace
