// A 3270 session through the module's exports against a TN3270 host on
// loopback: the negotiation, screens arriving as field lists, the events
// that go with them, answers to the host's own read commands, and the close
// from either side.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/ScreenIo.h"
#include "support/SimSession.h"
#include "support/Stream3270.h"

using namespace std::chrono_literals;
using namespace s3270;
using hostsim::telnet::DO;
using hostsim::telnet::DONT;
using hostsim::telnet::OPT_TN3270E;
using hostsim::telnet::WILL;
using hostsim::telnet::WONT;

namespace {

TEngine3270Module& E() {
    return Engine3270();
}

// Sends a record and waits until the engine has turned it into a screen.
void Show(TSimSession& s, const Bytes& record) {
    const int before = s.events.Count(PL_SCREEN_CHANGED);
    s.conn->SendRecord(record);
    ASSERT_TRUE(s.events.WaitFor(PL_SCREEN_CHANGED, before + 2)) << "no screen change";
}

Bytes TerminalTypeIs(const std::string& type) {
    return Cat({{0xFF, 0xFA, 0x18, 0x00}, Bytes(type.begin(), type.end()), {0xFF, 0xF0}});
}

// ------------------------------------------------------------------ negotiation

TEST(Session3270, RefusesTn3270EAndAnswersThePlainNegotiationByteForByte) {
    TSimSession s;
    ASSERT_GT(s.handle, 0);
    std::array<uint8_t, 2> answer{};
    ASSERT_TRUE(s.conn->AskOption(DO, OPT_TN3270E, answer)) << "DO TN3270E went unanswered";
    EXPECT_EQ(answer, (std::array<uint8_t, 2>{WONT, OPT_TN3270E}));
    ASSERT_TRUE(s.conn->Negotiate()) << "the engine broke the plain negotiation";
    EXPECT_EQ(s.conn->TerminalType(), "IBM-3278-2-E");
    const Bytes expected = Cat({{0xFF, 0xFC, 0x28},                     // WONT TN3270E
                                {0xFF, 0xFB, 0x18},                     // WILL TERMINAL-TYPE
                                TerminalTypeIs("IBM-3278-2-E"),         //
                                {0xFF, 0xFB, 0x19, 0xFF, 0xFD, 0x19},   // WILL EOR, DO EOR
                                {0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x00}}); // WILL, DO BINARY
    ASSERT_TRUE(s.conn->WaitForBytes(expected.size()));
    EXPECT_EQ(s.conn->Captured(), expected);
}

TEST(Session3270, EveryTn3270ERequestIsRefused) {
    // A DO or DONT is refused with WONT; a host's own offer (WILL) with
    // DONT, as telnet has it.
    const std::array<uint8_t, 2> cases[] = {{DO, WONT}, {DONT, WONT}, {WILL, DONT}};
    for (auto [verb, refusal] : cases) {
        SCOPED_TRACE("verb " + std::to_string(verb));
        TSimSession s;
        std::array<uint8_t, 2> answer{};
        ASSERT_TRUE(s.conn->AskOption(verb, OPT_TN3270E, answer)) << "went unanswered";
        EXPECT_EQ(answer, (std::array<uint8_t, 2>{refusal, OPT_TN3270E}));
        EXPECT_TRUE(s.conn->Negotiate());
    }
}

TEST(Session3270, TerminalTypeFollowsTheDeviceAndTerminalItems) {
    const struct {
        const char* items;
        const char* sent;
    } cases[] = {
        {"", "IBM-3278-2-E"},
        {";DEV=LU01", "IBM-3278-2-E@ LU01"},
        {";dev= LU01 ;X=1", "IBM-3278-2-E@ LU01"},
        {";DEV=", "IBM-3278-2-E"},
        {";DEV=   ", "IBM-3278-2-E"},
        {"; DEV=LU01", "IBM-3278-2-E"},
        {";NAME=x;DEV=LU03", "IBM-3278-2-E@ LU03"},
        {";DEV=LU01;TRM=IBM-3279-2", "IBM-3279-2"},
        {";TRM=IBM-3279-2;DEV=LU02", "IBM-3279-2@ LU02"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("items \"") + c.items + "\"");
        TSimSession s(c.items);
        ASSERT_GT(s.handle, 0) << E().LastErrMsg();
        ASSERT_TRUE(s.Negotiate());
        EXPECT_EQ(s.conn->TerminalType(), c.sent);
    }
}

TEST(Session3270, SecondTerminalTypeRequestEndsTheSessionWithItsText) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    s.conn->AskTerminalTypeAgain();
    ASSERT_TRUE(s.events.WaitFor(PL_SESSION_DISCONNECTED));
    const auto last = s.events.Entries().back();
    EXPECT_EQ(last.event, PL_SESSION_DISCONNECTED);
    EXPECT_NE(last.thread, std::this_thread::get_id());
    EXPECT_EQ(last.errorText, "Invalid Terminal Type or LU Name");
    EXPECT_TRUE(s.conn->WaitClientClosed());
    EXPECT_TRUE(s.WaitReleased());
    // The caller's next call with the handle learns why it is gone.
    char buffer[64];
    EXPECT_EQ(Engine3270().GetScreen(s.handle, buffer, sizeof buffer), -1);
    EXPECT_STREQ(Engine3270().LastErrMsg(), "Invalid Terminal Type or LU Name");
    s.handle = -1;
}

