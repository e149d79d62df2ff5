// The screen style: the visible window onto the 24 x 80 screen, the colours
// of the field kinds and of the host's extended colours, and the style record
// that gathers them with backgrounds, border styles, font and caret shape.
// The style record travels as the style stream, the data of every screen
// profile.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "uMemoryStream.h"
#include "uTypedValues.h"

// 0x00BBGGRR: red in the low byte, blue in the high byte of the three.
using TColor = uint32_t;

enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// A set of TFontStyle values.
class TFontStyles {
public:
    constexpr TFontStyles() = default;
    constexpr TFontStyles(std::initializer_list<TFontStyle> styles) {
        for (TFontStyle s : styles)
            Include(s);
    }
    constexpr bool Contains(TFontStyle s) const { return (bits_ & Bit(s)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr void Include(TFontStyle s) { bits_ = static_cast<uint8_t>(bits_ | Bit(s)); }
    constexpr void Exclude(TFontStyle s) { bits_ = static_cast<uint8_t>(bits_ & ~Bit(s)); }
    bool operator==(const TFontStyles&) const = default;

private:
    static constexpr uint8_t Bit(TFontStyle s) { return static_cast<uint8_t>(1u << s); }
    uint8_t bits_ = 0;
};

enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };

// The style font as the style keeps it; the view turns it into a real font.
struct TFont {
    std::string Name = "Courier New";
    int Size = 10; // points
    TFontPitch Pitch = fpDefault;
    TFontStyles Style;
    bool operator==(const TFont&) const = default;
};

// Edit border style; also the style of the edge round reverse-image fields.
enum TEBStyle : uint8_t { ebsNone, ebsPlain, ebs3D };

// The built-in presets of the screen grid.
enum TPleStyle : uint8_t { pleStandard, pleWindows };

// Told when a bound of the viewport changes; the screen grid is one
// (user-interface thread).
class THostViewportOwner {
public:
    virtual void ViewportChanged() = 0;

protected:
    ~THostViewportOwner() = default;
};

// The visible window onto the screen, in 1-based rows and columns
// (user-interface thread).
class THostViewport {
public:
    // A 0-based screen cell.
    struct TCell {
        int Col = 0;
        int Row = 0;
        bool operator==(const TCell&) const = default;
    };

    static constexpr int kScreenCols = 80;
    static constexpr int kScreenRows = 24;

    // The owner, when there is one, outlives the viewport.
    explicit THostViewport(THostViewportOwner* owner = nullptr) : owner_(owner) {}

    int TopRow() const { return topRow_; }
    int BottomRow() const { return bottomRow_; }
    int LeftCol() const { return leftCol_; }
    int RightCol() const { return rightCol_; }
    // Each setter stores the value, then tells the owner.
    void SetTopRow(int value) { Store(topRow_, value); }
    void SetBottomRow(int value) { Store(bottomRow_, value); }
    void SetLeftCol(int value) { Store(leftCol_, value); }
    void SetRightCol(int value) { Store(rightCol_, value); }

    // The cell clamped into the viewport, upper bound first, so a viewport
    // whose left column lies right of its right column clamps every column to
    // the left one. The result always lies on the screen.
    TCell ClipCell(int column, int row) const;

private:
    void Store(int& bound, int value) {
        bound = value;
        if (owner_) owner_->ViewportChanged();
    }

    THostViewportOwner* owner_;
    int topRow_ = 1;
    int bottomRow_ = kScreenRows;
    int leftCol_ = 1;
    int rightCol_ = kScreenCols;
};

// Text colours of the four basic field kinds (user-interface thread).
class THostBasicColors {
public:
    TColor ProtectedNormal = 0;
    TColor ProtectedHigh = 0;
    TColor UnprotectedNormal = 0;
    TColor UnprotectedHigh = 0;
    TFontStyles ProtectedNormalStyle;
    TFontStyles ProtectedHighStyle;
    TFontStyles UnprotectedNormalStyle;
    TFontStyles UnprotectedHighStyle;

    void Assign(const THostBasicColors& source) { *this = source; }
    void WriteData(TValueWriter& writer) const;
    void ReadData(TValueReader& reader);
    bool operator==(const THostBasicColors&) const = default;
};

// What each of the seven host colours is shown in (user-interface thread).
class THostExtendedColors {
public:
    TColor MapToLime = 0;
    TColor MapToBlue = 0;
    TColor MapToAqua = 0;
    TColor MapToRed = 0;
    TColor MapToYellow = 0;
    TColor MapToFuchsia = 0;
    TColor MapToWhite = 0;
    TFontStyles MapToLimeStyle;
    TFontStyles MapToBlueStyle;
    TFontStyles MapToAquaStyle;
    TFontStyles MapToRedStyle;
    TFontStyles MapToYellowStyle;
    TFontStyles MapToFuchsiaStyle;
    TFontStyles MapToWhiteStyle;

    void Assign(const THostExtendedColors& source) { *this = source; }
    void WriteData(TValueWriter& writer) const;
    void ReadData(TValueReader& reader);
    bool operator==(const THostExtendedColors&) const = default;
};

// The whole look of the terminal view (user-interface thread).
class TPleStyleDetail {
public:
    // The version this code writes; version 1 streams lack the font's name
    // and size.
    static constexpr int kStreamVersion = 2;
    // Bounds a stream must keep to; the view cannot make a font outside them.
    static constexpr int kMinFontSize = 1;
    static constexpr int kMaxFontSize = 200;
    static constexpr size_t kMaxFontNameLength = 255;

    TColor EditBackColor = 0;
    TColor BackColor = 0;
    TEBStyle EditBorderStyle = ebsNone;
    THostBasicColors BasicColors;
    THostExtendedColors ExtendedColors;
    TFont Font;
    TEBStyle ReverseStyle = ebsNone;
    // 1 is a thin caret; any other value a block caret of one cell.
    int Cursor = 0;

    void SetCursor(int value) { Cursor = value; }
    void Assign(const TPleStyleDetail& source) { *this = source; }

    // Loads a preset; values the preset does not name keep what they had. A
    // value that is no preset changes nothing.
    void ApplyPreset(TPleStyle style);

    // Writes the style stream at the stream's position and leaves the
    // position after it.
    void SaveToStream(TMemoryStream& stream) const;
    // Reads the style stream from the stream's position. Only a whole,
    // sound stream changes the style, and the position then moves past it;
    // otherwise EReadError is raised and neither style nor position changes.
    void LoadFromStream(TMemoryStream& stream);

    // The stream itself; ReadData raises EReadError at the first bad value
    // and leaves the values read before it in place.
    void WriteData(TValueWriter& writer) const;
    void ReadData(TValueReader& reader);

    bool operator==(const TPleStyleDetail&) const = default;
};
