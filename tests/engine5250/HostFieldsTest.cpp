// The host-field list of a 5250 screen, and pop-up window detection.
#include <gtest/gtest.h>

#include <algorithm>

#include "HostSim.h"
#include "framework/Log32Fake.h"
#include "support/LoggedLink.h"
#include "support/TempDir.h"
#include "uPLIntfLogg.h"
#include "uPLTn5250.h"

namespace {

class HostFields5250 : public ::testing::Test {
protected:
    std::shared_ptr<TPLTn5250> session = std::make_shared<TPLTn5250>(1);
    TPLTn5250display& d = *session->Stream5250()->Display5250();

    void Text(int cell, const std::string& text, uint8_t attr = 0x20) {
        for (size_t i = 0; i < text.size(); ++i) {
            d.Chars[cell + i] = static_cast<uint8_t>(text[i]);
            d.Extra[cell + i] = attr;
        }
    }
    // An input field whose attribute stands at cell attrCell.
    void Field(int attrCell, int len, uint8_t ffw1, uint8_t ffw2 = 0, uint8_t attr = 0x24) {
        auto rec = std::make_unique<TFieldFormatRec>(static_cast<uint16_t>(len));
        rec->Row = static_cast<uint8_t>((attrCell + 1) / 80 + 1);
        rec->Col = static_cast<uint8_t>((attrCell + 1) % 80 + 1);
        if ((attrCell + 1) % 80 == 0 && attrCell % 80 == 79) { // attribute in column 80
            rec->Row = static_cast<uint8_t>(attrCell / 80 + 1);
            rec->Col = 81;
        }
        rec->Attribute = attr;
        rec->FFW1 = ffw1;
        rec->FFW2 = ffw2;
        d.AddField(std::move(rec));
    }
    const THostBasicField* FieldAt(int pos1) {
        for (auto& f : session->HostFields.Fields)
            if (f->Pos == pos1) return f.get();
        return nullptr;
    }
};

TEST_F(HostFields5250, ScreenWithoutAttributesIsOneProtectedFieldPerRow) {
    Text(0, "SIGN ON   ");
    Text(81, "X");
    session->GenHostFields();
    const auto& list = session->HostFields;
    ASSERT_EQ(list.Fields.size(), 24u);
    EXPECT_EQ(list.Fields[0]->Data, "SIGN ON");
    EXPECT_EQ(list.Fields[0]->Len, 80);
    EXPECT_EQ(list.Fields[1]->Pos, 81);
    EXPECT_EQ(list.Fields[1]->Row, 2);
    EXPECT_EQ(list.Fields[1]->Col, 1);
    EXPECT_EQ(list.Fields[1]->Data, " X");
    EXPECT_TRUE(list.Fields[1]->GetAttr().Has(attProtected));
    EXPECT_EQ(list.TermModel, 3179);
    EXPECT_EQ(list.WindowMode, 0);
}

TEST_F(HostFields5250, FormatWordsGiveTheirFlags) {
    struct Case {
        uint8_t ffw1, ffw2;
        TFieldAttribute has, hasNot;
    } cases[] = {
        {0x48,
         0x00,
         {attUnProtected, attModified, attAlphanumericShift, attNoAdjust},
         {attProtected}},
        {0x4B, 0x00, {attUnProtected, attModified, attNumericOnly}, {attAlphanumericShift}},
        {0x40, 0x05, {attRightZero}, {attRightBlank, attMandatoryFill, attNoAdjust}},
        {0x40, 0x06, {attRightBlank}, {attRightZero}},
        {0x40, 0x07, {attMandatoryFill, attUnProtected}, {}},
        {0x40, 0xE8, {attAutoEnter, attFieldExitRequired, attMonoCase, attMandatory}, {}},
        {0x47, 0x00, {attSignedNumeric}, {}},
        {0x60, 0x00, {attByPass, attProtected}, {attUnProtected}},
    };
    for (auto& c : cases) {
        d.Clear();
        Field(159, 10, c.ffw1, c.ffw2);
        session->GenHostFields();
        const THostBasicField* f = FieldAt(161);
        ASSERT_NE(f, nullptr);
        const uint32_t got = f->GetAttr().ToInt();
        EXPECT_EQ(got & c.has.ToInt(), c.has.ToInt())
            << std::hex << int(c.ffw1) << " " << int(c.ffw2);
        EXPECT_EQ(got & c.hasNot.ToInt(), 0u) << std::hex << int(c.ffw1) << " " << int(c.ffw2);
    }
}

TEST_F(HostFields5250, ScreenAttributeGivesEabOrHidesTheField) {
    Field(159, 5, 0x40, 0, 0x27);
    Field(239, 5, 0x40, 0, 0x22);
    session->GenHostFields();
    const THostBasicField* hidden = FieldAt(161);
    ASSERT_NE(hidden, nullptr);
    EXPECT_TRUE(hidden->GetAttr().Has(attNonDisplay));
    EXPECT_TRUE(hidden->GetAttr().Has(attInvisible));
    EXPECT_FALSE(hidden->GetAttr().Has(attDisplay));
    const THostBasicField* red = FieldAt(241);
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->Eab, 0x38);
}

