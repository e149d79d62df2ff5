// The host emulator's editing engine on a screen built from a field list,
// with a fake view that records what the engine asks of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "uEmuEditor.h"
#include "uPlComApi.h"

namespace {

struct TFieldSpec {
    int Row, Col, Len;
    std::vector<TAttrTypes> Attr;
    std::string Data;
};

class TFakeHost : public TEmuEditorHost {
public:
    THostFields Fields;
    TBorrowedFields Inputs;
    TRules HostRules = TRules::None;
    bool Connected = true;
    std::vector<std::string> Aids;
    std::vector<std::string> DataAtAid; // the first input field's Data at each aid
    int Restores = 0;

    void InvalidateCell(int, int) override {}
    void PaintCells() override {}
    THostFields* GetFields() override { return &Fields; }
    THostFields* GetInputFields() override { return &Inputs; }
    bool IsConnected() override { return Connected; }
    TRules Rules() override { return HostRules; }
    bool AidKeyPressed(const std::string&) override { return true; }
    void SendAid(const std::string& aid) override {
        Aids.push_back(aid);
        DataAtAid.push_back(Inputs.Count() ? Inputs.GetField(0)->Data : "");
    }
    void RestoreScreen() override { ++Restores; }
    void CursorPlaced(int) override {}
    void InputInhibitChanged() override {}
    void InsertModeChanged() override {}
};

class EmuEditorTest : public ::testing::Test {
protected:
    TScreenCells cells;
    THostViewport viewport;
    TFakeHost host;
    TEmuEditor editor{cells, viewport, host};

    void Screen(const std::vector<TFieldSpec>& specs) {
        for (const auto& s : specs) {
            auto f = std::make_unique<THostBasicField>();
            f->Row = static_cast<uint8_t>(s.Row);
            f->Col = static_cast<uint8_t>(s.Col);
            f->Len = static_cast<int16_t>(s.Len);
            f->Pos = static_cast<int16_t>((s.Row - 1) * 80 + s.Col);
            f->Data = s.Data;
            TFieldAttribute a;
            for (auto m : s.Attr)
                a.Include(m);
            f->SetAttr(a);
            THostBasicField* raw = f.get();
            host.Fields.Add(std::move(f));
            if (a.Has(attUnProtected)) {
                host.Inputs.Fields.emplace_back(raw);
                host.Inputs.RebuildFilter();
            }
        }
        cells.Load(host.Fields);
    }
    // 1-based row and column, as the host gives them.
    static int At(int row, int col) { return (row - 1) * 80 + col - 1; }
    std::string Text(int row, int col, int len) const {
        std::string s;
        for (int c = col - 1; c < col - 1 + len; ++c)
            s += static_cast<char>(cells.Code(c, row - 1));
        return s;
    }
    void Type(const std::string& s) {
        for (char c : s)
            editor.KeyPress(static_cast<uint8_t>(c));
    }
    THostBasicField& Field(int i) { return *host.Fields.GetField(i); }
    // Local function keys, each from an address (-1: where the cursor is),
    // with the cursor's address after it.
    struct TMove {
        int From;
        const char* Key;
        int To;
    };
    void Moves(std::initializer_list<TMove> moves) {
        for (const auto& m : moves) {
            if (m.From >= 0) editor.SetCursorAddress(m.From);
            editor.LocalFunction(m.Key);
            EXPECT_EQ(editor.CursorAddress(), m.To) << m.Key << " from " << m.From;
        }
    }
    void TearDown() override { host.Inputs.ClearLists(); }
};

const std::vector<TAttrTypes> kInput{attUnProtected};
const std::vector<TAttrTypes> kLabel{attProtected};

TEST_F(EmuEditorTest, FieldAttributesDecideWhatATypedCharacterBecomes) {
    struct TCase {
        std::vector<TAttrTypes> Attr;
        char Typed;
        char Stored; // 0: refused, the cell stays empty
    } cases[] = {
        {{attUnProtected, attMonoCase}, 'a', 'A'},
        {{attUnProtected, attNumericOnly}, 'x', 0},
        {{attUnProtected, attNumericOnly}, '7', '7'},
        {{attUnProtected, attNumeric}, 'x', 0},
        {{attUnProtected, attSignedNumeric}, ' ', 0},
        {{attUnProtected, attSignedNumeric}, '-', '-'},
        {{attUnProtected, attAlphabeticOnly}, '1', 0},
        {{attUnProtected, attMagneticStripe}, 'q', 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.Typed));
        host.Inputs.ClearLists();
        host.Fields.Clear();
        cells.Reset();
        Screen({{2, 10, 5, c.Attr, ""}});
        editor.SetCursorAddress(At(2, 10));
        editor.KeyPress(static_cast<uint8_t>(c.Typed));
        EXPECT_EQ(cells.Code(9, 1), static_cast<uint8_t>(c.Stored));
        // A refused character never locks the keyboard.
        EXPECT_FALSE(editor.Inhibited());
    }
}

