// The session handles of an engine library: slots 1..255, each holding the
// object of one open session. Lookups hand out a shared reference taken
// under the table lock, so an object lives as long as any call still uses
// it, however soon its slot is released. Any thread.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

template <typename TObject> class THandleTable {
public:
    static constexpr int kMaxHandle = 255;

    static bool InRange(int handle) { return handle >= 1 && handle <= kMaxHandle; }

    // The lowest free handle with the object the factory made for it, or -1
    // when every slot is taken or the factory failed.
    int Acquire(const std::function<std::shared_ptr<TObject>(int handle)>& make) {
        std::lock_guard lock(lock_);
        for (int h = 1; h <= kMaxHandle; ++h) {
            if (slots_[static_cast<size_t>(h)]) continue;
            try {
                slots_[static_cast<size_t>(h)] = make(h);
            } catch (...) {
                return -1;
            }
            endTexts_[static_cast<size_t>(h)].clear();
            return slots_[static_cast<size_t>(h)] ? h : -1;
        }
        return -1;
    }

    // The object of a handle, or null for a handle out of range or free.
    std::shared_ptr<TObject> Get(int handle) {
        if (!InRange(handle)) return nullptr;
        std::lock_guard lock(lock_);
        return slots_[static_cast<size_t>(handle)];
    }

    // Frees the slot when it still holds this object (a later Connect may
    // have been given the handle again), keeping why its session ended.
    void Release(int handle, const TObject* object, const std::string& endText = {}) {
        if (!InRange(handle)) return;
        std::lock_guard lock(lock_);
        auto& slot = slots_[static_cast<size_t>(handle)];
        if (slot.get() != object) return;
        slot.reset();
        endTexts_[static_cast<size_t>(handle)] = endText;
    }

    // Why the session last held by a free handle ended; "" when it ended
    // without an error, or the handle is taken or out of range.
    std::string EndText(int handle) {
        if (!InRange(handle)) return {};
        std::lock_guard lock(lock_);
        if (slots_[static_cast<size_t>(handle)]) return {};
        return endTexts_[static_cast<size_t>(handle)];
    }

private:
    std::mutex lock_;
    std::array<std::shared_ptr<TObject>, kMaxHandle + 1> slots_; // [0] unused
    std::array<std::string, kMaxHandle + 1> endTexts_;
};
