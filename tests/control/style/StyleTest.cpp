// The screen style: presets, the style stream that screen profiles store, and
// the viewport's clipping.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "uPleStyle.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Save(const TPleStyleDetail& style) {
    TMemoryStream s;
    style.SaveToStream(s);
    return Bytes(s.bytes().begin(), s.bytes().end());
}

TPleStyleDetail Load(const Bytes& bytes) {
    TPleStyleDetail style;
    TMemoryStream s(bytes);
    style.LoadFromStream(s);
    return style;
}

TPleStyleDetail Preset(TPleStyle preset) {
    TPleStyleDetail style;
    style.ApplyPreset(preset);
    return style;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

const Bytes kCourierNew10 = {0x06, 11,  'C', 'o', 'u', 'r',  'i', 'e',
                             'r',  ' ', 'N', 'e', 'w', 0x02, 10};
const Bytes kWhite = {0x04, 0xFF, 0xFF, 0xFF, 0x00};
const Bytes kBlack = {0x02, 0x00};
const Bytes kRed = {0x03, 0xFF, 0x00};
const Bytes kMaroon = {0x03, 0x80, 0x00};
const Bytes kF = {0x08}, kT = {0x09};

TEST(StyleStream, EachPresetWritesItsGoldenBytes) {
    struct Case {
        const char* name;
        TPleStyleDetail style;
        Bytes bytes;
    } cases[] = {
        {"new style: every colour is 02 00", TPleStyleDetail{},
         Concat({{0x02, 2},
                 kBlack,
                 kBlack,
                 {0x02, 0, 0x02, 0, 0x02, 0, 0x02, 0},
                 kCourierNew10,
                 kBlack,
                 kBlack,
                 kBlack,
                 kBlack,
                 kF,
                 kF,
                 kF,
                 kF,
                 kBlack,
                 kBlack,
                 kBlack,
                 kBlack,
                 kBlack,
                 kBlack,
                 kBlack,
                 kF,
                 kF,
                 kF,
                 kF,
                 kF,
                 kF,
                 kF})},
        {"pleStandard", Preset(pleStandard),
         Concat({{0x02, 2},
                 kBlack,                               // EditBackColor
                 kBlack,                               // BackColor
                 {0x02, 0, 0x02, 0, 0x02, 0, 0x02, 0}, // border, pitch, reverse, cursor
                 kCourierNew10,
                 {0x04, 0x00, 0xFF, 0xFF, 0x00}, // protected normal: aqua
                 kWhite,                         // protected high
                 {0x04, 0x00, 0xFF, 0x00, 0x00}, // unprotected normal: lime
                 kRed,                           // unprotected high: 255 needs two bytes
                 kF,
                 kF,
                 kF,
                 kF,
                 {0x04, 0x00, 0xFF, 0x00, 0x00}, // lime
                 {0x04, 0x00, 0x00, 0xFF, 0x00}, // blue
                 {0x04, 0x00, 0xFF, 0xFF, 0x00}, // aqua
                 kRed,
                 {0x04, 0xFF, 0xFF, 0x00, 0x00}, // yellow: 65535 needs four bytes
                 {0x04, 0xFF, 0x00, 0xFF, 0x00}, // fuchsia
                 kWhite,
                 kF,
                 kF,
                 kF,
                 kF,
                 kF,
                 kF,
                 kF})},
        {"pleWindows", Preset(pleWindows),
         Concat({{0x02, 2},
                 kWhite,                               // EditBackColor
                 {0x04, 0xC0, 0xC0, 0xC0, 0x00},       // BackColor: silver
                 {0x02, 2, 0x02, 0, 0x02, 0, 0x02, 1}, // 3D border, pitch, reverse, thin caret
                 kCourierNew10,
                 {0x04, 0x00, 0x00, 0x80, 0x00}, // protected normal: navy
                 kBlack,
                 kMaroon,
                 kBlack,
                 kF,
                 kF,
                 kT,
                 kT,
                 kBlack,                         // lime
                 {0x04, 0x00, 0x00, 0xFF, 0x00}, // blue
                 kBlack,
                 kRed,
                 kBlack,
                 kBlack,
                 kMaroon,
                 kF,
                 kT,
                 kF,
                 kT,
                 kF,
                 kF,
                 kT})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Save(c.style), c.bytes) << c.name;
        EXPECT_EQ(Load(c.bytes), c.style) << c.name;
    }
}

TEST(StyleStream, RoundTripKeepsEveryValueAndDropsAllButBold) {
    TPleStyleDetail style = Preset(pleWindows);
    style.EditBorderStyle = ebsPlain;
    style.ReverseStyle = ebs3D;
    style.Cursor = -70000;
    style.Font = {"Liberation Mono", 14, fpFixed, {}};
    style.BasicColors.ProtectedHighStyle = {fsBold, fsItalic};
    style.ExtendedColors.MapToAquaStyle = {fsUnderline};
    style.ExtendedColors.MapToYellow = 0x0080FF;

    TPleStyleDetail expected = style;
    expected.BasicColors.ProtectedHighStyle = {fsBold};
    expected.ExtendedColors.MapToAquaStyle = {};
    EXPECT_EQ(Load(Save(style)), expected);
}

TEST(StyleStream, EachExtendedBoldFlagReadsBackAlone) {
    TFontStyles THostExtendedColors::*flags[] = {
        &THostExtendedColors::MapToLimeStyle,   &THostExtendedColors::MapToBlueStyle,
        &THostExtendedColors::MapToAquaStyle,   &THostExtendedColors::MapToRedStyle,
        &THostExtendedColors::MapToYellowStyle, &THostExtendedColors::MapToFuchsiaStyle,
        &THostExtendedColors::MapToWhiteStyle};
    for (auto flag : flags) {
        TPleStyleDetail style;
        style.ExtendedColors.*flag = {fsBold};
        EXPECT_EQ(Load(Save(style)), style);
    }
}

TEST(StyleStream, Version1HasNoFontNameOrSizeAndReadsTheColoursAfterIt) {
    TPleStyleDetail style;
    style.Font = {"Other", 22, fpDefault, {fsItalic}};
    const Bytes v1 = Concat({{0x02, 1, 0x02, 5, 0x02, 6, 0x02, 1, 0x02, 2, 0x02, 2, 0x02, 1},
                             {0x02, 10, 0x02, 11, 0x02, 12, 0x02, 13, 0x09, 0x08, 0x08, 0x09},
                             {0x02, 20,   0x02, 21,   0x02, 22,   0x02, 23,   0x02, 24,  0x02,
                              25,   0x02, 26,   0x08, 0x08, 0x08, 0x08, 0x08, 0x09, 0x08}});
    TMemoryStream s(v1);
    style.LoadFromStream(s);
    EXPECT_EQ(style.Font, (TFont{"Courier New", 10, fpFixed, {fsItalic}}));
    EXPECT_EQ(style.EditBackColor, 5u);
    EXPECT_EQ(style.BackColor, 6u);
    EXPECT_EQ(style.EditBorderStyle, ebsPlain);
    EXPECT_EQ(style.ReverseStyle, ebs3D);
    EXPECT_EQ(style.Cursor, 1);
    EXPECT_EQ(style.BasicColors.ProtectedNormal, 10u);
    EXPECT_EQ(style.BasicColors.UnprotectedHigh, 13u);
    EXPECT_EQ(style.BasicColors.ProtectedNormalStyle, TFontStyles{fsBold});
    EXPECT_EQ(style.BasicColors.UnprotectedHighStyle, TFontStyles{fsBold});
    EXPECT_EQ(style.ExtendedColors.MapToLime, 20u);
    EXPECT_EQ(style.ExtendedColors.MapToWhite, 26u);
    EXPECT_EQ(style.ExtendedColors.MapToFuchsiaStyle, TFontStyles{fsBold});
    EXPECT_TRUE(style.ExtendedColors.MapToWhiteStyle.Empty());
    EXPECT_EQ(s.position(), v1.size());
}

TEST(StyleStream, SaveAndLoadStartAtTheStreamPositionAndEndAfterTheStyle) {
    const TPleStyleDetail first = Preset(pleStandard), second = Preset(pleWindows);
    TMemoryStream s;
    first.SaveToStream(s);
    const size_t split = s.position();
    second.SaveToStream(s);
    EXPECT_EQ(s.position(), s.size());

    s.setPosition(0);
    TPleStyleDetail a, b;
    a.LoadFromStream(s);
    EXPECT_EQ(s.position(), split);
    b.LoadFromStream(s);
    EXPECT_EQ(a, first);
    EXPECT_EQ(b, second);
}

// A bad stream must neither leave half a style behind nor move the stream:
// the profile dialog shows the style it had.
TEST(StyleStreamFaults, BadStreamRaisesReadErrorAndChangesNothing) {
    const Bytes good = Save(Preset(pleWindows));
    // Offsets in the pleWindows stream.
    const size_t border = 12, pitch = 14, reverse = 16, name = 20, size = 33;
    // The good stream with the value at `at`, `len` bytes long, replaced.
    auto with = [&](size_t at, size_t len, const Bytes& value) {
        return Concat({Bytes(good.begin(), good.begin() + static_cast<long>(at)), value,
                       Bytes(good.begin() + static_cast<long>(at + len), good.end())});
    };
    auto fontName = [&](const Bytes& text) { return with(name, size - name, text); };
    Bytes longName = {0x0C, 0x00, 0x01, 0x00, 0x00}; // 256 bytes
    longName.resize(longName.size() + 256, 'A');
    Bytes emptyStream;

    struct Case {
        const char* fault;
        Bytes bytes;
        const char* message;
    } cases[] = {
        {"empty stream", emptyStream, kStreamReadError},
        {"string where the version is", with(0, 1, {0x06}), kInvalidPropertyValue},
        {"boolean where a colour is", with(2, 1, {0x09}), kInvalidPropertyValue},
        {"border style 3", with(border, 2, {0x02, 3}), kInvalidPropertyValue},
        {"border style -1", with(border, 2, {0x02, 0xFF}), kInvalidPropertyValue},
        {"pitch 3", with(pitch, 2, {0x02, 3}), kInvalidPropertyValue},
        {"reverse style 512", with(reverse, 2, {0x03, 0x00, 0x02}), kInvalidPropertyValue},
        {"integer where the name is", with(name, 1, {0x02}), kInvalidPropertyValue},
        {"font size 0", with(size, 2, {0x02, 0}), kInvalidPropertyValue},
        {"font size -5", with(size, 2, {0x02, 0xFB}), kInvalidPropertyValue},
        {"font size 201", with(size, 2, {0x03, 201, 0}), kInvalidPropertyValue},
        {"name length past the end", fontName({0x06, 0xFF, 'A'}), kStreamReadError},
        {"long name length past the end", fontName({0x0C, 0xFF, 0xFF, 0xFF, 0x7F}),
         kStreamReadError},
        {"negative long name length", fontName({0x0C, 0xFF, 0xFF, 0xFF, 0xFF}), kStreamReadError},
        {"name longer than 255", fontName(longName), kInvalidPropertyValue},
    };
    for (const Case& c : cases) {
        TPleStyleDetail style = Preset(pleStandard);
        TMemoryStream s(c.bytes);
        try {
            style.LoadFromStream(s);
            ADD_FAILURE() << c.fault << ": no error";
        } catch (const EReadError& e) {
            EXPECT_STREQ(e.what(), c.message) << c.fault;
        }
        EXPECT_EQ(style, Preset(pleStandard)) << c.fault;
        EXPECT_EQ(s.position(), 0u) << c.fault;
    }
    // The edges of the ranges are values, not faults.
    EXPECT_EQ(Load(with(size, 2, {0x02, 1})).Font.Size, 1);
    EXPECT_EQ(Load(with(size, 2, {0x03, 200, 0})).Font.Size, 200);
    EXPECT_EQ(Load(with(pitch, 2, {0x02, 2})).Font.Pitch, fpFixed);
}

TEST(StyleStreamFaults, EveryTruncationRaisesAndLeavesTheStyle) {
    const Bytes good = Save(Preset(pleWindows));
    for (size_t n = 0; n < good.size(); ++n) {
        TPleStyleDetail style = Preset(pleStandard);
        TMemoryStream s(Bytes(good.begin(), good.begin() + static_cast<long>(n)));
        EXPECT_THROW(style.LoadFromStream(s), EReadError) << n;
        EXPECT_EQ(style, Preset(pleStandard)) << n;
    }
}

TEST(StylePresets, WindowsThenStandardKeepsBoldAndThinCaret) {
    TPleStyleDetail style;
    style.ReverseStyle = ebs3D;
    style.Font = {"Mono", 12, fpFixed, {fsBold}};
    style.BasicColors.ProtectedNormalStyle = {fsItalic};
    style.ExtendedColors.MapToLimeStyle = {fsUnderline};
    style.ApplyPreset(pleWindows);
    style.ApplyPreset(pleStandard);

    TPleStyleDetail expected = Preset(pleStandard);
    expected.Cursor = 1;
    expected.ReverseStyle = ebs3D;
    expected.Font = {"Mono", 12, fpFixed, {fsBold}};
    expected.BasicColors.ProtectedNormalStyle = {fsItalic};
    expected.BasicColors.UnprotectedNormalStyle = {fsBold};
    expected.BasicColors.UnprotectedHighStyle = {fsBold};
    expected.ExtendedColors.MapToLimeStyle = {fsUnderline};
    expected.ExtendedColors.MapToBlueStyle = {fsBold};
    expected.ExtendedColors.MapToRedStyle = {fsBold};
    expected.ExtendedColors.MapToWhiteStyle = {fsBold};
    EXPECT_EQ(style, expected);
}

struct CountingGrid : THostViewportOwner {
    int changes = 0;
    void ViewportChanged() override { ++changes; }
};

TEST(Viewport, EachSetterTellsTheGrid) {
    CountingGrid grid;
    THostViewport v(&grid);
    EXPECT_EQ(v.ClipCell(-5, 99), (THostViewport::TCell{0, 23}));
    const std::function<void()> setters[] = {[&] { v.SetTopRow(2); }, [&] { v.SetBottomRow(20); },
                                             [&] { v.SetLeftCol(3); }, [&] { v.SetRightCol(70); }};
    for (const auto& set : setters) {
        const int before = grid.changes;
        set();
        EXPECT_EQ(grid.changes, before + 1);
    }
    EXPECT_EQ(v.ClipCell(0, 0), (THostViewport::TCell{2, 1}));
    EXPECT_EQ(v.ClipCell(79, 23), (THostViewport::TCell{69, 19}));
    EXPECT_EQ(v.ClipCell(40, 10), (THostViewport::TCell{40, 10}));
}

TEST(Viewport, CrossedBoundsClampToLeftColAndBoundsOffScreenStayOnScreen) {
    THostViewport v;
    v.SetLeftCol(50);
    v.SetRightCol(10);
    for (int col : {0, 9, 30, 49, 79})
        EXPECT_EQ(v.ClipCell(col, 5).Col, 49) << col;

    v.SetLeftCol(-10);
    v.SetRightCol(200);
    v.SetTopRow(0);
    v.SetBottomRow(1000);
    EXPECT_EQ(v.ClipCell(-3, -3), (THostViewport::TCell{0, 0}));
    EXPECT_EQ(v.ClipCell(500, 500), (THostViewport::TCell{79, 23}));
}

} // namespace