TEST_F(EmuEditorTest, TypingOnAProtectedCellLocksTheKeyboard) {
    Screen({{1, 2, 10, kLabel, "Sign On"}});
    editor.SetCursorAddress(At(1, 3));
    Type("x");
    EXPECT_EQ(editor.InhibitReason(), "X-LOCK");
    EXPECT_EQ(Text(1, 2, 7), "Sign On");
    Type("y"); // locked: ignored
    EXPECT_EQ(Text(1, 2, 7), "Sign On");
}

TEST_F(EmuEditorTest, TypingInsideAnEmptyFieldBlanksTheCellsBeforeIt) {
    Screen({{3, 10, 8, kInput, ""}});
    editor.SetCursorAddress(At(3, 14));
    Type("Z");
    EXPECT_EQ(Text(3, 10, 5), "    Z");
    EXPECT_EQ(cells.Code(8, 2), 1); // the attribute cell is left alone
    EXPECT_TRUE(Field(0).GetAttr().Has(attModified));
}

TEST_F(EmuEditorTest, AutoEnterSendsEnterWithTheLastCharacterInTheField) {
    Screen({{5, 10, 3, {attUnProtected, attAutoEnter, attNonModified}, ""}});
    editor.SetCursorAddress(At(5, 10));
    Type("ab");
    EXPECT_TRUE(host.Aids.empty());
    Type("c");
    ASSERT_EQ(host.Aids, std::vector<std::string>{"ENTER"});
    EXPECT_EQ(host.DataAtAid[0], "abc");
    EXPECT_TRUE(Field(0).GetAttr().Has(attModified));
    EXPECT_FALSE(Field(0).GetAttr().Has(attNonModified));

    // A field over two rows ends on the second.
    host.Inputs.ClearLists();
    host.Fields.Clear();
    cells.Reset();
    host.Aids.clear();
    Screen({{7, 79, 2, {attUnProtected, attAutoEnter}, ""},
            {8, 1, 2, {attUnProtected, attAutoEnter}, ""}});
    editor.SetCursorAddress(At(7, 79));
    Type("abc");
    EXPECT_TRUE(host.Aids.empty());
    Type("d");
    EXPECT_EQ(host.Aids, std::vector<std::string>{"ENTER"});
}

TEST_F(EmuEditorTest, LastCellOfAFieldMovesTheCursorByTheHostsRules) {
    struct TCase {
        TEmuEditorHost::TRules Rules;
        std::vector<TAttrTypes> Next; // the field after the typed one
        int ExpectedCursor;
    } cases[] = {
        // Field exit required: 3270 stays on the last cell, 5250 goes on.
        {TEmuEditorHost::TRules::Tn3270, kLabel, At(4, 12)},
        {TEmuEditorHost::TRules::Tn5250, kLabel, At(6, 10)},
        // An auto-skip attribute in 3270: on to the next input field.
        {TEmuEditorHost::TRules::Tn3270, {attProtected, attNumeric}, At(6, 10)},
    };
    for (const auto& c : cases) {
        host.Inputs.ClearLists();
        host.Fields.Clear();
        cells.Reset();
        Screen({{4, 10, 3, {attUnProtected, attFieldExitRequired}, ""},
                {4, 14, 5, c.Next, "Label"},
                {6, 10, 5, kInput, ""}});
        host.HostRules = c.Rules;
        editor.SetCursorAddress(At(4, 12));
        Type("x");
        EXPECT_EQ(editor.CursorAddress(), c.ExpectedCursor);
    }
}

