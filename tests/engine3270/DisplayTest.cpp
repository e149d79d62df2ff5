// The 3270 display: attribute conversions, fields and their propagation, the
// searches, and the user's text written into a field.
#include <gtest/gtest.h>

#include "uPLTn3270display.h"

namespace {

constexpr int kLast = 1919;

struct TDisplay : TPLTn3270display {
    TDisplay() : TPLTn3270display(1, 24, 80) { Clear(); }
    // Cells as text: '^' attribute, '.' NUL; Put takes the same form.
    std::string Text(int pos, int n) const {
        std::string out;
        for (int i = pos; i < pos + n; ++i)
            out.push_back(IsFieldAttribute(i) ? '^' : Chars[i] == 0 ? '.' : char(Chars[i]));
        return out;
    }
    void Put(int pos, const std::string& text) {
        for (size_t i = 0; i < text.size(); ++i)
            Chars[pos + i] = text[i] == '.' ? 0 : uint8_t(text[i]);
    }
};

TEST(Display3270, AttributeBytesConvertBothWaysInGraphicOrBareForm) {
    EXPECT_EQ(TPLTn3270display::ToInternal(0xF1), 0x3C);
    EXPECT_EQ(TPLTn3270display::ToInternal(0x4C), 0x0B) << "non-display";
    for (int a = 0; a < 256; ++a) {
        const uint8_t bare = uint8_t(a & 0x3D);
        EXPECT_EQ(TPLTn3270display::ToInternal(uint8_t(a)), TPLTn3270display::ToInternal(bare));
        EXPECT_EQ(TPLTn3270display::ToFieldAttribute(TPLTn3270display::ToInternal(uint8_t(a))),
                  bare)
            << a;
    }
}

TEST(Display3270, FieldsPropagateRoundTheScreenAndNeverPastIt) {
    TDisplay d;
    d.StartField(100, 0x20);
    EXPECT_EQ(d.GetFieldAttribute(0), 0x20) << "the only field covers the screen";
    d.StartField(200, 0x00);
    EXPECT_EQ(d.GetFieldAttribute(199), 0x20);
    EXPECT_EQ(d.GetFieldAttribute(99), 0x00) << "the second field wraps to the first";
    d.StartField(kLast, 0x30);
    EXPECT_EQ(d.GetFieldAttribute(99), 0x30);
    EXPECT_EQ(d.GetFieldAttribute(100), 0x20);
    EXPECT_EQ(d.Attrs[1920], 0) << "beyond the screen";
}

TEST(Display3270, RemovedFieldsMergeBackwardsAndTheLastUnformats) {
    TDisplay d;
    d.StartField(0, 0x00);
    d.StartField(500, 0x20);
    d.RemoveFieldAttribute(0);
    EXPECT_EQ(d.GetFieldAttribute(0), 0x20) << "cell 0 joins the field before it, at the end";
    EXPECT_EQ(d.FindFieldStart(499), -1);
    EXPECT_EQ(d.FindNextField(0), 500);
    d.RemoveFieldAttribute(500);
    EXPECT_FALSE(d.Formatted());
    EXPECT_EQ(d.FindNextField(0), -1);
    EXPECT_EQ(d.FindNextUnprotected(0), -1);
    EXPECT_EQ(d.FindFieldStart(kLast), -1);
    EXPECT_EQ(d.Attrs[700], attr3270::ChangedBit);
}

TEST(Display3270, NextUnprotectedSkipsEmptyFieldsAndTheLastCell) {
    TDisplay d;
    d.StartField(10, 0x20);
    d.StartField(20, 0x00); // empty: the next cell is an attribute
    d.StartField(21, 0x20);
    d.StartField(40, 0x00);
    EXPECT_EQ(d.FindNextUnprotected(-5), 41);
    EXPECT_EQ(d.FindNextUnprotected(41), -1);
    d.StartField(kLast, 0x00);
    EXPECT_EQ(d.FindNextUnprotected(42), -1) << "an unprotected attribute in the last cell";
}

TEST(Display3270, ModifiedTagCoversTheWholeFieldAndOnlyAttributeCellsSetIt) {
    TDisplay d;
    d.StartField(100, 0x00);
    d.StartField(200, 0x20);
    d.MarkFieldModified(50); // before the first attribute: the field wrapping round
    EXPECT_TRUE(d.IsFieldModified(200));
    EXPECT_TRUE(d.IsFieldModified(99));
    EXPECT_FALSE(d.IsFieldModified(150));
    d.SetFieldModified(150, true); // not an attribute cell: ignored
    EXPECT_FALSE(d.IsFieldModified(150));
}

// Into the unprotected field whose data runs from 100 to 109.
TEST(Display3270, PutStringWritesTheFieldAsTheUserLeftIt) {
    struct {
        const char* before; // cells 100..109
        int start, count;
        const char* text;
        const char* after;
        bool modified;
    } cases[] = {
        {"..........", 100, 10, "  AB", "..AB......", true},
        {"..........", 100, 10, "A B", "A B.......", true},
        {"A.........", 100, 10, "A B", "A B.......", true}, // an unchanged A is still text
        {"HELLO.....", 100, 10, "HELLO", "HELLO.....", false},
        {"HELLO WORL", 100, 10, "HI", "HI... ....", true},
        {"HELLO.....", 105, 5, " WORLD", "HELLO WORL", true}, // a row piece after text
        {"..........", 105, 5, " AB", "......AB..", true},
        {"..........", 100, 40, "ABCDEFGHIJKLMN", "ABCDEFGHIJ", true}, // up to the attribute
        {"..........", 100, 10, "\x01", "\x01.........", true},        // text, not an attribute
    };
    for (auto& c : cases) {
        TDisplay d;
        d.StartField(99, 0x00);
        d.StartField(110, 0x20);
        d.Put(100, c.before);
        d.PutString(c.start, c.count, c.text);
        EXPECT_EQ(d.Text(100, 11), std::string(c.after) + "^") << c.text;
        EXPECT_EQ(d.IsFieldModified(100), c.modified) << c.text;
    }
}

TEST(Display3270, PutStringNeverWritesProtectedCellsOrOutsideTheScreen) {
    TDisplay d;
    d.StartField(10, 0x20);
    d.StartField(1900, 0x00);
    for (int start : {10, 11, -3, 1920})
        d.PutString(start, 5, "XYZ");
    d.PutString(1901, -4, "XYZ");
    EXPECT_EQ(d.Text(10, 6), "^.....");
    EXPECT_EQ(d.Text(1901, 3), "...");
    EXPECT_FALSE(d.IsFieldModified(10));
    d.PutString(1910, 500, std::string(500, 'Q'));
    EXPECT_EQ(d.Text(1910, 10), "QQQQQQQQQQ");
    EXPECT_EQ(d.Chars[1920], 0);
}

} // namespace
