#include "uKbdMapping.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace {

// Rows of the table: which Ctrl and Alt keys, and Shift, are held.
enum : int {
    ssNone = 0,
    ssShift = 1,
    ssLCtrl = 2,
    ssLCtrlShift = 3,
    ssLCtrlRCtrl = 4,
    ssLCtrlLAlt = 5,
    ssLCtrlRAlt = 6,
    ssRCtrl = 7,
    ssRCtrlShift = 8,
    ssRCtrlLAlt = 9,
    ssRCtrlRAlt = 10,
    ssLAlt = 11,
    ssLAltShift = 12,
    ssLAltRAlt = 13,
    ssRAlt = 14,
    ssRAltShift = 15,
};

// Virtual-key codes used by the default maps.
enum : int {
    vkBack = 0x08,
    vkTab = 0x09,
    vkReturn = 0x0D,
    vkControl = 0x11,
    vkPause = 0x13,
    vkEscape = 0x1B,
    vkPrior = 0x21,
    vkNext = 0x22,
    vkEnd = 0x23,
    vkHome = 0x24,
    vkLeft = 0x25,
    vkUp = 0x26,
    vkRight = 0x27,
    vkDown = 0x28,
    vkPrint = 0x2A,
    vkSnapshot = 0x2C,
    vkInsert = 0x2D,
    vkDelete = 0x2E,
    vkMultiply = 0x6A,
    vkAdd = 0x6B,
    vkSubtract = 0x6D,
    vkF1 = 0x70,
    vkScroll = 0x91,
};

constexpr TKeyKind A = TKeyKind::Attention;
constexpr TKeyKind L = TKeyKind::Local;

enum class TDefaultMap { None, Map5250, Map3270 };

TKeyMapTable gTable{};
bool gDistinguishLeftRight = false;
TDefaultMap gMapInForce = TDefaultMap::None;

void WriteEntry(int state, int key, TKeyKind kind, std::string_view name) {
    TKeyMapEntry& e = gTable[state][key];
    e.Kind = kind;
    e.NameLen = static_cast<uint8_t>(std::min(name.size(), TKeyMapEntry::kMaxName));
    e.NameText.fill(0);
    std::copy_n(name.data(), e.NameLen, e.NameText.begin());
}

// The other hand's row, for a keyboard that cannot tell the hands apart;
// -1 for rows that have no such twin.
int OtherHand(int state) {
    switch (state) {
    case ssLCtrl:
        return ssRCtrl;
    case ssRCtrl:
        return ssLCtrl;
    case ssLCtrlShift:
        return ssRCtrlShift;
    case ssRCtrlShift:
        return ssLCtrlShift;
    case ssLAlt:
        return ssRAlt;
    case ssRAlt:
        return ssLAlt;
    default:
        return -1;
    }
}

void Put(int state, int key, TKeyKind kind, std::string_view name) {
    WriteEntry(state, key, kind, name);
    if (!gDistinguishLeftRight) {
        const int twin = OtherHand(state);
        if (twin >= 0) WriteEntry(twin, key, kind, name);
    }
}

void PutFunctionKeys(int state, int first, int count, const char* prefix, int firstNumber) {
    for (int i = 0; i < count; ++i)
        Put(state, vkF1 + first + i, A, std::string(prefix) + std::to_string(firstNumber + i));
}

void PutArrows(int state) {
    Put(state, vkLeft, L, "ARROW_LEFT");
    Put(state, vkUp, L, "ARROW_UP");
    Put(state, vkRight, L, "ARROW_RIGHT");
    Put(state, vkDown, L, "ARROW_DOWN");
}

// The local functions both maps share. Shift+Enter "NEXTLINE" is among
// them, and both maps then give Shift+Enter to "ENTER".
void PutCommonEntries() {
    Put(ssNone, vkBack, L, "BACK");
    Put(ssNone, vkTab, L, "NEXTFIELD");
    Put(ssNone, vkEnd, L, "END");
    Put(ssNone, vkHome, L, "HOME");
    PutArrows(ssNone);
    Put(ssNone, vkInsert, L, "INSERT");
    Put(ssNone, vkDelete, L, "DELETECHAR");

    Put(ssShift, vkBack, L, "BACK");
    Put(ssShift, vkTab, L, "PRIORFIELD");
    Put(ssShift, vkReturn, L, "NEXTLINE");

    Put(ssLCtrl, 'E', L, "ERASE FIELD");

    Put(ssLAlt, vkEnd, L, "RESTORESCREEN");
    Put(ssLAlt, vkHome, L, "ERASE EOF");
}

void StartMap(TDefaultMap map) {
    gTable = TKeyMapTable{};
    gMapInForce = map;
    PutCommonEntries();
}

} // namespace

bool DistinguishLeftRight() {
    return gDistinguishLeftRight;
}

void SetDistinguishLeftRight(bool distinguish) {
    if (distinguish == gDistinguishLeftRight) return;
    gDistinguishLeftRight = distinguish;
    switch (gMapInForce) {
    case TDefaultMap::Map5250:
        Load5250KeyMap();
        break;
    case TDefaultMap::Map3270:
        Load3270KeyMap();
        break;
    case TDefaultMap::None:
        break;
    }
}