TEST_F(EmuEditorTest, Tn3270AutoSkipGoesOnToTheNextInputFieldAsTabDoes) {
    // An 8-cell input field at 12, an auto-skip field, an input field at 40:
    // the ninth character goes into the second input field.
    const std::vector<TAttrTypes> kSkip{attProtected, attNumeric};
    Screen({{1, 13, 8, kInput, ""}, {1, 22, 18, kSkip, ""}, {1, 41, 10, kInput, ""}});
    host.HostRules = TEmuEditorHost::TRules::Tn3270;
    editor.SetCursorAddress(12);
    Type("ABCDEFGHZ");
    EXPECT_FALSE(editor.Inhibited());
    EXPECT_TRUE(editor.DoAidKey("ENTER"));
    EXPECT_EQ(host.Inputs.GetField(0)->Data, "ABCDEFGH");
    EXPECT_EQ(host.Inputs.GetField(1)->Data, "Z");
    EXPECT_EQ(host.Inputs.CurPos, 41 + 1);

    // No input field after the auto-skip field before the screen's end: on
    // from the screen's start, as Tab goes; the typed field alone takes the
    // cursor back to its own start. An auto-skip field in column 1 has its
    // attribute at the end of the row before, or of the screen.
    const struct {
        std::vector<TFieldSpec> Screen;
        int From, Expected;
    } cases[] = {
        {{{3, 5, 6, kInput, ""}, {23, 10, 4, kInput, ""}, {23, 15, 66, kSkip, ""}},
         At(23, 13),
         At(3, 5)},
        {{{23, 10, 4, kInput, ""}, {23, 15, 10, kSkip, ""}}, At(23, 13), At(23, 10)},
        {{{22, 72, 8, kInput, ""}, {23, 1, 5, kSkip, ""}, {23, 7, 5, kInput, ""}},
         At(22, 79),
         At(23, 7)},
        {{{1, 7, 5, kInput, ""}, {24, 72, 8, kInput, ""}, {1, 1, 5, kSkip, ""}},
         At(24, 79),
         At(1, 7)},
    };
    for (const auto& c : cases) {
        host.Inputs.ClearLists();
        host.Fields.Clear();
        cells.Reset();
        Screen(c.Screen);
        editor.SetCursorAddress(c.From);
        Type("x");
        EXPECT_EQ(editor.CursorAddress(), c.Expected) << "from " << c.From;
        EXPECT_FALSE(editor.Inhibited());
    }
}

TEST_F(EmuEditorTest, InsertIntoAFullFieldLocksAndChangesNothing) {
    Screen({{2, 10, 4, kInput, "abcd"}, {2, 15, 5, kInput, ""}});
    editor.SetInsertMode(true);
    editor.SetCursorAddress(At(2, 11));
    Type("X");
    EXPECT_EQ(editor.InhibitReason(), "X-LOCK");
    EXPECT_EQ(Text(2, 10, 4), "abcd");
}

TEST_F(EmuEditorTest, InsertShiftsOnlyInsideTheField) {
    // The first and the second field touch with no attribute cell between
    // them (row end, then a field in column 1 that is not the first one
    // continued: its attributes differ).
    Screen({{2, 77, 4, kInput, "abcd"}, {3, 1, 5, {attUnProtected, attNumeric}, ""}});
    editor.SetInsertMode(true);
    editor.SetCursorAddress(At(2, 78));
    Type("X");
    EXPECT_EQ(editor.InhibitReason(), "X-LOCK");
    EXPECT_EQ(Text(2, 77, 4), "abcd");
    EXPECT_EQ(cells.Code(0, 2), 0);

    editor.SetInputInhibit("");
    Screen({});
    cells.SetCode(79, 1, 0); // room at the end: the text moves right
    editor.SetCursorAddress(At(2, 78));
    Type("X");
    EXPECT_EQ(Text(2, 77, 4), std::string("aXbc"));
}

