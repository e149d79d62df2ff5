// The control's settings in the registry: the window layout, the connection
// types, the stored connections and the name of the screen profile in use.
// Each call opens its own registry object, works and closes it again.
// User-interface thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "uConnParm.h"

// The user's settings, and the machine's connection types.
inline constexpr const char* kEmuMainKey = "\\SOFTWARE\\Keldware\\Pallisor\\Corvalen";
inline constexpr const char* kConnTypesKey = "\\SOFTWARE\\Keldware\\Pallisor\\ConnTypes";

// The stored connections are read whole up to this size; a list that long
// is far beyond anything a user keeps.
inline constexpr size_t kMaxConnectionsBytes = size_t{1} << 20;

// The form's current geometry: what a layout value falls back to when the
// registry holds none.
struct TFormMetrics {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t MenuWidth = 0;
    int32_t MenuHeight = 0;
    int32_t ToolbarWidth = 0;
    int32_t ToolbarHeight = 0;
    int32_t KeyButtonWidth = 0; // one keypad button
};

// The window layout as stored under the main key. The bars' rectangles keep
// their sizes (bottom minus top, right minus left); the keypad's is its
// floating window's screen rectangle.
struct TWindowLayout {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    bool Menu = true;
    int32_t MenuT = 0, MenuL = 0, MenuB = 0, MenuR = 0;
    bool Toolbar = true;
    int32_t ToolbarT = 0, ToolbarL = 0, ToolbarB = 0, ToolbarR = 0;
    bool StatusBar = true;
    bool KeyPadV = false;
    int32_t KeyPadT = 0, KeyPadL = 0, KeyPadB = 0, KeyPadR = 0;
};

// Reads never write; a key that cannot be opened gives every default.
TWindowLayout ReadLayout(const TFormMetrics& current);
// Raises ERegistryException ("Failed to set data for '%s'") at the first
// value that cannot be written, which ends the save.
void WriteLayout(const TWindowLayout& layout);

using TConnTypeList = std::vector<std::unique_ptr<TConnType>>;

// The types under the ConnTypes key in the registry's order, then each
// built-in type ("Virtual", "TN3270", "TN5250", "HTTP") that is missing under
// any case, seeded with its module. A built-in type that cannot be written
// (a read-only machine hive) is used from memory; this never fails.
TConnTypeList ReadConnTypes();

// The stored connections, most recently connected first: the records read
// whole before a damaged one. None when the key or the value is missing.
TConnList ReadConnections();
// False when the list could not be written.
bool WriteConnections(const TConnList& list);

// Empty when none is stored.
std::string ReadCurrentProfile();
// False when the name could not be written.
bool WriteCurrentProfile(const std::string& name);
