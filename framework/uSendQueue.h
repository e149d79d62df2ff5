// The records of one session on their way to the host. A record is queued
// whole when it is made and numbered in that order; the records go out one
// at a time and in that order, each sent by whichever thread asks for it or
// for a later one first. A failed send ends the connection, so every record
// after the first that failed fails too. Any thread.
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

class TSendQueue {
public:
    // Queues a copy of the record; its ticket (1, 2, ... over the queue's life).
    uint64_t Push(const uint8_t* data, size_t len, const uint8_t* logView);
    // The ticket of the last record queued; 0 before the first.
    uint64_t LastTicket() const;
    // Sends every record up to the ticket that has not gone yet, in order,
    // through send (true when the record went out whole). Waits while
    // another thread sends, so that records never interleave.
    void SendUpTo(uint64_t ticket, const std::function<bool(const TOutbound&)>& send);
    // After SendUpTo(ticket): whether every record up to it went out.
    bool WentOut(uint64_t ticket) const;
    // A new connection: what is still queued is dropped and no failure stands.
    void Reset();

private:
    std::mutex orderLock_; // held while a record is being sent
    mutable std::mutex lock_;
    std::deque<TOutbound> queue_;
    uint64_t lastTicket_ = 0;
    uint64_t firstFailed_ = std::numeric_limits<uint64_t>::max();
};
