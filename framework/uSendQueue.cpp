#include "uSendQueue.h"

#include <algorithm>

uint64_t TSendQueue::Push(const uint8_t* data, size_t len, const uint8_t* logView) {
    TOutbound record;
    record.Bytes.assign(data, data + len);
    if (logView) record.LogView.assign(logView, logView + len);
    std::lock_guard lock(lock_);
    record.Ticket = ++lastTicket_;
    queue_.push_back(std::move(record));
    return lastTicket_;
}

uint64_t TSendQueue::LastTicket() const {
    std::lock_guard lock(lock_);
    return lastTicket_;
}

void TSendQueue::SendUpTo(uint64_t ticket, const std::function<bool(const TOutbound&)>& send) {
    std::lock_guard order(orderLock_);
    for (;;) {
        TOutbound next;
        {
            std::lock_guard lock(lock_);
            if (queue_.empty() || queue_.front().Ticket > ticket) return;
            next = std::move(queue_.front());
            queue_.pop_front();
        }
        if (send(next)) continue;
        std::lock_guard lock(lock_);
        firstFailed_ = std::min(firstFailed_, next.Ticket);
    }
}

bool TSendQueue::WentOut(uint64_t ticket) const {
    std::lock_guard lock(lock_);
    return ticket < firstFailed_;
}

void TSendQueue::Reset() {
    std::lock_guard order(orderLock_);
    std::lock_guard lock(lock_);
    queue_.clear();
    firstFailed_ = std::numeric_limits<uint64_t>::max();
}
