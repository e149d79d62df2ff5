#include "ComponentRegistration.h"

#include <cstdio>
#include <vector>

#include "ModuleLoader.h"
#include "Registry.h"

namespace {

// The status every aspect of the control shares: the container gives it its
// site before it loads it.
constexpr uint32_t kMiscStatusSetClientSiteFirst = 0x20000;

std::string Key(const std::string& relative) {
    return std::string(kClassesKey) + "\\" + relative;
}

std::string ClassKey(const TGuid& clsid) {
    return Key("CLSID\\" + clsid.ToString());
}

std::string TypeLibKey(const TTypeLibDesc& lib) {
    return Key("TypeLib\\" + lib.libid.ToString());
}

std::string InterfaceKey(const TInterfaceDesc& intf) {
    return Key("Interface\\" + intf.iid.ToString());
}

// The locale subkey of a type library is its locale in hex, "0" for none.
std::string LocaleName(uint32_t lcid) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", lcid);
    return text;
}

// Opens (creating) a key and writes its values; the first pair with an
// empty name is the key's default value.
void WriteKey(const std::string& path,
              const std::vector<std::pair<std::string, std::string>>& values = {}) {
    TRegistry reg(TRootKey::CurrentUser);
    if (!reg.OpenKey(path, true)) throw ERegistryException("Failed to create key '" + path + "'");
    for (const auto& [name, value] : values)
        reg.WriteString(name, value);
    reg.CloseKey();
}

// The default value of a key; empty when the key or the value is missing.
std::string ReadDefault(const std::string& path) {
    TRegistry reg(TRootKey::CurrentUser);
    if (!reg.OpenKeyReadOnly(path)) return {};
    if (reg.GetDataType("") != TRegDataType::String) return {};
    return reg.ReadString("");
}

bool KeyIsEmpty(const std::string& path) {
    TRegistry reg(TRootKey::CurrentUser);
    if (!reg.OpenKeyReadOnly(path)) return false;
    return reg.GetKeyNames().empty() && reg.GetValueNames().empty();
}

void DeleteKey(const std::string& path) {
    TRegistry reg(TRootKey::CurrentUser);
    if (reg.KeyExists(path) && !reg.DeleteKey(path))
        throw ERegistryException("Failed to delete key '" + path + "'");
}

// Removes path and each of its parents up to \Software while they hold
// nothing: registering created them, and nothing else has used them since.
void PruneEmpty(std::string path) {
    while (KeyIsEmpty(path)) {
        DeleteKey(path);
        const size_t slash = path.rfind('\\');
        if (slash == std::string::npos || slash == 0) return;
        path.resize(slash);
    }
}

} // namespace

void WriteClassRegistration(const TClassInfo& info, const std::string& modulePath) {
    const std::string clsid = info.clsid.ToString();
    const std::string classKey = ClassKey(info.clsid);
    const TTypeLibDesc* lib = info.typeLib;

    WriteKey(classKey, {{"", info.className}});
    WriteKey(classKey + "\\InprocServer32",
             {{"", modulePath}, {"ThreadingModel", info.threadingModel}});
    WriteKey(classKey + "\\ProgID", {{"", info.progId}});
    if (lib) {
        WriteKey(classKey + "\\TypeLib", {{"", lib->libid.ToString()}});
        WriteKey(classKey + "\\Version", {{"", lib->VersionText()}});
    }
    WriteKey(classKey + "\\MiscStatus", {{"", std::to_string(kMiscStatusSetClientSiteFirst)}});
    WriteKey(classKey + "\\MiscStatus\\1", {{"", std::to_string(info.miscStatus)}});
    WriteKey(classKey + "\\ToolboxBitmap32",
             {{"", modulePath + "," + std::to_string(info.toolboxBitmap)}});
    WriteKey(classKey + "\\Control");

    WriteKey(Key(info.progId), {{"", info.description}});
    WriteKey(Key(info.progId + "\\CLSID"), {{"", clsid}});

    if (!lib) return;
    const std::string libKey = TypeLibKey(*lib) + "\\" + lib->VersionText();
    WriteKey(libKey, {{"", lib->helpString}});
    WriteKey(libKey + "\\" + LocaleName(lib->lcid) + "\\linux", {{"", modulePath}});
    WriteKey(libKey + "\\FLAGS", {{"", "0"}});
    WriteKey(libKey + "\\HELPDIR", {{"", FolderOf(modulePath)}});
    for (const TInterfaceDesc* intf : lib->interfaces) {
        const std::string key = InterfaceKey(*intf);
        WriteKey(key, {{"", intf->name}});
        WriteKey(key + "\\TypeLib", {{"", lib->libid.ToString()}, {"Version", lib->VersionText()}});
    }
}

void RemoveClassRegistration(const TClassInfo& info) {
    const std::string clsid = info.clsid.ToString();
    DeleteKey(ClassKey(info.clsid));
    PruneEmpty(Key("CLSID"));

    // Another server may have taken the ProgID since.
    if (!info.progId.empty()) {
        const std::string progIdKey = Key(info.progId);
        const auto named = TGuid::Parse(ReadDefault(progIdKey + "\\CLSID"));
        if (named && *named == info.clsid) DeleteKey(progIdKey);
    }

    if (const TTypeLibDesc* lib = info.typeLib) {
        DeleteKey(TypeLibKey(*lib) + "\\" + lib->VersionText());
        PruneEmpty(TypeLibKey(*lib));
        for (const TInterfaceDesc* intf : lib->interfaces) {
            const std::string key = InterfaceKey(*intf);
            const auto owner = TGuid::Parse(ReadDefault(key + "\\TypeLib"));
            if (owner && *owner == lib->libid) DeleteKey(key);
        }
        PruneEmpty(Key("Interface"));
    }
    PruneEmpty(kClassesKey);
}

std::string RegisteredModulePath(const TGuid& clsid) {
    return ReadDefault(ClassKey(clsid) + "\\InprocServer32");
}
