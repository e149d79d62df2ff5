#include "HostSim.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <thread>

#include "PeerSocket.h"
#include "TelnetUnits.h"

namespace hostsim {

using namespace telnet;
using std::chrono::steady_clock;

namespace {

// A client that stops reading would otherwise hold a sender (and Flood) for
// ever; ten seconds is far longer than any test waits for a screen.
constexpr int kSendTimeoutSeconds = 10;

int RemainingMillis(steady_clock::time_point deadline) {
    auto left = std::chrono::ceil<milliseconds>(deadline - steady_clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

} // namespace

// Shared by the connection (caller's thread) and its receive thread.
struct TSimConnection::TState {
    explicit TState(int socketFd) : fd(socketFd) {}

    // Receive thread: captures everything and sorts whole units as they arrive.
    static void ReadLoop(std::shared_ptr<TState> st, int fd);
    // Wakes the receive thread and tells the client we are gone; the
    // descriptor stays open until the thread has been joined.
    void ShutDown();
    bool Send(const Bytes& bytes);
    bool Exchange(const Bytes& request, std::vector<std::array<uint8_t, 2>> expected,
                  bool wantTerminalType, steady_clock::time_point deadline);
    // Where a client the host stopped reading stands: still sending or not
    // to be told yet, blocked inside a unit, found between two units, gone.

    // The descriptor is closed only after the receive thread has been joined,
    // under both sendMutex and fdMutex; Linux hands its number out again at
    // once, so nobody may shut it down or send on it after that.
    int fd;
    std::mutex sendMutex;  // one sender at a time, so records never interleave
    std::mutex fdMutex;    // shutdown() from another thread against close()
    std::mutex closeMutex; // one Close at a time
    std::thread reader;

    std::mutex mutex; // guards everything below
    std::condition_variable changed;
    Bytes captured;
    std::deque<Bytes> records;
    std::vector<std::array<uint8_t, 2>> options; // verb, option; in order of arrival
    size_t optionsExamined = 0;                  // by Negotiate
    size_t terminalTypeReplies = 0;
    std::string terminalType;
    bool hostClosing = false;
    bool readerEnded = false;
    bool clientClosed = false;
    bool readingStopped = false; // the receive thread waits before its next read
    bool receiving = false;      // the receive thread is in a read
    // What the client had handed to its socket when StallClient found it
    // blocked; set only then.
    bool stalled = false;
    uint64_t stalledAt = 0;
    bool acknowledgeOptions = false;
};

namespace {
// The host's acknowledgement in kind of a client's option command.
Bytes Acknowledgement(const TTelnetUnit& unit) {
    const uint8_t verb = unit.payload[0];
    const uint8_t ack = verb == WILL ? DO : verb == DO ? WILL : verb == WONT ? DONT : WONT;
    return {IAC, ack, unit.payload[1]};
}
} // namespace

void TSimConnection::TState::ReadLoop(std::shared_ptr<TState> st, int fd) {
    TTelnetSplitter splitter;
    std::vector<TTelnetUnit> units;
    std::array<uint8_t, 16384> buffer;
    for (;;) {
        {
            std::unique_lock lock(st->mutex);
            st->changed.wait(lock, [&] { return !st->readingStopped || st->hostClosing; });
            st->receiving = true;
        }
        ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            std::lock_guard lock(st->mutex);
            st->receiving = false;
            st->readerEnded = true;
            // Our own shutdown() also ends the read; that is not the client.
            st->clientClosed = !st->hostClosing;
            st->changed.notify_all();
            return;
        }
        units.clear();
        splitter.Feed(buffer.data(), static_cast<size_t>(n), units);
        // The acknowledgements go out before what they answer counts as
        // received: whatever the host sends once it has seen it follows them.
        bool acknowledge;
        {
            std::lock_guard lock(st->mutex);
            acknowledge = st->acknowledgeOptions;
        }
        Bytes acknowledgements;
        for (const auto& unit : units)
            if (acknowledge && unit.kind == TTelnetUnit::TKind::Option) {
                const Bytes ack = Acknowledgement(unit);
                acknowledgements.insert(acknowledgements.end(), ack.begin(), ack.end());
            }
        if (!acknowledgements.empty()) st->Send(acknowledgements);
        std::lock_guard lock(st->mutex);
        st->receiving = false;
        st->captured.insert(st->captured.end(), buffer.begin(), buffer.begin() + n);
        for (auto& unit : units) {
            switch (unit.kind) {
            case TTelnetUnit::TKind::Record:
                st->records.push_back(std::move(unit.payload));
                break;
            case TTelnetUnit::TKind::Option:
                st->options.push_back({unit.payload[0], unit.payload[1]});
                break;
            case TTelnetUnit::TKind::Subnegotiation:
                if (unit.payload.size() >= 2 && unit.payload[0] == OPT_TERMINAL_TYPE &&
                    unit.payload[1] == TT_IS) {
                    st->terminalType.assign(unit.payload.begin() + 2, unit.payload.end());
                    ++st->terminalTypeReplies;
                }
                break;
            case TTelnetUnit::TKind::Command:
                break;
            }
        }
        st->changed.notify_all();
    }
}

void TSimConnection::TState::ShutDown() {
    {
        std::lock_guard lock(mutex);
        hostClosing = true;
        changed.notify_all();
    }
    std::lock_guard lock(fdMutex);
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

bool TSimConnection::TState::Send(const Bytes& bytes) {
    std::lock_guard lock(sendMutex);
    if (fd < 0) return false;
    const uint8_t* data = bytes.data();
    size_t size = bytes.size();
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Sends one request and waits for its answers: every expected option command
// (in any order) and, when asked, a new TERMINAL-TYPE IS. As a real host does,
// it gives up on a refusal or on an option command that answers nothing.
bool TSimConnection::TState::Exchange(const Bytes& request,
                                      std::vector<std::array<uint8_t, 2>> expected,
                                      bool wantTerminalType, steady_clock::time_point deadline) {
    size_t typeRepliesBefore;
    {
        std::lock_guard lock(mutex);
        typeRepliesBefore = terminalTypeReplies;
    }
    if (!Send(request)) return false;
    std::unique_lock lock(mutex);
    for (;;) {
        while (optionsExamined < options.size()) {
            const auto got = options[optionsExamined++];
            auto it = std::find_if(expected.begin(), expected.end(), [&](const auto& want) {
                return want[1] == got[1] && (want[0] == WILL ? got[0] == WILL || got[0] == WONT
                                                             : got[0] == DO || got[0] == DONT);
            });
            if (it == expected.end() || *it != got) return false;
            expected.erase(it);
        }
        if (expected.empty() && (!wantTerminalType || terminalTypeReplies > typeRepliesBefore))
            return true;
        if (readerEnded || steady_clock::now() >= deadline) return false;
        changed.wait_until(lock, deadline);
    }
}

namespace {

Bytes Escaped(const Bytes& record) {
    Bytes out;
    out.reserve(record.size() + record.size() / 8 + 2);
    for (uint8_t b : record) {
        out.push_back(b);
        if (b == IAC) out.push_back(IAC);
    }
    out.insert(out.end(), {IAC, EOR});
    return out;
}

} // namespace

TSimConnection::TSimConnection(int fd) : state_(std::make_shared<TState>(fd)) {
    state_->reader = std::thread(&TState::ReadLoop, state_, fd);
}

TSimConnection::~TSimConnection() {
    Close();
}

void TSimConnection::Close() {
    TState& st = *state_;
    std::lock_guard closing(st.closeMutex);
    if (!st.reader.joinable()) return;
    st.ShutDown();
    st.reader.join();
    std::scoped_lock lock(st.sendMutex, st.fdMutex);
    ::close(st.fd);
    st.fd = -1;
}

bool TSimConnection::Negotiate(milliseconds timeout) {
    const auto deadline = steady_clock::now() + timeout;
    TState& st = *state_;
    return st.Exchange({IAC, DO, OPT_TERMINAL_TYPE}, {{WILL, OPT_TERMINAL_TYPE}}, false,
                       deadline) &&
           st.Exchange({IAC, SB, OPT_TERMINAL_TYPE, TT_SEND, IAC, SE}, {}, true, deadline) &&
           st.Exchange({IAC, DO, OPT_EOR, IAC, WILL, OPT_EOR}, {{WILL, OPT_EOR}, {DO, OPT_EOR}},
                       false, deadline) &&
           st.Exchange({IAC, DO, OPT_BINARY, IAC, WILL, OPT_BINARY},
                       {{WILL, OPT_BINARY}, {DO, OPT_BINARY}}, false, deadline);
}

bool TSimConnection::AskOption(uint8_t verb, uint8_t option, std::array<uint8_t, 2>& answer,
                               milliseconds timeout) {
    TState& st = *state_;
    if (!st.Send({IAC, verb, option})) return false;
    std::unique_lock lock(st.mutex);
    const auto answered = [&] { return st.options.size() > st.optionsExamined; };
    st.changed.wait_for(lock, timeout, [&] { return answered() || st.readerEnded; });
    if (!answered()) return false;
    answer = st.options[st.optionsExamined++];
    return true;
}

std::string TSimConnection::TerminalType() const {
    std::lock_guard lock(state_->mutex);
    return state_->terminalType;
}

void TSimConnection::SendRecord(const Bytes& record) {
    state_->Send(Escaped(record));
}

void TSimConnection::SendRaw(const Bytes& bytes) {
    state_->Send(bytes);
}

bool TSimConnection::ReadRecord(Bytes& record, milliseconds timeout) {
    TState& st = *state_;
    std::unique_lock lock(st.mutex);
    st.changed.wait_for(lock, timeout, [&] { return !st.records.empty() || st.readerEnded; });
    if (st.records.empty()) return false;
    record = std::move(st.records.front());
    st.records.pop_front();
    return true;
}

bool TSimConnection::WaitForBytes(size_t n, milliseconds timeout) {
    TState& st = *state_;
    std::unique_lock lock(st.mutex);
    return st.changed.wait_for(lock, timeout, [&] {
        return st.captured.size() >= n || st.readerEnded;
    }) && st.captured.size() >= n;
}

Bytes TSimConnection::Captured() const {
    std::lock_guard lock(state_->mutex);
    return state_->captured;
}

bool TSimConnection::ClientClosed() const {
    std::lock_guard lock(state_->mutex);
    return state_->clientClosed;
}

bool TSimConnection::WaitClientClosed(milliseconds timeout) {
    TState& st = *state_;
    std::unique_lock lock(st.mutex);
    st.changed.wait_for(lock, timeout, [&] { return st.readerEnded; });
    return st.clientClosed;
}

void TSimConnection::AskTerminalTypeAgain() {
    state_->Send({IAC, SB, OPT_TERMINAL_TYPE, TT_SEND, IAC, SE});
}

void TSimConnection::SendLongSubnegotiation(size_t n) {
    Bytes bytes{IAC, SB};
    if (n > 0) {
        bytes.push_back(OPT_TERMINAL_TYPE);
        bytes.insert(bytes.end(), n - 1, 'A');
    }
    bytes.insert(bytes.end(), {IAC, SE});
    state_->Send(bytes);
}

void TSimConnection::Flood(size_t blocks, size_t size) {
    // Blanks in either code page, never IAC, and never a record end.
    const Bytes block(size, 0x40);
    for (size_t i = 0; i < blocks; ++i)
        if (!state_->Send(block)) return;
}

bool TSimConnection::SendRawWithin(const Bytes& bytes, milliseconds stall) {
    std::lock_guard lock(state_->sendMutex);
    const int fd = state_->fd;
    if (fd < 0) return false;
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(stall.count())) <= 0) return false;
    }
    return true;
}

void TSimConnection::AcknowledgeEveryOption() {
    std::lock_guard lock(state_->mutex);
    state_->acknowledgeOptions = true;
}

bool TSimConnection::StallClient(const Bytes& request) {
    StopReading();
    TState& st = *state_;
    std::lock_guard lock(st.sendMutex);
    if (st.fd < 0) return false;
    {
        std::lock_guard stateLock(st.mutex);
        st.stalled = false;
    }
    // A failure backstop only: the client gives up on a host that stopped
    // reading long before.
    const auto giveUp = steady_clock::now() + std::chrono::minutes(2);
    size_t at = 0; // the next byte of the request
    for (size_t sent = 0; sent < (size_t{256} << 20) && steady_clock::now() < giveUp;) {
        const ssize_t n =
            ::send(st.fd, request.data() + at, request.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            at = (at + static_cast<size_t>(n)) % request.size();
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        // The client takes no more requests. It is stalled once a thread of
        // its own sleeps waiting for room in a socket that, the host reading
        // nothing, will not have any: the wait cannot end, and every send
        // after it waits behind it. A client that is only slow is busy, not
        // asleep there.
        const TPeerSocket before = QueryPeer(st.fd);
        if (!before.found || !before.established) return false;
        bool parked;
        {
            std::lock_guard stateLock(st.mutex);
            parked = !st.receiving && st.readingStopped;
        }
        if (parked && before.HoldsSender() && SenderWaitsForRoom(before)) {
            const TPeerSocket after = QueryPeer(st.fd);
            if (after.established && after.written == before.written) {
                std::lock_guard stateLock(st.mutex);
                st.stalled = true;
                st.stalledAt = after.written;
                return true;
            }
        }
        // Look again when the client takes more requests, or soon.
        pollfd p{st.fd, POLLOUT, 0};
        ::poll(&p, 1, 10);
    }
    return false;
}

bool TSimConnection::StillStalled() const {
    TState& st = *state_;
    std::lock_guard lock(st.sendMutex);
    if (st.fd < 0) return false;
    const TPeerSocket peer = QueryPeer(st.fd);
    std::lock_guard stateLock(st.mutex);
    return st.stalled && peer.established && peer.written == st.stalledAt;
}

void TSimConnection::StopReading() {
    std::lock_guard lock(state_->mutex);
    state_->readingStopped = true;
}

void TSimConnection::ResumeReading() {
    std::lock_guard lock(state_->mutex);
    state_->readingStopped = false;
    state_->changed.notify_all();
}

THostSim::THostSim(TProtocol protocol, uint16_t port) : protocol_(protocol) {
    auto fail = [&](const char* what) {
        std::string text = std::string("hostsim: ") + what + " 127.0.0.1:" + std::to_string(port) +
                           ": " + std::strerror(errno);
        if (listenFd_ >= 0) ::close(listenFd_);
        throw std::runtime_error(text);
    };
    // Non-blocking, so that a client that goes away between poll() and
    // accept() cannot hold Accept past its time-out.
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) fail("cannot open a socket for");
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) fail("cannot bind");
    if (::listen(listenFd_, 16) < 0) fail("cannot listen on");
    socklen_t len = sizeof addr;
    if (::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) < 0)
        fail("cannot read the port of");
    port_ = ntohs(addr.sin_port);
}

