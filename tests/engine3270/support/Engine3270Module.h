// The 3270 engine module loaded the way the control loads it: dlopen by path
// and its functions bound by name. It exports the engine interface without
// the system-request call.
#pragma once

#include <dlfcn.h>

#include <stdexcept>
#include <string>

#include "PLEngineApi.h"

struct TEngine3270Module {
    void* handle = nullptr;
    TConnectFn Connect = nullptr;
    TSetParamsFn SetParams = nullptr;
    TDisconnectFn Disconnect = nullptr;
    TGetScreenFn GetScreen = nullptr;
    TGetScreenFn GetScreenEx = nullptr;
    TSendToScreenFn SendToScreen = nullptr;
    TLastResultFn LastResult = nullptr;
    TLastErrMsgFn LastErrMsg = nullptr;

    explicit TEngine3270Module(const std::string& path) {
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!handle) throw std::runtime_error(dlerror());
        Bind(Connect, "Connect");
        Bind(SetParams, "SetParams");
        Bind(Disconnect, "Disconnect");
        Bind(GetScreen, "GetScreen");
        Bind(GetScreenEx, "GetScreenEx");
        Bind(SendToScreen, "SendToScreen");
        Bind(LastResult, "LastResult");
        Bind(LastErrMsg, "LastErrMsg");
    }
    bool Exports(const char* name) const { return dlsym(handle, name) != nullptr; }

private:
    template <typename F> void Bind(F& f, const char* name) {
        f = reinterpret_cast<F>(dlsym(handle, name));
        if (!f) throw std::runtime_error(std::string("missing export ") + name);
    }
};

// The module of this build, loaded once per test program (and never unloaded,
// as the control never unloads an engine whose threads may still run).
inline TEngine3270Module& Engine3270() {
    static TEngine3270Module module(CORVALEN_BIN_DIR "/PLTn3270.so");
    return module;
}
