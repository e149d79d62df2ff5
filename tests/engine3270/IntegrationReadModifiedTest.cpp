// The user's input as the host receives it: input fields and an attention
// key handed to SendToScreen come out as one Read Modified record, compared
// byte for byte.
#include <gtest/gtest.h>

#include "support/ScreenIo.h"
#include "support/SimSession.h"
#include "support/Stream3270.h"

using namespace std::chrono_literals;
using namespace s3270;
using screenio::TInput;

namespace {

TEngine3270Module& E() {
    return Engine3270();
}

// Input fields at row 3 (user), row 4 (hidden), row 5 (marked modified by
// the host) and row 6 (holding text), each 8 long from column 11.
constexpr int kUser = Cell(3, 11), kHidden = Cell(4, 11), kPreset = Cell(5, 11),
              kFilled = Cell(6, 11);

Bytes LogonRecord() {
    return TWriteRecord(kEraseWrite, 0xC3)
        .Sba(1, 1)
        .Sf(kAttrProtected)
        .Text("SIGN ON")
        .Sba(3, 10)
        .Sf(kAttrInput)
        .Sba(3, 19)
        .Sf(kAttrSkip)
        .Sba(4, 10)
        .Sf(kAttrInputHidden)
        .Sba(4, 19)
        .Sf(kAttrSkip)
        .Sba(5, 10)
        .Sf(kAttrInputModified)
        .Text("PRESET")
        .Sba(5, 19)
        .Sf(kAttrSkip)
        .Sba(6, 10)
        .Sf(kAttrInput)
        .Text("ABCDEFGH")
        .Sba(6, 19)
        .Sf(kAttrSkip)
        .Sba(3, 11)
        .Ic();
}

Bytes Field(int cell, const std::string& text) {
    return Cat({{0x11}, Address(cell), Host(text)});
}

const Bytes kPresetField = Field(kPreset, "PRESET");

class ReadModified3270 : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_GT(s_.handle, 0) << E().LastErrMsg();
        ASSERT_TRUE(s_.Negotiate());
    }
    // Puts a screen up afresh and waits until the engine shows it.
    void Show(const Bytes& record) {
        const int before = s_.events.Count(PL_SCREEN_CHANGED);
        s_.conn->SendRecord(record);
        ASSERT_TRUE(s_.events.WaitFor(PL_SCREEN_CHANGED, before + 2));
    }
    // The record the host receives for one SendToScreen.
    Bytes Press(const char* aid, int cursor, const std::vector<TInput>& fields = {}) {
        EXPECT_EQ(screenio::Send(s_.handle, aid, cursor, fields), 0) << aid;
        Bytes record;
        EXPECT_TRUE(s_.conn->ReadRecord(record)) << "nothing sent for " << aid;
        return record;
    }
    TSimSession s_;
};