TEST_F(EmuEditorTest, BackspaceDeletesInsideTheFieldAndLocksAtItsStart) {
    Screen({{2, 10, 5, kInput, "abcde"}, {2, 16, 5, kLabel, "LABEL"}});
    editor.SetCursorAddress(At(2, 12));
    editor.LocalFunction("BACK");
    EXPECT_EQ(Text(2, 10, 5), std::string("acde") + '\0');
    EXPECT_EQ(Text(2, 16, 5), "LABEL");
    EXPECT_EQ(editor.CursorAddress(), At(2, 11));

    editor.SetCursorAddress(At(2, 10));
    editor.LocalFunction("back");
    EXPECT_EQ(editor.InhibitReason(), "X-LOCK");
    EXPECT_EQ(editor.CursorAddress(), At(2, 9)); // on the attribute cell
    EXPECT_EQ(Text(2, 10, 4), "acde");
}

TEST_F(EmuEditorTest, DeleteNeverPullsTextFromTheNextField) {
    Screen({{2, 77, 4, kInput, "abcd"}, {3, 1, 5, {attUnProtected, attMonoCase}, "vwxyz"}});
    editor.SetCursorAddress(At(2, 77));
    editor.LocalFunction("DELETECHAR");
    EXPECT_EQ(Text(2, 77, 4), std::string("bcd") + '\0');
    EXPECT_EQ(Text(3, 1, 5), "vwxyz");
}

TEST_F(EmuEditorTest, HexEntryTypesTheCodeOrRaisesTheRangeOfTheBadDigit) {
    Screen({{2, 10, 5, kInput, ""}});
    editor.SetCursorAddress(At(2, 10));
    editor.LocalFunction("HEXA");
    Type("4");
    EXPECT_EQ(cells.Code(9, 1), 0); // one digit shows nothing
    Type("1");
    EXPECT_EQ(cells.Code(9, 1), 'A');
    EXPECT_FALSE(editor.HexMode());

    editor.LocalFunction("HEXA");
    try {
        Type("3");
        FAIL() << "no error for 3";
    } catch (const EEmuEditorError& e) {
        EXPECT_STREQ(e.what(), "Invalid hexa key. Valid ranges are 4..9 , A..F");
    }
    EXPECT_FALSE(editor.HexMode());

    editor.LocalFunction("HEXA");
    Type("f");
    try {
        Type("g");
        FAIL() << "no error for g";
    } catch (const EEmuEditorError& e) {
        EXPECT_STREQ(e.what(), "Invalid hexa key. Valid ranges are 0..9 , A..F");
    }
    EXPECT_FALSE(editor.HexMode());
    EXPECT_EQ(Text(2, 10, 2), std::string("A") + '\0');
}

TEST_F(EmuEditorTest, FieldPlusBlanksTheRestGoesToTheNextFieldAndTypesNoPlus) {
    Screen({{2, 10, 5, kInput, "abcde"}, {4, 10, 5, kInput, ""}});
    editor.SetCursorAddress(At(2, 12));
    editor.LocalFunction("FIELD+");
    Type("+");
    EXPECT_EQ(Text(2, 10, 5), "ab   ");
    EXPECT_EQ(editor.CursorAddress(), At(4, 10));
    EXPECT_EQ(cells.Code(9, 3), 0);
}

TEST_F(EmuEditorTest, EndGoesToTheLastCellOfTheField) {
    Screen({{2, 10, 5, kInput, "ab"}, {2, 16, 5, kLabel, "LABEL"}});
    editor.SetCursorAddress(At(2, 10));
    editor.LocalFunction("END");
    EXPECT_EQ(editor.CursorAddress(), At(2, 14));
}

