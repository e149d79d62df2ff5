// The control's settings in a registry of its own in a fresh folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "Registry.h"
#include "support/TempDir.h"
#include "uEmuSettings.h"

namespace {

class EmuSettings : public ::testing::Test {
protected:
    void SetUp() override { setenv("CORVALEN_REGISTRY_DIR", dir_.path().c_str(), 1); }

    static std::vector<std::pair<std::string, std::string>> Types(const TConnTypeList& types) {
        std::vector<std::pair<std::string, std::string>> out;
        for (size_t i = 0; i < types.size(); ++i) {
            EXPECT_EQ(types[i]->Index, static_cast<int32_t>(i));
            out.emplace_back(types[i]->Name, types[i]->Module);
        }
        return out;
    }

    TTempDir dir_;
};

const TFormMetrics kForm{100, 50, 800, 600, 300, 22, 400, 28, 40};

TEST_F(EmuSettings, CleanRegistryGivesTheFormsLayoutAndNoConnections) {
    const TWindowLayout l = ReadLayout(kForm);
    EXPECT_EQ(std::vector<int32_t>({l.Left, l.Top, l.Width, l.Height}),
              std::vector<int32_t>({100, 50, 800, 600}));
    EXPECT_TRUE(l.Menu);
    EXPECT_EQ(std::vector<int32_t>({l.MenuT, l.MenuL, l.MenuB, l.MenuR}),
              std::vector<int32_t>({0, 0, 22, 300}));
    EXPECT_TRUE(l.Toolbar);
    EXPECT_EQ(std::vector<int32_t>({l.ToolbarT, l.ToolbarL, l.ToolbarB, l.ToolbarR}),
              std::vector<int32_t>({0, 0, 28, 400}));
    EXPECT_TRUE(l.StatusBar);
    EXPECT_FALSE(l.KeyPadV);
    EXPECT_TRUE(ReadConnections().empty());
    EXPECT_EQ(ReadCurrentProfile(), "");
}

TEST_F(EmuSettings, KeypadDefaultsToTheRestoredFormsTopRightCorner) {
    TRegistry reg(TRootKey::CurrentUser);
    ASSERT_TRUE(reg.OpenKey(kEmuMainKey, true));
    reg.WriteBool("KeyPadV", true);
    reg.WriteInteger("Left", -1200); // a window on a screen left of the primary
    reg.WriteInteger("Top", 30);
    reg.CloseKey();

    const TWindowLayout l = ReadLayout(kForm);
    EXPECT_TRUE(l.KeyPadV);
    EXPECT_EQ(l.KeyPadT, 30);
    EXPECT_EQ(l.KeyPadL, -1200 + 800 - 80);
    EXPECT_EQ(l.KeyPadB - l.KeyPadT, 160);
    EXPECT_EQ(l.KeyPadR - l.KeyPadL, 84);
}

TEST_F(EmuSettings, LayoutRoundTripsIncludingNegativePositions) {
    TWindowLayout saved;
    saved.Left = -1280;
    saved.Top = -20;
    saved.Width = 1024;
    saved.Height = 700;
    saved.Menu = false;
    saved.MenuT = 3, saved.MenuL = 4, saved.MenuB = 27, saved.MenuR = 504;
    saved.Toolbar = true;
    saved.ToolbarT = 26, saved.ToolbarL = 0, saved.ToolbarB = 56, saved.ToolbarR = 620;
    saved.StatusBar = false;
    saved.KeyPadV = true;
    saved.KeyPadT = -300, saved.KeyPadL = -90, saved.KeyPadB = -140, saved.KeyPadR = -6;
    WriteLayout(saved);

    const TWindowLayout l = ReadLayout(kForm);
    auto all = [](const TWindowLayout& x) {
        return std::vector<int32_t>({x.Left,     x.Top,      x.Width,    x.Height,   x.Menu,
                                     x.MenuT,    x.MenuL,    x.MenuB,    x.MenuR,    x.Toolbar,
                                     x.ToolbarT, x.ToolbarL, x.ToolbarB, x.ToolbarR, x.StatusBar,
                                     x.KeyPadV,  x.KeyPadT,  x.KeyPadL,  x.KeyPadB,  x.KeyPadR});
    };
    EXPECT_EQ(all(l), all(saved));

    // Written as "StatusBar", read under another case: one value.
    TRegistry reg(TRootKey::CurrentUser);
    ASSERT_TRUE(reg.OpenKey(kEmuMainKey, false));
    EXPECT_EQ(reg.GetDataType("Statusbar"), TRegDataType::Integer);
    EXPECT_EQ(reg.ReadInteger("STATUSBAR"), 0);
}

TEST_F(EmuSettings, BuiltInTypesAreSeededOnceAfterTheTypesFound) {
    {
        TRegistry reg(TRootKey::LocalMachine);
        ASSERT_TRUE(reg.OpenKey(std::string(kConnTypesKey) + "\\Mine", true));
        reg.WriteString("Module", "/opt/mine.so");
        ASSERT_TRUE(reg.OpenKey(std::string(kConnTypesKey) + "\\tn5250", true));
        reg.WriteString("Module", "custom5250.so");
    }
    const auto expected = std::vector<std::pair<std::string, std::string>>{
        {"Mine", "/opt/mine.so"},  {"tn5250", "custom5250.so"}, {"Virtual", "PLVirtual.so"},
        {"TN3270", "PLTN3270.so"}, {"HTTP", "PLHTTP.so"},
    };
    EXPECT_EQ(Types(ReadConnTypes()), expected);
    // The second start finds them all stored and adds nothing.
    EXPECT_EQ(Types(ReadConnTypes()), expected);

    TRegistry reg(TRootKey::LocalMachine);
    ASSERT_TRUE(reg.OpenKey(kConnTypesKey, false));
    EXPECT_EQ(reg.GetKeyNames().size(), 5u);
}

TEST_F(EmuSettings, ReadOnlyMachineHiveStillOffersTheBuiltInTypes) {
    // A hive that cannot be read or written, as for a user without the
    // right to write the machine's settings.
    std::filesystem::create_directory(dir_.file("hklm.reg"));
    TConnTypeList types;
    ASSERT_NO_THROW(types = ReadConnTypes());
    EXPECT_EQ(Types(types), (std::vector<std::pair<std::string, std::string>>{
                                {"Virtual", "PLVirtual.so"},
                                {"TN3270", "PLTN3270.so"},
                                {"TN5250", "PLTN5250.so"},
                                {"HTTP", "PLHTTP.so"},
                            }));
}

TEST_F(EmuSettings, StoredConnectionsRoundTripBeyondEightKilobytes) {
    TConnList list;
    for (int i = 0; i < 300; ++i)
        list.push_back(std::make_unique<TConnParm>(
            TConnParm{"Host " + std::to_string(i), "host" + std::to_string(i) + ";PORT=992;TRM=3",
                      i % 2 ? "TN3270" : "TN5250"}));
    ASSERT_GT(SaveConnections(list).size(), 8192u);
    ASSERT_TRUE(WriteConnections(list));

    const TConnList back = ReadConnections();
    ASSERT_EQ(back.size(), list.size());
    for (size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i]->Name, list[i]->Name);
        EXPECT_EQ(back[i]->Param, list[i]->Param);
        EXPECT_EQ(back[i]->ConnType, list[i]->ConnType);
    }

    ASSERT_TRUE(WriteConnections({}));
    EXPECT_TRUE(ReadConnections().empty());
}