// ---------------------------------------------------------------------- screens

// A form with text, an input field, a hidden one, a numeric one, one the host
// marked modified and a coloured title.
Bytes FormRecord() {
    return TWriteRecord(kEraseWrite, 0xC3)
        .Sba(1, 1)
        .Sfe({{0xC0, kAttrProtectedHigh}, {0x42, 0xF2}, {0x41, 0xF4}})
        .Text("TITLE")
        .Sba(3, 1)
        .Sf(kAttrProtected)
        .Text("USER")
        .Sba(3, 10)
        .Sf(kAttrInput)
        .Sba(3, 19)
        .Sf(kAttrSkip)
        .Sba(4, 10)
        .Sf(kAttrInputHidden)
        .Text("SECRET")
        .Sba(4, 19)
        .Sf(kAttrSkip)
        .Sba(5, 10)
        .Sf(kAttrInputNumeric)
        .Text("42")
        .Sba(5, 19)
        .Sf(kAttrSkip)
        .Sba(6, 10)
        .Sf(kAttrInputModified)
        .Text("PRESET")
        .Sba(6, 19)
        .Sf(kAttrSkip)
        .Sba(3, 11)
        .Ic();
}

TEST(Session3270, ScreenArrivesAsFieldsWithTheirAttributes) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    Show(s, FormRecord());
    const auto screen = screenio::Fetch(s.handle);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->CurPos, Cell(3, 11)) << "0-based cursor address";

    const struct {
        int row, col, len;
        const char* data;
        std::vector<TAttrTypes> has, hasNot;
        uint8_t eab;
    } expected[] = {
        {1, 2, 79, "TITLE", {attProtected, attHigh, attDisplay, attNonModified}, {}, 0xD0},
        {3, 2, 8, "USER", {attProtected, attNormal, attDisplay}, {attUnProtected}, 0},
        {3, 11, 8, "", {attUnProtected, attAlphanumeric, attNormal, attNonModified}, {}, 0},
        {4, 11, 8, "SECRET", {attUnProtected, attInvisible, attNonDisplay}, {attDisplay}, 0},
        {5, 11, 8, "42", {attUnProtected, attNumeric}, {attAlphanumeric}, 0},
        {6, 11, 8, "PRESET", {attUnProtected, attModified}, {attNonModified}, 0},
    };
    for (const auto& x : expected) {
        SCOPED_TRACE("row " + std::to_string(x.row) + " col " + std::to_string(x.col));
        const THostBasicField* f = screenio::FieldAt(*screen, x.row, x.col);
        ASSERT_NE(f, nullptr) << screenio::Describe(*screen);
        EXPECT_EQ(f->Pos, Cell(x.row, x.col) + 1) << "1-based position";
        EXPECT_EQ(f->Len, x.len);
        EXPECT_EQ(f->Data, x.data);
        for (auto a : x.has)
            EXPECT_TRUE(f->GetAttr().Has(a)) << "attribute " << int(a);
        for (auto a : x.hasNot)
            EXPECT_FALSE(f->GetAttr().Has(a)) << "attribute " << int(a);
        EXPECT_EQ(static_cast<uint8_t>(f->Eab), x.eab);
    }
}

