// corvalen-register [-u] <module.so>: registers a component module's class
// (or, with -u, removes its registration) by loading the module and calling
// its DllRegisterServer (DllUnregisterServer). Exits non-zero on failure.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "ComponentServer.h"
#include "ModuleLoader.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: corvalen-register [-u] <module.so>\n");
    return 2;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0) {
            unregister = true;
        } else if (path.empty() && argv[i][0] != '-') {
            path = argv[i];
        } else {
            return Usage();
        }
    }
    if (path.empty()) return Usage();
    // A file named in the working folder is meant, not one on the library
    // search path.
    if (path.find('/') == std::string::npos && FileExists(path)) path = "./" + path;

    const char* entry = unregister ? kDllUnregisterServer : kDllRegisterServer;
    std::string error;
    TModuleHandle module = LoadModule(path, &error);
    if (!module) {
        std::fprintf(stderr, "corvalen-register: cannot load %s: %s\n", path.c_str(),
                     error.c_str());
        return 1;
    }
    auto call = reinterpret_cast<TDllRegisterServerFn>(ModuleSymbol(module, entry));
    if (!call) {
        std::fprintf(stderr, "corvalen-register: %s has no entry point %s\n", path.c_str(), entry);
        return 1;
    }
    const HRESULT hr = call();
    if (Failed(hr)) {
        std::fprintf(stderr, "corvalen-register: %s in %s failed: error %s\n", entry, path.c_str(),
                     ResultText(hr).c_str());
        return 1;
    }
    std::printf("corvalen-register: %s in %s succeeded.\n", entry, path.c_str());
    return 0;
}
