// The events a binding fired, in order, whatever thread fired them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "uPlComApi.h"

using TEvents = std::vector<std::string>;

class TRecorder {
public:
    void Attach(TPLComApi& api) {
        api.OnConnected = [this](TPLComApi&) { Add("connected"); };
        api.OnConnectError = [this](TPLComApi&) { Add("connect-error"); };
        api.OnDisconnected = [this](TPLComApi&) { Add("disconnected"); };
        api.OnScreenChanged = [this](TPLComApi&) { Add("screen"); };
        api.OnKbdLocked = [this](TPLComApi&) { Add("locked"); };
        api.OnKbdUnlocked = [this](TPLComApi&) { Add("unlocked"); };
        api.OnCustomCommand = [this](TPLComApi&, const std::string& c) { Add("custom:" + c); };
    }
    TEvents Events() {
        std::lock_guard lock(eventsMutex_);
        return events_;
    }
    void Clear() {
        std::lock_guard lock(eventsMutex_);
        events_.clear();
    }
    // Waits until the event has been fired since the last Clear.
    bool WaitFor(const std::string& name,
                 std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        std::unique_lock lock(eventsMutex_);
        return added_.wait_for(lock, timeout, [&] {
            for (auto& e : events_)
                if (e == name) return true;
            return false;
        });
    }

private:
    void Add(const std::string& name) {
        std::lock_guard lock(eventsMutex_);
        events_.push_back(name);
        added_.notify_all();
    }
    std::mutex eventsMutex_;
    std::condition_variable added_;
    TEvents events_;
};
