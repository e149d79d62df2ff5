// The test-only exports of the stand-in engine modules built from
// FakeEngine.cpp, bound by name from a loaded module.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "ModuleLoader.h"

class TFakeEngine {
public:
    enum TDisconnectMode : int32_t { kNotifyInline = 0, kSilent = 1, kClosedBeforeCall = 2 };

    explicit TFakeEngine(const std::string& name = "FakeEngine")
        : path_(std::string(CORVALEN_BIN_DIR) + "/" + name + ".so") {
        std::string error;
        module_ = LoadModule(path_, &error);
        if (!module_) throw std::runtime_error(error);
        Reset();
    }
    ~TFakeEngine() { Join(); }
    TFakeEngine(const TFakeEngine&) = delete;
    TFakeEngine& operator=(const TFakeEngine&) = delete;

    const std::string& Path() const { return path_; }
    TModuleHandle Module() const { return module_; }

    void Reset() { Fn<void (*)()>("FakeReset")(); }
    void SetConnect(int32_t result, int32_t event, const char* errorText = "") {
        Fn<void (*)(int32_t, int32_t, const char*)>("FakeSetConnect")(result, event, errorText);
    }
    // While held, every Connect blocks (up to 10 s), as against a host that
    // never answers.
    void HoldConnect(bool hold) { Fn<void (*)(bool)>("FakeHoldConnect")(hold); }
    bool WaitConnectsHeld(int32_t n, int32_t timeoutMs = 30000) {
        return Fn<bool (*)(int32_t, int32_t)>("FakeWaitConnectsHeld")(n, timeoutMs);
    }
    void SetDisconnect(TDisconnectMode mode) { Fn<void (*)(int32_t)>("FakeSetDisconnect")(mode); }
    int32_t DisconnectCalls() { return Fn<int32_t (*)()>("FakeDisconnectCalls")(); }
    bool RaiseEvent(uint8_t event, const char* errorText = "") {
        return Fn<bool (*)(uint8_t, const char*)>("FakeRaiseEvent")(event, errorText);
    }
    void RaiseEventAfter(uint8_t event, int32_t delayMs, const char* errorText = "") {
        Fn<void (*)(uint8_t, int32_t, const char*)>("FakeRaiseEventAfter")(event, delayMs,
                                                                           errorText);
    }
    void Join() { Fn<void (*)()>("FakeJoin")(); }
    intptr_t UserData() { return Fn<intptr_t (*)()>("FakeUserData")(); }
    void SetScreen(const std::vector<uint8_t>& bytes, bool overstate = false) {
        Fn<void (*)(const void*, int32_t, bool)>("FakeSetScreen")(
            bytes.data(), static_cast<int32_t>(bytes.size()), overstate);
    }
    void SetScreenResult(int32_t result) { Fn<void (*)(int32_t)>("FakeSetScreenResult")(result); }
    // How many times GetScreen was called since the last reset.
    int32_t ScreenCalls() { return Fn<int32_t (*)()>("FakeScreenCalls")(); }
    int32_t LargestScreenBuffer() { return Fn<int32_t (*)()>("FakeLargestScreenBuffer")(); }
    void SetCustomCommand(const char* text) {
        Fn<void (*)(const char*)>("FakeSetCustomCommand")(text);
    }
    void SetSendResult(int32_t result) { Fn<void (*)(int32_t)>("FakeSetSendResult")(result); }
    // The mnemonic and the stream of the last SendToScreen.
    std::string LastAid() {
        char aid[64] = {};
        LastSendFn()(aid, sizeof aid, nullptr, 0);
        return aid;
    }
    std::vector<uint8_t> LastFields() {
        std::vector<uint8_t> bytes(static_cast<size_t>(LastSendFn()(nullptr, 0, nullptr, 0)));
        LastSendFn()(nullptr, 0, bytes.data(), static_cast<int32_t>(bytes.size()));
        return bytes;
    }
    std::string LastSysReq() {
        char text[256] = {};
        Fn<int32_t (*)(char*, int32_t)>("FakeLastSysReq")(text, sizeof text);
        return text;
    }

private:
    template <typename F> F Fn(const char* name) {
        auto fn = reinterpret_cast<F>(ModuleSymbol(module_, name));
        if (!fn) throw std::runtime_error(std::string("missing export ") + name);
        return fn;
    }
    using TLastSendFn = int32_t (*)(char*, int32_t, void*, int32_t);
    TLastSendFn LastSendFn() { return Fn<TLastSendFn>("FakeLastSend"); }

    std::string path_;
    TModuleHandle module_ = nullptr;
};
