/* The engine interface: the functions every engine module exports and the
 * control binds by name, and the callback through which a session reports its
 * events. Shared by the engines, the control and the stand-in modules.
 *
 * Handles are 1..255; -1 (from Connect: any value not above 0) is failure.
 * Texts are NUL-terminated 8-bit (Latin-1) strings. Nothing allocated by one
 * side is freed by the other; errors cross only as results and LastErrMsg. */
#ifndef CORVALEN_PLENGINEAPI_H
#define CORVALEN_PLENGINEAPI_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PL_ENGINE_EXPORT __attribute__((visibility("default")))

/* Session events, one byte. */
enum {
    PL_SESSION_CONNECTED = 0,
    PL_SESSION_CONNECTED_FAIL = 1,
    PL_SESSION_DISCONNECTED = 2,
    PL_SESSION_DISCONNECTED_FAIL = 3,
    PL_SCREEN_CHANGED = 4,
    PL_KBD_LOCKED = 5,
    PL_KBD_UNLOCKED = 6,
    PL_IS_ALIVE = 7
};

/* Called on the caller's thread (inside Connect, Disconnect, SendToScreen)
 * or on a session's reader thread; it must not call back into the engine.
 * Its answer counts only for PL_IS_ALIVE: false ends the session. */
typedef bool (*TSessionCallback)(intptr_t userData, uint8_t event);

typedef int32_t (*TConnectFn)(const char* connStr, intptr_t userData, TSessionCallback callback);
typedef int32_t (*TSetParamsFn)(int32_t handle, const char* params);
typedef int32_t (*TDisconnectFn)(int32_t handle);
/* Writes the host-field stream into the caller's buffer, cut to its size;
 * the byte count, or -1. */
typedef int32_t (*TGetScreenFn)(int32_t handle, void* buffer, int32_t bufSize);
/* Sends the fields of a host-field stream with an attention-key mnemonic. */
typedef int32_t (*TSendToScreenFn)(int32_t handle, const char* aid, const void* fields,
                                   int32_t fieldsSize);
typedef int32_t (*TLastResultFn)(int32_t handle);
/* The calling thread's last error text; valid until that thread's next call. */
typedef const char* (*TLastErrMsgFn)(void);
typedef int32_t (*TSendSystemRequestFn)(int32_t handle, const char* text);
/* Optional: writes a waiting custom command into the buffer; its length. */
typedef uint8_t (*TGetCustomCmdFn)(int32_t handle, char* buffer, int32_t bufSize);

#ifdef PL_ENGINE_MODULE
PL_ENGINE_EXPORT int32_t Connect(const char* connStr, intptr_t userData, TSessionCallback callback);
PL_ENGINE_EXPORT int32_t SetParams(int32_t handle, const char* params);
PL_ENGINE_EXPORT int32_t Disconnect(int32_t handle);
PL_ENGINE_EXPORT int32_t GetScreen(int32_t handle, void* buffer, int32_t bufSize);
PL_ENGINE_EXPORT int32_t GetScreenEx(int32_t handle, void* buffer, int32_t bufSize);
PL_ENGINE_EXPORT int32_t SendToScreen(int32_t handle, const char* aid, const void* fields,
                                      int32_t fieldsSize);
PL_ENGINE_EXPORT int32_t LastResult(int32_t handle);
PL_ENGINE_EXPORT const char* LastErrMsg(void);
PL_ENGINE_EXPORT int32_t SendSystemRequest(int32_t handle, const char* text);
#endif

#ifdef __cplusplus
}
#endif

#endif
