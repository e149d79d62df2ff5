// What a caller of the engine interface sees: the events of one session,
// with the thread each came on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

struct TEventLog {
    struct TEntry {
        uint8_t event;
        std::thread::id thread;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<TEntry> entries;
    bool aliveAnswer = true;

    static bool Callback(intptr_t userData, uint8_t event) {
        auto* log = reinterpret_cast<TEventLog*>(userData);
        std::lock_guard lock(log->mutex);
        log->entries.push_back({event, std::this_thread::get_id()});
        log->changed.notify_all();
        return event == 7 ? log->aliveAnswer : true;
    }
    intptr_t UserData() { return reinterpret_cast<intptr_t>(this); }

    int Count(uint8_t event) {
        std::lock_guard lock(mutex);
        int n = 0;
        for (auto& e : entries)
            n += e.event == event;
        return n;
    }
    bool WaitFor(uint8_t event, int times = 1,
                 std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, [&] {
            int n = 0;
            for (auto& e : entries)
                n += e.event == event;
            return n >= times;
        });
    }
    std::vector<TEntry> Entries() {
        std::lock_guard lock(mutex);
        return entries;
    }
};
