#include "uScreenProfiles.h"

#include <exception>

#include "Registry.h"
#include "uEmuSettings.h"
#include "uMemoryStream.h"

bool LoadScreenProfile(const std::string& name, TPleStyleDetail& style) {
    TRegistry reg(TRootKey::CurrentUser);
    if (!reg.OpenKey(kScreenProfilesKey, true)) return false;
    std::vector<uint8_t> bytes;
    if (reg.ValueExists(name)) {
        bytes = reg.ReadBinaryData(name);
        if (bytes.size() > kMaxProfileBytes)
            throw ERegistryException("Invalid data type for '" + name + "'");
    }
    // A missing value reads as no bytes, which the stream refuses.
    TMemoryStream stream(bytes);
    style.LoadFromStream(stream);
    return true;
}

bool SaveScreenProfile(const std::string& name, const TPleStyleDetail& style) {
    TRegistry reg(TRootKey::CurrentUser);
    if (!reg.OpenKey(kScreenProfilesKey, true)) return false;
    TMemoryStream stream;
    style.SaveToStream(stream);
    const auto bytes = stream.bytes();
    reg.WriteBinaryData(name, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return true;
}

bool DeleteScreenProfile(const std::string& name) {
    TRegistry reg(TRootKey::CurrentUser);
    if (!reg.OpenKey(kScreenProfilesKey, true)) return false;
    reg.DeleteValue(name);
    return true;
}

std::vector<std::string> ListScreenProfiles() {
    TRegistry reg(TRootKey::CurrentUser);
    if (!reg.OpenKey(kScreenProfilesKey, true)) return {};
    return reg.GetValueNames();
}

TProfileState LoadProfiles(TPleStyleDetail& style) {
    TProfileState state;
    state.Profiles = ListScreenProfiles();
    state.CurrentProfile = ReadCurrentProfile();
    if (!state.CurrentProfile.empty()) {
        try {
            LoadScreenProfile(state.CurrentProfile, style);
        } catch (const std::exception&) {
            // A profile deleted or damaged since it was chosen: the view
            // keeps its own style.
        }
    }
    return state;
}
