// The 5250 interpreter's record handling: headers, opcodes, the command loop,
// the answers it sends without the user (cancel invite, query, READ SCREEN),
// and records that end early or lie about their length.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Stream5250Rig.h"

using namespace rig5250;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

// WTD at row 5 column 10 writing "ABC" and at row 9 column 30 writing "D":
// a written area of rows 4..8 and columns 8..29 (0-based).
Bytes TwoRowWrite(const TStreamRig& rig) {
    return Cat(
        {{0x04, 0x11, 0x00, 0x00, 0x11, 5, 10}, rig.Host("ABC"), {0x11, 9, 30}, rig.Host("D")});
}

TEST(Opcodes, PutGetOutputOnlyAndReadScreenEmptyTheBoundsOthersKeepThem) {
    struct Case {
        uint8_t opcode;
        bool empties;
    };
    for (Case c : {Case{op5250::OutputOnly, true},
                   {op5250::PutGet, true},
                   {op5250::ReadScreen, true},
                   {0, false},
                   {op5250::Invite, false},
                   {4, false},
                   {9, false},
                   {11, false},
                   {12, false},
                   {0x20, false}}) {
        TStreamRig rig;
        rig.Run(TwoRowWrite(rig), op5250::Invite);
        rig.Run({}, c.opcode);
        const auto& s = rig.stream;
        if (c.empties) {
            EXPECT_THAT((std::vector<int>{s.MinRow, s.MinCol, s.MaxRow, s.MaxCol}),
                        ElementsAre(23, 79, 0, 0))
                << "opcode " << int(c.opcode);
        } else {
            EXPECT_THAT((std::vector<int>{s.MinRow, s.MinCol, s.MaxRow, s.MaxCol}),
                        ElementsAre(4, 8, 8, 29))
                << "opcode " << int(c.opcode);
        }
        EXPECT_TRUE(rig.sent.empty()) << "opcode " << int(c.opcode);
    }
}

TEST(Opcodes, CancelInviteIsAcknowledgedEvenWithoutData) {
    TStreamRig rig;
    rig.Feed({0x00, 0x0A, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0x0A});
    ASSERT_EQ(rig.sent.size(), 1u);
    EXPECT_THAT(rig.sent[0],
                ElementsAre(0x00, 0x0A, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0x0A));
}

TEST(WindowRectangle, AreaOfSeveralRowsAndColumnsIsHandedToTheDisplayWithItsMarkers) {
    TStreamRig rig;
    rig.Run(TwoRowWrite(rig));
    auto& d = rig.display();
    EXPECT_THAT((std::vector<int>{d.WinTop(), d.WinLeft(), d.WinBottom(), d.WinRight()}),
                ElementsAre(4, 8, 8, 29));
    EXPECT_EQ(d.ColumnMarkers[9], 1);
    EXPECT_EQ(d.ColumnMarkers[29], 1);
    EXPECT_EQ(d.ColumnMarkers[50], 0);
    EXPECT_TRUE(d.Changed);
    for (int i = 0; i < d.CellCount(); ++i)
        ASSERT_FALSE(d.Attrs[i] & TPLTndisplay::kDirty) << "changes flushed, cell " << i;
}

// --- Commands ---

TEST(Commands, ClearUnitAndItsAlternatesEmptyCellsFieldsCursorAndBounds) {
    for (uint8_t code : {0x20, 0x40, 0x50}) {
        TLogCapture log;
        TStreamRig rig;
        rig.Run(Cat({{0x04, 0x11, 0x00, 0x00, 0x11, 3, 3, 0x1D, 0x24, 0x00, 0x05, 0x13, 3, 4},
                     rig.Host("XY")}),
                op5250::Invite);
        ASSERT_EQ(rig.display().FieldCount(), 1);
        // The alternate clear's parameter byte is its own, not a command.
        rig.Run(code == 0x20 ? Bytes{0x04, code, 0x80} : Bytes{0x04, code}, op5250::Invite);
        EXPECT_FALSE(log.Logged("1 0001 : ERROR:-> Comando desconocido: 0x80 procesando "
                                "TPLTn5250stream.ProcessData"))
            << int(code);
        auto& d = rig.display();
        EXPECT_EQ(d.FieldCount(), 0) << int(code);
        EXPECT_EQ(d.Cursor(), 0) << int(code);
        EXPECT_EQ(rig.Text(160, 10), "..........") << int(code);
        EXPECT_TRUE(d.Changed) << int(code);
        const auto& s = rig.stream;
        EXPECT_THAT((std::vector<int>{s.MinRow, s.MinCol, s.MaxRow, s.MaxCol}),
                    ElementsAre(23, 79, 0, 0));
    }
}