TEST_F(EmuSettings, ConnectionsOfAnotherTypeOrDamagedKeepWhatReads) {
    TRegistry reg(TRootKey::CurrentUser);
    ASSERT_TRUE(reg.OpenKey(kEmuMainKey, true));
    reg.WriteString("Connections", "not binary");
    EXPECT_TRUE(ReadConnections().empty());

    reg.WriteBinaryData("Connections", {0x06, 0x01, 'A', 0x06, 0x00, 0x06, 0x00, 0x0C, 0xFF, 0xFF});
    const TConnList list = ReadConnections();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->Name, "A");
}

TEST_F(EmuSettings, CurrentProfileRoundTrips) {
    ASSERT_TRUE(WriteCurrentProfile("Green on black"));
    EXPECT_EQ(ReadCurrentProfile(), "Green on black");
}

TEST_F(EmuSettings, UnwritableUserHiveReportsFailedSaves) {
    // The folder lies below a plain file, so nothing can be created there.
    dir_.write("file", "x");
    setenv("CORVALEN_REGISTRY_DIR", dir_.file("file/reg").c_str(), 1);
    EXPECT_FALSE(WriteConnections({}));
    EXPECT_FALSE(WriteCurrentProfile("P"));
    EXPECT_THROW(WriteLayout(TWindowLayout{}), ERegistryException);
    EXPECT_TRUE(ReadConnections().empty());
    EXPECT_EQ(ReadLayout(kForm).Width, 800);
    EXPECT_EQ(ReadConnTypes().size(), 4u);
}

} // namespace
