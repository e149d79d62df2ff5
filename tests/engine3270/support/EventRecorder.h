// What a caller of the engine interface sees of one session: its events in
// order, the thread each came on, and, for a failed connect and a
// disconnection, the error text that LastErrMsg gave on that thread inside
// the callback (where the control reads it). Any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PLEngineApi.h"

class TEventRecorder {
public:
    struct TEntry {
        uint8_t event = 0;
        std::thread::id thread;
        std::string errorText; // only for PL_SESSION_CONNECTED_FAIL and PL_SESSION_DISCONNECTED
    };

    // lastErrMsg may be null; then no error text is read.
    explicit TEventRecorder(TLastErrMsgFn lastErrMsg = nullptr) : lastErrMsg_(lastErrMsg) {}

    static bool Callback(intptr_t userData, uint8_t event) {
        auto* self = reinterpret_cast<TEventRecorder*>(userData);
        TEntry entry{event, std::this_thread::get_id(), {}};
        const bool failed = event == PL_SESSION_CONNECTED_FAIL || event == PL_SESSION_DISCONNECTED;
        if (failed && self->lastErrMsg_) {
            const char* text = self->lastErrMsg_();
            entry.errorText = text ? text : "(null)";
        }
        std::lock_guard lock(self->mutex_);
        self->entries_.push_back(std::move(entry));
        self->changed_.notify_all();
        return true;
    }
    intptr_t UserData() { return reinterpret_cast<intptr_t>(this); }

    int Count(uint8_t event) const {
        std::lock_guard lock(mutex_);
        return CountLocked(event);
    }
    // True once `event` has come `times` times in all.
    bool WaitFor(uint8_t event, int times = 1,
                 std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return CountLocked(event) >= times; });
    }
    // True once at least n events have come in all.
    bool WaitForTotal(size_t n,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return entries_.size() >= n; });
    }
    std::vector<TEntry> Entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    std::vector<uint8_t> Events() const {
        std::lock_guard lock(mutex_);
        std::vector<uint8_t> out;
        for (auto& e : entries_)
            out.push_back(e.event);
        return out;
    }

private:
    int CountLocked(uint8_t event) const {
        int n = 0;
        for (auto& e : entries_)
            n += e.event == event;
        return n;
    }

    TLastErrMsgFn lastErrMsg_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TEntry> entries_;
};
