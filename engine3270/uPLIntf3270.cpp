// The exported engine interface of the 3270 library: sessions by handle,
// screens as field-list streams, input with an attention key, notifications
// through the caller's callback. Every function runs on the caller's
// thread, catches everything, and reports failures as -1 with the calling
// thread's last error text.
#define PL_ENGINE_MODULE
#include "PLEngineApi.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "ModuleLoader.h"
#include "uEngineCalls.h"
#include "uEngineSessions.h"
#include "uLastError.h"
#include "uPLIntfLogg.h"
#include "uPLTn3270.h"
#include "uParamItems.h"

namespace {

constexpr const char* kEventNames[] = {"ceSessionConnected",    "ceSessionConnectedFail",
                                       "ceSessionDisconnected", "ceSessionDisconnectedFail",
                                       "ceScreenChanged",       "ceKbdLocked",
                                       "ceKbdUnlocked"};
constexpr TEngineTexts kTexts{"<--- Handle asignado: %d", "No hay handles disponibles",
                              "%.4d : Seteando handle como disponile", kEventNames};

using TSessions = TEngineSessions<TPLTn3270>;
using TPLTnObject = TSessions::TObject;
using THandles = TSessions::TTable;

TSessions& Sessions() {
    // Never destroyed: sessions still open when the process ends are not freed.
    static auto* sessions = new TSessions(kTexts);
    return *sessions;
}

std::shared_ptr<TPLTnObject> Lookup(int32_t handle) {
    return Sessions().Lookup(handle);
}

int LogLevelValue(const std::string& value) {
    bool number = !value.empty() && value.size() <= 9;
    for (char c : value)
        number = number && c >= '0' && c <= '9';
    return number ? std::stoi(value) : 0;
}

void ApplyParams(TPLTnObject& object, const std::string& params) {
    std::lock_guard lock(object.Lock());
    TPLTn3270& session = *object.Engine;
    const std::vector<std::string> keys = {"TBL=", "TRM=", "DBG=", "PORT=", "DEV="};
    // Each value runs to its ";"; only DBG= and DEV= lose their blanks.
    for (const auto& [key, raw] : ParseParamItems(params, keys, keys)) {
        if (key == "TBL=") {
            session.Stream3270()->LoadTable(raw);
        } else if (key == "TRM=") {
            // An empty item keeps the terminal type: a host refuses an empty one.
            if (!raw.empty()) session.TermType = raw;
        } else if (key == "DBG=") {
            SetupLogs(LogLevelValue(TrimBlanks(raw)));
        } else if (key == "PORT=") {
            session.Port = raw;
        } else if (key == "DEV=") {
            session.SetDeviceName(TrimBlanks(raw));
        }
    }
}

int32_t GetScreenFor(int32_t handle, void* buffer, int32_t bufSize) {
    auto object = Lookup(handle);
    if (!THandles::InRange(handle)) return -1;
    WriteLog(2, Format("%.4d : Pedido de Screen", handle));
    if (!object) return -1;
    if (!buffer || bufSize <= 0) return FailWith("Invalid Buffer passed as parameter");
    TMemoryStream stream;
    {
        std::lock_guard lock(object->Lock());
        object->Engine->HostFields.SaveToStream(stream);
    }
    // A list longer than the buffer is cut to it; the caller may ask again
    // with a larger one.
    const size_t n = std::min(stream.size(), static_cast<size_t>(bufSize));
    std::memcpy(buffer, stream.data(), n);
    return static_cast<int32_t>(n);
}

} // namespace

extern "C" {

int32_t Connect(const char* connStr, intptr_t userData, TSessionCallback callback) {
    return GuardedCall(
        [&] { return Sessions().Connect(connStr, userData, callback, ApplyParams); });
}

int32_t SetParams(int32_t handle, const char* params) {
    return GuardedCall([&]() -> int32_t {
        auto object = Lookup(handle);
        if (!THandles::InRange(handle)) return -1;
        WriteLog(1, Format("%.4d : Seteo de parametros: %s", handle, params ? params : ""));
        if (!object) return -1;
        if (!params) return FailWith("Invalid Params passed as parameter");
        ApplyParams(*object, params);
        return 0;
    });
}

int32_t Disconnect(int32_t handle) {
    return GuardedCall([&] { return Sessions().Disconnect(handle); });
}

int32_t GetScreen(int32_t handle, void* buffer, int32_t bufSize) {
    return GuardedCall([&] { return GetScreenFor(handle, buffer, bufSize); });
}

int32_t GetScreenEx(int32_t handle, void* buffer, int32_t bufSize) {
    return GuardedCall([&] { return GetScreenFor(handle, buffer, bufSize); });
}

int32_t SendToScreen(int32_t handle, const char* aid, const void* fields, int32_t fieldsSize) {
    return GuardedCall([&]() -> int32_t {
        auto object = Lookup(handle);
        if (!THandles::InRange(handle)) return -1;
        WriteLog(2, Format("%.4d : Pedido de envio de HostFields a Screen", handle));
        if (!object) return -1;
        if (!fields || fieldsSize < 0) return FailWith("Invalid Fields passed as parameter");
        if (!aid) return FailWith("Invalid aid key");
        return TSessions::SendScreenInput(*object, aid, fields, fieldsSize,
                                          "%.4d : Envio de HostFields al host finalizado");
    });
}

int32_t LastResult(int32_t handle) {
    return GuardedCall([&]() -> int32_t {
        auto object = Lookup(handle);
        if (!THandles::InRange(handle)) return -1;
        WriteLog(2, Format("%.4d : Pedido de ultimo valor retornado", handle));
        return object ? object->LastResult.load() : -1;
    });
}

const char* LastErrMsg(void) {
    return LastErrorText().c_str();
}

} // extern "C"

namespace {
// The library's set-up when it is loaded: logging beside the module.
__attribute__((constructor)) void LoadEngine() {
    InitEngineLogs("Tn3270", ModuleFolderOf(reinterpret_cast<const void*>(&Connect)));
}
} // namespace
