// The field-list stream: the bytes that cross the engine interface both ways.
#include <gtest/gtest.h>

#include "uPlBasFld.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Save(THostFields& list) {
    TMemoryStream s;
    list.SaveToStream(s);
    return Bytes(s.bytes().begin(), s.bytes().end());
}

void Load(THostFields& list, const Bytes& bytes) {
    TMemoryStream s(bytes);
    list.LoadFromStream(s);
}

std::unique_ptr<THostBasicField> MakeField(uint8_t row, uint8_t col, int16_t len,
                                           const std::string& data,
                                           TFieldAttribute attr = {attUnProtected}) {
    auto f = std::make_unique<THostBasicField>();
    f->Row = row;
    f->Col = col;
    f->Len = len;
    f->Pos = static_cast<int16_t>((row - 1) * 80 + col);
    f->Data = data;
    f->SetAttr(attr);
    return f;
}

const Bytes kEmptyItem = {0x02, 0,    0x02, 0, 0x02, 0, 0x02, 0, 0x02,
                          0,    0x06, 1,    0, 0x06, 0, 0x02, 0};

Bytes Header3179() {
    Bytes b = {0x03, 0x6B, 0x0C, 0x02, 0x00};
    for (int i = 0; i < 5; ++i)
        b.insert(b.end(), {0x06, 0x01, 0x00});
    b.push_back(0x01);
    return b;
}

TEST(FieldStream, EmptyListIsHeaderMessageItemAndEnd) {
    THostFields list;
    list.TermModel = 3179;
    Bytes expected = Header3179();
    expected.insert(expected.end(), kEmptyItem.begin(), kEmptyItem.end());
    expected.push_back(0x00);
    EXPECT_EQ(Save(list), expected);
}

TEST(FieldStream, IntegersTakeTheSmallestForm) {
    struct Case {
        int32_t value;
        Bytes bytes;
    } cases[] = {
        {0, {0x02, 0x00}},
        {-1, {0x02, 0xFF}},
        {127, {0x02, 0x7F}},
        {-128, {0x02, 0x80}},
        {128, {0x03, 0x80, 0x00}},
        {200, {0x03, 0xC8, 0x00}},
        {-129, {0x03, 0x7F, 0xFF}},
        {32767, {0x03, 0xFF, 0x7F}},
        {32768, {0x04, 0x00, 0x80, 0x00, 0x00}},
        {0xFFFFFF, {0x04, 0xFF, 0xFF, 0xFF, 0x00}},
        {-32769, {0x04, 0xFF, 0x7F, 0xFF, 0xFF}},
    };
    for (auto& c : cases) {
        TMemoryStream s;
        TValueWriter(s).WriteInteger(c.value);
        EXPECT_EQ(Bytes(s.bytes().begin(), s.bytes().end()), c.bytes) << c.value;
        EXPECT_EQ(TValueReader(s.bytes()).ReadInteger(), c.value) << c.value;
    }
}

TEST(FieldStream, ItemValuesInOrderWithRowAbove127AndNegativeLen) {
    THostFields list;
    auto f = MakeField(200, 5, -1, "", {attProtected, attModified});
    f->Pos = 300;
    f->Eab = '\x22';
    f->Reserved = 7;
    list.Add(std::move(f));
    Bytes bytes = Save(list);
    Bytes item = {0x03, 0xC8, 0x00, // Row 200 does not fit a signed byte
                  0x02, 0x05,       // Col
                  0x02, 0xFF,       // Len -1
                  0x03, 0x2C, 0x01, // Pos 300
                  0x03, 0x01, 0x40, // Attr: attProtected | attModified
                  0x06, 0x01, 0x22, // Eab
                  0x06, 0x00,       // Data: cut to nothing by the negative Len
                  0x02, 0x07};      // Reserved
    ASSERT_GE(bytes.size(), item.size() + 1);
    EXPECT_EQ(Bytes(bytes.end() - 1 - static_cast<long>(item.size()), bytes.end() - 1), item);
    EXPECT_EQ(bytes.back(), 0x00);
}

TEST(FieldStream, DataLongerThanLenIsCutInTheStreamAndInTheField) {
    THostFields list;
    list.Add(MakeField(1, 1, 3, "ABCDEF"));
    Bytes bytes = Save(list);
    EXPECT_EQ(list.GetField(0)->Data, "ABC");
    THostFields back;
    Load(back, bytes);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.GetField(0)->Data, "ABC");
}

