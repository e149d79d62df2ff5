// Screen profiles: named display styles kept as binary values (the style
// stream) under the "Screen Profiles" key beside the control's settings,
// and the start-up step that applies the profile in use.
// User-interface thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "uPleStyle.h"

inline constexpr const char* kScreenProfilesKey =
    "\\SOFTWARE\\Keldware\\Pallisor\\Corvalen\\Screen Profiles";
// Made from the view's style when none is stored; never saved over or deleted
// by the dialog.
inline constexpr const char* kDefaultProfile = "Default";
// A style stream is a few hundred bytes; a value longer than this is not one.
inline constexpr size_t kMaxProfileBytes = 8192;

// Reads the named profile into style. False, with nothing done, when the
// profiles key cannot be opened. A missing or short value raises EReadError
// ("Stream read error"); one longer than kMaxProfileBytes or not binary
// raises ERegistryException ("Invalid data type for '%s'"). Either way the
// style is left as it was: it is replaced only by a whole stream.
bool LoadScreenProfile(const std::string& name, TPleStyleDetail& style);
// False when the key cannot be opened; a failed write raises
// ERegistryException ("Failed to set data for '%s'").
bool SaveScreenProfile(const std::string& name, const TPleStyleDetail& style);
// A missing value is no error; false only when the key cannot be opened.
bool DeleteScreenProfile(const std::string& name);
// The stored names in the registry's order; none when the key cannot be opened.
std::vector<std::string> ListScreenProfiles();

struct TProfileState {
    std::vector<std::string> Profiles;
    std::string CurrentProfile;
};

// Start-up: the stored names and the profile in use, whose style is loaded
// into style. A profile in use that is missing or unreadable is skipped
// quietly and the style keeps what it had.
TProfileState LoadProfiles(TPleStyleDetail& style);
