// The 3270 session: host fields from the display, attention keys and their
// replies, the user's input, the terminal type, and what reaches the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "HostSim.h"
#include "Stream3270Rig.h"
#include "framework/Log32Fake.h"
#include "support/LoggedLink.h"
#include "uLastError.h"
#include "uPLIntfLogg.h"
#include "uPLTn3270.h"

using namespace rig3270;

namespace {

// A session without a connection whose replies are captured.
struct TSessionRig {
    std::shared_ptr<TPLTn3270> session = std::make_shared<TPLTn3270>(1);
    std::vector<Bytes> sent;

    TSessionRig() {
        s().OnSend = [this](const uint8_t* d, size_t n) { sent.emplace_back(d, d + n); };
    }
    TPLTn3270stream& s() { return *session->Stream3270(); }
    // A record interpreted, then the field list rebuilt as the transport does.
    void Screen(const Bytes& record) {
        s().AddData(record.data(), record.size());
        s().ProcessRecord();
        session->GenHostFields();
    }
    Bytes Host(std::string_view text) {
        Bytes out;
        for (char c : text)
            out.push_back(s().ToEbcdic(uint8_t(c)));
        return out;
    }
    const std::vector<std::unique_ptr<THostBasicField>>& Fields() {
        return session->HostFields.Fields;
    }
    const THostBasicField* FieldAt(int pos) {
        for (const auto& f : Fields())
            if (f->Pos == pos) return f.get();
        return nullptr;
    }
};

TEST(HostFields, UnformattedScreenGivesOneFieldPerRow) {
    TSessionRig r;
    r.Screen(Cat({{0xF5, 0xC3}, r.Host("HELLO"), {0x11, 0x40, 0x4A, 0x13}}));
    ASSERT_EQ(r.Fields().size(), 24u);
    for (int i = 0; i < 24; ++i) {
        const THostBasicField& f = *r.Fields()[size_t(i)];
        EXPECT_EQ((std::array<int, 4>{f.Pos, f.Len, f.Row, f.Col}),
                  (std::array<int, 4>{1 + 80 * i, 80, i + 1, 1}));
        EXPECT_EQ(f.GetAttr(), (TFieldAttribute{attUnProtected, attAlphanumeric, attNormal,
                                                attDisplay, attNonModified}));
    }
    EXPECT_EQ(r.Fields()[0]->Data, "HELLO");
    EXPECT_EQ(r.Fields()[1]->Data, "");
    EXPECT_EQ(r.session->HostFields.CurPos, 10);
}

TEST(HostFields, FieldStartingAtARowEndContinuesWithItsFlags) {
    TSessionRig r;
    r.Screen(Cat({{0xF5, 0xC3},
                  Sba(79),
                  {0x1D, 0x60},
                  r.Host("NEXT ROW"),
                  Sba(200),
                  {0x29, 0x02, 0xC0, 0x40, 0x42, 0xF2},
                  r.Host("IN")}));
    for (const auto& f : r.Fields())
        EXPECT_GT(f->Len, 0) << "no empty field stays, Pos " << f->Pos;
    for (int pos : {81, 161}) {
        const THostBasicField* f = r.FieldAt(pos);
        ASSERT_NE(f, nullptr) << pos;
        EXPECT_TRUE(f->GetAttr().Has(attProtected)) << pos;
        EXPECT_EQ(f->Len, pos == 81 ? 80 : 40);
    }
    EXPECT_EQ(r.FieldAt(81)->Data, "NEXT ROW");
    const THostBasicField* input = r.FieldAt(202);
    ASSERT_NE(input, nullptr);
    EXPECT_TRUE(input->GetAttr().Has(attUnProtected));
    EXPECT_EQ(uint8_t(input->Eab), 0x10) << "the extended byte of the field's first cell";
}

TEST(HostFields, OnlyAttributeInTheLastCellGivesRowFieldsWithItsFlags) {
    TSessionRig r;
    r.Screen(Cat({{0xF5, 0xC3}, Sba(1919), {0x1D, 0x60}}));
    ASSERT_EQ(r.Fields().size(), 24u);
    EXPECT_EQ(r.Fields()[23]->Pos, 1841);
    EXPECT_EQ(r.Fields()[23]->Len, 79);
    for (const auto& f : r.Fields())
        EXPECT_TRUE(f->GetAttr().Has(attProtected));
}

TEST(HostFields, ListAfterABusierScreenIsTheListOfAFreshSession) {
    // The list keeps its fields from screen to screen: nothing of the busy
    // screen (more fields, longer texts, colours, a hidden field) may show.
    TSessionRig reused, fresh;
    Bytes busy = {0xF5, 0xC3};
    for (int row = 0; row < 24; ++row)
        busy = Cat({busy,
                    Sba(row * 80),
                    {0x29, 0x02, 0xC0, uint8_t(row % 2 ? 0x4C : 0x60), 0x42, 0xF2},
                    reused.Host("A long text of the busy screen, row " + std::to_string(row)),
                    Sba(row * 80 + 60),
                    {0x1D, 0x40},
                    reused.Host("INPUT")});
    const Bytes quiet =
        Cat({{0xF5, 0xC3}, Sba(85), {0x1D, 0x60}, reused.Host("SHORT"), Sba(1000), {0x1D, 0x40}});
    reused.Screen(busy);
    reused.Screen(quiet);
    fresh.Screen(quiet);
    TMemoryStream a, b;
    reused.session->HostFields.SaveToStream(a);
    fresh.session->HostFields.SaveToStream(b);
    EXPECT_EQ(Bytes(a.bytes().begin(), a.bytes().end()), Bytes(b.bytes().begin(), b.bytes().end()));
    ASSERT_EQ(reused.Fields().size(), fresh.Fields().size());
    for (const auto& f : reused.Fields())
        EXPECT_TRUE(f->Name.empty() && f->FieldNo == 0) << f->Pos;
}

TEST(ScreenInput, WordSplitAtARowEndKeepsItsBlank) {
    TSessionRig r;
    r.Screen(Cat({{0xF5, 0xC3}, Sba(74), {0x1D, 0x40}, Sba(100), {0x1D, 0x60}}));
    THostFields input;
    TMemoryStream out;
    r.session->HostFields.SaveToStream(out);
    input.LoadFromStream(out);
    for (auto& f : input.Fields) {
        if (f->Pos != 76 && f->Pos != 81) continue;
        f->Data = f->Pos == 76 ? "HELLO" : " WORLD";
        f->SetAttr({attUnProtected, attModified});
    }
    input.CurPos = 87; // cell 86, plus 1
    TMemoryStream in;
    input.SaveToStream(in);
    r.session->PutScreenInput(in.bytes());
    ASSERT_EQ(r.session->SetAid("@E"), 0);
    ASSERT_EQ(r.sent.size(), 1u);
    EXPECT_EQ(r.sent[0], Cat({{0x7D}, Addr(86), Sba(75), r.Host("HELLO WORLD")}));
}

TEST(Session, MnemonicsGiveTheirAidsAndUnknownOnesSendNothing) {
    const std::pair<const char*, int> cases[] = {
        {"@1", 0xF1}, {"@9", 0xF9},    {"@a", 0x7A},   {"@c", 0x7C},   {"@d", 0xC1}, {"@l", 0xC9},
        {"@m", 0x4A}, {"@o", 0x4C},    {"@x", 0x6C},   {"@y", 0x6E},   {"@z", 0x6B}, {"@C", 0x6D},
        {"@E", 0x7D}, {"@Exyz", 0x7D}, {"@A@H", 0xF0}, {"@A@Q", 0x60}, {"@A", 0x60}, {"@+", 0xF4},
        {"@'", 0xF7}, {"@)", 0xF9},    {"@*", 0x7A},
    };
    for (auto [mnemonic, aid] : cases)
        EXPECT_EQ(TPLTn3270::AidByte(mnemonic).value_or(0), aid) << mnemonic;
    TSessionRig r;
    r.Screen(Cat({{0xF5, 0xC3}, Sba(10), {0x1D, 0xC1}, r.Host("AB")}));
    EXPECT_EQ(r.session->SetAid("@A@Q"), 0);
    EXPECT_EQ(r.sent.back(), Cat({{0x60}, Addr(0), Sba(11), r.Host("AB")}));
    for (const char* bad : {"@u", "@v", "@", "", "E", "@0", "@p"}) {
        SetLastErrorText("");
        EXPECT_EQ(r.session->SetAid(bad), -1) << bad;
        EXPECT_EQ(LastErrorText(), "Invalid aid key");
    }
    EXPECT_EQ(r.sent.size(), 1u);
    EXPECT_EQ(r.s().PendingAid, 0x60);
}

TEST(Session, FailedSendIsReportedToTheCaller) {
    auto session = std::make_shared<TPLTn3270>(1); // no connection: nothing goes out
    EXPECT_EQ(session->SetAid("@E"), -1);
    EXPECT_NE(LastErrorText().find("Socket error"), std::string::npos) << LastErrorText();
}

TEST(Session, TerminalTypeCarriesOneDeviceSuffix) {
    TPLTn3270 s(2);
    EXPECT_EQ(s.TermType, "IBM-3278-2-E");
    s.SetDeviceName("");
    EXPECT_EQ(s.TermType, "IBM-3278-2-E");
    s.SetDeviceName("LU01");
    EXPECT_EQ(s.TermType, "IBM-3278-2-E@ LU01");
    s.SetDeviceName("LU02");
    EXPECT_EQ(s.TermType, "IBM-3278-2-E@ LU02");
    s.SetDeviceName("");
    EXPECT_EQ(s.DeviceName(), "");
    EXPECT_EQ(s.TermType, "IBM-3278-2-E@ LU02") << "an empty name leaves the type as it stands";
    s.SetDeviceName("LU04");
    EXPECT_EQ(s.TermType, "IBM-3278-2-E@ LU04");
    s.TermType = "IBM-3279-2";
    s.SetDeviceName("LU03");
    EXPECT_EQ(s.TermType, "IBM-3279-2@ LU03");
}

TEST(Session, HiddenFieldTextIsMaskedInTheLog) {
    TLogCapture capture("Tn3270");
    TSessionRig r;
    r.Screen(Cat({{0xF5, 0xC3},
                  Sba(10),
                  {0x1D, 0x4C},
                  r.Host("SECRET"),
                  Sba(30),
                  {0x1D, 0x60},
                  r.Host("SHOWN")}));
    DoneEngineLogs();
    std::string log;
    for (const std::string& call : log32fake::Calls())
        log += call + "\n";
    EXPECT_EQ(log.find("SECRET"), std::string::npos);
    EXPECT_NE(log.find("Data:******"), std::string::npos);
    EXPECT_NE(log.find("Data:SHOWN"), std::string::npos);
}

// The record as the dump should show it: framed as on the wire, with the
// bytes [first, last) masked.
Bytes DumpOf(Bytes record, size_t first, size_t last) {
    std::fill(record.begin() + long(first), record.begin() + long(last), uint8_t{0x5C});
    record.insert(record.end(), {0xFF, 0xEF});
    return record;
}

TEST(Session, HiddenFieldTextReachesTheHostButNotTheDump) {
    auto session = std::make_shared<TPLTn3270>(1);
    TLoggedLink link("Tn3270", hostsim::TProtocol::TN3270, session);
    ASSERT_TRUE(link.Ready());
    auto& conn = link.Conn;

    TPLTn3270stream& s = *session->Stream3270();
    auto hostText = [&link](std::string_view text) { return link.HostText(text); };
    {
        // A non-display input field at cell 10, a shown one at 30.
        std::lock_guard lock(session->SessionLock);
        const Bytes screen = Cat(
            {{0xF5, 0xC3}, Sba(10), {0x1D, 0x4C}, Sba(30), {0x1D, 0x40}, Sba(50), {0x1D, 0x60}});
        s.AddData(screen.data(), screen.size());
        s.ProcessRecord();
        s.Display3270()->PutString(11, 19, "SECRET");
        s.Display3270()->PutString(31, 19, "BOB");
        ASSERT_EQ(session->SetAid("@E"), 0);
    }
    Bytes enter, buffer;
    ASSERT_TRUE(conn->ReadRecord(enter));
    conn->SendRecord({0xF2}); // Read Buffer, answered by the reader thread
    ASSERT_TRUE(conn->ReadRecord(buffer));
    link.Finish();

    std::vector<Bytes> dumped;
    for (const auto& d : log32fake::Dumps())
        if (d.title.starts_with("DATA STREAM ENVIADO A HOST")) dumped.push_back(d.bytes);
    ASSERT_GE(dumped.size(), 2u);

    // Read Modified: AID, cursor, then each field's SBA and text.
    const Bytes secret = hostText("SECRET");
    ASSERT_EQ(enter.size(), 18u);
    EXPECT_EQ(Bytes(enter.begin() + 6, enter.begin() + 12), secret) << "sent as typed";
    EXPECT_EQ(Bytes(enter.begin() + 15, enter.end()), hostText("BOB"));
    EXPECT_EQ(dumped[dumped.size() - 2], DumpOf(enter, 6, 12));

    // Read Buffer: AID, cursor, then every cell; the hidden field's cells
    // 11..29 follow its attribute's two bytes.
    ASSERT_EQ(buffer.size(), 3u + 1920u + 3u);
    EXPECT_EQ(Bytes(buffer.begin() + 15, buffer.begin() + 21), secret) << "sent as typed";
    EXPECT_EQ(dumped.back(), DumpOf(buffer, 15, 34));
}

TEST(Session, HiddenTextReachesTheHostButNoLogLineOrDump) {
    auto session = std::make_shared<TPLTn3270>(1);
    TLoggedLink link("Tn3270", hostsim::TProtocol::TN3270, session);
    ASSERT_TRUE(link.Ready());
    auto& conn = link.Conn;
    TPLTn3270stream& s = *session->Stream3270();
    auto hostText = [&link](std::string_view text) { return link.HostText(text); };
    // The host fills in a password field (by a data run, by a graphic escape
    // and by a repeat), shows another field, and asks for the buffer.
    conn->SendRecord(Cat({{0xF5, 0xC3},
                          Sba(10),
                          {0x1D, 0x4C},
                          hostText("HOSTPW"),
                          {0x08},
                          hostText("Q"),
                          {0x3C},
                          Addr(25),
                          hostText("Z"),
                          Sba(30),
                          {0x1D, 0x60},
                          hostText("SHOWN"),
                          Sba(50),
                          {0x1D, 0x60}}));
    conn->SendRecord({0xF2});
    Bytes buffer;
    ASSERT_TRUE(conn->ReadRecord(buffer));
    // The user types the password and presses Enter; the host writes a
    // message before it answers, and the list is made again.
    {
        std::lock_guard lock(session->SessionLock);
        s.Display3270()->PutString(11, 19, "SECRET");
        ASSERT_EQ(session->SetAid("@E"), 0);
    }
    Bytes enter;
    ASSERT_TRUE(conn->ReadRecord(enter));
    const Bytes secret = hostText("SECRET");
    EXPECT_NE(std::search(enter.begin(), enter.end(), secret.begin(), secret.end()), enter.end())
        << "the host gets the password";
    conn->SendRecord(Cat({{0xF1, 0xC3}, Sba(51), hostText("WAIT")}));
    conn->SendRecord({0xF2});
    ASSERT_TRUE(conn->ReadRecord(buffer));
    // The host sends the password back in the hidden field, in a record
    // longer than any the engine interprets and in one that the connection's
    // end cuts: never interpreted, so never masked, so none of their bytes
    // may reach the log.
    const Bytes echo = Cat({{0xF5, 0xC3}, Sba(10), {0x1D, 0x4C}, hostText("ECHOPW77")});
    // Nor may the part of a record the engine never reached: after an
    // address past the screen, after a structured field it does not take,
    // after a command it does not know.
    const Bytes field = Cat({Sba(10), {0x1D, 0x4C}, hostText("FAULTPW1")});
    conn->SendRecord(Cat({{0xF5, 0xC3, 0x11, 0x3F, 0xFF}, field}));
    const Bytes write = Cat({{0x00, 0xF5, 0xC3}, field});
    conn->SendRecord(
        Cat({{0xF3, 0x00, 0x04, 0x0F, 0x00, static_cast<uint8_t>(write.size() + 3), 0x40}, write}));
    conn->SendRecord(Cat({{0x42, 0xC3}, field}));
    Bytes overlong = echo;
    overlong.resize(TPLTnStream::kMaxRecordSize + 1, 0x40);
    conn->SendRecord(overlong);
    conn->SendRecord({0xF2});
    ASSERT_TRUE(conn->ReadRecord(buffer));
    link.HostCloses(echo);
    link.Finish();
    EXPECT_EQ(log32fake::DroppedRecordLines(overlong.size(), "supera el limite de 262144 bytes"),
              1);
    EXPECT_EQ(log32fake::DroppedRecordLines(echo.size(), "la conexion termino antes de su fin"), 1);

    std::vector<Bytes> needles;
    for (const char* text : {"SECRET", "HOSTPW", "QZZZ", "ECHOPW77", "FAULTPW1"}) {
        needles.push_back(hostText(text));
        needles.emplace_back(text, text + std::strlen(text));
    }
    EXPECT_EQ(log32fake::WhereLogged(needles), "");
    EXPECT_NE(log32fake::WhereLogged({hostText("SHOWN")}), "") << "shown text is dumped";
}

} // namespace