// The list covers every cell that is no attribute cell exactly once, in
// order, with no field crossing a row end, whatever the host wrote.
void ExpectFieldsTileTheScreen(const THostFields& list, const std::vector<int>& attributeCells) {
    std::vector<int> owner(1920, -1);
    for (int cell : attributeCells)
        owner[cell] = -2;
    int previousPos = 0;
    for (size_t i = 0; i < list.Fields.size(); ++i) {
        const auto& f = *list.Fields[i];
        SCOPED_TRACE("field at pos " + std::to_string(f.Pos));
        ASSERT_GT(f.Len, 0);
        ASSERT_GT(f.Pos, previousPos) << "fields out of screen order";
        previousPos = f.Pos;
        EXPECT_EQ(f.Row, (f.Pos - 1) / 80 + 1);
        EXPECT_EQ(f.Col, (f.Pos - 1) % 80 + 1);
        EXPECT_LE(f.Col + f.Len - 1, 80) << "field crosses a row end";
        for (int c = f.Pos - 1; c < f.Pos - 1 + f.Len && c < 1920; ++c) {
            ASSERT_EQ(owner[c], -1) << "cell " << c << " twice or an attribute cell";
            owner[c] = static_cast<int>(i);
        }
    }
    EXPECT_EQ(std::count(owner.begin(), owner.end(), -1), 0) << "cells in no field";
}

TEST(Session3270, ScreenLayoutsGiveFieldListsThatTileTheScreen) {
    struct TField {
        int row, col, len;
        const char* data;
        bool isProtected;
    };
    const struct {
        const char* layout;
        Bytes record;
        std::vector<int> attributeCells;
        size_t count;
        TField field;
    } cases[] = {
        {"unformatted: one unprotected field per row",
         TWriteRecord(kEraseWrite, 0xC3).Text("HELLO"),
         {},
         24,
         {1, 1, 80, "HELLO", false}},
        {"only attribute in the last cell: rows carry its flags, the last one short",
         TWriteRecord(kEraseWrite, 0xC3).SbaAt(1919).Sf(kAttrProtected).SbaAt(0).Text("WRAP"),
         {1919},
         24,
         {24, 1, 79, "", true}},
        {"protected attribute ending row 1: its text continues at row 2",
         TWriteRecord(kEraseWrite, 0xC3).Sba(1, 80).Sf(kAttrProtected).Text("NEXT ROW"),
         {79},
         24,
         {2, 1, 80, "NEXT ROW", true}},
        {"the form",
         FormRecord(),
         {0, 160, 169, 178, 249, 258, 329, 338, 409, 418},
         32,
         {3, 11, 8, "", false}},
    };
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        Show(s, c.record);
        const auto screen = screenio::Fetch(s.handle);
        ASSERT_TRUE(screen);
        ExpectFieldsTileTheScreen(*screen, c.attributeCells);
        EXPECT_EQ(screen->Fields.size(), c.count) << screenio::Describe(*screen);
        const THostBasicField* f = screenio::FieldAt(*screen, c.field.row, c.field.col);
        ASSERT_NE(f, nullptr) << screenio::Describe(*screen);
        EXPECT_EQ(f->Len, c.field.len);
        EXPECT_EQ(f->Data, c.field.data);
        EXPECT_EQ(f->GetAttr().Has(attProtected), c.field.isProtected);
        EXPECT_EQ(f->GetAttr().Has(attUnProtected), !c.field.isProtected);
    }
}