TUnansweringHost::TUnansweringHost() {
    auto fail = [this](const char* what) {
        const std::string text = std::string("hostsim: ") + what + ": " + std::strerror(errno);
        if (fillerFd_ >= 0) ::close(fillerFd_);
        if (listenFd_ >= 0) ::close(listenFd_);
        throw std::runtime_error(text);
    };
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) fail("cannot open a socket");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    // A queue of no pending connections holds one: the filler takes it.
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 ||
        ::listen(listenFd_, 0) < 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) < 0)
        fail("cannot listen");
    port_ = ntohs(addr.sin_port);
    fillerFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fillerFd_ < 0 || ::connect(fillerFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0)
        fail("cannot fill the queue");
}

TUnansweringHost::~TUnansweringHost() {
    ::close(fillerFd_);
    ::close(listenFd_);
}

THostSim::~THostSim() {
    ::close(listenFd_);
    std::lock_guard lock(connectionsMutex_);
    for (auto& weak : connections_)
        if (auto st = weak.lock()) st->ShutDown();
}

uint16_t THostSim::Port() const {
    return port_;
}

TProtocol THostSim::Protocol() const {
    return protocol_;
}

std::unique_ptr<TSimConnection> THostSim::Accept(milliseconds timeout) {
    const auto deadline = steady_clock::now() + timeout;
    for (;;) {
        pollfd pfd{listenFd_, POLLIN, 0};
        int ready = ::poll(&pfd, 1, RemainingMillis(deadline));
        if (ready < 0 && errno != EINTR) return nullptr;
        if (ready > 0) {
            int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                int one = 1;
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                timeval sendTimeout{kSendTimeoutSeconds, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
                std::unique_ptr<TSimConnection> conn(new TSimConnection(fd));
                std::lock_guard lock(connectionsMutex_);
                std::erase_if(connections_, [](const auto& weak) { return weak.expired(); });
                connections_.push_back(conn->state_);
                return conn;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ECONNABORTED && errno != EINTR)
                return nullptr;
        }
        if (steady_clock::now() >= deadline) return nullptr;
    }
}

} // namespace hostsim
