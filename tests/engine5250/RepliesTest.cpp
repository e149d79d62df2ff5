// Read commands and the records sent for attention keys (built-in code table).
#include <gtest/gtest.h>

#include "ReplyHarness.h"

namespace {

TBytes Header(size_t dataLen, uint8_t f1, uint8_t f2, uint8_t op) {
    const size_t len = dataLen + 10;
    return {uint8_t(len >> 8), uint8_t(len), 0x12, 0xA0, 0, 0, 0x04, f1, f2, op};
}

TEST(AidReply, CursorAndSpecialKeysGiveTheirGoldenRecords) {
    struct {
        int cursor;
        uint8_t aid;
        TBytes want;
    } cases[] = {
        {0, 0xF1, {0x00, 0x0D, 0x12, 0xA0, 0, 0, 0x04, 0x00, 0x00, 0x03, 0x01, 0x01, 0xF1}},
        {79, 0xF1, {0x00, 0x0D, 0x12, 0xA0, 0, 0, 0x04, 0x00, 0x00, 0x03, 0x01, 0x50, 0xF1}},
        {1919, 0xF1, {0x00, 0x0D, 0x12, 0xA0, 0, 0, 0x04, 0x00, 0x00, 0x03, 0x18, 0x50, 0xF1}},
        {0, 0x60, {0x00, 0x0A, 0x12, 0xA0, 0, 0, 0x04, 0x40, 0x00, 0x60}},
        {500, 0x00, {0x00, 0x0A, 0x12, 0xA0, 0, 0, 0x04, 0x04, 0x00, 0x00}},
        {162,
         0x3D,
         {0x00, 0x13, 0x12, 0xA0, 0, 0, 0x04, 0x02, 0x80, 0x03, 0x06, 0x03, 0x03, 0x3D, 0x00, 0x00,
          0x03, 0x03, 0x3D}},
        {162,
         0xF3,
         {0x00, 0x13, 0x12, 0xA0, 0, 0, 0x04, 0x00, 0x80, 0x03, 0x06, 0x03, 0x03, 0xF3, 0x00, 0x00,
          0x03, 0x03, 0xF3}},
    };
    for (auto& c : cases) {
        for (uint8_t mode : {0, 1}) {
            TReplyHarness h;
            h.s.ReplyMode = mode;
            h.d().SetCursorPos(c.cursor);
            h.s.PendingAid = c.aid;
            h.s.SendReply();
            ASSERT_EQ(h.sent.size(), 1u);
            EXPECT_EQ(h.sent[0], c.want) << "aid " << int(c.aid) << " mode " << int(mode);
            EXPECT_EQ(h.s.StatusText, "SENDING");
            EXPECT_EQ(h.d().Status(), "SENDING");
        }
    }
}

TEST(AidReply, ModifiedFieldsAreAddressedTrimmedAndCutAtTheirLength) {
    TReplyHarness h;
    h.Define(5, 11, 6);
    h.Define(6, 1, 5);
    h.Define(6, 20, 5);  // never modified
    h.Define(7, 81, 3);  // attribute in column 80
    h.Define(10, 10, 3); // more text than room
    h.d().PutFieldData(330, "  AB  ");
    h.d().PutFieldData(400, "");
    h.d().PutFieldData(560, "Z");
    h.d().PutFieldData(729, "ABCDEF");
    h.s.PendingAid = 0xF1;
    h.s.SendModifiedFields();
    TBytes data{0x01, 0x01, 0xF1, 0x11, 5,    11, 0xC1, 0xC2, 0x11, 6,   1,
                0x11, 8,    1,    0xE9, 0x11, 10, 10,   0xC1, 0xC2, 0xC3};
    TBytes want = Header(data.size(), 0, 0, 3);
    want.insert(want.end(), data.begin(), data.end());
    ASSERT_EQ(h.sent.size(), 1u);
    EXPECT_EQ(h.sent[0], want);

    h.s.ResetMDT();
    h.s.SendModifiedFields();
    EXPECT_EQ(h.sent[1].size(), 13u) << "no field is modified after ResetMDT";
}

TEST(AidReply, LargeReplyIsNotCutAtAFixedBlock) {
    TReplyHarness h;
    // Defined bottom-up, each field's cells cover the next one's attribute
    // without replacing it: eight records of 300 on one screen.
    for (int row = 9; row >= 2; --row) {
        TFieldFormatRec& f = h.Define(row, 2, 300);
        f.Data.replace(0, 300, std::string(300, 'A'));
        f.Modified = 1;
    }
    h.s.PendingAid = 0xF1;
    h.s.SendModifiedFields();
    const size_t dataLen = 3 + 8 * (3 + 300);
    ASSERT_EQ(h.sent.size(), 1u);
    ASSERT_EQ(h.sent[0].size(), 10 + dataLen);
    EXPECT_EQ(h.sent[0][0] << 8 | h.sent[0][1], int(10 + dataLen));
    EXPECT_EQ(h.sent[0].back(), 0xC1);
}

TEST(AidReply, InputFieldsSendEveryFieldWithNullsBlankAndTheSignedNumericRule) {
    struct {
        uint8_t ffw1;
        std::string text;
        TBytes want;
    } cases[] = {
        {0x40, std::string("A\0\0", 3), {0xC1, 0x40, 0x40}},
        {0x47, "12-", {0xF1, 0x00, 0x60}}, // 0x0D through the built-in table is 0x00
        {0x07, "12-", {0xF1, 0x00, 0x60}},
        {0x46, "12-", {0xF1, 0xF2, 0x60}}, // not signed numeric
        {0x47, "123", {0xF1, 0xF2, 0xF3}},
        {0x47, "-", {0x60}}, // too short to carry a sign
    };
    for (auto& c : cases) {
        TReplyHarness h;
        TFieldFormatRec& f = h.Define(2, 2, uint16_t(c.text.size()), 0x24, c.ffw1);
        f.Data.replace(0, c.text.size(), c.text);
        h.s.PendingAid = 0xF1;
        h.s.SendInputFields();
        TBytes want = Header(3 + c.want.size(), 0, 0, 3);
        want.insert(want.end(), {0x01, 0x01, 0xF1});
        want.insert(want.end(), c.want.begin(), c.want.end());
        ASSERT_EQ(h.sent.size(), 1u);
        EXPECT_EQ(h.sent[0], want) << c.text << " ffw1 " << int(c.ffw1);
    }
}

TEST(ReadCommands, ArmTheReplyModeAndSendNothing) {
    TReplyHarness h;
    h.s.StatusText = "X";
    h.Feed({0x04, 0x42, 0x00, 0x08});
    EXPECT_EQ(h.s.ReplyMode, 1);
    EXPECT_EQ(h.s.StatusText, "") << "CC2 0x08 unlocks the keyboard";
    h.s.StatusText = "X";
    h.Feed({0x04, 0x52, 0x00, 0x00});
    EXPECT_EQ(h.s.ReplyMode, 0);
    EXPECT_EQ(h.s.StatusText, "X");
    EXPECT_TRUE(h.sent.empty());
}

TEST(ReadCommands, Cc1NullsModifiedOrAllFieldsWithinTheScreen) {
    struct {
        uint8_t cc1;
        bool modifiedNulled, otherNulled;
    } cases[] = {
        {0x00, false, false}, {0x80, true, false}, {0xA0, true, true}, {0x20, false, false}};
    for (auto& c : cases) {
        TReplyHarness h;
        TFieldFormatRec& mod = h.Define(24, 70, 300); // runs past the screen
        TFieldFormatRec& other = h.Define(2, 2, 4);
        h.d().PutFieldData(1909, "MOD");
        h.d().PutFieldData(81, "oth");
        other.Modified = 0;
        h.d().Chars[1925] = 'q';
        h.Feed({0x04, 0x52, c.cc1, 0x00});
        EXPECT_EQ(mod.Data == std::string(mod.Data.size(), '\0'), c.modifiedNulled);
        EXPECT_EQ(h.d().Chars[1909] == 0, c.modifiedNulled);
        EXPECT_EQ(other.Data == std::string(other.Data.size(), '\0'), c.otherNulled);
        EXPECT_EQ(h.d().Chars[81] == 0, c.otherNulled);
        EXPECT_EQ(h.d().Chars[1925], 'q') << "cells past the screen are not touched";
        EXPECT_EQ(mod.Modified, 1) << "the modified tag stays";
    }
}

} // namespace