TEST_F(ReadModified3270, TypedFieldsGoOutInScreenOrderWithCursorAndAddresses) {
    const struct {
        const char* what;
        int cursor;
        std::vector<TInput> fields;
        Bytes expected;
    } cases[] = {
        {"no input: the cursor and the field the host marked",
         kUser,
         {},
         Cat({{0x7D}, Address(kUser), kPresetField})},
        {"typed user",
         kUser + 5,
         {{kUser + 1, 8, "ALICE"}},
         Cat({{0x7D}, Address(kUser + 5), Field(kUser, "ALICE"), kPresetField})},
        {"two fields listed backwards go out in screen order",
         kHidden + 6,
         {{kHidden + 1, 8, "SECRET"}, {kUser + 1, 8, "BOB"}},
         Cat({{0x7D},
              Address(kHidden + 6),
              Field(kUser, "BOB"),
              Field(kHidden, "SECRET"),
              kPresetField})},
        {"leading blanks are not sent",
         kUser,
         {{kUser + 1, 8, "  AB"}},
         Cat({{0x7D}, Address(kUser), Field(kUser, "AB"), kPresetField})},
        {"a blank between characters is sent",
         kUser,
         {{kUser + 1, 8, "A B"}},
         Cat({{0x7D}, Address(kUser), Field(kUser, "A B"), kPresetField})},
        {"a field without the modified flag is ignored",
         kUser,
         {{kUser + 1, 8, "ALICE", false}},
         Cat({{0x7D}, Address(kUser), kPresetField})},
        {"a field sent back unchanged stays unmodified",
         kUser,
         {{kFilled + 1, 8, "ABCDEFGH"}},
         Cat({{0x7D}, Address(kUser), kPresetField})},
        {"a shortened field loses its old tail",
         kUser,
         {{kFilled + 1, 8, "XY"}},
         Cat({{0x7D}, Address(kUser), kPresetField, Field(kFilled, "XY")})},
        {"a cleared field goes out empty",
         kUser,
         {{kFilled + 1, 8, ""}},
         Cat({{0x7D}, Address(kUser), kPresetField, Field(kFilled, "")})},
        {"cursor on the first cell", 0, {}, Cat({{0x7D}, Address(0), kPresetField})},
        {"cursor on the last cell", 1919, {}, Cat({{0x7D}, Address(1919), kPresetField})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Show(LogonRecord());
        EXPECT_EQ(Press("@E", c.cursor, c.fields), c.expected);
    }
}

TEST_F(ReadModified3270, AttentionKeysGiveTheirAidAndShortReadsCarryOnlyIt) {
    const struct {
        const char* aid;
        uint8_t code;
        bool shortRead;
    } keys[] = {
        {"@E", 0x7D, false},   {"@1", 0xF1, false},   {"@9", 0xF9, false},   {"@a", 0x7A, false},
        {"@c", 0x7C, false},   {"@d", 0xC1, false},   {"@l", 0xC9, false},   {"@m", 0x4A, false},
        {"@o", 0x4C, false},   {"@+", 0xF4, false},   {"@)", 0xF9, false},   {"@*", 0x7A, false},
        {"@A@H", 0xF0, false}, {"@A@Q", 0x60, false}, {"@A@R", 0x60, false}, {"@x", 0x6C, true},
        {"@y", 0x6E, true},    {"@z", 0x6B, true},    {"@C", 0x6D, true},
    };
    for (const auto& k : keys) {
        SCOPED_TRACE(k.aid);
        Show(LogonRecord());
        const Bytes got = Press(k.aid, kUser + 1, {{kUser + 1, 8, "TYPED"}});
        if (k.shortRead)
            EXPECT_EQ(got, Bytes{k.code});
        else
            EXPECT_EQ(got,
                      Cat({{k.code}, Address(kUser + 1), Field(kUser, "TYPED"), kPresetField}));
    }
}

TEST_F(ReadModified3270, UnknownKeysAreRefusedWithTheirTextAndSendNothing) {
    Show(LogonRecord());
    const size_t before = s_.conn->Captured().size();
    for (const char* aid : {"@u", "@v", "@", "", "E", "ENTER", "@#", "@B"}) {
        SCOPED_TRACE(std::string("key \"") + aid + "\"");
        EXPECT_EQ(screenio::Send(s_.handle, aid, kUser, {{kUser + 1, 8, "X"}}), -1);
        EXPECT_STREQ(E().LastErrMsg(), "Invalid aid key");
    }
    EXPECT_EQ(Press("@E", kUser), Cat({{0x7D}, Address(kUser), Field(kUser, "X"), kPresetField}))
        << "the fields of a refused key are already in the display";
    // A record of a refused key would have gone out before Enter's.
    const Bytes sent = s_.conn->Captured();
    EXPECT_EQ(hostsim::SplitTelnetUnits(Bytes(sent.begin() + static_cast<long>(before), sent.end()))
                  .size(),
              1u)
        << "a refused key sent a record";
}

TEST_F(ReadModified3270, ScreensWithoutFieldsOrWithAWrappingFieldAreReadWhole) {
    Show(TWriteRecord(kEraseWrite, 0xC3).Text("HELLO"));
    EXPECT_EQ(Press("@E", 5), Cat({{0x7D}, Address(5), Host("HELLO")}))
        << "an unformatted screen sends its characters";

    Show(TWriteRecord(kEraseWrite, 0xC3).SbaAt(1919).Sf(kAttrInput));
    EXPECT_EQ(Press("@E", 4, {{1, 79, "WRAP"}}), Cat({{0x7D}, Address(4), Field(0, "WRAP")}))
        << "a field whose attribute is in the last cell starts at address 0";
}

TEST_F(ReadModified3270, ClearEmptiesTheScreenAsItSendsItsShortRead) {
    Show(LogonRecord());
    const int changes = s_.events.Count(PL_SCREEN_CHANGED);
    EXPECT_EQ(Press("@C", kUser + 1, {{kUser + 1, 8, "TYPED"}}), Bytes{0x6D});
    EXPECT_GT(s_.events.Count(PL_SCREEN_CHANGED), changes) << "the cleared screen is reported";
    const auto cleared = screenio::Fetch(s_.handle);
    ASSERT_TRUE(cleared);
    EXPECT_EQ(cleared->CurPos, 0);
    ASSERT_EQ(cleared->Fields.size(), 24u) << screenio::Describe(*cleared);
    for (const auto& f : cleared->Fields)
        EXPECT_TRUE(f->Data.empty() && f->GetAttr().Has(attUnProtected)) << f->Pos;
    EXPECT_EQ(Press("@E", 0), Cat({{0x7D}, Address(0)}))
        << "Enter after CLEAR sends none of the cleared fields";
}

TEST_F(ReadModified3270, ScreenSentBackAsItCameKeepsTheCursor) {
    Show(LogonRecord());
    std::vector<uint8_t> buffer(8192);
    const int32_t n = E().GetScreen(s_.handle, buffer.data(), 8192);
    ASSERT_GT(n, 0);
    TMemoryStream stream(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
    THostFields list;
    list.LoadFromStream(stream);
    ASSERT_EQ(list.CurPos, kUser);
    list.CurPos = static_cast<int16_t>(list.CurPos + 1);
    TMemoryStream back;
    list.SaveToStream(back);
    ASSERT_EQ(E().SendToScreen(s_.handle, "@E", back.data(), static_cast<int32_t>(back.size())), 0);
    Bytes record;
    ASSERT_TRUE(s_.conn->ReadRecord(record));
    EXPECT_EQ(record, Cat({{0x7D}, Address(kUser), kPresetField}));
}

TEST_F(ReadModified3270, SendingLocksTheKeyboardOnTheCallersThread) {
    Show(LogonRecord());
    const size_t before = s_.events.Entries().size();
    Press("@E", kUser);
    // The reader may still report the end of the screen's record (keyboard
    // unlocked) after Show returned; the lock of the send is the first
    // keyboard-locked report that follows.
    const auto entries = s_.events.Entries();
    size_t locked = before;
    while (locked < entries.size() && entries[locked].event != PL_KBD_LOCKED)
        ++locked;
    ASSERT_LT(locked, entries.size()) << "no keyboard-locked report for the send";
    EXPECT_EQ(entries[locked].thread, std::this_thread::get_id());
}

TEST_F(ReadModified3270, InputOutsideTheScreenNeverReachesPastIt) {
    // A cursor off the screen is taken as address 0; for fields that lie off
    // it, refusing the call or dropping the excess are both sound.
    const struct {
        const char* what;
        int cursor;
        std::vector<TInput> fields;
        bool cursorHome;
    } cases[] = {
        {"cursor before the screen", -2, {}, true},
        {"cursor past the screen", 5000, {}, true},
        {"field at position 0", kUser, {{0, 8, "ZERO"}}, false},
        {"field before the screen", kUser, {{-40, 8, "NEG"}}, false},
        {"field past the screen", kUser, {{3000, 8, "FAR"}}, false},
        {"field running past the end", kUser, {{1915, 300, std::string(300, 'L')}}, false},
        {"field of negative length", kUser, {{kUser + 1, -5, "X"}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Show(LogonRecord());
        const int32_t result = screenio::Send(s_.handle, "@E", c.cursor, c.fields);
        EXPECT_TRUE(result == 0 || result == -1) << result;
        Bytes record;
        if (result == 0) {
            ASSERT_TRUE(s_.conn->ReadRecord(record));
            ASSERT_GE(record.size(), 3u);
            const Bytes cursor(record.begin() + 1, record.begin() + 3);
            EXPECT_EQ(cursor, Address(c.cursorHome ? 0 : c.cursor));
        }
        // The session goes on answering.
        record = Press("@E", kUser);
        ASSERT_GE(record.size(), 3u);
        EXPECT_EQ(Bytes(record.begin(), record.begin() + 3), Cat({{0x7D}, Address(kUser)}));
    }
    EXPECT_TRUE(screenio::Fetch(s_.handle));
}

} // namespace
