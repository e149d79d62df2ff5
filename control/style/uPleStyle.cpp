#include "uPleStyle.h"

#include <algorithm>

#include "PLError.h"

namespace {

// Only boldness travels in the stream; any other style in a set is dropped.
void WriteBold(TValueWriter& w, TFontStyles styles) {
    w.WriteBoolean(styles.Contains(fsBold));
}

TFontStyles ReadBold(TValueReader& r) {
    return r.ReadBoolean() ? TFontStyles{fsBold} : TFontStyles{};
}

void WriteColor(TValueWriter& w, TColor color) {
    w.WriteInteger(static_cast<int32_t>(color));
}

TColor ReadColor(TValueReader& r) {
    return static_cast<TColor>(r.ReadInteger());
}

// An Integer that must lie in first..last; anything else is not a value the
// style can hold and fails the whole stream.
int ReadRange(TValueReader& r, int first, int last) {
    const int32_t v = r.ReadInteger();
    if (v < first || v > last) throw EReadError(kInvalidPropertyValue);
    return v;
}

TEBStyle ReadEBStyle(TValueReader& r) {
    return static_cast<TEBStyle>(ReadRange(r, ebsNone, ebs3D));
}

} // namespace

THostViewport::TCell THostViewport::ClipCell(int column, int row) const {
    // Upper bound first, then lower, so a crossed viewport yields its left
    // column and top row.
    column = std::max(std::min(column, rightCol_ - 1), leftCol_ - 1);
    row = std::max(std::min(row, bottomRow_ - 1), topRow_ - 1);
    // The bounds are whatever a caller set; the cell indexes the screen.
    return {std::clamp(column, 0, kScreenCols - 1), std::clamp(row, 0, kScreenRows - 1)};
}

void THostBasicColors::WriteData(TValueWriter& w) const {
    for (TColor c : {ProtectedNormal, ProtectedHigh, UnprotectedNormal, UnprotectedHigh})
        WriteColor(w, c);
    for (TFontStyles s :
         {ProtectedNormalStyle, ProtectedHighStyle, UnprotectedNormalStyle, UnprotectedHighStyle})
        WriteBold(w, s);
}

void THostBasicColors::ReadData(TValueReader& r) {
    for (TColor* c : {&ProtectedNormal, &ProtectedHigh, &UnprotectedNormal, &UnprotectedHigh})
        *c = ReadColor(r);
    for (TFontStyles* s : {&ProtectedNormalStyle, &ProtectedHighStyle, &UnprotectedNormalStyle,
                           &UnprotectedHighStyle})
        *s = ReadBold(r);
}

void THostExtendedColors::WriteData(TValueWriter& w) const {
    for (TColor c :
         {MapToLime, MapToBlue, MapToAqua, MapToRed, MapToYellow, MapToFuchsia, MapToWhite})
        WriteColor(w, c);
    for (TFontStyles s : {MapToLimeStyle, MapToBlueStyle, MapToAquaStyle, MapToRedStyle,
                          MapToYellowStyle, MapToFuchsiaStyle, MapToWhiteStyle})
        WriteBold(w, s);
}

void THostExtendedColors::ReadData(TValueReader& r) {
    for (TColor* c :
         {&MapToLime, &MapToBlue, &MapToAqua, &MapToRed, &MapToYellow, &MapToFuchsia, &MapToWhite})
        *c = ReadColor(r);
    for (TFontStyles* s : {&MapToLimeStyle, &MapToBlueStyle, &MapToAquaStyle, &MapToRedStyle,
                           &MapToYellowStyle, &MapToFuchsiaStyle, &MapToWhiteStyle})
        *s = ReadBold(r);
}

void TPleStyleDetail::ApplyPreset(TPleStyle style) {
    THostBasicColors& b = BasicColors;
    THostExtendedColors& x = ExtendedColors;
    switch (style) {
    case pleStandard:
        BackColor = 0x000000;
        EditBackColor = 0x000000;
        EditBorderStyle = ebsNone;
        b.ProtectedNormal = 0xFFFF00;
        b.ProtectedHigh = 0xFFFFFF;
        b.UnprotectedNormal = 0x00FF00;
        b.UnprotectedHigh = 0x0000FF;
        x.MapToLime = 0x00FF00;
        x.MapToBlue = 0xFF0000;
        x.MapToAqua = 0xFFFF00;
        x.MapToRed = 0x0000FF;
        x.MapToYellow = 0x00FFFF;
        x.MapToFuchsia = 0xFF00FF;
        x.MapToWhite = 0xFFFFFF;
        break;
    case pleWindows:
        BackColor = 0xC0C0C0;
        EditBackColor = 0xFFFFFF;
        EditBorderStyle = ebs3D;
        b.ProtectedNormal = 0x800000;
        b.ProtectedHigh = 0x000000;
        b.UnprotectedNormal = 0x000080;
        b.UnprotectedNormalStyle = {fsBold};
        b.UnprotectedHigh = 0x000000;
        b.UnprotectedHighStyle = {fsBold};
        x.MapToLime = 0x000000;
        x.MapToBlue = 0xFF0000;
        x.MapToBlueStyle = {fsBold};
        x.MapToAqua = 0x000000;
        x.MapToRed = 0x0000FF;
        x.MapToRedStyle = {fsBold};
        x.MapToYellow = 0x000000;
        x.MapToFuchsia = 0x000000;
        x.MapToWhite = 0x000080;
        x.MapToWhiteStyle = {fsBold};
        Cursor = 1;
        break;
    }
}

void TPleStyleDetail::WriteData(TValueWriter& w) const {
    w.WriteInteger(kStreamVersion);
    WriteColor(w, EditBackColor);
    WriteColor(w, BackColor);
    w.WriteInteger(EditBorderStyle);
    w.WriteInteger(Font.Pitch);
    w.WriteInteger(ReverseStyle);
    w.WriteInteger(Cursor);
    w.WriteString(Font.Name);
    w.WriteInteger(Font.Size);
    BasicColors.WriteData(w);
    ExtendedColors.WriteData(w);
}

void TPleStyleDetail::ReadData(TValueReader& r) {
    const int32_t version = r.ReadInteger();
    EditBackColor = ReadColor(r);
    BackColor = ReadColor(r);
    EditBorderStyle = ReadEBStyle(r);
    Font.Pitch = static_cast<TFontPitch>(ReadRange(r, fpDefault, fpFixed));
    ReverseStyle = ReadEBStyle(r);
    // Any caret value is harmless: all but 1 draw a block.
    Cursor = r.ReadInteger();
    if (version < 2) {
        Font.Name = "Courier New";
        Font.Size = 10;
    } else {
        std::string name = r.ReadString();
        if (name.size() > kMaxFontNameLength) throw EReadError(kInvalidPropertyValue);
        Font.Name = std::move(name);
        Font.Size = ReadRange(r, kMinFontSize, kMaxFontSize);
    }
    BasicColors.ReadData(r);
    ExtendedColors.ReadData(r);
}

void TPleStyleDetail::SaveToStream(TMemoryStream& stream) const {
    TValueWriter w(stream);
    WriteData(w);
} // the writer's buffer reaches the stream here

void TPleStyleDetail::LoadFromStream(TMemoryStream& stream) {
    TValueReader r(stream.rest());
    TPleStyleDetail loaded(*this); // what the stream does not carry stays
    loaded.ReadData(r);
    *this = std::move(loaded);
    stream.setPosition(stream.position() + r.position());
}
