// What every exported function of an engine module shares: the handle
// lookup with its error text, the failure result, and the guard that keeps
// every C++ exception inside the module. Caller's thread.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "uHandleTable.h"
#include "uLastError.h"

inline constexpr const char* kInvalidHandle = "Invalid Handle passed as parameter";

// The failure result: -1, with the text as the calling thread's last error.
inline int32_t FailWith(const std::string& text) {
    SetLastErrorText(text);
    return -1;
}

// A call with a handle that is not open: -1, with why the handle's session
// ended (when an error ended it) or "Invalid Handle passed as parameter" as
// the calling thread's last error text.
template <typename TObject> int32_t NotOpen(THandleTable<TObject>& table, int32_t handle) {
    const std::string reason = table.EndText(handle);
    return FailWith(reason.empty() ? kInvalidHandle : reason);
}

// The object of an open handle; null, with the text of NotOpen, for any other.
template <typename TObject>
std::shared_ptr<TObject> LookupHandle(THandleTable<TObject>& table, int32_t handle) {
    auto object = table.Get(handle);
    if (!object) NotOpen(table, handle);
    return object;
}

// Runs an exported function's body; an exception becomes -1 and its text.
template <typename F> int32_t GuardedCall(F&& body) {
    try {
        return body();
    } catch (const std::exception& e) {
        return FailWith(e.what());
    } catch (...) {
        return FailWith("Unexpected error");
    }
}
