#include "uSendQueue.h"

#include <algorithm>

uint64_t TSendQueue::Push(const uint8_t* data, size_t len, const uint8_t* logView) {
    std::lock_guard lock(lock_);
    if (stopped_) return ++lastTicket_; // behind firstFailed_: it never goes out
    TOutbound record;
    record.Bytes.assign(data, data + len);
    if (logView) record.LogView.assign(logView, logView + len);
    record.Ticket = ++lastTicket_;
    queue_.push_back(std::move(record));
    return lastTicket_;
}

uint64_t TSendQueue::LastTicket() const {
    std::lock_guard lock(lock_);
    return lastTicket_;
}

TDropped TSendQueue::SendUpTo(uint64_t ticket,
                              const std::function<TSendOutcome(const TOutbound&)>& send) {
    std::lock_guard order(orderLock_);
    for (;;) {
        TOutbound next;
        {
            std::lock_guard lock(lock_);
            if (queue_.empty() || queue_.front().Ticket > ticket) return {};
            next = std::move(queue_.front());
            queue_.pop_front();
        }
        const TSendOutcome outcome = send(next);
        if (outcome == TSendOutcome::Sent) continue;
        std::lock_guard lock(lock_);
        firstFailed_ = std::min(firstFailed_, next.Ticket);
        TDropped dropped = DropQueued();
        if (outcome == TSendOutcome::NotSent) {
            ++dropped.Records;
            dropped.Bytes += next.Bytes.size();
        }
        return dropped;
    }
}

bool TSendQueue::WentOut(uint64_t ticket) const {
    std::lock_guard lock(lock_);
    return ticket < firstFailed_;
}

TDropped TSendQueue::Stop() {
    std::lock_guard lock(lock_);
    return DropQueued();
}

TDropped TSendQueue::DropQueued() {
    stopped_ = true;
    firstFailed_ = std::min(firstFailed_, queue_.empty() ? lastTicket_ + 1 : queue_.front().Ticket);
    TDropped dropped;
    for (const TOutbound& record : queue_) {
        ++dropped.Records;
        dropped.Bytes += record.Bytes.size();
    }
    queue_.clear();
    return dropped;
}

void TSendQueue::Reset() {
    std::lock_guard order(orderLock_);
    std::lock_guard lock(lock_);
    queue_.clear();
    firstFailed_ = std::numeric_limits<uint64_t>::max();
    stopped_ = false;
}
