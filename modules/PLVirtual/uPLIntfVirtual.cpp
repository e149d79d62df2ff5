// The exported engine interface of the "Virtual" connection type: a session
// per handle serving the screen of a template file. Every function runs on
// the caller's thread, catches everything, and reports failures as -1 with
// the calling thread's last error text.
#define PL_ENGINE_MODULE
#include "PLEngineApi.h"

#include "uEngineCalls.h"
#include "uHandleTable.h"
#include "uLastError.h"
#include "uVirtualSession.h"

namespace {

THandleTable<TVirtualSession>& Handles() {
    // Never destroyed: sessions still open when the process ends are not freed.
    static auto* table = new THandleTable<TVirtualSession>;
    return *table;
}

std::shared_ptr<TVirtualSession> Lookup(int32_t handle) {
    return LookupHandle(Handles(), handle);
}

int32_t Fail(const std::string& text) {
    return FailWith(text);
}

template <typename F> int32_t Guarded(F&& body) {
    return GuardedCall(std::forward<F>(body));
}

int32_t ScreenOf(int32_t handle, void* buffer, int32_t bufSize) {
    auto session = Lookup(handle);
    if (!session) return -1;
    if (!buffer || bufSize <= 0) return Fail("Invalid Buffer passed as parameter");
    return session->WriteScreen(buffer, bufSize);
}

} // namespace

extern "C" {

int32_t Connect(const char* connStr, intptr_t userData, TSessionCallback callback) {
    return Guarded([&]() -> int32_t {
        if (!connStr) return Fail("Invalid ConnStr passed as parameter");
        const int handle = Handles().Acquire(
            [&](int h) { return std::make_shared<TVirtualSession>(h, userData, callback); });
        if (handle < 0) return Fail(kInvalidHandle);
        auto session = Handles().Get(handle);
        try {
            session->Open(connStr);
        } catch (const std::exception& e) {
            SetLastErrorText(e.what());
            if (callback) callback(userData, PL_SESSION_CONNECTED_FAIL);
            Handles().Release(handle, session.get());
            return -1;
        }
        SetLastErrorText("");
        session->ReportOpened();
        return handle;
    });
}

int32_t SetParams(int32_t handle, const char* params) {
    return Guarded([&]() -> int32_t {
        auto session = Lookup(handle);
        if (!session) return -1;
        if (!params) return Fail("Invalid Params passed as parameter");
        // A template session has no parameter items.
        return 0;
    });
}

int32_t Disconnect(int32_t handle) {
    return Guarded([&]() -> int32_t {
        auto session = Lookup(handle);
        if (!session) return -1;
        if (!session->Close()) return -1;
        // Released once the disconnection has reached the callback.
        Handles().Release(handle, session.get());
        return 0;
    });
}

int32_t GetScreen(int32_t handle, void* buffer, int32_t bufSize) {
    return Guarded([&] { return ScreenOf(handle, buffer, bufSize); });
}

int32_t GetScreenEx(int32_t handle, void* buffer, int32_t bufSize) {
    return Guarded([&] { return ScreenOf(handle, buffer, bufSize); });
}

int32_t SendToScreen(int32_t handle, const char* aid, const void* fields, int32_t fieldsSize) {
    return Guarded([&]() -> int32_t {
        auto session = Lookup(handle);
        if (!session) return -1;
        if (!fields || fieldsSize < 0) return Fail("Invalid Fields passed as parameter");
        if (!aid) return Fail("Invalid Aid passed as parameter");
        // The template has no input fields, so what was typed is not read;
        // any mnemonic brings the same screen back.
        return session->Answer();
    });
}

int32_t LastResult(int32_t handle) {
    return Guarded([&]() -> int32_t { return Lookup(handle) ? 0 : -1; });
}

const char* LastErrMsg(void) {
    return LastErrorText().c_str();
}

int32_t SendSystemRequest(int32_t handle, const char* text) {
    return Guarded([&]() -> int32_t {
        auto session = Lookup(handle);
        if (!session) return -1;
        if (!text) return Fail("Invalid Text passed as parameter");
        return session->Answer();
    });
}

} // extern "C"