TEST(Session3270, EachRecordReportsTheScreenTwiceAndTheKeyboardState) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    const struct {
        const char* record;
        Bytes bytes;
        std::vector<uint8_t> events;
    } steps[] = {
        {"erase/write restoring the keyboard",
         TWriteRecord(kEraseWrite, 0xC3).Text("A"),
         {PL_KBD_LOCKED, PL_SCREEN_CHANGED, PL_SCREEN_CHANGED, PL_KBD_UNLOCKED}},
        {"write leaving it locked",
         TWriteRecord(kWrite, 0x00).Text("B"),
         {PL_KBD_LOCKED, PL_SCREEN_CHANGED, PL_SCREEN_CHANGED}},
        {"write restoring it",
         TWriteRecord(kWrite, kWccRestore).Text("C"),
         {PL_SCREEN_CHANGED, PL_SCREEN_CHANGED, PL_KBD_UNLOCKED}},
        {"unknown command, then a write: only the write counts",
         Bytes{0x6E},
         {PL_KBD_LOCKED, PL_SCREEN_CHANGED, PL_SCREEN_CHANGED, PL_KBD_UNLOCKED}},
        // Its events follow those of the records before it: any more of
        // theirs would come first.
        {"the write again",
         TWriteRecord(kEraseWrite, 0xC3).Text("D"),
         {PL_KBD_LOCKED, PL_SCREEN_CHANGED, PL_SCREEN_CHANGED, PL_KBD_UNLOCKED}},
    };
    size_t total = s.events.Events().size();
    for (const auto& step : steps) {
        SCOPED_TRACE(step.record);
        s.conn->SendRecord(step.bytes);
        if (step.bytes.size() == 1) // the rejected record changes nothing; a good one follows
            s.conn->SendRecord(TWriteRecord(kEraseWrite, 0xC3).Text("D"));
        ASSERT_TRUE(s.events.WaitForTotal(total + step.events.size()));
        const auto all = s.events.Entries();
        std::vector<uint8_t> got;
        for (size_t i = total; i < total + step.events.size(); ++i) {
            got.push_back(all[i].event);
            EXPECT_NE(all[i].thread, std::this_thread::get_id()) << "a host's record on the caller";
        }
        EXPECT_EQ(got, step.events);
        total += step.events.size();
    }
    const auto screen = screenio::Fetch(s.handle);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->Fields.front()->Data, "D");
}

// ------------------------------------------------------------ host's read commands

TEST(Session3270, HostReadCommandsAreAnsweredWithoutTheUser) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    Show(s, TWriteRecord(kEraseWrite, 0xC3)
                .Sba(1, 1)
                .Sf(kAttrProtected)
                .Text("AB")
                .Sba(2, 1)
                .Sf(kAttrInputModified)
                .Text("XY")
                .Sba(2, 2)
                .Ic());
    const Bytes cursor = Address(Cell(2, 2));

    s.conn->SendRecord({0xF6}); // Read Modified
    Bytes reply;
    ASSERT_TRUE(s.conn->ReadRecord(reply));
    EXPECT_EQ(reply, Cat({{0x60}, cursor, {0x11}, Address(81), Host("XY")}))
        << "no AID after a keyboard restore, then the host-modified field";

    s.conn->SendRecord({0xF2}); // Read Buffer
    ASSERT_TRUE(s.conn->ReadRecord(reply));
    Bytes cells(1920, 0x00);
    cells[1] = Host("A")[0];
    cells[2] = Host("B")[0];
    cells[81] = Host("X")[0];
    cells[82] = Host("Y")[0];
    Bytes expected = Cat({{0x60}, cursor});
    for (int i = 0; i < 1920; ++i) {
        if (i == 0)
            expected.insert(expected.end(), {0x1D, 0x20});
        else if (i == 80)
            expected.insert(expected.end(), {0x1D, 0x01});
        else
            expected.push_back(cells[static_cast<size_t>(i)]);
    }
    EXPECT_EQ(reply, expected);

    s.conn->SendRecord({0xF3, 0x00, 0x05, 0x01, 0xFF, 0x02}); // Read Partition Query
    ASSERT_TRUE(s.conn->ReadRecord(reply));
    const Bytes query = {
        0x88, 0x00, 0x16, 0x81, 0x86, 0x00, 0x08, 0x00, 0xF4, 0xF1, 0xF1, 0xF2, 0xF2, 0xF3, 0xF3,
        0xF4, 0xF4, 0xF5, 0xF5, 0xF6, 0xF6, 0xF7, 0xF7, 0x00, 0x0D, 0x81, 0x87, 0x04, 0x00, 0xF0,
        0xF1, 0xF1, 0xF2, 0xF2, 0xF4, 0xF4, 0x00, 0x17, 0x81, 0x81, 0x01, 0x00, 0x00, 0x50, 0x00,
        0x18, 0x00, 0x00, 0x02, 0x00, 0x89, 0x00, 0x02, 0x00, 0x85, 0x09, 0x10, 0x07, 0x80, 0x00,
        0x10, 0x81, 0x85, 0x00, 0x00, 0x09, 0x10, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00};
    EXPECT_EQ(reply, query);
}