TEST_F(HostFields5250, ListAfterABusierScreenIsTheListOfAFreshSession) {
    // The list keeps its fields from screen to screen: nothing of the busy
    // screen (more fields, longer texts, colours, hidden fields, an error
    // message) may show in the next one.
    for (int row = 0; row < 24; ++row) {
        Field(row * 80 + 10, 20, 0x40, 0, row % 3 ? 0x22 : 0x27);
        Text(row * 80 + 40, "Text of the busy screen on row " + std::to_string(row), 0x28);
    }
    session->Stream5250()->ErrorText = "CPF0001 An error of the busy screen";
    session->GenHostFields();
    auto quiet = [](TPLTn5250display& display) {
        display.Clear();
        auto rec = std::make_unique<TFieldFormatRec>(5);
        rec->Row = 3;
        rec->Col = 10;
        rec->Attribute = 0x27; // hidden: its field has no extended byte
        rec->FFW1 = 0x40;
        display.AddField(std::move(rec));
    };
    quiet(d);
    session->Stream5250()->ErrorText.clear();
    session->GenHostFields();
    auto fresh = std::make_shared<TPLTn5250>(2);
    quiet(*fresh->Stream5250()->Display5250());
    fresh->GenHostFields();
    TMemoryStream a, b;
    session->HostFields.SaveToStream(a);
    fresh->HostFields.SaveToStream(b);
    EXPECT_EQ(std::vector<uint8_t>(a.bytes().begin(), a.bytes().end()),
              std::vector<uint8_t>(b.bytes().begin(), b.bytes().end()));
    for (const auto& f : session->HostFields.Fields)
        EXPECT_TRUE(f->Name.empty() && f->FieldNo == 0) << f->Pos;
}

TEST_F(HostFields5250, CursorGoesToTheFirstInputFieldWhenTheHostLeftItHome) {
    Field(84, 5, 0x40);
    Field(400, 5, 0x40);
    session->GenHostFields();
    EXPECT_EQ(session->HostFields.CurPos, 85);
    d.SetCursorPos(401);
    session->GenHostFields();
    EXPECT_EQ(session->HostFields.CurPos, 401);
}

TEST_F(HostFields5250, BypassFieldStaysProtectedButIsNotedFirst) {
    Field(84, 5, 0x60);
    Field(400, 5, 0x40);
    session->GenHostFields();
    EXPECT_EQ(session->HostFields.CurPos, 85);
}

TEST_F(HostFields5250, AttributeInColumnEightyStartsTheNextRow) {
    Field(79, 10, 0x40);
    session->GenHostFields();
    const THostBasicField* f = FieldAt(81);
    ASSERT_NE(f, nullptr) << "the continuation field takes row 2";
    EXPECT_TRUE(f->GetAttr().Has(attUnProtected));
    EXPECT_EQ(f->Row, 2);
    EXPECT_EQ(f->Col, 1);
}

TEST_F(HostFields5250, ErrorTextBecomesTheMessageField) {
    session->Stream5250()->ErrorText = "CPF0001 Wrong password   ";
    session->GenHostFields();
    const THostBasicField& m = *session->HostFields.MessageField;
    EXPECT_EQ(m.Row, 24);
    EXPECT_EQ(m.Col, 2);
    EXPECT_EQ(m.Eab, 0x40);
    EXPECT_EQ(m.Data, "CPF0001 Wrong password");
    EXPECT_EQ(m.Len, 25);
}

