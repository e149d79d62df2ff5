// The 3270 interpreter: commands, the write control character, orders and
// data, buffer addresses, and records that break off or lie.
#include <gtest/gtest.h>

#include "Stream3270Rig.h"
#include "support/TempDir.h"

using namespace rig3270;

namespace {

constexpr uint8_t EW = 0xF5, W = 0xF1;

TEST(BufferAddress, TwelveAndFourteenBitFormsDecodeAndRepliesRoundTrip) {
    EXPECT_EQ(TPLTn3270stream::DecodeBufferAddress(0x40, 0x40), 0);
    EXPECT_EQ(TPLTn3270stream::DecodeBufferAddress(0x5D, 0x7F), 1919);
    EXPECT_EQ(TPLTn3270stream::DecodeBufferAddress(0x07, 0x7F), 1919);
    EXPECT_EQ(TPLTn3270stream::DecodeBufferAddress(0x00, 0x50), 80);
    for (int a = 0; a < 4096; ++a) {
        const Bytes code = Addr(a);
        ASSERT_NE(code[0] & 0xC0, 0) << "12-bit form";
        ASSERT_EQ(TPLTn3270stream::DecodeBufferAddress(code[0], code[1]), a);
    }
}

TEST(WriteCommand, EraseWriteWithWccC3ClearsAndRestoresTheKeyboard) {
    TStreamRig r;
    r.Feed(Cat({{EW, 0x00}, Sba(500), {0x1D, 0xC1, 0x13}, r.Host("TEXT")}));
    EXPECT_EQ(r.stream.StatusText, "SYSTEM") << "no keyboard restore";
    r.Feed(Cat({{W, 0x01}, r.Host("Z")}));
    EXPECT_FALSE(r.d().IsFieldModified(500)) << "reset MDT";
    EXPECT_EQ(r.Text(500, 6), "^ZEXT.") << "a write starts at the cursor";
    r.stream.PendingAid = 0x7D;
    r.d().Changed = false;
    r.Feed({EW, 0xC3});
    EXPECT_FALSE(r.d().Formatted());
    EXPECT_EQ(r.Text(500, 5), ".....");
    EXPECT_EQ(r.d().Cursor(), 0);
    EXPECT_EQ(r.stream.PendingAid, 0x60);
    EXPECT_EQ(r.stream.StatusText, "");
    EXPECT_TRUE(r.d().Changed);
}

TEST(Orders, StartFieldThenDataMakesAProtectedNumericField) {
    TStreamRig r;
    r.Feed({EW, 0xC3, 0x1D, 0xF0, 0xC1, 0xC2, 0xC3});
    EXPECT_EQ(r.Text(0, 5), "^ABC.");
    EXPECT_EQ(r.d().GetFieldAttribute(3), 0x30);
    r.Feed({W, 0xC3, 0x11, 0x40, 0x40, 0xC4});
    EXPECT_FALSE(r.d().Formatted()) << "data over the only attribute";
    EXPECT_EQ(r.Text(0, 2), "DA");
}

TEST(Orders, DataRunOverAttributeCellsMergesTheirFields) {
    TStreamRig r;
    r.Feed(
        Cat({{EW, 0xC3}, Sba(10), {0x1D, 0x60}, Sba(20), {0x1D, 0x50}, Sba(1000), {0x1D, 0x60}}));
    // Thirty letters from cell 5 write over both attribute cells.
    r.Feed(Cat({{W, 0xC3}, Sba(5), r.Host(std::string(30, 'X'))}));
    EXPECT_EQ(r.Text(4, 32), "." + std::string(30, 'X') + ".");
    EXPECT_EQ(r.d().FindNextField(0), 1000) << "the field at 1000 is the only one left";
    for (int cell : {5, 15, 25, 999})
        EXPECT_EQ(r.d().GetFieldAttribute(cell), 0x20) << "joins the field before it, " << cell;
    // A field started after it runs to the screen end and round to cell 1000.
    r.Feed(Cat({{W, 0xC3}, Sba(1500), {0x1D, 0x40}}));
    for (int cell : {1501, 1919, 0, 999})
        EXPECT_EQ(r.d().GetFieldAttribute(cell), 0x00) << cell;
    EXPECT_EQ(r.d().GetFieldAttribute(1200), 0x20);
}

TEST(Orders, DataRunGoesRoundTheScreenEnd) {
    TStreamRig r;
    r.Feed(Cat({{EW, 0xC3}, Sba(1915), r.Host("ABCDEFGHIJ"), {0x13}}));
    EXPECT_EQ(r.Text(1915, 5), "ABCDE");
    EXPECT_EQ(r.Text(0, 6), "FGHIJ.");
    EXPECT_EQ(r.d().Cursor(), 5);
}

TEST(Orders, HostByteThatTranslatesToOneIsACharacter) {
    auto table = TCodeTables::Builtin().LocalToHost;
    table[1] = 0x01; // local 1 is host 0x01
    TTempDir dir;
    dir.write("one.tbl", std::string(table.begin(), table.end()));
    TStreamRig r;
    r.stream.LoadTable(dir.file("one.tbl"));
    r.Feed({EW, 0xC3, 0x01, 0x01, 0xC1});
    EXPECT_FALSE(r.d().Formatted());
    EXPECT_FALSE(r.d().IsFieldAttribute(0));
    EXPECT_EQ(r.d().Chars[1], 1);
}

TEST(Orders, EraseAndRepeatToTheCurrentAddressCoverTheWholeBuffer) {
    TStreamRig r;
    r.Feed(Cat({{EW, 0xC3},
                Sba(100),
                {0x1D, 0x60},
                r.Host("PROT"),
                Sba(200),
                {0x1D, 0x40},
                r.Host("FREE"),
                Sba(5),
                r.Host("WRAP")}));
    r.Feed(Cat({{W, 0x00}, Sba(150), {0x12}, Addr(150)}));
    EXPECT_EQ(r.Text(100, 5) + r.Text(200, 5) + r.Text(5, 4), "^PROT^........");
    r.Feed(Cat({{W, 0x00}, Sba(300), {0x3C}, Addr(300), {0xC1}}));
    EXPECT_FALSE(r.d().Formatted());
    EXPECT_EQ(r.Text(0, 3) + r.Text(1917, 3), "AAAAAA");
    // To address 0: through the last cell, without the character attribute.
    r.Feed(Cat({{EW, 0xC3}, Sba(1900), {0x28, 0x42, 0xF2, 0x3C, 0x40, 0x40, 0x08, 0xC2}}));
    EXPECT_EQ(r.Text(1899, 22), ".BBBBBBBBBBBBBBBBBBBB.");
    EXPECT_EQ(r.d().Extra[1900], 0);
    r.Feed(Cat({{W, 0x00}, Sba(10), {0x28, 0x42, 0xF2, 0x3C}, Addr(14), {0xC3}}));
    EXPECT_EQ(r.Text(10, 5), "CCCC.");
    EXPECT_EQ(r.d().Extra[10], 0x10);
}

TEST(Orders, NewLineAttributesAndExtendedFields) {
    TStreamRig r;
    r.Feed(Cat({{EW, 0xC3}, Sba(1900), {0x15, 0xC1}, Sba(5), {0x15, 0xC2}}));
    EXPECT_EQ(r.Text(0, 1) + r.Text(80, 1), "AB") << "new line, and from the last row to 0";
    // An unknown SA type consumes its value; the highlight set before stays.
    r.Feed(Cat({{EW, 0xC3}, Sba(10), {0x28, 0x41, 0xF2, 0x28, 0x00, 0xF1, 0xC1}}));
    EXPECT_EQ(r.Text(10, 2), "A.");
    EXPECT_EQ(r.d().Extra[10], 0x80);
    // SFE with a colour only: attribute 0x08, the colour in its cell only.
    r.Feed(Cat({{EW, 0xC3}, Sba(10), {0x29, 0x01, 0x42, 0xF2, 0xC1}}));
    EXPECT_EQ(r.d().GetFieldAttribute(10), 0x08);
    EXPECT_EQ(r.d().Extra[10] * 256 + r.d().Extra[11], 0x1000);
    // SFE with an attribute pair: the field's look goes on to its characters.
    r.Feed(Cat({{EW, 0xC3}, Sba(20), {0x29, 0x02, 0xC0, 0x60, 0x41, 0xF4, 0xC1}}));
    EXPECT_EQ(r.d().GetFieldAttribute(20), 0x20);
    EXPECT_EQ(r.d().Extra[20] * 256 + r.d().Extra[21], 0xC0C0);
}

TEST(Orders, ProgramTabFindsTheNextInputFieldOrGoesHome) {
    TStreamRig r;
    r.Feed(Cat({{EW, 0xC3},
                Sba(5),
                {0x1D, 0x60},
                r.Host("PROTECTED"),
                Sba(20),
                {0x1D, 0x40},
                r.Host("ABCDE"),
                Sba(40),
                {0x1D, 0x60}}));
    r.Feed(Cat({{W, 0x00}, Sba(0), {0x05}, r.Host("X")}));
    EXPECT_EQ(r.Text(20, 6), "^XBCDE") << "after an order the tab only moves";
    r.Feed(Cat({{W, 0x00}, Sba(7), r.Host("A"), {0x05}, r.Host("B")}));
    EXPECT_EQ(r.Text(5, 16), "^PA............^") << "after data it nulls the rest of its field";
    EXPECT_EQ(r.Text(20, 6), "^BBCDE") << "and the field it enters keeps its text";
    r.Feed(Cat({{W, 0x00}, Sba(22), r.Host("C"), {0x05}, r.Host("D")}));
    EXPECT_EQ(r.Text(20, 6) + r.Text(0, 1), "^BC...D") << "no input field further on: home";
    r.Feed(Cat({{W, 0x00}, Sba(1000), r.Host("E"), {0x05}, r.Host("F")}));
    EXPECT_EQ(r.Text(1919, 1) + r.Text(0, 6), ".F....^") << "a field's rest wraps to its end";
    r.Feed(Cat({{W, 0x00}, Sba(40), {0x05}, r.Host("G")}));
    EXPECT_EQ(r.Text(0, 1), "G") << "no input field after the address: home";
}

TEST(Orders, EraseAllUnprotectedKeepsProtectedTextAndFindsTheFirstInput) {
    TStreamRig r;
    r.Feed(Cat({{EW, 0xC3},
                Sba(10),
                {0x1D, 0x60},
                r.Host("KEEP"),
                Sba(40),
                {0x1D, 0xC1},
                r.Host("GONE"),
                Sba(500),
                {0x13}}));
    r.stream.PendingAid = 0x7D;
    r.Feed({0x6F});
    EXPECT_EQ(r.Text(10, 5) + r.Text(40, 5), "^KEEP^....");
    EXPECT_FALSE(r.d().IsFieldModified(40));
    EXPECT_EQ(r.d().Cursor(), 41);
    EXPECT_EQ(r.stream.PendingAid, 0x60);
}

TEST(MalformedRecord, EndsWithAnErrorAndTheNextRecordStartsClean) {
    const std::string read = kStreamReadError, address = "invalid buffer address";
    struct {
        Bytes record;
        std::string error;
    } cases[] = {
        {{}, ""},                                   // empty: nothing at all
        {{W, 0xC3}, ""},                            // command and WCC only
        {{0x03}, ""},                               // no operation
        {{0x6E}, "unknown 3270 command"},           // Read Modified All
        {{W}, read},                                // no WCC
        {{EW, 0xC3, 0x11, 0x40}, read},             // SBA cut
        {{EW, 0xC3, 0x1D}, read},                   // SF without its attribute
        {{EW, 0xC3, 0x29, 0x02, 0xC0, 0x60}, read}, // SFE promises two pairs
        {{EW, 0xC3, 0x2C, 0x05, 0x00}, read},       // MF promises five pairs
        {{EW, 0xC3, 0x3C, 0x40, 0x40, 0x08}, read}, // RA without its character
        {{EW, 0xC3, 0x11, 0x7F, 0x7F}, address},    // 4095, past 1919
        {{EW, 0xC3, 0x11, 0x07, 0x80}, address},    // 14-bit 1920
        {{EW, 0xC3, 0x12, 0x3F, 0xFF}, address},
        {{EW, 0xC3, 0x3C, 0x1E, 0x00, 0xC1}, address},
    };
    for (auto& c : cases) {
        TStreamRig r;
        EXPECT_EQ(r.FeedError(c.record), c.error) << ::testing::PrintToString(c.record);
        EXPECT_EQ(r.FeedError({W, 0xC3, 0xC2}), "");
        EXPECT_EQ(r.Text(0, 2), "B.");
    }
    TStreamRig r;
    EXPECT_EQ(r.FeedError({EW, 0xC3, 0xC1, 0xC2, 0x11, 0x7F, 0x7F}), address);
    EXPECT_EQ(r.Text(0, 3), "AB.") << "what came before the error stays";
}

TEST(MalformedRecord, EveryTruncationOfARichRecordEndsWithoutAByteFromOutsideIt) {
    TStreamRig probe;
    const Bytes rich = Cat({{EW, 0xC3},
                            Sba(79),
                            {0x1D, 0xF0},
                            probe.Host("TITLE"),
                            {0x15, 0x29, 0x03, 0x41, 0xF2, 0x42, 0xF4, 0xC0, 0x40},
                            probe.Host("INPUT"),
                            {0x28, 0x42, 0xF1, 0x2C, 0x01, 0x41, 0xF1, 0x08, 0xC1, 0x13},
                            Sba(400),
                            {0x3C},
                            Addr(410),
                            {0x08, 0xC4, 0x12},
                            Addr(420),
                            {0x05, 0xC5, 0x05},
                            Sba(1919),
                            {0x1D, 0x40, 0xC6}});
    for (size_t n = 0; n <= rich.size(); ++n) {
        TStreamRig r;
        r.LeaveStaleBytes(rich.size(), 'Y');
        const std::string error = r.FeedError(Bytes(rich.begin(), rich.begin() + long(n)));
        EXPECT_TRUE(error.empty() || error == kStreamReadError) << n << ": " << error;
        EXPECT_EQ(r.Text(0, 1920).find('Y'), std::string::npos) << n << ": a byte past the cut";
        EXPECT_EQ(r.FeedError({W, 0xC3, 0x13}), "") << n;
    }
    TStreamRig whole;
    whole.Feed(rich);
    EXPECT_EQ(whole.Text(79, 6), "^TITLE");
    EXPECT_EQ(whole.d().Cursor(), 167);
    EXPECT_EQ(whole.Text(0, 1), "F") << "data after the attribute in the last cell wraps";
}

} // namespace
