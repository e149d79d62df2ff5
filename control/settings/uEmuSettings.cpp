#include "uEmuSettings.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <map>
#include <span>

#include "Registry.h"

namespace {

// Defaults add to values read from the registry, which may be anything: keep
// the sums inside 32 bits instead of overflowing.
int32_t Sum(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

bool SameText(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

struct TBuiltInType {
    const char* name;
    const char* module;
};

// In this order; a module written for Windows as "PL<type>.dll" is the
// shared object of the same name here.
constexpr TBuiltInType kBuiltInTypes[] = {
    {"Virtual", "PLVirtual.so"},
    {"TN3270", "PLTN3270.so"},
    {"TN5250", "PLTN5250.so"},
    {"HTTP", "PLHTTP.so"},
};

} // namespace

TWindowLayout ReadLayout(const TFormMetrics& current) {
    TRegistryEx reg(TRootKey::CurrentUser);
    // A key that cannot be opened leaves every read below on its default.
    reg.OpenKey(kEmuMainKey, true);
    auto integer = [&](const char* name, int32_t def) {
        return reg.ReadIntegerDef(name, def, false);
    };
    auto boolean = [&](const char* name, bool def) { return reg.ReadBoolDef(name, def, false); };

    TWindowLayout l;
    l.Left = integer("Left", current.Left);
    l.Width = integer("Width", current.Width);
    l.Top = integer("Top", current.Top);
    l.Height = integer("Height", current.Height);

    l.Menu = boolean("Menu", true);
    l.MenuT = integer("MenuT", 0);
    l.MenuL = integer("MenuL", 0);
    l.MenuB = integer("MenuB", current.MenuHeight);
    l.MenuR = integer("MenuR", current.MenuWidth);

    l.Toolbar = boolean("Toolbar", true);
    l.ToolbarT = integer("ToolbarT", 0);
    l.ToolbarL = integer("ToolbarL", 0);
    l.ToolbarB = integer("ToolbarB", current.ToolbarHeight);
    l.ToolbarR = integer("ToolbarR", current.ToolbarWidth);

    l.StatusBar = boolean("Statusbar", true);

    // The keypad falls back to the restored form's top right corner, two
    // buttons plus a margin wide and 160 high; each default builds on the
    // values already read.
    const int64_t twoButtons = int64_t{2} * current.KeyButtonWidth;
    l.KeyPadV = boolean("KeyPadV", false);
    l.KeyPadT = integer("KeyPadT", l.Top);
    l.KeyPadL = integer("KeyPadL", Sum(int64_t{l.Left} + l.Width - twoButtons));
    l.KeyPadB = integer("KeyPadB", Sum(int64_t{l.KeyPadT} + 160));
    l.KeyPadR = integer("KeyPadR", Sum(int64_t{l.KeyPadL} + twoButtons + 4));
    reg.CloseKey();
    return l;
}

void WriteLayout(const TWindowLayout& l) {
    TRegistry reg(TRootKey::CurrentUser);
    // When the key cannot be opened the first write fails and ends the save.
    reg.OpenKey(kEmuMainKey, true);
    reg.WriteInteger("Left", l.Left);
    reg.WriteInteger("Width", l.Width);
    reg.WriteInteger("Top", l.Top);
    reg.WriteInteger("Height", l.Height);

    reg.WriteBool("Menu", l.Menu);
    reg.WriteInteger("MenuT", l.MenuT);
    reg.WriteInteger("MenuL", l.MenuL);
    reg.WriteInteger("MenuB", l.MenuB);
    reg.WriteInteger("MenuR", l.MenuR);

    reg.WriteBool("Toolbar", l.Toolbar);
    reg.WriteInteger("ToolbarT", l.ToolbarT);
    reg.WriteInteger("ToolbarL", l.ToolbarL);
    reg.WriteInteger("ToolbarB", l.ToolbarB);
    reg.WriteInteger("ToolbarR", l.ToolbarR);

    reg.WriteBool("StatusBar", l.StatusBar);

    reg.WriteBool("KeyPadV", l.KeyPadV);
    reg.WriteInteger("KeyPadT", l.KeyPadT);
    reg.WriteInteger("KeyPadL", l.KeyPadL);
    reg.WriteInteger("KeyPadB", l.KeyPadB);
    reg.WriteInteger("KeyPadR", l.KeyPadR);
    reg.CloseKey();
}

TConnTypeList ReadConnTypes() {
    TRegistry reg(TRootKey::LocalMachine);
    std::vector<std::string> names;
    if (reg.OpenKey(kConnTypesKey, true)) {
        names = reg.GetKeyNames();
        reg.CloseKey();
    }

    // A user usually cannot write the machine's hive: a built-in type that
    // cannot be stored there is still offered, with its module from here.
    std::map<std::string, std::string> unstored;
    for (const TBuiltInType& builtIn : kBuiltInTypes) {
        const bool present = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
            return SameText(n, builtIn.name);
        });
        if (present) continue;
        bool stored = false;
        try {
            if (reg.OpenKey(std::string(kConnTypesKey) + "\\" + builtIn.name, true)) {
                reg.WriteString("Module", builtIn.module);
                stored = true;
            }
        } catch (const ERegistryException&) {}
        reg.CloseKey();
        if (!stored) unstored[builtIn.name] = builtIn.module;
        names.push_back(builtIn.name);
    }

    TConnTypeList types;
    for (const std::string& name : names) {
        auto type = std::make_unique<TConnType>();
        type->Name = name;
        type->Index = static_cast<int32_t>(types.size());
        if (auto it = unstored.find(name); it != unstored.end()) {
            type->Module = it->second;
        } else if (reg.OpenKey(std::string(kConnTypesKey) + "\\" + name, false)) {
            try {
                type->Module = reg.ReadString("Module");
            } catch (const ERegistryException&) {
                // Not a string: no module, and connecting with the type fails.
            }
            reg.CloseKey();
        }
        types.push_back(std::move(type));
    }
    return types;
}

TConnList ReadConnections() {
    TRegistry reg(TRootKey::CurrentUser);
    if (!reg.OpenKey(kEmuMainKey, true)) return {};
    std::vector<uint8_t> bytes;
    try {
        bytes = reg.ReadBinaryData("Connections");
    } catch (const ERegistryException&) {
        // Missing or not binary: no connections.
    }
    reg.CloseKey();
    // Read whole, so that the next save writes back the same list, however
    // long; only a value beyond any real list is cut, keeping the records
    // that lie wholly inside the bound.
    std::span<const uint8_t> view(bytes);
    return LoadConnections(view.first(std::min(view.size(), kMaxConnectionsBytes)));
}

bool WriteConnections(const TConnList& list) {
    TRegistry reg(TRootKey::CurrentUser);
    if (!reg.OpenKey(kEmuMainKey, true)) return false;
    try {
        reg.WriteBinaryData("Connections", SaveConnections(list));
    } catch (const ERegistryException&) {
        return false;
    }
    return true;
}

std::string ReadCurrentProfile() {
    TRegistry reg(TRootKey::CurrentUser);
    if (!reg.OpenKey(kEmuMainKey, true)) return {};
    try {
        return reg.ReadString("CurrentProfile");
    } catch (const ERegistryException&) {
        return {};
    }
}

bool WriteCurrentProfile(const std::string& name) {
    TRegistry reg(TRootKey::CurrentUser);
    if (!reg.OpenKey(kEmuMainKey, true)) return false;
    try {
        reg.WriteString("CurrentProfile", name);
    } catch (const ERegistryException&) {
        return false;
    }
    return true;
}