int ShiftStateIndex(const TShiftState& s) {
    bool lCtrl = s.Ctrl, rCtrl = false, lAlt = s.Alt, rAlt = false;
    if (gDistinguishLeftRight) {
        lCtrl = s.Ctrl && s.LeftCtrl;
        rCtrl = s.Ctrl && s.RightCtrl;
        lAlt = s.Alt && s.LeftAlt;
        rAlt = s.Alt && s.RightAlt;
    }
    if (lCtrl) {
        if (s.Shift) return ssLCtrlShift;
        if (rCtrl) return ssLCtrlRCtrl;
        if (lAlt) return ssLCtrlLAlt;
        if (rAlt) return ssLCtrlRAlt;
        return ssLCtrl;
    }
    if (rCtrl) {
        if (s.Shift) return ssRCtrlShift;
        if (lAlt) return ssRCtrlLAlt;
        if (rAlt) return ssRCtrlRAlt;
        return ssRCtrl;
    }
    if (lAlt) {
        if (s.Shift) return ssLAltShift;
        if (rAlt) return ssLAltRAlt;
        return ssLAlt;
    }
    if (rAlt) return s.Shift ? ssRAltShift : ssRAlt;
    return s.Shift ? ssShift : ssNone;
}

const TKeyMapTable& KeyMapTable() {
    return gTable;
}

bool LookupKeyMapping(int key, const TShiftState& shift, TKeyKind kind, std::string& name) {
    if (key < 0 || key >= kVirtualKeyCount || kind == TKeyKind::None) return false;
    const TKeyMapEntry& e = gTable[ShiftStateIndex(shift)][key];
    if (e.Kind != kind) return false;
    name.assign(e.Name());
    return true;
}

void Load5250KeyMap() {
    StartMap(TDefaultMap::Map5250);

    Put(ssNone, vkReturn, A, "ENTER");
    Put(ssNone, vkPause, A, "CLEAR");
    Put(ssNone, vkEscape, A, "ATTN");
    Put(ssNone, vkPrior, A, "PAGE-UP");
    Put(ssNone, vkNext, A, "PAGE-DOWN");
    Put(ssNone, vkAdd, L, "FIELD+");
    Put(ssNone, vkSubtract, L, "FIELD-");
    PutFunctionKeys(ssNone, 0, 24, "PF", 1);
    Put(ssNone, vkScroll, A, "HELP");

    Put(ssShift, vkReturn, A, "ENTER");
    Put(ssShift, vkPause, A, "CLEAR");
    Put(ssShift, vkPrior, A, "PAGE-LEFT");
    Put(ssShift, vkNext, A, "PAGE-RIGHT");
    PutFunctionKeys(ssShift, 0, 12, "PF", 13);
    Put(ssShift, vkScroll, A, "HELP");

    // Ctrl pressed on its own is RESET.
    Put(ssLCtrl, vkControl, A, "RESET");
    PutFunctionKeys(ssRCtrl, 0, 3, "PA", 1);

    Put(ssLAlt, vkPause, A, "TESTREQ");
    for (int key : {vkPrint, vkSnapshot, vkMultiply})
        Put(ssLAlt, key, A, "SYSREQ");
}

void Load3270KeyMap() {
    StartMap(TDefaultMap::Map3270);

    Put(ssNone, vkReturn, A, "ENTER");
    PutFunctionKeys(ssNone, 0, 24, "PF", 1);

    Put(ssShift, vkReturn, A, "ENTER");
    PutFunctionKeys(ssShift, 0, 12, "PF", 13);

    Put(ssLCtrl, 'G', A, "SYSREQ");
    Put(ssLCtrl, 'R', A, "RESET");
    PutFunctionKeys(ssLCtrl, 0, 10, "PA", 1);

    Put(ssLCtrlShift, 'A', A, "ATTN");
    Put(ssLCtrlShift, 'H', A, "HELP");
    Put(ssLCtrlShift, 'Z', A, "CLEAR");

    Put(ssLAlt, vkPause, A, "TESTREQ");
}

bool IsTn3270Module(std::string_view modulePath) {
    const std::size_t slash = modulePath.find_last_of('/');
    const std::string_view file =
        slash == std::string_view::npos ? modulePath : modulePath.substr(slash + 1);
    constexpr std::string_view kTag = "TN3270";
    if (file.size() < kTag.size()) return false;
    for (std::size_t at = 0; at + kTag.size() <= file.size(); ++at) {
        if (std::equal(kTag.begin(), kTag.end(), file.begin() + at, [](char t, char c) {
                return t == std::toupper(static_cast<unsigned char>(c));
            }))
            return true;
    }
    return false;
}

bool Uses3270KeyMap(std::string_view connectionType, std::string_view modulePath) {
    if (connectionType.empty()) return IsTn3270Module(modulePath);
    constexpr std::string_view kType = "TN3270";
    return connectionType.size() == kType.size() &&
           std::equal(kType.begin(), kType.end(), connectionType.begin(), [](char t, char c) {
               return t == std::toupper(static_cast<unsigned char>(c));
           });
}

void LoadKeyMapFor(std::string_view connectionType, std::string_view modulePath) {
    if (Uses3270KeyMap(connectionType, modulePath))
        Load3270KeyMap();
    else
        Load5250KeyMap();
}

namespace {
// The 5250 map is in force from start-up.
[[maybe_unused]] const bool gStartupMapLoaded = (Load5250KeyMap(), true);
} // namespace
