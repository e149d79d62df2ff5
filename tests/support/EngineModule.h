// An engine module loaded the way the control loads it: dlopen by path and
// the interface's functions bound by name.
#pragma once

#include <dlfcn.h>

#include <stdexcept>
#include <string>

#include "PLEngineApi.h"

struct TEngineModule {
    void* handle = nullptr;
    TConnectFn Connect = nullptr;
    TSetParamsFn SetParams = nullptr;
    TDisconnectFn Disconnect = nullptr;
    TGetScreenFn GetScreen = nullptr;
    TGetScreenFn GetScreenEx = nullptr;
    TSendToScreenFn SendToScreen = nullptr;
    TLastResultFn LastResult = nullptr;
    TLastErrMsgFn LastErrMsg = nullptr;
    // Only the 5250 engine has it; null for a module without it.
    TSendSystemRequestFn SendSystemRequest = nullptr;

    explicit TEngineModule(const std::string& path) {
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
        SendSystemRequest =
            reinterpret_cast<TSendSystemRequestFn>(dlsym(handle, "SendSystemRequest"));
    }
    bool Exports(const char* name) const { return dlsym(handle, name) != nullptr; }

private:
    template <typename F> void Bind(F& f, const char* name) {
        f = reinterpret_cast<F>(dlsym(handle, name));
        if (!f) throw std::runtime_error(std::string("missing export ") + name);
    }
};
