#include "uScreenPropsModel.h"

#include <algorithm>
#include <cctype>
#include <exception>

#include "uScreenProfiles.h"

const std::array<const char*, kColorCount> kColorNames = {
    "Black", "Maroon", "Green",  "Olive", "Navy",    "Purple", "Teal",   "Gray", "Silver",
    "Red",   "Lime",   "Yellow", "Blue",  "Fuchsia", "Aqua",   "Silver", "Gray", "White"};

namespace {

struct TNamedColor {
    const char* Name;
    TColor Color;
};

// 0x00BBGGRR.
constexpr TNamedColor kColors[] = {
    {"Black", 0x000000},  {"Maroon", 0x000080},  {"Green", 0x008000}, {"Olive", 0x008080},
    {"Navy", 0x800000},   {"Purple", 0x800080},  {"Teal", 0x808000},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0x0000FF},     {"Lime", 0x00FF00},  {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0xFFFF00},  {"White", 0xFFFFFF}};

bool SameText(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The style fields behind the pickers and bold boxes, in slot order.
std::array<TColor*, kColorSlots> Colors(TPleStyleDetail& s) {
    auto& b = s.BasicColors;
    auto& e = s.ExtendedColors;
    return {&s.BackColor,       &s.EditBackColor, &b.UnprotectedNormal, &b.UnprotectedHigh,
            &b.ProtectedNormal, &b.ProtectedHigh, &e.MapToBlue,         &e.MapToRed,
            &e.MapToFuchsia,    &e.MapToLime,     &e.MapToAqua,         &e.MapToYellow,
            &e.MapToWhite};
}

std::array<TFontStyles*, kBoldSlots> Styles(TPleStyleDetail& s) {
    auto& b = s.BasicColors;
    auto& e = s.ExtendedColors;
    return {&b.UnprotectedNormalStyle, &b.UnprotectedHighStyle, &b.ProtectedNormalStyle,
            &b.ProtectedHighStyle,     &e.MapToBlueStyle,       &e.MapToRedStyle,
            &e.MapToFuchsiaStyle,      &e.MapToLimeStyle,       &e.MapToAquaStyle,
            &e.MapToYellowStyle,       &e.MapToWhiteStyle};
}

} // namespace

std::optional<TColor> ColorOfName(const std::string& name) {
    for (const TNamedColor& c : kColors)
        if (name == c.Name) return c.Color;
    return std::nullopt;
}

int SelectColor(TColor color) {
    int selected = -1;
    for (int i = 0; i < kColorCount; ++i)
        if (ColorOfName(kColorNames[i]) == color) selected = i;
    return selected;
}

TColor GetSelectedColor(int index) {
    if (index < 0 || index >= kColorCount) return 0;
    return ColorOfName(kColorNames[index]).value_or(0);
}

TScreenPropsModel::TScreenPropsModel(TDialogs& dialogs, const TPleStyleDetail& viewStyle,
                                     bool fontAutoSize, const std::string& profileName,
                                     const std::vector<std::string>& profiles)
    : AutoSize(fontAutoSize), dialogs_(dialogs), editStyle_(viewStyle), profileName_(profileName) {
    ShowStyle();
    if (profiles.empty()) {
        Store(kDefault);
        profileName_ = kDefault;
        items_.push_back(kDefault);
    }
    items_.insert(items_.end(), profiles.begin(), profiles.end());
    itemIndex_ = FindItem(profileName_);
}

// AutoSize belongs to the view, not to the style, so it is not shown here.
void TScreenPropsModel::ShowStyle() {
    const auto colors = Colors(editStyle_);
    for (int i = 0; i < kColorSlots; ++i)
        ColorIndex[i] = SelectColor(*colors[i]);
    const auto styles = Styles(editStyle_);
    for (int i = 0; i < kBoldSlots; ++i)
        Bold[i] = styles[i]->Contains(fsBold);
    Reverse = editStyle_.ReverseStyle == ebs3D ? 1 : 0;
    Edit = editStyle_.EditBorderStyle == ebs3D ? 1 : 0;
    Cursor = editStyle_.Cursor == 1 ? 1 : 0;
    DialogFont = editStyle_.Font;
}

void TScreenPropsModel::ReadStyle() {
    const auto colors = Colors(editStyle_);
    for (int i = 0; i < kColorSlots; ++i)
        // A colour no picker lists shows no selection and stays as it is.
        if (ColorIndex[i] >= 0) *colors[i] = GetSelectedColor(ColorIndex[i]);
    const auto styles = Styles(editStyle_);
    for (int i = 0; i < kBoldSlots; ++i) {
        if (Bold[i])
            styles[i]->Include(fsBold);
        else
            styles[i]->Exclude(fsBold);
    }
    editStyle_.ReverseStyle = Reverse == 1 ? ebs3D : ebsNone;
    editStyle_.EditBorderStyle = Edit == 1 ? ebs3D : ebsNone;
    editStyle_.Cursor = Cursor == 1 ? 1 : 0;
}

