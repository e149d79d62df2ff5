// The exported engine interface of the 5250 library: sessions by handle,
// screens as field-list streams, input with an attention key, notifications
// through the caller's callback. Every function runs on the caller's
// thread, catches everything, and reports failures as -1 with the calling
// thread's last error text.
#define PL_ENGINE_MODULE
#include "PLEngineApi.h"

#include <cstring>

#include "ModuleLoader.h"
#include "uEngineCalls.h"
#include "uEngineSessions.h"
#include "uLastError.h"
#include "uPLIntfLogg.h"
#include "uPLTn5250.h"
#include "uParamItems.h"

namespace {

constexpr const char* kEventNames[] = {"ceSessionConnected",    "ceSessionConnectedFail",
                                       "ceSessionDisconnected", "ceSessionDisconnectedFail",
                                       "ceScreenChanged",       "ceKbdLocked",
                                       "ceKbdUnlocked",         "ceIsAlive"};
constexpr TEngineTexts kTexts{"<--- Handle asignado: %.4d", kInvalidHandle,
                              "%.4d : Seteando handle como disponible", kEventNames};

using TSessions = TEngineSessions<TPLTn5250>;
using TPLTnObject = TSessions::TObject;

TSessions& Sessions() {
    // Never destroyed: sessions still open when the process ends are not freed.
    static auto* sessions = new TSessions(kTexts);
    return *sessions;
}

std::shared_ptr<TPLTnObject> Lookup(int32_t handle) {
    return Sessions().Lookup(handle);
}

int32_t Fail(const std::string& text) {
    return FailWith(text);
}

int32_t ApplyParams(TPLTnObject& object, const std::string& params) {
    std::lock_guard lock(object.Lock());
    TPLTn5250& session = *object.Engine;
    const auto items =
        ParseParamItems(params, {"WIN=", "TBL=", "MSG=", "TRM=", "DBG=", "PORT="}, {"PORT="});
    for (const auto& [key, value] : items) {
        if (key == "WIN=") {
            session.SetWindows(EqualsIgnoreCase(value, "TRUE"));
        } else if (key == "TBL=") {
            session.Stream5250()->LoadTable(value);
        } else if (key == "MSG=") {
            session.Stream5250()->SetErrorAsMessage(EqualsIgnoreCase(value, "TRUE"));
        } else if (key == "TRM=") {
            if (!value.empty()) session.TermType = value;
        } else if (key == "DBG=") {
            int level = 0;
            bool number = !value.empty() && value.size() <= 9;
            for (char c : value)
                number = number && c >= '0' && c <= '9';
            if (number) level = std::stoi(value);
            SetupLogs(level);
        } else if (key == "PORT=") {
            session.Port = value;
        }
    }
    return 0;
}

int32_t GetScreenFor(int32_t handle, void* buffer, int32_t bufSize, const char* logText) {
    auto object = Lookup(handle);
    if (!TSessions::TTable::InRange(handle)) return -1;
    WriteLog(2, Format(logText, handle));
    if (!object) return -1;
    if (!buffer || bufSize <= 0) return Fail("Invalid Buffer passed as parameter");
    std::lock_guard lock(object->Lock());
    TPLTn5250& session = *object->Engine;
    session.SetWindows(false);
    TMemoryStream stream;
    session.HostFields.SaveToStream(stream);
    // A list longer than the buffer is cut to it; the caller may ask again
    // with a larger one.
    const size_t n = std::min(stream.size(), static_cast<size_t>(bufSize));
    std::memcpy(buffer, stream.data(), n);
    return static_cast<int32_t>(n);
}

template <typename F> int32_t Guarded(F&& body) {
    return GuardedCall(std::forward<F>(body));
}

} // namespace

extern "C" {

int32_t Connect(const char* connStr, intptr_t userData, TSessionCallback callback) {
    return Guarded([&] { return Sessions().Connect(connStr, userData, callback, ApplyParams); });
}

int32_t SetParams(int32_t handle, const char* params) {
    return Guarded([&]() -> int32_t {
        auto object = Lookup(handle);
        if (!TSessions::TTable::InRange(handle)) return -1;
        WriteLog(1, Format("%.4d : Seteo de parametros: %s", handle, params ? params : ""));
        if (!object) return -1;
        if (!params) return Fail("Invalid Params passed as parameter");
        return ApplyParams(*object, params);
    });
}

int32_t Disconnect(int32_t handle) {
    return Guarded([&] { return Sessions().Disconnect(handle); });
}

int32_t GetScreen(int32_t handle, void* buffer, int32_t bufSize) {
    return Guarded([&] {
        return GetScreenFor(handle, buffer, bufSize, "%.4d : Pedido de Screen con ventanas. ");
    });
}

int32_t GetScreenEx(int32_t handle, void* buffer, int32_t bufSize) {
    return Guarded([&] {
        return GetScreenFor(handle, buffer, bufSize, "%.4d : Pedido de Screen sin ventanas. ");
    });
}

int32_t SendToScreen(int32_t handle, const char* aid, const void* fields, int32_t fieldsSize) {
    return Guarded([&]() -> int32_t {
        auto object = Lookup(handle);
        if (!TSessions::TTable::InRange(handle)) return -1;
        WriteLog(2, Format("%.4d : Pedido de envio de EmFields a Screen", handle));
        if (!object) return -1;
        if (!fields || fieldsSize < 0) return Fail("Invalid Fields passed as parameter");
        if (!aid) return Fail("Invalid Aid passed as parameter");
        return TSessions::SendScreenInput(*object, aid, fields, fieldsSize,
                                          "%.4d : Envio de EmFields al host finalizado");
    });
}

int32_t LastResult(int32_t handle) {
    return Guarded([&]() -> int32_t {
        auto object = Lookup(handle);
        if (!TSessions::TTable::InRange(handle)) return -1;
        WriteLog(2, Format("%.4d : Pedido de ultimo valor retornado", handle));
        return object ? object->LastResult.load() : -1;
    });
}

const char* LastErrMsg(void) {
    return LastErrorText().c_str();
}

int32_t SendSystemRequest(int32_t handle, const char* text) {
    return Guarded([&]() -> int32_t {
        auto object = Lookup(handle);
        if (!TSessions::TTable::InRange(handle)) return -1;
        WriteLog(2, Format("%.4d : Pedido de Requerimiento al Sistema (SysReq)", handle));
        if (!object) return -1;
        if (!text) return Fail("Invalid Text passed as parameter");
        return TSessions::SendingCall(*object,
                                      [&](TPLTn5250& session) { return session.SendSysReq(text); });
    });
}

} // extern "C"

namespace {
// The library's set-up when it is loaded: logging beside the module.
__attribute__((constructor)) void LoadEngine() {
    InitEngineLogs("Tn5250", ModuleFolderOf(reinterpret_cast<const void*>(&Connect)));
}
} // namespace