TEST(FieldStream, NegativeLenCutsDataToEmpty) {
    THostFields list;
    list.Add(MakeField(1, 1, -5, "ABC"));
    Save(list);
    EXPECT_EQ(list.GetField(0)->Data, "");
}

TEST(FieldStream, LongDataUsesTheFourByteLengthForm) {
    THostFields list;
    list.Add(MakeField(1, 1, 300, std::string(300, 'x')));
    Bytes bytes = Save(list);
    const Bytes head = {0x0C, 0x2C, 0x01, 0x00, 0x00};
    auto it = std::search(bytes.begin(), bytes.end(), head.begin(), head.end());
    ASSERT_NE(it, bytes.end());
    THostFields back;
    Load(back, bytes);
    EXPECT_EQ(back.GetField(0)->Data, std::string(300, 'x'));
}

TEST(FieldStream, RoundTripKeepsEveryStreamedValue) {
    THostFields list;
    list.TermModel = 3179;
    list.CurPos = 1919;
    list.WinTop = 3;
    list.WinLeft = 10;
    list.WinBottom = 20;
    list.WinRight = 70;
    list.WindowMode = 1;
    list.MessageField->Data = "CPF1234 Message";
    list.MessageField->Len = 15;
    auto a = MakeField(6, 53, 10, "TESTUSR", {attUnProtected, attMonoCase, attModified});
    a->Eab = '\xE9';
    a->Name = "not streamed";
    a->Reserved = 255;
    list.Add(std::move(a));
    list.Add(MakeField(24, 80, 1, "\xF1", {attProtected, attHigh}));
    Bytes bytes = Save(list);

    THostFields back;
    Load(back, bytes);
    EXPECT_EQ(back.TermModel, 3179);
    EXPECT_EQ(back.CurPos, 1919);
    EXPECT_EQ(back.WinTop, 3);
    EXPECT_EQ(back.WinRight, 70);
    EXPECT_EQ(back.WindowMode, 1);
    EXPECT_EQ(back.MessageField->Data, "CPF1234 Message");
    ASSERT_EQ(back.Fields.size(), 2u);
    const auto& f = *back.Fields[0];
    EXPECT_EQ(f.Row, 6);
    EXPECT_EQ(f.Col, 53);
    EXPECT_EQ(f.Len, 10);
    EXPECT_EQ(f.Data, "TESTUSR");
    EXPECT_EQ(f.Eab, '\xE9');
    EXPECT_EQ(f.Reserved, 255);
    EXPECT_EQ(f.Name, "");
    EXPECT_EQ(f.GetAttr(), (TFieldAttribute{attUnProtected, attMonoCase, attModified}));
    EXPECT_EQ(back.Fields[1]->Data, "\xF1");
    // The same list saves to the same bytes again.
    EXPECT_EQ(Save(back), bytes);
}

TEST(FieldStream, ReaderAcceptsAnyIntegerFormAndKeepsTheLowBits) {
    Bytes bytes = {0x04, 0x6B, 0x0C, 0x00, 0x00, // TermModel as a 32-bit value
                   0x03, 0x05, 0x00};            // CurPos as a 16-bit value
    for (int i = 0; i < 5; ++i)
        bytes.insert(bytes.end(), {0x06, 0x01, 0x00});
    bytes.push_back(0x01);
    bytes.insert(bytes.end(), kEmptyItem.begin(), kEmptyItem.end());
    // Row 300 keeps its low byte; Attr with bits 29 to 31 keeps bits 0 to 28.
    bytes.insert(bytes.end(), {0x04, 0x2C, 0x01, 0x00, 0x00, 0x02, 1, 0x02, 1, 0x02, 1, 0x04,
                               0xFF, 0xFF, 0xFF, 0xFF, 0x06, 1,    0, 0x06, 0, 0x02, 0});
    bytes.push_back(0x00);
    THostFields list;
    Load(list, bytes);
    EXPECT_EQ(list.TermModel, 3179);
    EXPECT_EQ(list.CurPos, 5);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetField(0)->Row, 44);
    EXPECT_EQ(list.GetField(0)->GetAttr().ToInt(), 0x1FFFFFFFu);
}

