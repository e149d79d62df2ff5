// The lock that keeps a session's display and field list apart between its
// reader thread and the owner's calls. A send may wait on a host that stopped
// reading, and nobody may wait that long for the screen, so records made
// under the lock are only queued: when the outermost holder lets go, it sends
// what it queued, in order, outside the lock. Re-entrant for its holder; any
// thread. Works with std::lock_guard and std::unique_lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

class TSessionLock {
public:
    // Called with the ticket of the last record the holder queued, after the
    // lock has been let go; it must not throw.
    using TRelease = std::function<void(uint64_t lastQueued)>;

    explicit TSessionLock(TRelease release) : release_(std::move(release)) {}
    TSessionLock(const TSessionLock&) = delete;
    TSessionLock& operator=(const TSessionLock&) = delete;

    void lock() {
        mutex_.lock();
        Entered();
    }
    bool try_lock() {
        if (!mutex_.try_lock()) return false;
        Entered();
        return true;
    }
    void unlock() noexcept {
        if (--depth_ > 0) {
            mutex_.unlock();
            return;
        }
        holder_.store(std::thread::id());
        const uint64_t queued = std::exchange(queued_, 0);
        mutex_.unlock();
        if (queued != 0 && release_) release_(queued);
    }

    // Whether the calling thread holds the lock.
    bool HeldHere() const { return holder_.load() == std::this_thread::get_id(); }
    // The holder queued a record with this ticket; it goes out when the
    // holder lets go of the lock.
    void NoteQueued(uint64_t ticket) { queued_ = ticket; }

private:
    void Entered() {
        if (depth_++ == 0) holder_.store(std::this_thread::get_id());
    }

    std::recursive_mutex mutex_;
    std::atomic<std::thread::id> holder_{};
    int depth_ = 0;       // the holder's
    uint64_t queued_ = 0; // the holder's
    TRelease release_;
};
