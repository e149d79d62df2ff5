#include "SimServer.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <utility>

namespace hostsim {

namespace {
// How often the accept loop looks at the stop flag and joins finished clients.
constexpr milliseconds kRound{200};
} // namespace

struct TSimServer::TClient {
    std::unique_ptr<TSimConnection> conn;
    std::thread thread;
    std::atomic<bool> finished{false};
};

TSimServer::TSimServer(THostSim& host, TServe serve, TLog log)
    : host_(host), serve_(std::move(serve)), log_(std::move(log)) {
    acceptor_ = std::thread(&TSimServer::AcceptLoop, this);
}

TSimServer::~TSimServer() {
    Stop();
}

void TSimServer::Log(const std::string& line) {
    std::lock_guard lock(logMutex_);
    log_(line);
}

void TSimServer::AcceptLoop() {
    const std::function<bool()> stopping = [this] { return stopping_.load(); };
    for (unsigned number = 1; !stopping_;) {
        Reap();
        const auto roundEnd = std::chrono::steady_clock::now() + kRound;
        std::unique_ptr<TSimConnection> conn = host_.Accept(kRound);
        if (!conn) {
            // A failing accept (no descriptor left) returns at once while
            // the client stays queued: wait out the round, do not spin.
            std::this_thread::sleep_until(roundEnd);
            continue;
        }
        const std::string name = "client " + std::to_string(number++);
        Log(name + " connected");
        auto client = std::make_unique<TClient>();
        client->conn = std::move(conn);
        TClient& c = *client;
        c.thread = std::thread([this, &c, name, stopping] {
            serve_(*c.conn, stopping,
                   [this, &name](const std::string& line) { Log(name + ": " + line); });
            Log(name + ": connection closed");
            c.finished = true;
        });
        std::lock_guard lock(clientsMutex_);
        clients_.push_back(std::move(client));
    }
}

void TSimServer::Reap() {
    std::vector<std::unique_ptr<TClient>> done;
    {
        std::lock_guard lock(clientsMutex_);
        auto served = std::stable_partition(clients_.begin(), clients_.end(),
                                            [](const auto& c) { return !c->finished; });
        done.assign(std::make_move_iterator(served), std::make_move_iterator(clients_.end()));
        clients_.erase(served, clients_.end());
    }
    for (auto& client : done)
        client->thread.join();
}

void TSimServer::Stop() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    std::vector<std::unique_ptr<TClient>> clients;
    {
        std::lock_guard lock(clientsMutex_);
        clients.swap(clients_);
    }
    // Closing ends every wait of a client's thread at once, long time-outs
    // (a replay step, a negotiation) included.
    for (auto& client : clients)
        client->conn->Close();
    for (auto& client : clients)
        client->thread.join();
}

size_t TSimServer::Serving() const {
    std::lock_guard lock(clientsMutex_);
    return clients_.size();
}

} // namespace hostsim