TEST(Session3270, BrokenStructuredFieldsEndTheirRecordButNotTheSession) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    const Bytes broken[] = {
        {0xF3, 0x00, 0x05, 0x01, 0x00, 0x02}, // query of another partition
        {0xF3, 0x00, 0x05, 0x81, 0xFF, 0x02}, // unknown structured field
        {0xF3, 0x00},                         // too short
        {0xF3, 0xFF, 0xFF, 0x40, 0x00, 0xF5}, // outbound 3270DS longer than the record
        {0xF3, 0x00, 0x03, 0x40},             // outbound 3270DS without its command
    };
    for (const auto& record : broken)
        s.conn->SendRecord(record);
    // An erase/write inside an outbound 3270DS, as the second structured field.
    s.conn->SendRecord(Cat({{0xF3, 0x00, 0x05, 0x01, 0xFF, 0x02, 0x00, 0x0D, 0x40, 0x00, 0xF5, 0xC3,
                             0x11, 0x40, 0x40, 0x1D, 0x60},
                            Host("OK")}));
    Bytes reply;
    ASSERT_TRUE(s.conn->ReadRecord(reply));
    EXPECT_EQ(reply.size(), 75u) << "the query of the last record is the only reply";
    THostFields screen;
    EXPECT_TRUE(screenio::WaitForScreen(
        s.handle, s.events,
        [](const THostFields& l) { return screenio::FieldAt(l, 1, 2) != nullptr; }, screen))
        << screenio::Describe(screen);
    const THostBasicField* f = screenio::FieldAt(screen, 1, 2);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Data, "OK");
    // Read Modified: its reply follows any other answer.
    const Bytes query = reply;
    s.conn->SendRecord({0xF6});
    ASSERT_TRUE(s.conn->ReadRecord(reply));
    EXPECT_NE(reply, query) << "a broken record was answered";
}

// ------------------------------------------------------------------------ close

TEST(Session3270, DisconnectReportsOnceOnTheCallersThreadAndClosesTheLine) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    Show(s, FormRecord());
    EXPECT_EQ(E().Disconnect(s.handle), 0);
    const auto entries = s.events.Entries();
    EXPECT_EQ(s.events.Count(PL_SESSION_DISCONNECTED), 1);
    EXPECT_EQ(entries.back().event, PL_SESSION_DISCONNECTED);
    EXPECT_EQ(entries.back().thread, std::this_thread::get_id());
    EXPECT_TRUE(s.conn->WaitClientClosed());
    char buffer[16];
    EXPECT_EQ(E().GetScreen(s.handle, buffer, sizeof buffer), -1) << "handle still taken";
    EXPECT_EQ(E().Disconnect(s.handle), -1);
    // Nothing more reaches the caller once Disconnect has returned, even with
    // the host still talking.
    s.conn->SendRecord(FormRecord());
    EXPECT_EQ(s.events.Entries().size(), entries.size());
    s.handle = -1;
}

TEST(Session3270, HostClosingReportsOnTheReaderThreadAndReleasesTheHandle) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    Show(s, FormRecord());
    s.conn->Close();
    ASSERT_TRUE(s.events.WaitFor(PL_SESSION_DISCONNECTED));
    EXPECT_NE(s.events.Entries().back().thread, std::this_thread::get_id());
    EXPECT_TRUE(s.WaitReleased());
    EXPECT_EQ(E().Disconnect(s.handle), -1);
    EXPECT_EQ(s.events.Count(PL_SESSION_DISCONNECTED), 1);
    s.handle = -1;
}

TEST(Session3270, HostClosingDuringTheNegotiationReleasesTheHandle) {
    TSimSession s;
    ASSERT_GT(s.handle, 0);
    s.conn->Close();
    ASSERT_TRUE(s.events.WaitFor(PL_SESSION_DISCONNECTED));
    EXPECT_TRUE(s.WaitReleased());
    s.handle = -1;
}

} // namespace
