// The key map: which key name, and which kind of key, each combination of
// modifier keys and virtual key stands for. One table serves the whole
// process; the default map of a host type replaces it whenever a view is
// attached to a connection, for every view at once.
// Runs on the user-interface thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

enum class TKeyKind : uint8_t {
    None = 0,
    Attention = 1, // ends the user's input and goes to the host
    Local = 2,     // carried out by the view itself
};

// One entry of the table; the name is a short string of at most 15
// characters, as the table's fixed layout holds it.
struct TKeyMapEntry {
    static constexpr std::size_t kMaxName = 15;

    TKeyKind Kind = TKeyKind::None;
    uint8_t NameLen = 0;
    std::array<char, kMaxName> NameText{};

    std::string_view Name() const { return {NameText.data(), NameLen}; }
};

inline constexpr int kShiftStateCount = 16;
inline constexpr int kVirtualKeyCount = 256;
using TKeyMapTable = std::array<std::array<TKeyMapEntry, kVirtualKeyCount>, kShiftStateCount>;

// The modifier keys held during a key event. The four hand flags say which
// physical Ctrl and Alt keys are down; they count only where the keyboard
// tells the hands apart (DistinguishLeftRight), and then only while the
// matching Shift, Ctrl or Alt flag is set.
struct TShiftState {
    bool Shift = false;
    bool Ctrl = false;
    bool Alt = false;
    bool LeftCtrl = false;
    bool RightCtrl = false;
    bool LeftAlt = false;
    bool RightAlt = false;
};

// Whether left and right Ctrl and Alt are told apart. False until the
// keyboard layer finds that its platform reports the hands; then every Ctrl
// counts as left Ctrl, every Alt as left Alt, and the maps carry each
// one-handed entry on both hands.
bool DistinguishLeftRight();
// Changing it rebuilds the default map in force, so that its one-handed
// entries follow.
void SetDistinguishLeftRight(bool distinguish);

// The row of the table (0..15) for a key event's modifiers.
int ShiftStateIndex(const TShiftState& shift);

const TKeyMapTable& KeyMapTable();

// The entry for (shift state, key) when its kind is kind: sets name and
// returns true. Otherwise false, and name is left as it was. Only virtual
// keys 0..255 have entries.
bool LookupKeyMapping(int key, const TShiftState& shift, TKeyKind kind, std::string& name);

// Fill the table with a default map. The 5250 map is in force from start-up.
void Load5250KeyMap();
void Load3270KeyMap();

// Whether an engine module is the 3270 engine, told by its file name
// containing "TN3270" without regard to case ("PLTN3270.dll",
// "/usr/lib/corvalen/PLTn3270.so"); the folders above it do not count.
bool IsTn3270Module(std::string_view modulePath);

// Whether a connection uses the 3270 map: by its connection type when it
// has one ("TN3270", without regard to case), else by its module.
bool Uses3270KeyMap(std::string_view connectionType, std::string_view modulePath);

// Loads the default map of a connection's host type.
void LoadKeyMapFor(std::string_view connectionType, std::string_view modulePath);