// A bordered window: rows 4..12, columns 10..50, with a blue border
// attribute down its left and right edges.
void DrawWindow(TPLTn5250display& d, int top, int left, int bottom, int right, uint8_t border) {
    auto put = [](TPLTndisplay::TPlane& plane, int cell, uint8_t value) {
        if (cell >= 0 && cell < TPLTn5250display::kCells) plane[static_cast<size_t>(cell)] = value;
    };
    for (int r = top; r <= bottom; ++r) {
        put(d.Chars, r * 80 + left, 0x01);
        put(d.Extra, r * 80 + left + 1, border);
        put(d.Chars, r * 80 + right - 2, 0x01);
        put(d.Extra, r * 80 + right - 1, border);
    }
    d.SetWinTop(static_cast<int16_t>(top));
    d.SetWinLeft(static_cast<int16_t>(left));
    d.SetWinBottom(static_cast<int16_t>(bottom));
    d.SetWinRight(static_cast<int16_t>(right));
}

TEST_F(HostFields5250, BorderedWindowGivesAWindowRelativeList) {
    DrawWindow(d, 4, 10, 12, 50, 0x3A);
    Field(6 * 80 + 14, 8, 0x40);
    session->SetWindows(true);
    const auto& list = session->HostFields;
    EXPECT_EQ(list.WindowMode, 1);
    EXPECT_EQ(d.WindowFound, 1);
    EXPECT_EQ(list.WinTop, 5);
    EXPECT_EQ(list.WinLeft, 13);
    for (auto& f : list.Fields) {
        EXPECT_GE(f->Row, 2);
        EXPECT_LE(f->Col, 2 + 80);
    }
    session->SetWindows(false);
    EXPECT_EQ(session->HostFields.WindowMode, 0);
    EXPECT_EQ(d.WinTop(), 0);
    EXPECT_EQ(d.WinRight(), 79);
}

TEST_F(HostFields5250, DegenerateAreasAreNoWindow) {
    struct Rect {
        int t, l, b, r;
    } rects[] = {{4, 10, 5, 50},  {4, 10, 12, 15}, {12, 10, 4, 50},
                 {4, 50, 12, 10}, {0, 0, 0, 0},    {23, 0, 23, 79}};
    for (auto rc : rects) {
        d.Clear();
        DrawWindow(d, std::min(rc.t, rc.b), std::min(rc.l, rc.r), std::max(rc.t, rc.b),
                   std::max(rc.l, rc.r), 0x3A);
        d.SetWinTop(static_cast<int16_t>(rc.t));
        d.SetWinLeft(static_cast<int16_t>(rc.l));
        d.SetWinBottom(static_cast<int16_t>(rc.b));
        d.SetWinRight(static_cast<int16_t>(rc.r));
        session->SetWindows(true);
        EXPECT_EQ(session->HostFields.WindowMode, 0)
            << rc.t << "," << rc.l << "," << rc.b << "," << rc.r;
    }
}

TEST_F(HostFields5250, ColumnMarkersAtTheRightEdgeNeverReadPastTheScreen) {
    // The host addressed column 80 only, on the last rows: the rectangle
    // grows past the bottom when the markers move it.
    d.ColumnMarkers[79] = 1;
    d.ColumnMarkers[3] = 1;
    d.SetWinTop(22);
    d.SetWinBottom(23);
    d.SetWinLeft(3);
    d.SetWinRight(79);
    session->SetWindows(true);
    EXPECT_EQ(session->HostFields.WindowMode, 0);
}

// The character plane of a SAVE SCREEN record (header included), as pairs
// from its 19th byte; the records after the planes hold each field's text in
// local characters.
std::string SavedPlane(const std::vector<uint8_t>& image) {
    std::string cells;
    for (size_t i = 18; i + 1 < image.size() && cells.size() < 1920; i += 2)
        cells.append(image[i], static_cast<char>(image[i + 1]));
    return cells;
}

