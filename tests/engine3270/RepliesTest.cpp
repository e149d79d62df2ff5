// Inbound records (Read Modified, the query reply) and the
// structured fields of Write Structured Field (built-in code tables).
#include <gtest/gtest.h>

#include "Stream3270Rig.h"

using namespace rig3270;

namespace {

TEST(ReadModified, GoldenRepliesForScreensAndKeys) {
    TStreamRig probe;
    // Labels at 10, 40 and 120; input fields at 20 and 100.
    const Bytes entry = Cat({{0xF5, 0xC3},
                             Sba(10),
                             {0x1D, 0x60},
                             probe.Host("NAME"),
                             Sba(20),
                             {0x1D, 0x40},
                             Sba(40),
                             {0x1D, 0x60},
                             Sba(100),
                             {0x1D, 0x40},
                             Sba(120),
                             {0x1D, 0x60}});
    struct {
        const char* what;
        Bytes screen;
        int putAt = -1; // the user's "JOE" into the field there
        int cursor;
        uint8_t aid;
        Bytes want;
    } cases[] = {
        {"ENTER", entry, 21, 24, 0x7D, {0x7D, 0x40, 0xD8, 0x11, 0x40, 0xD5, 0xD1, 0xD6, 0xC5}},
        {"nothing modified", entry, -1, 1919, 0x7D, {0x7D, 0x5D, 0x7F}},
        {"attribute in the last cell",
         Cat({{0xF5, 0xC3}, Sba(1919), {0x1D, 0xC1}, probe.Host("HI"), Sba(500), {0x1D, 0x60}}),
         -1,
         0,
         0x7D,
         {0x7D, 0x40, 0x40, 0x11, 0x40, 0x40, 0xC8, 0xC9}},
        {"unformatted",
         Cat({{0xF5, 0xC3}, probe.Host("HELLO")}),
         -1,
         0,
         0x7D,
         {0x7D, 0x40, 0x40, 0xC8, 0xC5, 0xD3, 0xD3, 0xD6}},
        {"PA1", entry, 21, 24, 0x6C, {0x6C}},
        {"PA2", entry, 21, 24, 0x6E, {0x6E}},
        {"PA3", entry, 21, 24, 0x6B, {0x6B}},
        {"CLEAR", entry, 21, 24, 0x6D, {0x6D}},
    };
    for (auto& c : cases) {
        TStreamRig r;
        r.Feed(c.screen);
        if (c.putAt >= 0) r.d().PutString(c.putAt, 19, "JOE");
        r.d().SetCursorPos(c.cursor);
        r.stream.PendingAid = c.aid;
        r.stream.SendModifiedFields();
        ASSERT_EQ(r.sent.size(), 1u) << c.what;
        EXPECT_EQ(r.sent[0], c.want) << c.what;
        EXPECT_EQ(r.stream.StatusText, "SENDING");
        if (c.putAt >= 0) {
            EXPECT_EQ(r.Text(21, 3), "JOE") << "the display stays as it is";
        }
    }
}

TEST(ReadModified, ScreenOfModifiedAttributeCellsOutgrowsTheUsualRoom) {
    TStreamRig r;
    for (int c = 0; c < 1920; ++c)
        r.d().StartField(c, 0xC1);
    r.stream.PendingAid = 0x7D;
    r.Feed({0xF6}); // the host's Read Modified
    ASSERT_EQ(r.sent.size(), 1u);
    ASSERT_EQ(r.sent[0].size(), 3u + 1920u * 3u);
    EXPECT_EQ(Bytes(r.sent[0].end() - 3, r.sent[0].end()), (Bytes{0x11, 0x40, 0x40}));
}

TEST(StructuredField, ReadPartitionQueryGetsTheQueryReply) {
    TStreamRig r;
    r.Feed({0xF3, 0x00, 0x05, 0x01, 0xFF, 0x02});
    const Bytes want = {
        0x88, 0x00, 0x16, 0x81, 0x86, 0x00, 0x08, 0x00, 0xF4, 0xF1, 0xF1, 0xF2, 0xF2, 0xF3, 0xF3,
        0xF4, 0xF4, 0xF5, 0xF5, 0xF6, 0xF6, 0xF7, 0xF7, 0x00, 0x0D, 0x81, 0x87, 0x04, 0x00, 0xF0,
        0xF1, 0xF1, 0xF2, 0xF2, 0xF4, 0xF4, 0x00, 0x17, 0x81, 0x81, 0x01, 0x00, 0x00, 0x50, 0x00,
        0x18, 0x00, 0x00, 0x02, 0x00, 0x89, 0x00, 0x02, 0x00, 0x85, 0x09, 0x10, 0x07, 0x80, 0x00,
        0x10, 0x81, 0x85, 0x00, 0x00, 0x09, 0x10, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00};
    ASSERT_EQ(want.size(), 75u);
    ASSERT_EQ(r.sent.size(), 1u);
    EXPECT_EQ(r.sent[0], want);
}

TEST(StructuredField, ErrorsEndTheRecordWithTheirTexts) {
    struct {
        Bytes record;
        const char* error;
    } cases[] = {
        {{0xF3, 0x00, 0x05, 0x01, 0x00, 0x02}, "WSF-RP invalid PID"},
        {{0xF3, 0x00, 0x05, 0x01, 0x00, 0x03}, "WSF-RP not a query op"},
        {{0xF3, 0x00, 0x04, 0x01, 0xFF}, "WSF-RP too small"},
        {{0xF3, 0x00, 0x06, 0x40, 0x01, 0xF5, 0xC3}, "WSF-OBDS invalid PID"},
        {{0xF3, 0x00, 0x06, 0x40, 0x00, 0xF6, 0xC3}, "WSF-OBDS unsupported"},
        {{0xF3, 0x00, 0x04, 0x40, 0x00}, "WSF-OBDS too small"},
        {{0xF3, 0x00, 0x05, 0x40, 0x00, 0xF1}, kStreamReadError}, // a Write without its WCC
        {{0xF3, 0x00, 0x03, 0x81}, "unsupported WFS ID: 129"},
        {{0xF3, 0x00, 0x00, 0x05}, "unsupported WFS ID: 5"}, // length 0 cannot loop
        {{0xF3, 0x00, 0x05}, "WSF too small"},
        {{0xF3, 0x00, 0x09, 0x01, 0xFF, 0x02}, "WSF length beyond record"},
        // A record that ends inside the field: the header still decides.
        {{0xF3, 0x00, 0x20, 0x81, 0x00}, "unsupported WFS ID: 129"},
        {{0xF3, 0x00, 0x04, 0x01}, "WSF-RP too small"},
        {{0xF3, 0x00, 0x02, 0x40}, "WSF-OBDS too small"},
    };
    for (auto& c : cases) {
        TStreamRig r;
        EXPECT_EQ(r.FeedError(c.record), c.error) << ::testing::PrintToString(c.record);
    }
    TStreamRig r;
    EXPECT_EQ(r.FeedError({0xF3, 0x00, 0x05, 0x01, 0xFF, 0x02, 0x00, 0x03, 0x81}),
              "unsupported WFS ID: 129");
    EXPECT_EQ(r.sent.size(), 1u) << "the field before the failing one took effect";
}

TEST(StructuredField, OutboundDataStreamActsAsTheWriteItHolds) {
    TStreamRig viaWsf, direct;
    for (TStreamRig* r : {&viaWsf, &direct}) {
        r->Feed(Cat({{0xF5, 0x00}, Sba(30), {0x1D, 0xC1}, r->Host("OLD"), Sba(900), {0x13}}));
        r->stream.PendingAid = 0x7D;
    }
    viaWsf.Feed({0xF3, 0x00, 0x05, 0x01, 0xFF, 0x02, 0x00, 0x06, 0x40, 0x00, 0xF5, 0xC3});
    direct.Feed({0xF5, 0xC3});
    EXPECT_EQ(viaWsf.d().Chars, direct.d().Chars);
    EXPECT_EQ(viaWsf.d().Attrs, direct.d().Attrs);
    EXPECT_EQ(viaWsf.d().Cursor(), 0);
    EXPECT_EQ(viaWsf.stream.PendingAid, 0x60);
    // A write longer than the reply buffer is read where it stands.
    TStreamRig big;
    Bytes record = {0xF3, 0x0F, 0xA6, 0x40, 0x00, 0xF1, 0xC3};
    record.insert(record.end(), 4000, 0xC1);
    big.Feed(record);
    EXPECT_EQ(big.Text(0, 3) + big.Text(1917, 3), "AAAAAA");
}

} // namespace