TEST(FieldStream, WrongTagsGiveInvalidPropertyValue) {
    Bytes good = Header3179();
    good.insert(good.end(), kEmptyItem.begin(), kEmptyItem.end());
    good.push_back(0x00);
    struct Case {
        const char* what;
        size_t at;
        uint8_t byte;
    } cases[] = {
        {"integer tag 0x06 for TermModel", 0, 0x06},
        {"0x02 where a Char is expected", 5, 0x02},
        {"Char of length 2", 6, 0x02},
        {"no begin of list", 20, 0x02},
        {"string tag 0x07 for Data", 21 + 13, 0x07},
    };
    for (auto& c : cases) {
        Bytes bad = good;
        bad[c.at] = c.byte;
        THostFields list;
        try {
            Load(list, bad);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const EReadError& e) {
            EXPECT_STREQ(e.what(), kInvalidPropertyValue) << c.what;
        }
    }
}

TEST(FieldStream, EveryTruncationFailsWithStreamReadErrorAndKeepsWholeFields) {
    THostFields list;
    list.TermModel = 3179;
    list.MessageField->Row = 24;
    list.MessageField->Col = 2;
    list.MessageField->Len = 5;
    list.MessageField->Data = "ERROR";
    list.Add(MakeField(1, 2, 3, "abc"));
    list.Add(MakeField(4, 5, 6, "defghi"));
    Bytes bytes = Save(list);
    for (size_t n = 0; n < bytes.size(); ++n) {
        THostFields back;
        TMemoryStream s(std::span<const uint8_t>(bytes.data(), n));
        try {
            back.LoadFromStream(s);
            ADD_FAILURE() << "cut at " << n << " loaded";
        } catch (const EReadError& e) {
            EXPECT_STREQ(e.what(), kStreamReadError) << "cut at " << n;
        }
        // A field cut short is never added; those read whole stay; the
        // message item is taken whole or not at all.
        for (int i = 0; i < back.Count(); ++i)
            EXPECT_EQ(back.GetField(i)->Data.size(), static_cast<size_t>(back.GetField(i)->Len));
        const THostBasicField& m = *back.MessageField;
        const bool untouched = m.Row == 0 && m.Col == 0 && m.Len == 0 && m.Data.empty();
        const bool whole = m.Row == 24 && m.Col == 2 && m.Len == 5 && m.Data == "ERROR";
        EXPECT_TRUE(untouched || whole) << "cut at " << n;
        EXPECT_EQ(s.position(), 0u);
    }
}

TEST(FieldStream, LyingStringLengthsAreRefusedBeforeAnyAllocation) {
    const Bytes cases[] = {
        {0x0C, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}, // 2 GiB claimed, one byte there
        {0x0C, 0x00, 0x00, 0x00, 0x80},      // negative length
        {0x06, 0x05, 'a', 'b'},              // short string running past the end
    };
    for (auto& bytes : cases) {
        TValueReader r(bytes);
        try {
            r.ReadString();
            ADD_FAILURE() << "read a string that is not there";
        } catch (const EReadError& e) {
            EXPECT_STREQ(e.what(), kStreamReadError);
        }
    }
}

TEST(FieldStream, LoadingAppendsAfterFieldsAlreadyHeld) {
    THostFields source;
    source.Add(MakeField(2, 2, 1, "N"));
    Bytes bytes = Save(source);
    THostFields list;
    list.Add(MakeField(1, 1, 1, "O"));
    Load(list, bytes);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetField(0)->Data, "O");
    EXPECT_EQ(list.GetField(1)->Data, "N");
}

TEST(FieldStream, LoadStartsAtTheStreamPositionAndRewinds) {
    THostFields source;
    source.Add(MakeField(2, 2, 1, "N"));
    Bytes bytes = Save(source);
    Bytes prefixed = {0xAA, 0xBB};
    prefixed.insert(prefixed.end(), bytes.begin(), bytes.end());
    TMemoryStream s(prefixed);
    s.setPosition(2);
    THostFields list;
    list.LoadFromStream(s);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(s.position(), 0u);
}

TEST(FieldStream, SavingWithTheWindowViewWritesEveryFieldAndKeepsTheView) {
    THostFields list;
    list.WinTop = 5;
    list.WinBottom = 10;
    list.WinLeft = 1;
    list.WinRight = 80;
    list.WindowMode = 1;
    list.Add(MakeField(1, 1, 1, "A"));
    list.Add(MakeField(6, 1, 1, "B"));
    list.Add(MakeField(12, 1, 1, "C"));
    list.SetFiltered(true);
    ASSERT_EQ(list.Count(), 1);
    Bytes bytes = Save(list);
    EXPECT_TRUE(list.Filtered);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetField(0)->Data, "B");
    THostFields back;
    Load(back, bytes);
    EXPECT_EQ(back.Count(), 3);
}

