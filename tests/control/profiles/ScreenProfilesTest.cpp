// Screen profiles in a registry of their own in a fresh folder.
#include <gtest/gtest.h>

#include <cstdlib>

#include "PLError.h"
#include "Registry.h"
#include "support/TempDir.h"
#include "uEmuSettings.h"
#include "uScreenProfiles.h"

namespace {

TPleStyleDetail SampleStyle() {
    TPleStyleDetail s;
    s.BackColor = 0x800000;
    s.EditBackColor = 0x000080;
    s.EditBorderStyle = ebs3D;
    s.ReverseStyle = ebsPlain;
    s.Cursor = 1;
    s.Font = {"DejaVu Sans Mono", 13, fpFixed, {}};
    s.BasicColors.ProtectedHigh = 0xFFFFFF;
    s.ExtendedColors.MapToAqua = 0xFFFF00;
    return s;
}

void WriteRaw(const std::string& name, const std::vector<uint8_t>& bytes) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kScreenProfilesKey, true));
    reg.WriteBinaryData(name, bytes);
}

class ScreenProfiles : public ::testing::Test {
protected:
    void SetUp() override { setenv("CORVALEN_REGISTRY_DIR", dir_.path().c_str(), 1); }
    TTempDir dir_;
};

TEST_F(ScreenProfiles, SavedProfileLoadsBackWholeAndIsListed) {
    const TPleStyleDetail saved = SampleStyle();
    ASSERT_TRUE(SaveScreenProfile("Green screen", saved));
    TPleStyleDetail loaded;
    ASSERT_TRUE(LoadScreenProfile("GREEN SCREEN", loaded));
    EXPECT_EQ(loaded, saved);
    EXPECT_EQ(ListScreenProfiles(), std::vector<std::string>{"Green screen"});
}

// Each bold flag travels on its own, so a swapped or dropped flag shows.
TEST_F(ScreenProfiles, EachBoldFlagSurvivesAloneInItsOwnField) {
    const std::vector<TFontStyles* (*)(TPleStyleDetail&)> fields = {
        [](TPleStyleDetail& s) { return &s.BasicColors.ProtectedNormalStyle; },
        [](TPleStyleDetail& s) { return &s.BasicColors.ProtectedHighStyle; },
        [](TPleStyleDetail& s) { return &s.BasicColors.UnprotectedNormalStyle; },
        [](TPleStyleDetail& s) { return &s.BasicColors.UnprotectedHighStyle; },
        [](TPleStyleDetail& s) { return &s.ExtendedColors.MapToLimeStyle; },
        [](TPleStyleDetail& s) { return &s.ExtendedColors.MapToBlueStyle; },
        [](TPleStyleDetail& s) { return &s.ExtendedColors.MapToAquaStyle; },
        [](TPleStyleDetail& s) { return &s.ExtendedColors.MapToRedStyle; },
        [](TPleStyleDetail& s) { return &s.ExtendedColors.MapToYellowStyle; },
        [](TPleStyleDetail& s) { return &s.ExtendedColors.MapToFuchsiaStyle; },
        [](TPleStyleDetail& s) { return &s.ExtendedColors.MapToWhiteStyle; },
    };
    for (size_t i = 0; i < fields.size(); ++i) {
        TPleStyleDetail saved;
        fields[i](saved)->Include(fsBold);
        ASSERT_TRUE(SaveScreenProfile("p", saved));
        TPleStyleDetail loaded = SampleStyle();
        ASSERT_TRUE(LoadScreenProfile("p", loaded));
        EXPECT_EQ(loaded, saved) << "field " << i;
    }
}

TEST_F(ScreenProfiles, VersionOneProfileLoadsItsColoursFromTheRegistry) {
    WriteRaw("old", {0x02, 1,    0x02, 5,  0x02, 6,    0x02, 1,    0x02, 2,    0x02, 2,
                     0x02, 1,    0x02, 10, 0x02, 11,   0x02, 12,   0x02, 13,   0x09, 0x08,
                     0x08, 0x09, 0x02, 20, 0x02, 21,   0x02, 22,   0x02, 23,   0x02, 24,
                     0x02, 25,   0x02, 26, 0x08, 0x08, 0x08, 0x08, 0x08, 0x09, 0x08});
    TPleStyleDetail style;
    ASSERT_TRUE(LoadScreenProfile("old", style));
    EXPECT_EQ(style.BackColor, 6u);
    EXPECT_EQ(style.BasicColors.UnprotectedHigh, 13u);
    EXPECT_EQ(style.ExtendedColors.MapToWhite, 26u);
    EXPECT_EQ(style.ExtendedColors.MapToFuchsiaStyle, TFontStyles{fsBold});
}

TEST_F(ScreenProfiles, MissingProfileRaisesReadErrorAndLeavesStyleUnchanged) {
    TPleStyleDetail style = SampleStyle();
    EXPECT_THROW(LoadScreenProfile("nope", style), EReadError);
    EXPECT_EQ(style, SampleStyle());
}

TEST_F(ScreenProfiles, UnreadableProfilesNeverHalfApply) {
    TMemoryStream whole;
    TPleStyleDetail other;
    other.BackColor = 0x123456;
    other.SaveToStream(whole);
    const auto b = whole.bytes();
    const std::vector<uint8_t> cut(b.begin(), b.begin() + static_cast<long>(b.size() / 2));
    WriteRaw("cut", cut);
    WriteRaw("huge", std::vector<uint8_t>(kMaxProfileBytes + 1, 0));
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kScreenProfilesKey, true));
        reg.WriteString("text", "not a stream");
    }
    TPleStyleDetail style = SampleStyle();
    EXPECT_THROW(LoadScreenProfile("cut", style), EReadError);
    EXPECT_EQ(style, SampleStyle());
    try {
        LoadScreenProfile("huge", style);
        ADD_FAILURE() << "oversized value loaded";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'huge'");
    }
    EXPECT_THROW(LoadScreenProfile("text", style), ERegistryException);
    EXPECT_EQ(style, SampleStyle());
}

TEST_F(ScreenProfiles, DeleteRemovesOnlyTheNamedProfileAndMissingIsNoError) {
    ASSERT_TRUE(SaveScreenProfile("a", SampleStyle()));
    ASSERT_TRUE(SaveScreenProfile("b", SampleStyle()));
    EXPECT_TRUE(DeleteScreenProfile("a"));
    EXPECT_TRUE(DeleteScreenProfile("never there"));
    EXPECT_EQ(ListScreenProfiles(), std::vector<std::string>{"b"});
}

TEST_F(ScreenProfiles, StartUpAppliesCurrentProfileAndSkipsAMissingOneQuietly) {
    ASSERT_TRUE(SaveScreenProfile("Mine", SampleStyle()));
    ASSERT_TRUE(SaveScreenProfile("Other", TPleStyleDetail{}));
    ASSERT_TRUE(WriteCurrentProfile("Mine"));
    TPleStyleDetail view;
    TProfileState state = LoadProfiles(view);
    EXPECT_EQ(state.Profiles, (std::vector<std::string>{"Mine", "Other"}));
    EXPECT_EQ(state.CurrentProfile, "Mine");
    EXPECT_EQ(view, SampleStyle());

    ASSERT_TRUE(WriteCurrentProfile("Gone"));
    TPleStyleDetail untouched;
    untouched.BackColor = 0x00FF00;
    TPleStyleDetail view2 = untouched;
    EXPECT_NO_THROW(state = LoadProfiles(view2));
    EXPECT_EQ(state.CurrentProfile, "Gone");
    EXPECT_EQ(view2, untouched);
}

} // namespace