TEST_F(EmuEditorTest, EndAndEraseFieldOnAnAttributeCellActOnTheFieldItStarts) {
    // Backspace at a field's first cell leaves the cursor on its attribute cell.
    Screen({{2, 10, 5, kInput, "abcde"}, {2, 16, 5, kLabel, "LABEL"}, {4, 10, 5, kInput, ""}});
    editor.SetCursorAddress(At(2, 9));
    editor.LocalFunction("END");
    EXPECT_EQ(editor.CursorAddress(), At(2, 14));

    editor.SetCursorAddress(At(2, 9));
    editor.LocalFunction("ERASE FIELD");
    EXPECT_EQ(Text(2, 10, 5), "     ");
    EXPECT_TRUE(Field(0).GetAttr().Has(attModified));
    EXPECT_EQ(editor.CursorAddress(), At(4, 10)); // then on to the next field
    EXPECT_FALSE(editor.Inhibited());
}

TEST_F(EmuEditorTest, FieldExitOutsideAnyFieldMovesOnToTheNextAttributeFirst) {
    // From a cell in no field, erasing refuses every cell up to the next
    // attribute cell (locking once); the field move starts from there, so
    // FIELD+ passes over the field that attribute starts.
    struct TCase {
        const char* Key;
        int Expected;
    } cases[] = {{"FIELD+", At(6, 10)}, {"FIELD-", At(2, 10)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Key);
        host.Inputs.ClearLists();
        host.Fields.Clear();
        cells.Reset();
        editor.SetInputInhibit("");
        Screen({{2, 10, 5, kInput, "abc"}, {4, 10, 5, kInput, "def"}, {6, 10, 5, kInput, ""}});
        editor.SetCursorAddress(At(3, 30));
        editor.LocalFunction(c.Key);
        EXPECT_EQ(editor.CursorAddress(), c.Expected);
        EXPECT_EQ(editor.InhibitReason(), "X-LOCK");
        EXPECT_EQ(Text(4, 10, 3), "def");
        EXPECT_FALSE(Field(1).GetAttr().Has(attModified));
    }
}

TEST_F(EmuEditorTest, PastingLinesMovesOnceToTheNextFieldPerLineBreak) {
    Screen({{2, 10, 5, kInput, ""}, {3, 10, 5, kInput, ""}, {4, 10, 5, kInput, ""}});
    editor.SetCursorAddress(At(2, 10));
    editor.PasteText(U"ab\r\ncd");
    EXPECT_EQ(Text(2, 10, 2), "ab");
    EXPECT_EQ(Text(3, 10, 2), "cd");
    EXPECT_EQ(cells.Code(9, 3), 0);
}

TEST_F(EmuEditorTest, PastedCharactersOutsideTheEightBitSetAreSkippedNotCut) {
    Screen({{2, 10, 5, kInput, ""}});
    editor.SetCursorAddress(At(2, 10));
    editor.PasteText(U"x\u0141y\u00e9"); // U+0141 would be 'A' when cut to a byte
    EXPECT_EQ(Text(2, 10, 3), std::string("y\xe9").insert(0, "x"));
}

TEST_F(EmuEditorTest, ResetKeepsTheLockWhileTheHostIsBusy) {
    Screen({{2, 10, 5, kInput, ""}});
    editor.SetInputInhibit("X-LOCK");
    editor.HostBusy = true;
    EXPECT_FALSE(editor.DoAidKey("RESET"));
    EXPECT_EQ(editor.InhibitReason(), "X-LOCK");
    EXPECT_FALSE(editor.DoAidKey("ENTER")); // locked: nothing goes out
    editor.HostBusy = false;
    editor.DoAidKey("RESET");
    EXPECT_FALSE(editor.Inhibited());
    EXPECT_TRUE(editor.DoAidKey("ENTER"));
    EXPECT_EQ(host.Aids, std::vector<std::string>{"ENTER"});
}

TEST_F(EmuEditorTest, CollectedFieldsCarryTheTextAndTheCursorPlusOne) {
    Screen({{2, 10, 6, kInput, "old"}, {3, 10, 6, kInput, "keep"}});
    editor.SetCursorAddress(At(2, 10));
    Type("new");
    editor.SetCursorAddress(At(2, 14));
    Type("x");
    EXPECT_TRUE(editor.DoAidKey("ENTER"));
    EXPECT_EQ(host.Inputs.GetField(0)->Data, "new x");
    EXPECT_EQ(host.Inputs.GetField(1)->Data, "keep");
    EXPECT_EQ(host.Inputs.CurPos, At(2, 15) + 1);
}

