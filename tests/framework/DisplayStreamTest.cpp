// The data-stream and display bases that both engines build on.
#include <gtest/gtest.h>
#include <sanitizer/asan_interface.h>

#include "PLError.h"
#include "support/NullStream.h"
#include "support/TempDir.h"
#include "uPLTnStream.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
bool Readable(const uint8_t* p) {
    return !__asan_address_is_poisoned(p);
}
#else
constexpr bool kAddressSanitizer = false;
bool Readable(const uint8_t*) {
    return true;
}
#endif

class TTestStream : public TNullStream {
public:
    using TNullStream::TNullStream;
    void ProcessData() override {
        seen.assign(Record().begin(), Record().end());
        pastEndReadable = Readable(Record().data() + Record().size());
        if (failNext) throw EPLError("bad record");
        TPLTnStream::ProcessData();
    }
    std::vector<uint8_t> seen;
    bool pastEndReadable = true;
    bool failNext = false;
};

TEST(Display, RefusesScreensTheirPlanesCannotHold) {
    EXPECT_THROW(TPLTndisplay(1, 0, 80), EPLError);
    EXPECT_THROW(TPLTndisplay(1, 24, 0), EPLError);
    EXPECT_THROW(TPLTndisplay(1, -24, -80), EPLError);
    EXPECT_THROW(TPLTndisplay(1, 65, 64), EPLError);
    EXPECT_THROW(TPLTndisplay(1, 1 << 16, 1 << 16), EPLError) << "product overflows int";
    EXPECT_NO_THROW(TPLTndisplay(1, 27, 132));
    EXPECT_NO_THROW(TPLTndisplay(1, 64, 64));
}

TEST(Display, CursorOutsideTheScreenGoesHome) {
    TPLTndisplay d(1, 24, 80);
    for (int pos : {-1, 1920, 100000}) {
        d.SetCursorPos(pos);
        EXPECT_EQ(d.Cursor(), 0);
        EXPECT_EQ(d.CursorRow(), 1);
        EXPECT_EQ(d.CursorCol(), 1);
    }
    TPLTndisplay wide(1, 27, 132);
    wide.SetCursorPos(2000);
    EXPECT_EQ(wide.CursorRow(), 16);
    EXPECT_EQ(wide.CursorCol(), 21);
    wide.SetCursorPos(3563);
    EXPECT_EQ(wide.CursorRow(), 27);
    EXPECT_EQ(wide.CursorCol(), 132);
}

TEST(Display, StatusChangesAreReportedOnce) {
    TPLTndisplay d(1, 24, 80);
    int fired = 0;
    d.OnStatusChange = [&](TPLTndisplay&) { ++fired; };
    d.ClearStatus();
    EXPECT_EQ(fired, 0) << "empty to empty is no change";
    d.SetStatus("X SYSTEM");
    d.SetStatus("X SYSTEM");
    EXPECT_EQ(fired, 1);
    d.HeadFlags[1] = 1;
    d.ClearStatus();
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(d.HeadFlags[1], 0);
    EXPECT_EQ(d.Status(), "");
}

TEST(Display, ClearMarksEveryPositionDirtyAndFlushCleansThem) {
    TPLTndisplay d(1, 24, 80);
    EXPECT_EQ(d.HeadFlags, (std::array<uint8_t, 3>{0, 1, 0}));
    d.Chars[5] = 'x';
    d.Extra[5] = 3;
    d.HeadFlags[0] = 9;
    d.Clear();
    EXPECT_EQ(d.HeadFlags[0], 0);
    for (int i = 0; i < d.Size(); ++i) {
        ASSERT_EQ(d.Chars[i], 0);
        ASSERT_EQ(d.Attrs[i], TPLTndisplay::kDirty);
        ASSERT_EQ(d.Extra[i], 0);
    }
    EXPECT_EQ(d.Attrs[d.Size()], 0) << "nothing past the screen is touched";
    d.Attrs[7] |= 0x20;
    d.FlushChanges();
    EXPECT_TRUE(d.Changed);
    for (int i = 0; i < d.Size(); ++i)
        ASSERT_EQ(d.Attrs[i] & TPLTndisplay::kDirty, 0);
    EXPECT_EQ(d.Attrs[7], 0x20) << "the engine's own bits stay";
}

