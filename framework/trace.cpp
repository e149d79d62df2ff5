#include "trace.h"

#include <atomic>

#include "ModuleLoader.h"

namespace {
// Set once at module load (or by a test before any logging); read by every
// thread after that.
TLog32Api gApi;
std::atomic<bool> gBound{false};

template <typename F> F Bind(TModuleHandle module, const char* name) {
    return reinterpret_cast<F>(ModuleSymbol(module, name));
}
} // namespace

void SetLog32Api(const TLog32Api& api) {
    gBound.store(false);
    gApi = api.Complete() ? api : TLog32Api{};
    gBound.store(gApi.Complete());
}

void BindLog32(const std::string& moduleFolder) {
    TModuleHandle module = LoadModule("log32.so");
    if (!module && !moduleFolder.empty()) module = LoadModule(JoinPath(moduleFolder, "log32.so"));
    if (!module) {
        SetLog32Api({});
        return;
    }
    TLog32Api api;
    api.SetLogLevel = Bind<TSetLogLevel>(module, "SetLogLevel");
    api.OpenLog = Bind<TOpenLog>(module, "OpenLog");
    api.CloseLog = Bind<TCloseLog>(module, "CloseLog");
    api.RewindLog = Bind<TRewindLog>(module, "RewindLog");
    api.DumpLog = Bind<TDumpLog>(module, "DumpLog");
    api.MsgLog = Bind<TMsgLog>(module, "MsgLog");
    if (!api.Complete()) UnloadModule(module);
    SetLog32Api(api);
}

bool Log32Bound() {
    return gBound.load();
}

void Log32SetLogLevel(uint16_t level) {
    if (Log32Bound()) gApi.SetLogLevel(level);
}

int32_t Log32OpenLog(const std::string& fileName) {
    return Log32Bound() ? gApi.OpenLog(fileName.c_str()) : 0;
}

void Log32CloseLog(int32_t handle) {
    if (Log32Bound()) gApi.CloseLog(handle);
}

void Log32RewindLog(int32_t handle) {
    if (Log32Bound()) gApi.RewindLog(handle);
}

void Log32DumpLog(int32_t handle, uint16_t level, const std::string& title, uint16_t width,
                  const void* data, uint16_t len, uint16_t block) {
    if (Log32Bound()) gApi.DumpLog(handle, level, title.c_str(), width, data, len, block);
}

void Log32MsgLog(int32_t handle, uint16_t level, const std::string& text) {
    if (Log32Bound()) gApi.MsgLog(handle, level, text.c_str());
}

std::mutex& Log32MessageLock() {
    // Never destroyed: reader threads may still log while the process exits.
    static auto* lock = new std::mutex;
    return *lock;
}