TEST(FieldList, WindowViewGovernsCountGetAddAndDelete) {
    THostFields list;
    list.WinTop = 5;
    list.WinBottom = 10;
    list.WinLeft = 10;
    list.WinRight = 20;
    list.Add(MakeField(6, 12, 1, "in"));
    list.Add(MakeField(6, 30, 1, "out"));
    list.SetFiltered(true);
    EXPECT_EQ(list.Count(), 2) << "no window mode: no filter";
    list.WindowMode = 1;
    list.RebuildFilter();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Add(MakeField(7, 15, 1, "in2")), 1) << "index in the window view";
    EXPECT_EQ(list.Add(MakeField(1, 1, 1, "out2")), 3) << "index in the whole list";
    auto taken = list.Delete(0);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->Data, "in");
    EXPECT_EQ(list.Fields.size(), 3u);
    EXPECT_EQ(list.Count(), 1);
}

TEST(FieldList, InvertedWindowHoldsNothing) {
    THostFields list;
    list.WinTop = 10;
    list.WinBottom = 5;
    list.WinLeft = 1;
    list.WinRight = 80;
    list.WindowMode = 1;
    list.Add(MakeField(7, 1, 1, "x"));
    list.SetFiltered(true);
    EXPECT_EQ(list.Count(), 0);
}

TEST(FieldList, OutOfRangeIndexesDoNothing) {
    THostFields list;
    list.Add(MakeField(1, 1, 1, "a"));
    EXPECT_EQ(list.GetField(-1), nullptr);
    EXPECT_EQ(list.GetField(1), nullptr);
    EXPECT_EQ(list.Delete(-1), nullptr);
    EXPECT_EQ(list.Delete(1), nullptr);
    EXPECT_EQ(list.Count(), 1);
}

TEST(FieldList, ClearListsHandsTheFieldsOverUnfreed) {
    THostFields list;
    auto f = MakeField(1, 1, 1, "a");
    THostBasicField* raw = f.get();
    list.Add(std::move(f));
    list.ClearLists();
    EXPECT_EQ(list.Count(), 0);
    std::unique_ptr<THostBasicField> owned(raw); // still alive: ours to free
    EXPECT_EQ(owned->Data, "a");
}

TEST(HostField, SetDataDropsTrailingBlanksAndControlsButNotLatin1) {
    THostBasicField f;
    f.SetData("AB C \t\r\n\x01  ");
    EXPECT_EQ(f.Data, "AB C");
    f.SetData("caf\xE9");
    EXPECT_EQ(f.GetData(), "caf\xE9");
}

TEST(HostField, SameFieldNeedsPositionAndProtection) {
    THostBasicField a, b;
    a.Row = b.Row = 3;
    a.Col = b.Col = 4;
    a.SetAttr({attProtected});
    b.SetAttr({attProtected, attHigh});
    EXPECT_TRUE(a.SameField(b));
    b.SetAttr({attUnProtected});
    EXPECT_FALSE(a.SameField(b));
    b.SetAttr({attProtected});
    b.Col = 5;
    EXPECT_FALSE(a.SameField(b));
}

TEST(HostField, CopyFromTakesEverythingButFieldNoAndIgnoresNull) {
    THostBasicField a;
    a.FieldNo = 9;
    a.Row = 1;
    THostBasicField b;
    b.Row = 2;
    b.Col = 3;
    b.Len = 4;
    b.Pos = 5;
    b.Eab = 6;
    b.Data = "d";
    b.Name = "n";
    b.Reserved = 7;
    b.SetAttr({attNumeric});
    a.CopyFrom(&b);
    EXPECT_EQ(a.FieldNo, 9);
    EXPECT_EQ(a.Row, 2);
    EXPECT_EQ(a.Name, "n");
    EXPECT_EQ(a.Reserved, 7);
    EXPECT_EQ(a.GetAttr(), TFieldAttribute{attNumeric});
    a.CopyFrom(nullptr);
    EXPECT_EQ(a.Row, 2);
}

} // namespace