TEST(Stream, RecordsAreKeptWholeUpToTheBoundAndDroppedWholeBeyondIt) {
    TTestStream s(1, 24, 80);
    std::vector<uint8_t> block(5000, 0x40);
    s.AddData(block.data(), block.size());
    block.assign(5000, 0x41);
    s.AddData(block.data(), block.size());
    s.AddData(block.data(), 1);
    s.ProcessRecord();
    ASSERT_EQ(s.seen.size(), 10001u);
    EXPECT_EQ(s.seen[4999], 0x40);
    EXPECT_EQ(s.seen[10000], 0x41);

    block.assign(TPLTnStream::kMaxRecordSize, 0x42);
    s.AddData(block.data(), block.size());
    s.ProcessRecord();
    EXPECT_EQ(s.seen.size(), TPLTnStream::kMaxRecordSize) << "a record of the bound is kept";

    s.seen.clear();
    s.AddData(block.data(), block.size());
    s.AddData(block.data(), 1);
    EXPECT_THROW(s.ProcessRecord(), EPLError);
    EXPECT_TRUE(s.seen.empty()) << "an overlong record is not interpreted";
    const uint8_t next[] = {7};
    s.AddData(next, 1);
    s.ProcessRecord();
    EXPECT_EQ(s.seen, std::vector<uint8_t>{7}) << "the next record starts clean";
}

// The buffer keeps its room and the bytes of longer records before: an
// interpreter reading past a record's end must be caught by the tests and
// fuzz targets whatever the record's length, not only when it fills the room.
TEST(Stream, ReadingPastARecordsEndIsCaughtUnderAddressSanitizer) {
    if (!kAddressSanitizer) GTEST_SKIP() << "only AddressSanitizer can tell";
    TTestStream s(1, 24, 80);
    for (size_t len : {20, 3, 8, 0, 8192, 9001, 5}) {
        const std::vector<uint8_t> record(len, 0x40);
        s.AddData(record.data(), record.size());
        s.ProcessRecord();
        EXPECT_EQ(s.seen.size(), len);
        EXPECT_FALSE(s.pastEndReadable) << len;
    }
}

TEST(Stream, RecordIsEmptiedEvenWhenInterpretingFails) {
    TTestStream s(1, 24, 80);
    const uint8_t first[] = {1, 2, 3};
    s.AddData(first, 3);
    s.failNext = true;
    EXPECT_THROW(s.ProcessRecord(), EPLError);
    s.failNext = false;
    const uint8_t second[] = {9};
    s.AddData(second, 1);
    s.ProcessRecord();
    EXPECT_EQ(s.seen, std::vector<uint8_t>{9});
}

TEST(Stream, SetDisplayWithTheDisplayHeldKeepsIt) {
    TTestStream s(1, 24, 80);
    s.SetDisplay(std::make_unique<TPLTndisplay>(1, 24, 80));
    TPLTndisplay* held = s.Display();
    s.SetDisplay(std::unique_ptr<TPLTndisplay>(held));
    ASSERT_EQ(s.Display(), held);
    held->Chars[0] = 'A'; // still alive (ASan would object otherwise)
    s.SetDisplay(std::make_unique<TPLTndisplay>(1, 24, 80));
    EXPECT_NE(s.Display(), nullptr);
}

TEST(Stream, SendsGoToTheHandlerWhenSet) {
    TTestStream s(1, 24, 80);
    const uint8_t rec[] = {0x12, 0xA0};
    s.DoSend(rec, 2); // no handler: nothing happens
    std::vector<uint8_t> sent;
    s.OnSend = [&](const uint8_t* d, size_t n) { sent.assign(d, d + n); };
    s.DoSend(rec, 2);
    EXPECT_EQ(sent, (std::vector<uint8_t>{0x12, 0xA0}));
}

TEST(Stream, ConvertsThroughTheTablesItLoads) {
    TTestStream s(1, 24, 80);
    EXPECT_EQ(s.ToEbcdic('A'), 0xC1);
    EXPECT_EQ(s.ToAscii(0x49), 0xF1);
    EXPECT_EQ(s.ToAscii(0x6A), 0xF1);
    EXPECT_EQ(s.ToEbcdic(0xF1), 0x6A);
    TTempDir dir;
    std::string id;
    for (int i = 0; i < 256; ++i)
        id += static_cast<char>(i);
    dir.write("id.tbl", id);
    s.LoadTable(dir.file("id.tbl"));
    EXPECT_EQ(s.TableFile, dir.file("id.tbl"));
    EXPECT_EQ(s.ToEbcdic('A'), 'A');
    s.LoadTable(dir.file("gone.tbl"));
    EXPECT_EQ(s.ToEbcdic('A'), 0xC1) << "a missing file means the built-in tables";
}

} // namespace
