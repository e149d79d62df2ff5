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

// The object of a handle; null for a free slot, and for a handle out of
// range with "Invalid Handle passed as parameter" as the last error text.
template <typename TObject>
std::shared_ptr<TObject> LookupHandle(THandleTable<TObject>& table, int32_t handle) {
    if (!THandleTable<TObject>::InRange(handle)) {
        SetLastErrorText(kInvalidHandle);
        return nullptr;
    }
    auto object = table.Get(handle);
    // A handle whose session an error ended tells the caller why.
    if (!object) {
        const std::string reason = table.EndText(handle);
        if (!reason.empty()) SetLastErrorText(reason);
    }
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