int TScreenPropsModel::FindItem(const std::string& name) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (SameText(items_[i], name)) return static_cast<int>(i);
    return -1;
}

bool TScreenPropsModel::Load(const std::string& name) {
    try {
        LoadScreenProfile(name, editStyle_);
        return true;
    } catch (const std::exception& e) {
        dialogs_.MessageBox(e.what(), TMsgKind::Error, TMsgButtons::Ok);
        return false;
    }
}

void TScreenPropsModel::Store(const std::string& name) {
    try {
        SaveScreenProfile(name, editStyle_);
    } catch (const std::exception& e) {
        dialogs_.MessageBox(e.what(), TMsgKind::Error, TMsgButtons::Ok);
    }
}

void TScreenPropsModel::PickProfile(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size())) return;
    itemIndex_ = index;
    profileName_ = items_[index];
    // A profile that cannot be read leaves the controls as they were.
    if (Load(profileName_)) ShowStyle();
}

void TScreenPropsModel::Add() {
    std::string name;
    if (!dialogs_.InputQuery("New Screen Profile", "Enter profile name:", name)) return;
    if (SameText(name, kDefault)) {
        dialogs_.MessageBox("Invalid profile name", TMsgKind::Confirmation, TMsgButtons::Ok,
                            "Adding profile");
        return;
    }
    if (name.empty()) return;
    // A name already listed is chosen again and overwritten, not listed twice.
    int index = FindItem(name);
    if (index < 0) {
        items_.push_back(name);
        index = static_cast<int>(items_.size()) - 1;
    }
    itemIndex_ = index;
    ReadStyle();
    profileName_ = items_[index];
    Store(profileName_);
}

void TScreenPropsModel::Save() {
    if (profileName_ == kDefault || itemIndex_ < 0) return;
    ReadStyle();
    Store(profileName_);
}

void TScreenPropsModel::Delete() {
    if (profileName_ == kDefault || itemIndex_ < 0) return;
    if (dialogs_.MessageBox("Continue?", TMsgKind::Confirmation, TMsgButtons::YesNo,
                            "Deleting profile \"" + profileName_ + "\"") != TMsgAnswer::Yes)
        return;
    try {
        DeleteScreenProfile(profileName_);
    } catch (const std::exception& e) {
        dialogs_.MessageBox(e.what(), TMsgKind::Error, TMsgButtons::Ok);
        return;
    }
    items_.erase(items_.begin() + itemIndex_);
    // "Default" by its name: it need not be the first entry.
    profileName_ = kDefault;
    itemIndex_ = FindItem(kDefault);
    if (Load(kDefault)) ShowStyle();
}

void TScreenPropsModel::ChangeFont() {
    TFontChoice choice;
    choice.Family = DialogFont.Name;
    choice.PointSize = DialogFont.Size;
    choice.Bold = DialogFont.Style.Contains(fsBold);
    choice.Italic = DialogFont.Style.Contains(fsItalic);
    choice.Underline = DialogFont.Style.Contains(fsUnderline);
    choice.StrikeOut = DialogFont.Style.Contains(fsStrikeOut);
    choice.FixedPitch = DialogFont.Pitch != fpVariable;
    if (dialogs_.ChooseFont(choice)) {
        DialogFont.Name = choice.Family;
        DialogFont.Size = choice.PointSize;
        DialogFont.Pitch = choice.FixedPitch ? fpFixed : fpVariable;
        DialogFont.Style = {};
        if (choice.Bold) DialogFont.Style.Include(fsBold);
        if (choice.Italic) DialogFont.Style.Include(fsItalic);
        if (choice.Underline) DialogFont.Style.Include(fsUnderline);
        if (choice.StrikeOut) DialogFont.Style.Include(fsStrikeOut);
    }
    editStyle_.Font.Name = DialogFont.Name;
    editStyle_.Font.Size = DialogFont.Size;
    editStyle_.Font.Pitch = DialogFont.Pitch;
}

TScreenPropsResult TScreenPropsModel::Ok() {
    Save();
    ReadStyle();
    TScreenPropsResult result;
    result.Style = editStyle_;
    result.Style.Font = DialogFont;
    result.FontAutoSize = AutoSize;
    result.Profiles = items_;
    result.ProfileName = profileName_;
    return result;
}