TEST_F(EmuEditorTest, LeftArrowAtColumnZeroGoesToTheRowsLastColumn) {
    editor.SetCursorAddress(At(5, 1));
    editor.LocalFunction("ARROW_LEFT");
    EXPECT_EQ(editor.CursorAddress(), At(5, 80));
    viewport.SetRightCol(60);
    editor.SetCursorAddress(At(5, 1));
    editor.LocalFunction("ARROW_LEFT");
    EXPECT_EQ(editor.CursorAddress(), At(5, 1)); // wrapped to the viewport's left
}

TEST_F(EmuEditorTest, FieldMovesReachAnInputFieldInColumnOne) {
    Screen({{2, 10, 5, kInput, ""}, {3, 1, 5, kInput, ""}, {5, 10, 5, kInput, ""}});
    Moves({{At(2, 10), "NEXTFIELD", At(3, 1)},
           {-1, "NEXTFIELD", At(5, 10)},
           {-1, "HOME", At(3, 1)},
           {At(2, 12), "FIELD+", At(3, 1)},
           {At(5, 10), "PRIORFIELD", At(3, 1)},
           {At(24, 80), "NEXTFIELD", At(2, 10)}}); // round the end of the screen
}

// The engines hand a field that runs over several rows as one entry per
// row, with no attribute cell between the rows; a field that truly starts in
// column 1 has its attribute cell at the end of the row before.
class ContinuedFieldTest : public EmuEditorTest {
protected:
    void SetUp() override {
        Screen({{1, 2, 24, kLabel, "Command"},
                {1, 27, 54, kInput, "first row"},
                {2, 1, 80, kInput, "second row"},
                {3, 1, 79, kInput, "third row"}, // its attribute cell: row 3, column 80
                {4, 1, 10, kInput, ""},
                {6, 10, 5, kInput, ""}});
    }
};

TEST_F(ContinuedFieldTest, FieldKeysTreatTheRowsOfAContinuedFieldAsOneField) {
    Moves({{At(1, 27), "NEXTFIELD", At(4, 1)},
           {-1, "NEXTFIELD", At(6, 10)},
           {-1, "NEXTFIELD", At(1, 27)},
           {At(6, 10), "PRIORFIELD", At(4, 1)},
           {-1, "HOME", At(1, 27)},
           {At(3, 5), "PRIORFIELD", At(1, 27)}, // inside the field: to its first cell
           {At(1, 27), "END", At(3, 79)},
           {At(2, 1), "NEXTLINE", At(3, 1)}}); // the next row's piece of the field

    // FIELD+ and FIELD- blank the rest of the whole field.
    editor.SetCursorAddress(At(2, 3));
    editor.LocalFunction("FIELD+");
    editor.KeyPress('+');
    EXPECT_EQ(editor.CursorAddress(), At(4, 1));
    EXPECT_EQ(Text(2, 1, 4), "se  ");
    EXPECT_EQ(Text(3, 1, 9), "         ");
    EXPECT_EQ(Text(1, 27, 5), "first");
    editor.SetCursorAddress(At(1, 30));
    editor.LocalFunction("FIELD-");
    editor.KeyPress('-');
    EXPECT_EQ(Text(1, 27, 5), "fir  ");
    EXPECT_EQ(Text(2, 1, 2), "  ");
    EXPECT_EQ(editor.CursorAddress(), At(6, 10)); // from the field's first cell, back

    editor.SetCursorAddress(At(2, 40));
    editor.LocalFunction("ERASE FIELD");
    EXPECT_EQ(Text(1, 27, 3), "   ");
    EXPECT_EQ(editor.CursorAddress(), At(4, 1));
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(Field(i).GetAttr().Has(attModified)) << i;
    EXPECT_FALSE(Field(4).GetAttr().Has(attModified));
    EXPECT_FALSE(editor.Inhibited());
}