TEST(Commands, QueryIsAnsweredWithTheSeventyTwoByteReply) {
    TStreamRig rig;
    rig.Run({0x04, 0xF3, 0x00, 0x05, 0xD9, 0x70, 0x00});
    ASSERT_EQ(rig.sent.size(), 1u);
    const Bytes expected = Cat({
        {0x00, 0x48, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0xF1},
        {0x00, 0x00, 0x88, 0x00, 0x3A, 0xD9, 0x70, 0x80, 0x06, 0x00, 0x01, 0x01},
        Bytes(17, 0x00),
        {0x01, 0xF5, 0xF2, 0xF5, 0xF1, 0xF0, 0xF1, 0xF1, 0x02, 0x00, 0x00, 0x00, 0x00},
        {0x61, 0x50, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11},
        Bytes(10, 0x00),
    });
    EXPECT_THAT(rig.sent[0], ElementsAreArray(expected));
    EXPECT_EQ(rig.stream.BuildQueryReply().size(), 62u);
}

TEST(Commands, StructuredFieldOfAnotherKindIsIgnoredAndSkippedByItsLength) {
    TStreamRig rig;
    rig.Run(Cat({{0x04, 0x11, 0x00, 0x00}, rig.Host("KEEP")}), op5250::Invite);
    // Class D9 type 71, with three more bytes that would clear the screen if run.
    rig.Run({0x04, 0xF3, 0x00, 0x08, 0xD9, 0x71, 0x00, 0x04, 0x40, 0x40, 0x04, 0xF3, 0x00, 0x05,
             0xD9, 0x70, 0x00});
    EXPECT_EQ(rig.Text(0, 4), "KEEP");
    EXPECT_EQ(rig.sent.size(), 1u) << "the query after the skipped field is answered";
}

TEST(Commands, SingleStructuredFieldIsSkippedWholeAndLogged) {
    TLogCapture log;
    TStreamRig rig;
    rig.Run(Cat({{0x04, 0x11, 0x00, 0x00}, rig.Host("KEEP")}), op5250::Invite);
    rig.Run(
        Cat({{0x04, 0xF4, 0x00, 0x06, 0x40, 0x40, 0x50, 0x20, 0x04, 0x11, 0x00, 0x00, 0x11, 1, 6},
             rig.Host("!")}));
    EXPECT_EQ(rig.Text(0, 6), "KEEP.!");
    EXPECT_TRUE(log.Logged("1 0001 : ERROR:-> Comando 0xF4 no implementado"));
}

TEST(Commands, ReadScreenAnswersAndEndsTheRecord) {
    TStreamRig rig;
    rig.Run(Cat({{0x04, 0x11, 0x00, 0x00}, rig.Host("KEEP")}), op5250::Invite);
    rig.Run({0x04, 0x62, 0x04, 0x40}, op5250::Invite);
    ASSERT_EQ(rig.sent.size(), 1u);
    EXPECT_THAT(rig.sent[0], ElementsAre(0x00, 0x0C, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0x08,
                                         0x04, 0x72));
    EXPECT_EQ(rig.Text(0, 4), "KEEP") << "the CLEAR UNIT after READ SCREEN is not run";
    EXPECT_EQ(rig.stream.StatusText, "");
    EXPECT_EQ(rig.display().Status(), "SENDING");
    EXPECT_EQ(rig.stream.MinRow, 23);
    EXPECT_EQ(rig.stream.MaxCol, 0);
}

