// The 5250 session: attention-key mnemonics, system requests, the idle check.
#include <gtest/gtest.h>

#include "uLastError.h"
#include "uPLTn5250.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A session whose records are captured instead of sent.
struct TCapturedSession {
    std::shared_ptr<TPLTn5250> session = std::make_shared<TPLTn5250>(1);
    std::vector<Bytes> sent;
    TCapturedSession() {
        session->Stream5250()->OnSend = [this](const uint8_t* d, size_t n) {
            sent.emplace_back(d, d + n);
        };
    }
};

TEST(Session, StartsAsModelTwoWithItsTerminalType) {
    TPLTn5250 s(3);
    EXPECT_EQ(s.TermType, "IBM-3179-2");
    EXPECT_EQ(s.Rows(), 24);
    EXPECT_EQ(s.Cols(), 80);
    EXPECT_FALSE(s.UseWindows());
}

TEST(Session, MnemonicsGiveTheirAidBytes) {
    const std::pair<const char*, int> cases[] = {
        {"@1", 0x31},   {"@9", 0x39},   {"@a", 0x3A},   {"@c", 0x3C},    {"@d", 0xB1},
        {"@o", 0xBC},   {"@C", 0xBD},   {"@E", 0xF1},   {"@Exyz", 0xF1}, {"@H", 0xF3},
        {"@u", 0xF4},   {"@v", 0xF5},   {"@x", 0x6C},   {"@y", 0x6E},    {"@z", 0x6B},
        {"@A@<", 0xF8}, {"@A@A", 0x3F}, {"@A@C", 0x3D}, {"@A@F", 0x50},  {"@A@H", 0x00},
        {"@A@L", 0xD9}, {"@A@Q", 0x60}, {"@A@R", 0xDA}, {"@A@t", 0xF6},
    };
    for (auto [mnemonic, aid] : cases) {
        auto got = TPLTn5250::AidByte(mnemonic);
        ASSERT_TRUE(got.has_value()) << mnemonic;
        EXPECT_EQ(*got, aid) << mnemonic;
    }
    for (const char* unknown : {"", "@", "@A", "@A@", "E", "xE", "@p", "@0", "@A@Z", "@AxQ"})
        EXPECT_FALSE(TPLTn5250::AidByte(unknown)) << unknown;
}

TEST(Session, UnknownMnemonicSendsNothing) {
    TCapturedSession c;
    for (const char* m : {"", "@", "@A@", "@p", "ENTER"})
        EXPECT_EQ(c.session->SetAid(m), -1) << m;
    EXPECT_TRUE(c.sent.empty());
}

TEST(Session, AidSendsTheArmedReply) {
    TCapturedSession c;
    EXPECT_EQ(c.session->SetAid("@E"), 0);
    ASSERT_EQ(c.sent.size(), 1u);
    EXPECT_EQ(c.sent[0], (Bytes{0x00, 0x0D, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0x03, 0x01,
                                0x01, 0xF1}));
    EXPECT_EQ(c.session->SetAid("@A@Q"), 0);
    EXPECT_EQ(c.sent[1], (Bytes{0x00, 0x0A, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x40, 0x00, 0x60}));
    EXPECT_EQ(c.session->SetAid("@A@H"), 0);
    EXPECT_EQ(c.sent[2], (Bytes{0x00, 0x0A, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x04, 0x00, 0x00}));
}

TEST(Session, SystemRequestTextIsTranslatedAndBounded) {
    TCapturedSession c;
    EXPECT_EQ(c.session->SendSysReq("AB1"), 0);
    EXPECT_EQ(c.sent.back(), (Bytes{0x00, 0x0D, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x04, 0x00, 0x00,
                                    0xC1, 0xC2, 0xF1}));
    EXPECT_EQ(c.session->SendSysReq(""), 0);
    EXPECT_EQ(c.sent.back().size(), 10u);
    EXPECT_EQ(c.session->SendSysReq(std::string(9000, 'A')), -1);
    EXPECT_EQ(c.sent.size(), 2u) << "a text no record holds is refused";
}

TEST(Session, FailedSendIsReportedToTheCaller) {
    auto session = std::make_shared<TPLTn5250>(1); // no connection: nothing goes out
    EXPECT_EQ(session->SetAid("@E"), -1);
    EXPECT_NE(LastErrorText().find("Socket error"), std::string::npos) << LastErrorText();
    EXPECT_EQ(session->SendSysReq("X"), -1);
}

TEST(Session, IdleCheckOfAClosedSessionAsksNobody) {
    auto session = std::make_shared<TPLTn5250>(1);
    bool asked = false;
    session->OnSessionEvent = [&](TPLTelnet&, TSessionEvent) { return asked = true; };
    EXPECT_FALSE(session->CheckAlive());
    EXPECT_FALSE(asked);
}

TEST(Session, ScreenInputWritesModifiedFieldsAndTheCursor) {
    auto session = std::make_shared<TPLTn5250>(1);
    TPLTn5250display& d = *session->Stream5250()->Display5250();
    auto rec = std::make_unique<TFieldFormatRec>(10);
    rec->Row = 6;
    rec->Col = 53;
    rec->Attribute = 0x24;
    rec->FFW1 = 0x40;
    d.AddField(std::move(rec));
    session->GenHostFields();

    THostFields input;
    input.CurPos = 6 * 80 + 60; // row 7 column 60, plus 1
    auto add = [&](int pos, int len, const std::string& data, bool modified) {
        auto f = std::make_unique<THostBasicField>();
        f->Pos = static_cast<int16_t>(pos);
        f->Len = static_cast<int16_t>(len);
        f->Data = data;
        f->SetAttr(modified ? TFieldAttribute{attUnProtected, attModified}
                            : TFieldAttribute{attUnProtected});
        input.Add(std::move(f));
    };
    add(5 * 80 + 53, 10, "TESTUSR", true);
    add(5 * 80 + 53, 10, "IGNORED", false);
    add(-7, 10, "OUTSIDE", true);
    add(30000, 10, "OUTSIDE", true);
    add(5 * 80 + 53, 3, "TOOLONGFORLEN", true);
    TMemoryStream s;
    input.SaveToStream(s);
    session->PutScreenInput(s.bytes());
    EXPECT_EQ(d.Cursor(), 6 * 80 + 59);
    const TFieldFormatRec* f = d.Field(1);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Modified, 1);
    EXPECT_EQ(f->Data.substr(0, 10), "TOO       ") << "the last write wins, cut to its Len";
}

} // namespace
