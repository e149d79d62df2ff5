#include "uPlComComun.h"

#include <string_view>

#include "IniFile.h"
#include "ModuleLoader.h"
#include "uPLIntfLogg.h"

namespace {

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

} // namespace

std::string ControlFolder() {
    return ModuleFolderOf(reinterpret_cast<const void*>(&ControlFolder));
}

std::string ModulePathIn(const std::string& folder, const std::string& connType) {
    // The default names are those the modules have always had; the loader
    // reads ".dll" as ".so".
    static constexpr struct {
        const char* type;
        const char* section;
        const char* module;
    } kTypes[] = {
        {"Virtual", "VIRTUAL", "PLVirtual.dll"},
        {"TN3270", "TN3270", "PLTN3270.dll"},
        {"TN5250", "TN5250", "PLTN5250.dll"},
        {"HTTP", "HTTP", "PLHTTP.dll"},
    };
    std::string path;
    for (const auto& t : kTypes) {
        if (SameText(connType, t.type)) {
            path = TIniFile(JoinPath(folder, kSettingsFileName))
                       .ReadString(t.section, "Module", t.module);
            break;
        }
    }
    if (path.find('/') == std::string::npos) path = folder + path;
    return path;
}

void GetModulePath(const std::string& connType, std::string& path) {
    path = ModulePathIn(ControlFolder(), connType);
}