TEST(Commands, UnknownCommandIsLoggedAndTheNextByteIsACommandAgain) {
    TLogCapture log;
    TStreamRig rig;
    rig.Run(Cat({{0x04, 0x99, 0x04, 0x11, 0x00, 0x00}, rig.Host("A")}));
    EXPECT_EQ(rig.Text(0, 1), "A");
    EXPECT_TRUE(log.Logged(
        "1 0001 : ERROR:-> Comando desconocido: 0x99 procesando TPLTn5250stream.ProcessData"));
}

TEST(Commands, NotImplementedCommandsAreLoggedAndConsumeTheirParameters) {
    struct Case {
        uint8_t code;
        Bytes params; // bytes that would clear the screen if run as commands
    };
    for (const Case& c : {Case{0x03, {0x40, 0x40, 0x40, 0x40, 0x40}},
                          {0x13, {0x40, 0x00, 0x50, 0x20}},
                          {0x16, {0x40}},
                          {0x22, {0x01, 0x50, 0x40, 0xC1, 0x40}},
                          {0x64, {}},
                          {0x72, {}},
                          {0x83, {}},
                          {0x23, {0x40, 0x40, 0x40}},
                          {0x82, {0x40, 0x50}}}) {
        TLogCapture log;
        TStreamRig rig;
        rig.Run(Cat({{0x04, 0x11, 0x00, 0x00}, rig.Host("KEEP")}), op5250::Invite);
        rig.Run(
            Cat({{0x04, c.code}, c.params, {0x04, 0x11, 0x00, 0x00, 0x11, 1, 6}, rig.Host("!")}));
        EXPECT_EQ(rig.Text(0, 6), "KEEP.!") << std::hex << int(c.code);
        EXPECT_TRUE(log.Logged(Format("1 0001 : ERROR:-> Comando 0x%.2X no implementado", c.code)))
            << std::hex << int(c.code);
    }
}

// --- Headers and records that end early ---

TEST(Headers, DataLengthIsTheHeaderLengthBoundedByTheBytesReceived) {
    struct Case {
        const char* what;
        Bytes record;
        std::string cells; // the first four cells afterwards
    };
    TStreamRig probe;
    const Bytes wtd = Cat({{0x04, 0x11, 0x00, 0x00}, probe.Host("AB")});
    auto withLength = [&](uint16_t len) {
        Bytes r = HostRecord(op5250::PutGet, wtd);
        r[0] = static_cast<uint8_t>(len >> 8);
        r[1] = static_cast<uint8_t>(len);
        return r;
    };
    for (const Case& c : {
             Case{"true length", withLength(16), "AB.."},
             Case{"length past the bytes received", withLength(0xFFFF), "AB.."},
             Case{"length cutting the text", withLength(15), "A..."},
             Case{"length of the header alone", withLength(10), "...."},
             Case{"length shorter than the header", withLength(4), "...."},
             Case{"length zero", withLength(0), "...."},
             Case{"record shorter than a header", Bytes{0x00, 0x40, 0x12, 0xA0, 0x04}, "...."},
             Case{"one byte", Bytes{0xFF}, "...."},
             Case{"nothing", Bytes{}, "...."},
         }) {
        TStreamRig rig;
        rig.Feed(c.record);
        EXPECT_EQ(rig.Text(0, 4), c.cells) << c.what;
        EXPECT_TRUE(rig.sent.empty()) << c.what;
    }
}

TEST(Headers, LyingLengthNeverReadsTheStaleBytesOfAnEarlierLongerRecord) {
    TStreamRig rig;
    // Its bytes from offset 18 on would write "STALE" after whatever comes before.
    rig.Run(Cat({{0x04, 0x11, 0x00, 0x00, 0x11, 5, 1}, rig.Host("-STALE")}));
    Bytes lying =
        HostRecord(op5250::PutGet, Cat({{0x04, 0x11, 0x00, 0x00, 0x11, 10, 1}, rig.Host("A")}));
    lying[0] = 0x01; // announces 256 bytes, 18 arrive
    rig.Feed(lying);
    EXPECT_EQ(rig.Text(720, 6), "A.....");
}

