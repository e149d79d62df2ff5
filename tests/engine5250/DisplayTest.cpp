// The 5250 display: field table, field map and the cells fields draw.
#include <gtest/gtest.h>

#include "ReplyHarness.h"

namespace {

TEST(Display5250, ClearLeavesEmptyCellsNoFieldsAndTheCursorHome) {
    TReplyHarness h;
    h.Define(3, 10, 5);
    h.d().Chars[500] = 'X';
    h.d().SetCursorPos(700);
    h.d().Clear();
    for (int i = 0; i < 1920; ++i) {
        ASSERT_EQ(h.d().Chars[i], 0) << i;
        ASSERT_EQ(h.d().Attrs[i], 0x08) << i;
        ASSERT_EQ(h.d().Extra[i], 0) << i;
        ASSERT_EQ(h.d().FieldMap[i], 0) << i;
    }
    EXPECT_EQ(h.d().FieldCount(), 0);
    EXPECT_EQ(h.d().Cursor(), 0);
}

TEST(Display5250, WindowSettersClampAndSizeFollows) {
    TReplyHarness h;
    h.d().SetWinTop(30);
    h.d().SetWinBottom(20);
    h.d().SetWinLeft(-4);
    h.d().SetWinRight(200);
    EXPECT_EQ(h.d().WinTop(), 23);
    EXPECT_EQ(h.d().WinLeft(), 0);
    EXPECT_EQ(h.d().WinRight(), 79);
    EXPECT_EQ(h.d().WinHeight(), 4);
    EXPECT_EQ(h.d().WinWidth(), 80);
}

TEST(Display5250, FieldDrawsAttributeDataCellsAndEndCell) {
    TReplyHarness h;
    h.d().Chars[330] = 'k';
    h.Define(5, 11, 6, 0x24);
    EXPECT_EQ(h.d().Chars[329], 0x01);
    EXPECT_EQ(h.d().Attrs[329], 0x24);
    EXPECT_EQ(h.d().Extra[329], 0x24);
    for (int p = 330; p < 336; ++p) {
        EXPECT_EQ(h.d().FieldMap[p], 1);
        EXPECT_EQ(h.d().Attrs[p], 0x08);
        EXPECT_EQ(h.d().Extra[p], 0x24);
        EXPECT_EQ(h.d().GetAttrAt(p), 0x24);
    }
    EXPECT_EQ(h.d().Chars[330], 'k') << "data cells keep their characters";
    EXPECT_EQ(h.d().Chars[336], 0x01);
    EXPECT_EQ(h.d().Attrs[336], 0x20);
    EXPECT_EQ(h.d().FieldMap[336], 0);
}

TEST(Display5250, FieldDefinedAgainAtTheSamePlaceReplacesTheOld) {
    TReplyHarness h;
    h.Define(2, 5, 10);
    h.Define(2, 5, 4, 0x20);
    EXPECT_EQ(h.d().FieldCount(), 1);
    EXPECT_EQ(h.d().Field(1)->Length, 4);
    EXPECT_EQ(h.d().FieldMap[84 + 5], 0) << "cells of the longer old field are freed";
    EXPECT_TRUE(MapNamesOnlyFields(h.d()));
}

TEST(Display5250, AttributeInColumn80StartsTheFieldOnTheNextRow) {
    TReplyHarness h;
    h.Define(3, 81, 4);
    EXPECT_EQ(h.d().Chars[239], 0x01) << "row 3 column 80";
    EXPECT_EQ(h.d().FieldMap[240], 1) << "row 4 column 1";
    h.d().PutFieldData(240, "WXYZ");
    EXPECT_EQ(h.d().Chars[243], 'Z');
}

TEST(Display5250, FullTableStillDrawsTheFieldButKeepsNoRecord) {
    TReplyHarness h;
    for (int i = 0; i < 255; ++i)
        h.Define(1 + i / 12, 2 + (i % 12) * 6, 4);
    ASSERT_EQ(h.d().FieldCount(), 255);
    h.Define(24, 40, 5, 0x22);
    EXPECT_EQ(h.d().FieldCount(), 255);
    EXPECT_EQ(h.d().Attrs[1878], 0x22);
    EXPECT_EQ(h.d().Extra[1880], 0x22);
    EXPECT_EQ(h.d().FieldMap[1880], 0);
    EXPECT_TRUE(MapNamesOnlyFields(h.d()));
}

TEST(Display5250, RemovingAFieldKeepsCellsALaterFieldTookOver) {
    TReplyHarness h;
    h.Define(1, 6, 5, 0x20);  // slot 1: cells 5..9
    h.Define(1, 2, 10, 0x24); // slot 2: cells 1..10, over slot 1's
    h.d().RemoveField(1);
    for (int p = 1; p <= 10; ++p)
        EXPECT_EQ(h.d().FieldMap[p], 2) << p;
    h.d().PutFieldData(7, "Q");
    EXPECT_EQ(h.d().Chars[7], 'Q');
}

TEST(Display5250, PositionsOutsideTheScreenAreNeverIndexed) {
    TReplyHarness h;
    h.Define(0, 0, 30);    // starts before the screen
    h.Define(24, 75, 300); // runs past its end
    for (int p = 1920; p < TPLTndisplay::kPlaneSize; ++p)
        ASSERT_EQ(h.d().FieldMap[p], 0) << p;
    for (int pos : {-100000, -2, -1, 1919, 1920, 4095, 4096, 100000}) {
        h.d().RemoveFieldAt(pos);
        h.d().PutFieldData(pos, "x");
        (void)h.d().GetAttrAt(pos);
    }
    EXPECT_EQ(h.d().GetAttrAt(4096), 0);
    EXPECT_EQ(h.d().Chars[1920], 0);
    EXPECT_TRUE(MapNamesOnlyFields(h.d()));
}

TEST(Display5250, PutFieldDataKeepsTextBeforeBlanksAfterAndDropsTheOverflow) {
    TReplyHarness h;
    TFieldFormatRec& f = h.Define(5, 11, 6);
    const auto before = h.d().Chars;
    h.d().PutFieldData(100, "nowhere");
    EXPECT_EQ(h.d().Chars, before) << "a position in no field changes nothing";
    h.d().PutFieldData(330, "ABCDEF");
    h.d().PutFieldData(332, std::string("x\0y", 3));
    EXPECT_EQ(f.Data.substr(0, 6), "ABx   ");
    h.d().PutFieldData(333, "123456789");
    EXPECT_EQ(f.Data.substr(0, 10), "ABx123    ") << "text past the field is not kept";
    EXPECT_EQ(f.Modified, 1);
    EXPECT_EQ(h.d().Chars[335], '3');
    EXPECT_EQ(h.d().Chars[336], 0x01) << "the end cell is not overwritten";
    EXPECT_TRUE(h.d().Attrs[335] & 0x08);
}

TEST(Display5250, LongFieldDataHoldsItsWholeLengthCappedAtTheScreen) {
    EXPECT_EQ(TFieldFormatRec(5).Data.size(), 257u);
    EXPECT_EQ(TFieldFormatRec(300).Data, std::string(300, ' '));
    EXPECT_EQ(TFieldFormatRec(65535).Data.size(), 1920u);
    TReplyHarness h;
    auto f = std::make_unique<TFieldFormatRec>();
    f->Row = 2, f->Col = 1, f->Length = 400; // length set after construction
    TFieldFormatRec* rec = f.get();
    h.d().AddField(std::move(f));
    h.d().PutFieldData(80 + 398, "yz!");
    EXPECT_EQ(rec->Data.substr(398, 2), "yz");
    EXPECT_EQ(h.d().Chars[80 + 399], 'z');
}

TEST(Display5250, ReusedFieldRecordsComeBackBlank) {
    TReplyHarness h;
    auto f = h.d().NewField(10);
    f->Row = 3, f->Col = 5, f->Attribute = 0x24, f->FFW1 = 0x48;
    h.d().AddField(std::move(f));
    h.d().PutFieldData(2 * 80 + 4, "SECRET");
    h.d().Clear();
    auto again = h.d().NewField(20);
    EXPECT_EQ(again->Modified, 0);
    EXPECT_EQ(again->FFW1, 0);
    EXPECT_EQ(again->Row, 0);
    EXPECT_EQ(again->Length, 20);
    EXPECT_EQ(again->Data, std::string(257, ' ')) << "no text of the earlier field";
}

} // namespace
