// The reader thread of one connected session: waits for the host's data,
// receives it, feeds the session's parser, checks a quiet session's liveness
// about once a minute and stops a host that floods the session.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TPLTelnet;

class TThSocketRead {
public:
    // Starts the thread; it holds the session until it ends.
    explicit TThSocketRead(std::shared_ptr<TPLTelnet> session);
    // Joins the thread, or lets it go when the destructor runs on the thread
    // itself (the session's last owner was its own reader).
    ~TThSocketRead();
    TThSocketRead(const TThSocketRead&) = delete;
    TThSocketRead& operator=(const TThSocketRead&) = delete;

    void Stop() { stop_.store(true); }
    bool IsCurrentThread() const { return thread_.get_id() == std::this_thread::get_id(); }
    // Waits for the thread to end; never from the thread itself. Any number
    // of threads may wait at once.
    void Join();
    // Why the session of a host that ran away was closed.
    static std::string RunawayText();

private:
    void Execute(std::shared_ptr<TPLTelnet> session);
    // Feeds a block to the session; false when the host runs away.
    bool HandleData(TPLTelnet& session, const uint8_t* data, size_t len);

    std::atomic<bool> stop_{false};
    std::mutex joinLock_;
    std::vector<uint8_t> buffer_;
    std::thread thread_;
};