TEST(Truncation, RecordEndingInsideAnOrderKeepsWhatWasWrittenAndFlushes) {
    TStreamRig rig;
    rig.Run(Cat({{0x04, 0x11, 0x00, 0x00, 0x11, 3, 2},
                 rig.Host("HELLO"),
                 {0x11, 8, 2},
                 rig.Host("X"),
                 {0x1D, 0x40}}));
    auto& d = rig.display();
    EXPECT_EQ(rig.Text(161, 5), "HELLO");
    EXPECT_TRUE(d.Changed);
    EXPECT_FALSE(d.Attrs[0] & TPLTndisplay::kDirty);
    EXPECT_EQ(d.WinTop(), 2) << "the window rectangle of the part interpreted";
    EXPECT_EQ(d.WinBottom(), 7);
}

TEST(Truncation, EveryCutOfARichRecordIsInterpretedWithoutReadingPastIt) {
    TStreamRig probe;
    const Bytes data = Cat({
        {0x04, 0x40},
        {0x04, 0x11, 0xA0, 0x08},
        {0x01, 0x07, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00}, // SOH, error row 16
        {0x11, 0x02, 0x05, 0x20},
        probe.Host("Title"),
        {0x02, 0x02, 0x50, 0x4B}, // RA to row 2 col 80 with '.'
        {0x11, 0x04, 0x0A, 0x1D, 0x40, 0x00, 0x81, 0x00, 0x24, 0x00, 0x0A},
        {0x11, 0x05, 0x0A, 0x1D, 0x4F, 0x00, 0x27, 0x00, 0x08},
        {0x03, 0x06, 0x01, 0x03, 0x01, 0x02}, // EA
        {0x10, 0x00, 0x03, 0xC1, 0xC2, 0xC3}, // TD
        {0x12, 0x01, 0x20},                   // WEA
        {0x15, 0x00, 0x05, 0xD9, 0x51, 0x00}, // WDSF
        {0x13, 0x04, 0x0B},
        {0x02, 0xFF},
        {0x04, 0x21, 0x13, 0x18, 0x01, 0x22},
        probe.Host("Error text"),
        {0x04, 0x23, 0x01, 0x02, 0x03},
        {0x04, 0x82, 0x00, 0x00},
        {0x04, 0xF4, 0x00, 0x04, 0x01, 0x02},
        {0x04, 0x52, 0x00, 0x08},
        {0x04, 0xF3, 0x00, 0x05, 0xD9, 0x70, 0x00},
    });
    const Bytes whole = HostRecord(op5250::PutGet, data);
    {
        TStreamRig rig;
        rig.Feed(whole);
        ASSERT_EQ(rig.display().FieldCount(), 2);
        ASSERT_EQ(rig.stream.ErrorText, "Error text");
        ASSERT_EQ(rig.sent.size(), 1u) << "the query at the end is answered";
    }
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        // The bytes received end early; the header either still announces
        // the whole record or tells the cut length.
        for (bool honest : {false, true}) {
            TStreamRig rig;
            Bytes part(whole.begin(), whole.begin() + static_cast<long>(cut));
            if (honest && cut >= 2) {
                part[0] = static_cast<uint8_t>(cut >> 8);
                part[1] = static_cast<uint8_t>(cut);
            }
            rig.Feed(part);
            EXPECT_TRUE(rig.sent.empty()) << "cut " << cut;
            rig.Run(Cat({{0x04, 0x11, 0x00, 0x00, 0x11, 24, 79}, rig.Host("OK")}));
            ASSERT_EQ(rig.Text(1918, 2), "OK") << "cut " << cut;
        }
    }
}

} // namespace