TEST_F(ContinuedFieldTest, InsertAndDeleteShiftThroughTheRowsAndMarkEachRowModified) {
    editor.SetCursorAddress(At(1, 36));
    Type(std::string(44, '.') + "z"); // to the end of the first row
    EXPECT_EQ(editor.CursorAddress(), At(2, 1));
    EXPECT_FALSE(Field(2).GetAttr().Has(attModified));

    editor.SetInsertMode(true);
    editor.SetCursorAddress(At(1, 80));
    Type("X");
    EXPECT_FALSE(editor.Inhibited());
    EXPECT_EQ(Text(1, 79, 2), ".X");
    EXPECT_EQ(Text(2, 1, 11), "zsecond row");
    EXPECT_TRUE(Field(2).GetAttr().Has(attModified));
    EXPECT_FALSE(Field(3).GetAttr().Has(attModified));

    editor.SetInsertMode(false);
    editor.SetCursorAddress(At(1, 80));
    editor.LocalFunction("DELETECHAR");
    EXPECT_EQ(Text(1, 80, 1), "z");
    EXPECT_EQ(Text(2, 1, 10), "second row");
    EXPECT_EQ(Text(2, 80, 1), "t");
    EXPECT_EQ(Text(3, 1, 8), "hird row");
    EXPECT_TRUE(Field(3).GetAttr().Has(attModified));
    EXPECT_TRUE(cells.IsAttribute(79, 2)); // the field ends before it
    EXPECT_FALSE(Field(4).GetAttr().Has(attModified));
}

TEST_F(EmuEditorTest, AFieldThatWrapsFromTheScreensEndIntoTheFirstRowIsOneTabStop) {
    // As the 3270 engine hands it: the field after the attribute in row 1,
    // column 26 runs to the screen's end and on from row 1, column 1.
    std::vector<TFieldSpec> screen = {{1, 1, 25, kInput, "wrapped"}, {1, 27, 54, kInput, ""}};
    for (int row = 2; row <= 24; ++row)
        screen.push_back({row, 1, 80, kInput, ""});
    Screen(screen);
    Moves({{At(1, 27), "NEXTFIELD", At(1, 27)},
           {At(12, 5), "NEXTFIELD", At(1, 27)},
           {At(1, 3), "NEXTFIELD", At(1, 27)},
           {At(1, 3), "PRIORFIELD", At(1, 27)},
           {At(1, 27), "HOME", At(1, 27)}});

    // Unformatted, the screen is one field from its first cell.
    host.Inputs.ClearLists();
    host.Fields.Clear();
    cells.Reset();
    screen.erase(screen.begin(), screen.begin() + 2);
    screen.insert(screen.begin(), {1, 1, 80, kInput, ""});
    Screen(screen);
    Moves({{At(5, 5), "NEXTFIELD", At(1, 1)}});
}

TEST_F(EmuEditorTest, AddressesFromOutsideLandOnTheScreen) {
    editor.CellClick(500, -3);
    EXPECT_EQ(editor.CursorAddress(), At(1, 80));
    editor.SetCursorAddress(99999);
    EXPECT_EQ(editor.CursorAddress(), 1919);
    editor.MoveCursor(-1, false);
    EXPECT_EQ(editor.CursorAddress(), 1919);
    editor.SetCursorAddress(-7);
    EXPECT_EQ(editor.CursorAddress(), 0);
}

TEST_F(EmuEditorTest, FieldSearchesOnAScreenWithoutInputFieldsEnd) {
    Screen({{1, 1, 80, kLabel, "title"}, {24, 2, 79, kLabel, "bottom"}});
    for (const char* key : {"NEXTFIELD", "PRIORFIELD", "HOME", "NEXTLINE", "END", "ERASE FIELD"}) {
        editor.SetCursorAddress(At(12, 40));
        editor.LocalFunction(key);
        EXPECT_EQ(editor.CursorAddress(), At(12, 40)) << key;
    }
    editor.SetCursorAddress(1919);
    Type("x"); // protected: locked, and no cell past the screen is written
    EXPECT_EQ(editor.InhibitReason(), "X-LOCK");
    // FIELD+ refuses its way to the next attribute cell and finds no field from there.
    editor.SetInputInhibit("");
    editor.SetCursorAddress(At(12, 40));
    editor.LocalFunction("FIELD+");
    EXPECT_EQ(editor.CursorAddress(), At(24, 1));
}

} // namespace
