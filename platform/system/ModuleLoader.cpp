#include "ModuleLoader.h"

#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "NoCase.h"

namespace {

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && EqualNoCase(s.substr(s.size() - suffix.size()), suffix);
}

struct TDirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// The entry of folder whose name equals name without regard to case, the
// exact spelling first; of several other spellings the lowest, so that the
// choice does not depend on the order the folder lists them in. Empty when
// there is none or the folder cannot be read.
std::string FindNoCase(const std::string& folder, std::string_view name) {
    std::unique_ptr<DIR, TDirCloser> dir(::opendir(folder.c_str()));
    if (!dir) return {};
    std::string best;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view candidate = entry->d_name;
        if (candidate == name) return std::string(candidate);
        if (EqualNoCase(candidate, name) && (best.empty() || candidate < best))
            best = std::string(candidate);
    }
    return best;
}

std::string ReadLink(const char* path) {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(path, buffer, sizeof buffer);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) return {};
    return std::string(buffer, static_cast<size_t>(n));
}

} // namespace

TModuleHandle LoadModule(const std::string& nameOrPath, std::string* error) {
    // dlopen takes an empty name for the program itself; no caller means that.
    if (nameOrPath.empty()) {
        if (error) *error = "empty module name";
        return nullptr;
    }
    std::string name = nameOrPath;
    constexpr std::string_view kDll = ".dll";
    if (EndsWithNoCase(name, kDll)) name.replace(name.size() - kDll.size(), kDll.size(), ".so");

    // Module names were written for a file system that ignores case, so a
    // path finds its file in its folder whatever the spelling. A bare name is
    // looked for first in the program's folder, where the Windows loader's
    // search begins and where the modules are installed, then left to the
    // system's library search.
    if (name.find('/') != std::string::npos) {
        const std::string folder = FolderOf(name);
        const std::string found = FindNoCase(folder, std::string_view(name).substr(folder.size()));
        if (!found.empty()) name = folder + found;
    } else if (const std::string folder = FolderOf(ReadLink("/proc/self/exe")); !folder.empty()) {
        const std::string found = FindNoCase(folder, name);
        if (!found.empty()) name = folder + found;
    }

    // RTLD_NODELETE: a module's threads may outlive the last reference to it.
    void* module = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!module && error) {
        const char* text = ::dlerror();
        *error = text ? text : name + ": cannot load module";
    }
    return module;
}

void* ModuleSymbol(TModuleHandle module, const char* name) {
    if (!module || !name) return nullptr;
    return ::dlsym(module, name);
}

void UnloadModule(TModuleHandle module) {
    if (module) ::dlclose(module);
}

std::string ModuleFileOf(const void* address) {
    if (!address) return {};
    Dl_info info{};
    link_map* map = nullptr;
    if (::dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 || !map)
        return {};
    const std::string_view loaded = map->l_name ? map->l_name : "";
    // The program itself has no name in the loader's list (dladdr would give
    // argv[0], which may be relative or a bare name); the kernel knows its file.
    if (loaded.empty()) return ReadLink("/proc/self/exe");
    if (loaded.front() == '/') return std::string(loaded);
    // A module opened by a relative path keeps that path; make it full while
    // the working folder is likely still the one it was opened from.
    const std::string relative(loaded);
    std::unique_ptr<char, decltype(&std::free)> full(::realpath(relative.c_str(), nullptr),
                                                     &std::free);
    return full ? std::string(full.get()) : relative;
}

std::string ModuleFolderOf(const void* address) {
    return FolderOf(ModuleFileOf(address));
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    std::string_view head = folder;
    std::string_view tail = name;
    while (!head.empty() && head.back() == '/')
        head.remove_suffix(1);
    while (!tail.empty() && tail.front() == '/')
        tail.remove_prefix(1);
    std::string joined(head);
    joined += '/';
    joined += tail;
    return joined;
}
