// What the "Screen Properties" dialog shows and does, without a display:
// the colour pickers, bold boxes and radio groups over an edited copy of the
// view's style, the profile list with Add, Save and Delete, and the result
// that OK applies. Prompts go through TDialogs. User-interface thread.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "uDialogs.h"
#include "uPleStyle.h"

// Every colour picker lists these, in this order; "Silver" and "Gray" appear
// twice.
inline constexpr int kColorCount = 18;
extern const std::array<const char*, kColorCount> kColorNames;

// The colour of a picker name, none when the name is no colour.
std::optional<TColor> ColorOfName(const std::string& name);
// The index a picker selects for a colour: the last item of that colour,
// -1 when none has it.
int SelectColor(TColor color);
// The colour of a picker's selected item; 0 (black) when none is selected.
TColor GetSelectedColor(int index);

// The colour pickers, in the dialog's order.
enum TColorSlot {
    csBack,
    csEditBack,
    csU,
    csUH,
    csP,
    csPH,
    csBlue,
    csRed,
    csPink,
    csGreen,
    csTurquoise,
    csYellow,
    csWhite,
    kColorSlots
};
// The bold check boxes; each stands beside the picker of the same name.
enum TBoldSlot {
    bsU,
    bsUH,
    bsP,
    bsPH,
    bsBlue,
    bsRed,
    bsPink,
    bsGreen,
    bsTurquoise,
    bsYellow,
    bsWhite,
    kBoldSlots
};

// What OK hands to the view and the form.
struct TScreenPropsResult {
    TPleStyleDetail Style; // font included
    bool FontAutoSize = false;
    std::vector<std::string> Profiles;
    std::string ProfileName;
};

class TScreenPropsModel {
public:
    // Shows the view's style. With no stored profile, "Default" is made from
    // that style and stored.
    TScreenPropsModel(TDialogs& dialogs, const TPleStyleDetail& viewStyle, bool fontAutoSize,
                      const std::string& profileName, const std::vector<std::string>& profiles);

    // The controls; a picker index of -1 shows no selection.
    std::array<int, kColorSlots> ColorIndex{};
    std::array<bool, kBoldSlots> Bold{};
    int Reverse = 0; // 0 "Normal", 1 "3D"
    int Edit = 0;    // 0 "Normal", 1 "3D"
    int Cursor = 0;  // 0 "Block", 1 "I-Beam"
    bool AutoSize = false;
    TFont DialogFont; // the font dialog's font; its name is the label's text

    const std::vector<std::string>& Items() const { return items_; }
    int ItemIndex() const { return itemIndex_; }
    const std::string& ProfileName() const { return profileName_; }
    const TPleStyleDetail& EditStyle() const { return editStyle_; }
    // Save and Delete are for any profile but "Default".
    bool SaveDeleteEnabled() const { return profileName_ != kDefault; }

    // An entry picked from the list: its profile is loaded and shown. A
    // profile that cannot be read is reported and the shown style stays.
    void PickProfile(int index);
    void Add();
    void Save();
    void Delete();
    // The font dialog; its answer is not looked at, so a cancelled dialog
    // applies the font it started with.
    void ChangeFont();
    TScreenPropsResult Ok();

private:
    static constexpr const char* kDefault = "Default";
    void ShowStyle();
    void ReadStyle();
    int FindItem(const std::string& name) const; // without regard to case
    bool Load(const std::string& name);
    void Store(const std::string& name);

    TDialogs& dialogs_;
    TPleStyleDetail editStyle_;
    std::vector<std::string> items_;
    int itemIndex_ = -1;
    std::string profileName_;
};
