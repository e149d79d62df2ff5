// The exported engine interface of the "HTTP" connection type. This build
// has no HTTP host support: every Connect fails with a text the control
// shows to the user, and no handle is ever open. Caller's thread.
#define PL_ENGINE_MODULE
#include "PLEngineApi.h"

#include "uHandleTable.h"
#include "uLastError.h"

namespace {

constexpr const char* kNoHttpHost =
    "HTTP/1.1 501 Not Implemented: no HTTP host support in this build";

// No session is ever open, so a handle in range names an empty slot.
int32_t NoSession(int32_t handle) {
    try {
        if (!THandleTable<int>::InRange(handle))
            SetLastErrorText("Invalid Handle passed as parameter");
    } catch (...) {}
    return -1;
}

} // namespace

extern "C" {

int32_t Connect(const char*, intptr_t userData, TSessionCallback callback) {
    try {
        // The text first: the caller reads it while handling the event.
        SetLastErrorText(kNoHttpHost);
        if (callback) callback(userData, PL_SESSION_CONNECTED_FAIL);
    } catch (...) {}
    return -1;
}

int32_t SetParams(int32_t handle, const char*) {
    return NoSession(handle);
}

int32_t Disconnect(int32_t handle) {
    return NoSession(handle);
}

int32_t GetScreen(int32_t handle, void*, int32_t) {
    return NoSession(handle);
}

int32_t GetScreenEx(int32_t handle, void*, int32_t) {
    return NoSession(handle);
}

int32_t SendToScreen(int32_t handle, const char*, const void*, int32_t) {
    return NoSession(handle);
}

int32_t LastResult(int32_t handle) {
    return NoSession(handle);
}

const char* LastErrMsg(void) {
    return LastErrorText().c_str();
}

int32_t SendSystemRequest(int32_t handle, const char*) {
    return NoSession(handle);
}

} // extern "C"
