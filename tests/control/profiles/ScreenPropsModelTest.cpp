// The screen properties dialog's model, answered by a scripted fake.
#include <gtest/gtest.h>

#include <cstdlib>

#include "control/dialogs/FakeDialogs.h"
#include "support/TempDir.h"
#include "uScreenProfiles.h"
#include "uScreenPropsModel.h"

namespace {

// Also answers the name prompt and the font dialog.
class TProfileDialogs : public TFakeDialogs {
public:
    std::deque<std::string> Names; // cancelled when empty
    std::vector<std::string> Captions;
    bool InputQuery(const std::string&, const std::string&, std::string& value) override {
        if (Names.empty()) return false;
        value = Names.front();
        Names.pop_front();
        return true;
    }
    TMsgAnswer MessageBox(const std::string& text, TMsgKind kind, TMsgButtons buttons,
                          const std::string& caption = {}) override {
        Captions.push_back(caption);
        return TFakeDialogs::MessageBox(text, kind, buttons, caption);
    }
};

TPleStyleDetail ViewStyle() {
    TPleStyleDetail s;
    s.BackColor = 0x000000;
    s.EditBackColor = 0x800000;
    s.BasicColors.ProtectedNormal = 0x00FF00;
    s.ExtendedColors.MapToWhite = 0xFFFFFF;
    return s;
}

class ScreenPropsModel : public ::testing::Test {
protected:
    void SetUp() override { setenv("CORVALEN_REGISTRY_DIR", dir_.path().c_str(), 1); }
    TTempDir dir_;
    TProfileDialogs dialogs_;
};

TEST(ColorPicker, DuplicateNamesSelectTheLastItemAndUnknownSelectsNone) {
    EXPECT_EQ(SelectColor(0xC0C0C0), 15);
    EXPECT_EQ(SelectColor(0x808080), 16);
    EXPECT_EQ(SelectColor(0x0000FF), 9);
    EXPECT_EQ(SelectColor(0x123456), -1);
    EXPECT_EQ(GetSelectedColor(-1), 0u);
    EXPECT_EQ(GetSelectedColor(12), 0xFF0000u); // Blue: blue in the high byte
}

TEST_F(ScreenPropsModel, FirstDialogStoresDefaultFromTheViewAndDisablesSaveDelete) {
    TScreenPropsModel m(dialogs_, ViewStyle(), true, "", {});
    EXPECT_EQ(m.Items(), std::vector<std::string>{"Default"});
    EXPECT_EQ(m.ItemIndex(), 0);
    EXPECT_FALSE(m.SaveDeleteEnabled());
    TPleStyleDetail stored;
    ASSERT_TRUE(LoadScreenProfile("Default", stored));
    EXPECT_EQ(stored, ViewStyle());
    const TScreenPropsResult r = m.Ok();
    EXPECT_EQ(r.ProfileName, "Default");
    EXPECT_TRUE(r.FontAutoSize);
}

TEST_F(ScreenPropsModel, ShownValuesMapBackOnOkWithOddValuesNormalised) {
    TPleStyleDetail s = ViewStyle();
    s.ReverseStyle = ebsPlain;
    s.EditBorderStyle = ebs3D;
    s.Cursor = 7;
    s.BackColor = 0x123456; // in no list
    TScreenPropsModel m(dialogs_, s, false, "Default", {"Default"});
    EXPECT_EQ(m.Reverse, 0);
    EXPECT_EQ(m.Edit, 1);
    EXPECT_EQ(m.Cursor, 0); // Block
    EXPECT_EQ(m.ColorIndex[csBack], -1);
    m.Bold[bsPH] = true;
    m.ColorIndex[csRed] = 10; // Lime
    const TScreenPropsResult r = m.Ok();
    EXPECT_EQ(r.Style.ReverseStyle, ebsNone);
    EXPECT_EQ(r.Style.EditBorderStyle, ebs3D);
    EXPECT_EQ(r.Style.BackColor, 0x123456u); // not turned black
    EXPECT_EQ(r.Style.ExtendedColors.MapToRed, 0x00FF00u);
    EXPECT_EQ(r.Style.BasicColors.ProtectedHighStyle, TFontStyles{fsBold});
    EXPECT_TRUE(r.Style.BasicColors.ProtectedNormalStyle.Empty());
}

TEST_F(ScreenPropsModel, AddRefusesDefaultInAnyCaseAndIgnoresEmptyOrCancel) {
    TScreenPropsModel m(dialogs_, ViewStyle(), false, "", {});
    dialogs_.Names = {"DEFAULT", ""};
    m.Add();
    ASSERT_EQ(dialogs_.Messages, std::vector<std::string>{"Invalid profile name"});
    EXPECT_EQ(dialogs_.Captions.back(), "Adding profile");
    m.Add(); // empty
    m.Add(); // cancelled
    EXPECT_EQ(m.Items(), std::vector<std::string>{"Default"});
    EXPECT_EQ(ListScreenProfiles(), std::vector<std::string>{"Default"});
}

TEST_F(ScreenPropsModel, AddStoresShownStyleAndOkReturnsTheNewName) {
    TScreenPropsModel m(dialogs_, ViewStyle(), false, "", {});
    m.ColorIndex[csBack] = 4; // Navy
    dialogs_.Names = {"Night"};
    m.Add();
    EXPECT_EQ(m.ProfileName(), "Night");
    EXPECT_EQ(m.ItemIndex(), 1);
    TPleStyleDetail stored;
    ASSERT_TRUE(LoadScreenProfile("Night", stored));
    EXPECT_EQ(stored.BackColor, 0x800000u);
    const TScreenPropsResult r = m.Ok();
    EXPECT_EQ(r.ProfileName, "Night");
    EXPECT_EQ(r.Profiles, (std::vector<std::string>{"Default", "Night"}));
}

TEST_F(ScreenPropsModel, AddingAListedNameInOtherCaseOverwritesItInsteadOfListingItTwice) {
    ASSERT_TRUE(SaveScreenProfile("Night", ViewStyle()));
    TScreenPropsModel m(dialogs_, ViewStyle(), false, "Default", {"Default", "Night"});
    m.ColorIndex[csBack] = 17; // White
    dialogs_.Names = {"NIGHT"};
    m.Add();
    EXPECT_EQ(m.Items(), (std::vector<std::string>{"Default", "Night"}));
    EXPECT_EQ(m.ItemIndex(), 1);
    TPleStyleDetail stored;
    ASSERT_TRUE(LoadScreenProfile("Night", stored));
    EXPECT_EQ(stored.BackColor, 0xFFFFFFu);
    EXPECT_EQ(ListScreenProfiles().size(), 1u);
}

TEST_F(ScreenPropsModel, OkSavesTheCurrentProfileButNeverDefault) {
    ASSERT_TRUE(SaveScreenProfile("Default", ViewStyle()));
    ASSERT_TRUE(SaveScreenProfile("Mine", ViewStyle()));
    {
        TScreenPropsModel m(dialogs_, ViewStyle(), false, "Default", {"Default", "Mine"});
        m.ColorIndex[csBack] = 17;
        m.Ok();
        TPleStyleDetail stored;
        LoadScreenProfile("Default", stored);
        EXPECT_EQ(stored, ViewStyle());
    }
    TScreenPropsModel m(dialogs_, ViewStyle(), false, "mine", {"Default", "Mine"});
    EXPECT_EQ(m.ItemIndex(), 1);
    EXPECT_TRUE(m.SaveDeleteEnabled());
    m.ColorIndex[csBack] = 17;
    m.Ok();
    TPleStyleDetail stored;
    LoadScreenProfile("Mine", stored);
    EXPECT_EQ(stored.BackColor, 0xFFFFFFu);
}

TEST_F(ScreenPropsModel, DeleteAsksThenSelectsDefaultByNameAndLoadsIt) {
    TPleStyleDetail def = ViewStyle();
    def.BackColor = 0x008000;
    ASSERT_TRUE(SaveScreenProfile("Default", def));
    ASSERT_TRUE(SaveScreenProfile("Mine", ViewStyle()));
    // "Default" is not the first entry: selecting entry 0 would pick "Mine2".
    TScreenPropsModel m(dialogs_, ViewStyle(), false, "Mine", {"Mine2", "Mine", "Default"});
    dialogs_.Answers = {TMsgAnswer::No};
    m.Delete();
    EXPECT_EQ(m.Items().size(), 3u);
    EXPECT_EQ(dialogs_.Captions.back(), "Deleting profile \"Mine\"");
    m.Delete(); // Yes
    EXPECT_EQ(m.Items(), (std::vector<std::string>{"Mine2", "Default"}));
    EXPECT_EQ(m.ItemIndex(), 1);
    EXPECT_EQ(m.ProfileName(), "Default");
    EXPECT_EQ(m.ColorIndex[csBack], 2); // Green from the stored Default
    EXPECT_EQ(ListScreenProfiles(), std::vector<std::string>{"Default"});
    EXPECT_EQ(m.Ok().ProfileName, "Default");
}

TEST_F(ScreenPropsModel, PickingAnUnreadableProfileShowsTheErrorAndKeepsTheStyle) {
    ASSERT_TRUE(SaveScreenProfile("Default", ViewStyle()));
    TScreenPropsModel m(dialogs_, ViewStyle(), false, "Default", {"Default", "Lost"});
    m.ColorIndex[csBack] = 17;
    m.PickProfile(1);
    EXPECT_EQ(dialogs_.Messages, std::vector<std::string>{"Stream read error"});
    EXPECT_EQ(m.ColorIndex[csBack], 17);
    EXPECT_EQ(m.EditStyle(), ViewStyle());
}

TEST_F(ScreenPropsModel, SavingIntoADamagedHiveSaysWhichFileIsDamaged) {
    ASSERT_TRUE(SaveScreenProfile("Mine", ViewStyle()));
    dir_.write("hkcu.reg", dir_.read("hkcu.reg") + "[unclosed\n");
    TScreenPropsModel m(dialogs_, ViewStyle(), false, "Mine", {"Default", "Mine"});
    m.ColorIndex[csBack] = 17;
    m.Ok();
    EXPECT_EQ(dialogs_.Messages,
              std::vector<std::string>{"The settings file '" + dir_.file("hkcu.reg") +
                                       "' is damaged; it is left as it is and nothing was "
                                       "saved to it."});
}

TEST_F(ScreenPropsModel, NameTheSettingsFileCannotHoldFailsAsAnyWriteAndSpoilsNoOther) {
    ASSERT_TRUE(SaveScreenProfile("Mine", ViewStyle()));
    TScreenPropsModel m(dialogs_, ViewStyle(), false, "Mine", {"Default", "Mine"});
    const std::string tooLong(16384, 'n');
    dialogs_.Names = {tooLong};
    m.Add();
    EXPECT_EQ(dialogs_.Messages,
              std::vector<std::string>{"Failed to set data for '" + tooLong + "'"});
    // The settings file still reads, so the next save is kept.
    m.PickProfile(1);
    m.ColorIndex[csBack] = 17;
    m.Save();
    EXPECT_EQ(dialogs_.Messages.size(), 1u);
    TPleStyleDetail stored;
    ASSERT_TRUE(LoadScreenProfile("Mine", stored));
    EXPECT_EQ(stored.BackColor, 0xFFFFFFu);
}

TEST_F(ScreenPropsModel, ChosenFontGivesTheStyleItsNameSizeAndPitch) {
    TPleStyleDetail s = ViewStyle();
    s.Font = {"Sans", 9, fpVariable, {}};
    TScreenPropsModel m(dialogs_, s, false, "", {});
    TFontChoice mono;
    mono.Family = "Liberation Mono";
    mono.PointSize = 14;
    mono.FixedPitch = true;
    dialogs_.Fonts.push_back(mono);
    m.ChangeFont();
    const TFont font = m.Ok().Style.Font;
    EXPECT_EQ(font.Name, "Liberation Mono");
    EXPECT_EQ(font.Size, 14);
    EXPECT_EQ(font.Pitch, fpFixed);
}

TEST_F(ScreenPropsModel, CancelledFontDialogAppliesTheFontItStartedWith) {
    TPleStyleDetail s = ViewStyle();
    s.Font = {"Mono", 12, fpFixed, {}};
    TScreenPropsModel m(dialogs_, s, false, "", {});
    m.ChangeFont();
    EXPECT_EQ(m.Ok().Style.Font, s.Font);
}

} // namespace
