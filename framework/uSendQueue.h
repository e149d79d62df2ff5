// The records of one session on their way to the host. A record is queued
// whole when it is made and numbered in that order; the records go out one
// at a time and in that order, each sent by whichever thread asks for it or
// for a later one first. A failed send ends the connection: what is queued
// behind it is dropped, and so is every record made after it, unsent. Any
// thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <vector>

struct TOutbound {
    uint64_t Ticket = 0;
    std::vector<uint8_t> Bytes;
    // What the log shows of it (the same length, hidden text masked); empty
    // when the log shows the bytes themselves.
    std::vector<uint8_t> LogView;
};

// What became of a record given to the connection.
enum class TSendOutcome {
    Sent,    // it went out whole
    Failed,  // the connection failed while it went out
    NotSent, // the connection had ended: none of it was handed on
};

// Records dropped unsent, and their bytes.
struct TDropped {
    size_t Records = 0;
    size_t Bytes = 0;
};

class TSendQueue {
public:
    // Queues a copy of the record; its ticket (1, 2, ... over the queue's
    // life). Once the queue has stopped the record is not queued: its ticket
    // never goes out.
    uint64_t Push(const uint8_t* data, size_t len, const uint8_t* logView);
    // The ticket of the last record queued; 0 before the first.
    uint64_t LastTicket() const;
    // Sends every record up to the ticket that has not gone yet, in order,
    // through send. Waits while another thread sends, so that records never
    // interleave. A record that does not go out stops the queue; what it
    // drops is returned (a record not sent at all among them).
    TDropped SendUpTo(uint64_t ticket, const std::function<TSendOutcome(const TOutbound&)>& send);
    // After SendUpTo(ticket): whether every record up to it went out.
    bool WentOut(uint64_t ticket) const;
    // The connection ends: what is queued is dropped (and returned), and no
    // record made later is queued. Never waits for a send under way.
    TDropped Stop();
    // A new connection: what is still queued is dropped and no failure stands.
    void Reset();

private:
    // Drops what is queued (under lock_) and stops the queue.
    TDropped DropQueued();

    std::mutex orderLock_; // held while a record is being sent
    mutable std::mutex lock_;
    std::deque<TOutbound> queue_;
    uint64_t lastTicket_ = 0;
    uint64_t firstFailed_ = std::numeric_limits<uint64_t>::max();
    bool stopped_ = false;
};