TEST_F(HostFields5250, HiddenFieldTextReachesTheHostButNotTheDump) {
    TLoggedLink link("Tn5250", hostsim::TProtocol::TN5250, session);
    ASSERT_TRUE(link.Ready());
    auto& conn = link.Conn;
    TPLTn5250stream& s = *session->Stream5250();
    auto hostText = [&link](std::string_view text) { return link.HostText(text); };
    // READ MDT sends the trimmed text; READ INPUT the whole field, blanks too.
    struct Case {
        uint8_t replyMode;
        size_t hiddenLength;
    };
    const Case cases[] = {{0, 6}, {1, 10}};
    std::vector<std::vector<uint8_t>> records;
    for (const Case& c : cases) {
        {
            std::lock_guard lock(session->SessionLock);
            d.Clear();
            Field(159, 10, 0x40, 0, 0x27); // non-display, slot 1
            Field(239, 10, 0x40, 0, 0x24); // shown, slot 2
            for (auto [slot, text] : {std::pair{1, "SECRET"}, std::pair{2, "BOB"}}) {
                d.Field(slot)->Data.replace(0, std::string(text).size(), text);
                d.Field(slot)->Modified = 1;
            }
            s.ReplyMode = c.replyMode;
            ASSERT_EQ(session->SetAid("@E"), 0);
        }
        records.emplace_back();
        ASSERT_TRUE(conn->ReadRecord(records.back()));
    }
    // SAVE SCREEN: the image holds the hidden text in its character plane and
    // in its field's record.
    {
        std::lock_guard lock(session->SessionLock);
        std::copy_n("SECRET", 6, d.Chars.begin() + 160);
    }
    conn->SendRecord({0x00, 0x0C, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0x03, 0x04, 0x02});
    std::vector<uint8_t> image;
    ASSERT_TRUE(conn->ReadRecord(image));
    link.Finish();

    std::vector<std::vector<uint8_t>> dumped;
    for (const auto& dump : log32fake::Dumps())
        if (dump.title.starts_with("DATA STREAM ENVIADO A HOST")) dumped.push_back(dump.bytes);
    ASSERT_GE(dumped.size(), 3u);
    dumped.erase(dumped.begin(), dumped.end() - 3);
    EXPECT_EQ(SavedPlane(image).substr(160, 6), "SECRET");
    EXPECT_EQ(SavedPlane(dumped[2]).substr(160, 6), "******");
    const std::string text = "SECRET";
    EXPECT_NE(std::search(image.begin(), image.end(), text.begin(), text.end()), image.end());
    EXPECT_EQ(std::search(dumped[2].begin(), dumped[2].end(), text.begin(), text.end()),
              dumped[2].end());

    const auto secret = hostText("SECRET"), bob = hostText("BOB");
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& record = records[i];
        const auto at = std::search(record.begin(), record.end(), secret.begin(), secret.end());
        ASSERT_NE(at, record.end()) << "sent as typed, mode " << int(cases[i].replyMode);
        EXPECT_NE(std::search(record.begin(), record.end(), bob.begin(), bob.end()), record.end());
        auto expected = record;
        const auto first = expected.begin() + (at - record.begin());
        std::fill(first, first + long(cases[i].hiddenLength), uint8_t{0x5C});
        expected.insert(expected.end(), {0xFF, 0xEF});
        EXPECT_EQ(dumped[i], expected) << "mode " << int(cases[i].replyMode);
    }
}

