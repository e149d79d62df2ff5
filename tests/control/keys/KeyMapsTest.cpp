#include <gtest/gtest.h>

#include <string>

#include "uKbdMapping.h"

namespace {

constexpr int vkReturn = 0x0D, vkControl = 0x11, vkPause = 0x13, vkPrior = 0x21, vkHome = 0x24,
              vkSnapshot = 0x2C, vkAdd = 0x6B, vkF1 = 0x70, vkF10 = 0x79, vkF12 = 0x7B;

// Named modifier combinations; L/R say which hand's key is down.
TShiftState Keys(const std::string& held) {
    TShiftState s;
    s.Shift = held.find("Shift") != std::string::npos;
    s.LeftCtrl = held.find("LCtrl") != std::string::npos;
    s.RightCtrl = held.find("RCtrl") != std::string::npos;
    s.LeftAlt = held.find("LAlt") != std::string::npos;
    s.RightAlt = held.find("RAlt") != std::string::npos;
    s.Ctrl = s.LeftCtrl || s.RightCtrl;
    s.Alt = s.LeftAlt || s.RightAlt;
    return s;
}

class KeyMaps : public ::testing::Test {
protected:
    void TearDown() override {
        SetDistinguishLeftRight(false);
        Load5250KeyMap();
    }
};

TEST_F(KeyMaps, EachModifierCombinationFindsItsOwnRow) {
    SetDistinguishLeftRight(true);
    const struct {
        const char* held;
        int state;
    } cases[] = {
        {"", 0},
        {"Shift", 1},
        {"LCtrl", 2},
        {"LCtrl Shift", 3},
        {"LCtrl Shift LAlt", 3}, // Shift wins over Alt with left Ctrl
        {"LCtrl RCtrl", 4},
        {"LCtrl RCtrl LAlt", 4},
        {"LCtrl LAlt", 5},
        {"LCtrl RAlt", 6},
        {"RCtrl", 7},
        {"RCtrl Shift", 8},
        {"RCtrl LAlt", 9},
        {"RCtrl RAlt", 10},
        {"LAlt", 11},
        {"LAlt Shift", 12},
        {"LAlt RAlt", 13},
        {"RAlt", 14},
        {"RAlt Shift", 15},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShiftStateIndex(Keys(c.held)), c.state) << c.held;
}

TEST_F(KeyMaps, KeyboardThatCannotTellHandsApartCountsEveryCtrlAndAltAsLeft) {
    SetDistinguishLeftRight(false);
    EXPECT_EQ(ShiftStateIndex(Keys("RCtrl")), 2);
    EXPECT_EQ(ShiftStateIndex(Keys("RCtrl Shift")), 3);
    EXPECT_EQ(ShiftStateIndex(Keys("RAlt")), 11);
    EXPECT_EQ(ShiftStateIndex(Keys("RAlt Shift")), 12);
    EXPECT_EQ(ShiftStateIndex(Keys("LCtrl RCtrl")), 2);
    EXPECT_EQ(ShiftStateIndex(Keys("RCtrl RAlt")), 5);
}

struct TMapCase {
    bool map3270;
    bool distinguish;
    const char* held;
    int key;
    TKeyKind kind;
    const char* name; // nullptr: no such entry
};

TEST_F(KeyMaps, DefaultMapsGiveTheirKeysTheirNames) {
    constexpr TKeyKind A = TKeyKind::Attention, L = TKeyKind::Local;
    const TMapCase cases[] = {
        // 5250: PA keys only from the right Ctrl where the hands are told apart.
        {false, true, "RCtrl", vkF1, A, "PA1"},
        {false, true, "LCtrl", vkF1, A, nullptr},
        {false, false, "LCtrl", vkF1, A, "PA1"},
        {false, false, "RCtrl", vkF1, A, "PA1"},
        {false, true, "LCtrl", vkControl, A, "RESET"},
        {false, true, "RCtrl", vkControl, A, nullptr},
        {false, false, "RCtrl", vkControl, A, "RESET"},
        {false, true, "Shift", vkReturn, A, "ENTER"},
        {false, true, "Shift", vkReturn, L, nullptr},
        {false, true, "", vkPause, A, "CLEAR"},
        {false, true, "Shift", vkPrior, A, "PAGE-LEFT"},
        {false, true, "Shift", vkF12, A, "PF24"},
        {false, true, "Shift", vkF12 + 1, A, nullptr}, // Shift+F13 is no PF key
        {false, true, "", vkAdd, L, "FIELD+"},
        {false, true, "LAlt", vkSnapshot, A, "SYSREQ"},
        {false, true, "RAlt", vkSnapshot, A, nullptr},
        {false, false, "RAlt", vkSnapshot, A, "SYSREQ"},
        {false, true, "LAlt", vkHome, L, "ERASE EOF"},
        {false, true, "LCtrl", 'E', L, "ERASE FIELD"},
        // 3270
        {true, true, "Shift", vkReturn, A, "ENTER"},
        {true, true, "", vkPause, A, nullptr},
        {true, true, "", vkAdd, L, nullptr},
        {true, true, "LCtrl Shift", 'Z', A, "CLEAR"},
        {true, true, "LCtrl", 'Z', A, nullptr},
        {true, true, "LCtrl", vkF10, A, "PA10"},
        {true, true, "RCtrl", vkF1, A, nullptr},
        {true, false, "RCtrl", 'R', A, "RESET"},
        {true, true, "LCtrl", vkControl, A, nullptr},
        {true, false, "RAlt", vkPause, A, "TESTREQ"},
        {true, true, "LAlt", vkHome, L, "ERASE EOF"},
    };
    for (const auto& c : cases) {
        SetDistinguishLeftRight(c.distinguish);
        c.map3270 ? Load3270KeyMap() : Load5250KeyMap();
        std::string name = "unchanged";
        const bool found = LookupKeyMapping(c.key, Keys(c.held), c.kind, name);
        const std::string where = std::string(c.map3270 ? "3270 " : "5250 ") + c.held + " key " +
                                  std::to_string(c.key) + (c.distinguish ? " (hands)" : "");
        if (c.name) {
            EXPECT_TRUE(found) << where;
            EXPECT_EQ(name, c.name) << where;
        } else {
            EXPECT_FALSE(found) << where;
            EXPECT_EQ(name, "unchanged") << where;
        }
    }
}

TEST_F(KeyMaps, LookupOutsideTheTableFindsNothing) {
    std::string name = "kept";
    EXPECT_FALSE(LookupKeyMapping(-1, {}, TKeyKind::Attention, name));
    EXPECT_FALSE(LookupKeyMapping(256, {}, TKeyKind::Attention, name));
    EXPECT_FALSE(LookupKeyMapping(256 + vkReturn, {}, TKeyKind::Attention, name));
    // Kind 0 would match every empty entry.
    EXPECT_FALSE(LookupKeyMapping('Q', {}, TKeyKind::None, name));
    EXPECT_EQ(name, "kept");
}

TEST_F(KeyMaps, LoadingAMapReplacesTheOneInForce) {
    std::string name;
    Load5250KeyMap();
    Load3270KeyMap();
    EXPECT_FALSE(LookupKeyMapping(vkPause, {}, TKeyKind::Attention, name));
    Load5250KeyMap();
    EXPECT_FALSE(LookupKeyMapping('Z', Keys("LCtrl Shift"), TKeyKind::Attention, name));
    EXPECT_TRUE(LookupKeyMapping(vkPause, {}, TKeyKind::Attention, name));
}

TEST_F(KeyMaps, TellingHandsApartLaterRebuildsTheMapInForce) {
    Load3270KeyMap(); // built with both hands
    std::string name;
    ASSERT_TRUE(LookupKeyMapping(vkF1, Keys("RCtrl"), TKeyKind::Attention, name));
    SetDistinguishLeftRight(true);
    EXPECT_FALSE(LookupKeyMapping(vkF1, Keys("RCtrl"), TKeyKind::Attention, name));
    EXPECT_TRUE(LookupKeyMapping('R', Keys("LCtrl"), TKeyKind::Attention, name));
    EXPECT_EQ(name, "RESET"); // still the 3270 map, not the start-up one
}

TEST_F(KeyMaps, ConnectionGetsTheMapOfItsHostType) {
    const struct {
        const char* type;
        const char* module;
        bool uses3270;
    } cases[] = {
        {"TN3270", "", true},
        {"tn3270", "PLTN5250.dll", true}, // the type decides when there is one
        {"TN5250", "PLTN3270.dll", false},
        {"HTTP", "PLHTTP.dll", false},
        {"TN32700", "", false},
        {"", "PLTN3270.dll", true},
        {"", "PLTn3270.so", true}, // the file as built, found without regard to case
        {"", "/usr/lib/corvalen/pltn3270.so", true},
        {"", "/opt/tn3270/PLTn5250.so", false}, // a folder's name does not count
        {"", "PLTN5250.dll", false},
        {"", "", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Uses3270KeyMap(c.type, c.module), c.uses3270) << c.type << " " << c.module;
        LoadKeyMapFor(c.type, c.module);
        std::string name;
        EXPECT_EQ(LookupKeyMapping(vkPause, {}, TKeyKind::Attention, name), !c.uses3270)
            << c.type << " " << c.module;
    }
    EXPECT_TRUE(IsTn3270Module("PLTn3270.so"));
    EXPECT_FALSE(IsTn3270Module("TN327"));
}

} // namespace
