// The host simulator's accept loop: serves every client that connects, each
// on a thread of its own with its own connection, so clients never wait for
// one another and one that goes away ends nobody else's session. The accept
// loop runs on a thread of its own; the constructor, Stop and Serving run on
// the caller's thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "HostSim.h"

namespace hostsim {

class TSimServer {
public:
    using TLog = std::function<void(const std::string&)>;
    // Serves one client until it goes away or `stopping` says so; runs on
    // that client's own thread. ServeDemo and ServeDemo3270 fit it.
    using TServe = std::function<void(TSimConnection& conn, const std::function<bool()>& stopping,
                                      const TLog& log)>;

    // Starts accepting on `host` at once. `log` receives one line at a time
    // (never two at once): "client N connected", then that client's own
    // lines prefixed "client N: ", and "client N: connection closed".
    TSimServer(THostSim& host, TServe serve, TLog log);
    ~TSimServer(); // Stop
    TSimServer(const TSimServer&) = delete;
    TSimServer& operator=(const TSimServer&) = delete;

    // Stops accepting, closes every open connection and joins every thread.
    void Stop();
    // The clients whose threads have not been joined yet; a client that went
    // away is joined within the accept loop's next round (200 ms).
    size_t Serving() const;

private:
    struct TClient;
    void AcceptLoop();
    void Log(const std::string& line);
    // Joins the threads of clients that were served to the end.
    void Reap();

    THostSim& host_;
    TServe serve_;
    TLog log_;
    std::mutex logMutex_;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex clientsMutex_; // guards clients_
    std::vector<std::unique_ptr<TClient>> clients_;
};

} // namespace hostsim