TEST_F(HostFields5250, HiddenTextReachesTheHostButNoLogLineOrDump) {
    TLoggedLink link("Tn5250", hostsim::TProtocol::TN5250, session);
    ASSERT_TRUE(link.Ready());
    auto& conn = link.Conn;
    auto hostText = [&link](std::string_view text) { return link.HostText(text); };
    auto record = [](uint8_t opcode, std::vector<uint8_t> data) {
        const size_t len = data.size() + 10;
        data.insert(data.begin(), {uint8_t(len >> 8), uint8_t(len), 0x12, 0xA0, 0x00, 0x00, 0x04,
                                   0x00, 0x00, opcode});
        return data;
    };
    // The host's query, answered by the reader: once the answer is in, the
    // records before it have been interpreted.
    auto interpreted = [&] {
        conn->SendRecord(record(0x00, {0x04, 0xF3, 0x00, 0x05, 0xD9, 0x70, 0x00}));
        std::vector<uint8_t> answer;
        return conn->ReadRecord(answer);
    };
    // A password field the host fills in, a shown one, and hidden text
    // outside any field.
    std::vector<uint8_t> screen = {0x04, 0x11, 0x00, 0x08, 0x11, 0x06, 0x34,
                                   0x1D, 0x40, 0x00, 0x27, 0x00, 0x0A};
    for (auto part : {hostText("HOSTPW"),
                      std::vector<uint8_t>{0x11, 0x07, 0x34, 0x1D, 0x40, 0x00, 0x24, 0x00, 0x0A},
                      hostText("BOB"), std::vector<uint8_t>{0x11, 0x0A, 0x01, 0x27},
                      hostText("HIDDEN"), std::vector<uint8_t>{0x20}})
        screen.insert(screen.end(), part.begin(), part.end());
    conn->SendRecord(record(0x03, screen));
    ASSERT_TRUE(interpreted());
    // The user types the password over the host's and presses Enter; the
    // caller fetches the screen before the host answers.
    {
        std::lock_guard lock(session->SessionLock);
        d.PutFieldData(5 * 80 + 52, "SECRET");
        ASSERT_EQ(session->SetAid("@E"), 0);
    }
    std::vector<uint8_t> enter;
    ASSERT_TRUE(conn->ReadRecord(enter));
    const auto secret = hostText("SECRET");
    EXPECT_NE(std::search(enter.begin(), enter.end(), secret.begin(), secret.end()), enter.end())
        << "the host gets the password";
    {
        std::lock_guard lock(session->SessionLock);
        session->SetWindows(false);
    }
    // SAVE SCREEN, then the image brought back with RESTORE SCREEN.
    conn->SendRecord(record(0x03, {0x04, 0x02}));
    std::vector<uint8_t> image;
    ASSERT_TRUE(conn->ReadRecord(image));
    ASSERT_GT(image.size(), 10u);
    const auto restore = record(0x03, std::vector<uint8_t>(image.begin() + 10, image.end()));
    conn->SendRecord(restore);
    ASSERT_TRUE(interpreted());
    // The image again, in a record longer than any the engine interprets and
    // in one that the connection's end cuts: never interpreted, so never
    // masked, so none of their bytes may reach the log.
    // Nor may the part of a record the engine never reached or passed over:
    // past what the header announces, after a command that ends the record,
    // the image of a command not carried out.
    auto unannounced = restore;
    unannounced[0] = 0x00;
    unannounced[1] = 0x0A;
    conn->SendRecord(unannounced);
    std::vector<uint8_t> afterSave = {0x04, 0x02};
    afterSave.insert(afterSave.end(), restore.begin() + 10, restore.end());
    conn->SendRecord(record(0x03, afterSave));
    std::vector<uint8_t> savedAgain;
    ASSERT_TRUE(conn->ReadRecord(savedAgain));
    std::vector<uint8_t> partial = {0x04, 0x13};
    for (auto b = restore.begin() + 12; b != restore.end(); ++b)
        if (*b != 0x04) partial.push_back(*b);
    conn->SendRecord(record(0x03, partial));
    ASSERT_TRUE(interpreted());
    auto overlong = restore;
    overlong.resize(TPLTnStream::kMaxRecordSize + 1, 0x00);
    conn->SendRecord(overlong);
    ASSERT_TRUE(interpreted());
    link.HostCloses(restore);
    link.Finish();
    EXPECT_EQ(log32fake::DroppedRecordLines(overlong.size(), "supera el limite de 262144 bytes"),
              1);
    EXPECT_EQ(log32fake::DroppedRecordLines(restore.size(), "la conexion termino antes de su fin"),
              1);

    std::vector<std::vector<uint8_t>> needles;
    for (const char* text : {"SECRET", "HOSTPW", "HIDDEN"}) {
        needles.push_back(hostText(text));
        needles.emplace_back(text, text + 6);
    }
    EXPECT_EQ(log32fake::WhereLogged(needles), "");
    EXPECT_NE(log32fake::WhereLogged({std::vector<uint8_t>{'B', 'O', 'B'}}), "")
        << "shown text is logged";
    // The saved image's character plane holds its text one run per cell: the
    // hidden text outside any field is masked there too.
    ASSERT_EQ(SavedPlane(image).substr(9 * 80 + 1, 6), "HIDDEN");
    int saves = 0;
    for (const auto& dump : log32fake::Dumps()) {
        if (!dump.title.starts_with("DATA STREAM ENVIADO A HOST") || dump.bytes.size() < 10 ||
            !std::equal(image.begin(), image.begin() + 10, dump.bytes.begin()))
            continue;
        ++saves;
        EXPECT_EQ(SavedPlane(dump.bytes).substr(9 * 80 + 1, 6), "******");
        EXPECT_EQ(SavedPlane(dump.bytes).substr(6 * 80 + 52, 3), "BOB");
    }
    EXPECT_EQ(saves, 1);
}

} // namespace
