// SAVE SCREEN's image and RESTORE SCREEN bringing it back.
#include <gtest/gtest.h>

#include "ReplyHarness.h"

namespace {

// The image restored by a host record 04 12 ... (the image starts with them).
void Restore(TReplyHarness& h, const TBytes& image) {
    h.Feed(image, 2);
}

// A screen with text in every cell, three fields and a window.
void Busy(TReplyHarness& h) {
    for (int i = 0; i < 1920; ++i)
        h.d().Chars[i] = uint8_t('A' + i % 7);
    h.Define(3, 10, 5, 0x24);
    h.Define(7, 81, 12, 0x20, 0x47);
    h.Define(20, 1, 300, 0x22);
    h.d().PutFieldData(170, "abc");
    h.d().SetCursorPos(563);
    h.d().SetWinTop(2), h.d().SetWinLeft(5), h.d().SetWinBottom(9), h.d().SetWinRight(60);
    h.d().FlushChanges(); // as a restoring record leaves it
}

TEST(SaveScreen, ClearedScreenGivesEightPairsPerPlaneAndIsSentWithOpcode4) {
    TReplyHarness h;
    h.s.MinRow = 2, h.s.MaxRow = 9;
    h.Feed({0x04, 0x02}, 1);
    TBytes image{0x04, 0x12, 0, 0, 0, 0, 0, 0};
    for (uint8_t value : {0x00, 0x08, 0x00, 0x00}) {
        for (int i = 0; i < 7; ++i)
            image.insert(image.end(), {251, value});
        image.insert(image.end(), {163, value});
    }
    image.push_back(0);
    TBytes want = {0x00, uint8_t(10 + image.size()), 0x12, 0xA0, 0, 0, 0x04, 0, 0, 0x04};
    want.insert(want.end(), image.begin(), image.end());
    ASSERT_EQ(h.sent.size(), 1u);
    EXPECT_EQ(h.sent[0], want);
    EXPECT_EQ(h.s.MinRow, 23) << "bounds empty after the save";

    TReplyHarness back;
    std::fill_n(back.d().Chars.begin(), 1920, 'x');
    Restore(back, image);
    h.d().FlushChanges(); // the restoring record's end flushes the dirty bits
    EXPECT_EQ(back.d().Chars, h.d().Chars);
    EXPECT_EQ(back.d().Attrs, h.d().Attrs);
    EXPECT_EQ(back.d().Extra, h.d().Extra);
}

TEST(SaveScreen, ImageOfABusyScreenIsNotCutAtEightKilobytes) {
    TReplyHarness h;
    for (int i = 0; i < 1920; ++i) {
        h.d().Chars[i] = uint8_t(i % 7);
        h.d().Attrs[i] = uint8_t(i % 5);
        h.d().Extra[i] = uint8_t(i % 3);
    }
    h.Feed({0x04, 0x02}, 1);
    const size_t imageLen = 8 + 3 * 1920 * 2 + 16 + 1;
    ASSERT_EQ(h.sent.size(), 1u);
    ASSERT_EQ(h.sent[0].size(), 10 + imageLen);
    EXPECT_EQ(h.sent[0][0] << 8 | h.sent[0][1], int(10 + imageLen));
}

TEST(SaveScreen, RestoringTheImageReproducesScreenFieldsAndMap) {
    TReplyHarness h;
    Busy(h);
    const TBytes image = h.s.BuildSaveImage();

    TReplyHarness back;
    back.Define(1, 1, 10); // replaced by the restored fields
    Restore(back, image);
    EXPECT_EQ(back.d().Chars, h.d().Chars);
    EXPECT_EQ(back.d().Attrs, h.d().Attrs);
    EXPECT_EQ(back.d().Extra, h.d().Extra);
    EXPECT_EQ(back.d().FieldMap, h.d().FieldMap);
    EXPECT_EQ(back.d().Cursor(), 563);
    EXPECT_EQ(back.d().WinLeft(), 5);
    EXPECT_EQ(back.d().WinBottom(), 9);
    ASSERT_EQ(back.d().FieldCount(), 3);
    EXPECT_EQ(back.d().Field(1)->Data.substr(0, 5), " abc ");
    EXPECT_EQ(back.d().Field(2)->FFW1, 0x47);
    EXPECT_EQ(back.d().Field(3)->Length, 300);
    EXPECT_EQ(back.s.BuildSaveImage(), image);
}

TEST(RestoreScreen, FieldMapIsRebuiltFromTheRecordsOnly) {
    TReplyHarness h;
    h.Define(2, 2, 4);
    h.Define(3, 2, 4);
    h.Define(4, 2, 4);
    const TBytes image = h.s.BuildSaveImage();
    // Cleared planes, and a map that claims slot 7 for every cell.
    TBytes bad{0x04, 0x12, 0, 0, 0, 0, 0, 0};
    for (uint8_t value : {0x00, 0x08, 0x00, 0x07})
        for (int i = 0; i < 8; ++i)
            bad.insert(bad.end(), {uint8_t(i < 7 ? 251 : 163), value});
    const size_t records = 1 + 3 * (13 + 4);
    bad.insert(bad.end(), image.end() - long(records), image.end());
    TReplyHarness forged;
    Restore(forged, bad);
    EXPECT_EQ(forged.d().FieldCount(), 3);
    for (int slot = 1; slot <= 3; ++slot)
        EXPECT_EQ(forged.d().FieldMap[80 * slot + 1], slot);
    EXPECT_EQ(forged.d().FieldMap[0], 0);
    EXPECT_TRUE(MapNamesOnlyFields(forged.d()));
}

TEST(RestoreScreen, LyingAndShortImagesStayInsideTheirBuffers) {
    TBytes head{0x04, 0x12, 200, 0, 0, 0, 0, 0}; // cursor row 200: off the screen
    TBytes planes;
    for (int plane = 0; plane < 4; ++plane) {
        for (int i = 0; i < 7; ++i)
            planes.insert(planes.end(), {251, uint8_t(plane == 0 ? 'c' : 0)});
        planes.insert(planes.end(), {255, uint8_t(plane == 0 ? 'c' : 0)}); // runs past 1919
    }
    const TBytes field{0x40, 0, 0, 0, 0x24, 2, 2, 2, 6, 0xFF, 0xFF, 1, 1, 'h', 'i'};

    TReplyHarness wide(27, 132); // cells past 1919 are on the screen
    TBytes image = head;
    image.insert(image.end(), planes.begin(), planes.end());
    image.push_back(2);
    image.insert(image.end(), field.begin(), field.end());
    Restore(wide, image);
    EXPECT_EQ(wide.d().Cursor(), 0);
    EXPECT_EQ(wide.d().Chars[1919], 'c');
    EXPECT_EQ(wide.d().Chars[1920], 0) << "a run never passes cell 1919";
    ASSERT_EQ(wide.d().FieldCount(), 1);
    EXPECT_EQ(wide.d().Field(1)->Length, 2) << "the length claimed more than the image held";
    EXPECT_EQ(wide.d().Field(1)->Data.substr(0, 3), std::string("hi\0", 3));

    // Cut inside the attribute plane: characters stay, no fields appear.
    for (size_t cut : {size_t(1), size_t(9), head.size() + 20, head.size() + 16 + 5}) {
        TReplyHarness h;
        h.Define(5, 5, 5);
        Restore(h, TBytes(image.begin(), image.begin() + long(cut)));
        EXPECT_TRUE(MapNamesOnlyFields(h.d())) << cut;
        if (cut > head.size() + 16) {
            EXPECT_EQ(h.d().Chars[1919], 'c');
        }
    }
}

} // namespace
