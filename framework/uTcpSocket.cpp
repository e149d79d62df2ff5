#include "uTcpSocket.h"

#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "uPLIntfLogg.h"

namespace {
bool IsDecimal(const std::string& text) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

using TClock = std::chrono::steady_clock;

int MillisLeft(TClock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

// Waits until the descriptor is ready for the events or the deadline
// passes: 0 when ready, else ETIMEDOUT or the system's code.
int WaitReady(int fd, short events, TClock::time_point deadline) {
    for (;;) {
        const int left = MillisLeft(deadline);
        if (left == 0) return ETIMEDOUT;
        pollfd p{fd, events, 0};
        const int rc = poll(&p, 1, left);
        if (rc > 0) return 0;
        if (rc == 0) return ETIMEDOUT;
        if (errno != EINTR) return errno;
    }
}

// One connection attempt that waits no longer than the deadline: 0, or the
// system's code (ETIMEDOUT when the host never answered). The descriptor is
// blocking again afterwards, as the reader expects.
int ConnectBefore(int fd, const sockaddr* address, socklen_t length, TClock::time_point deadline) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return errno;
    int error = 0;
    if (connect(fd, address, length) != 0) {
        error = errno;
        if (error == EINPROGRESS || error == EINTR) {
            error = WaitReady(fd, POLLOUT, deadline);
            socklen_t size = sizeof error;
            if (error == 0 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
        }
    }
    if (error == 0 && fcntl(fd, F_SETFL, flags) < 0) error = errno;
    return error;
}

// A host that vanished without a word (power off, a cable pulled) is noticed
// after some minutes of silence instead of never.
void KeepAlive(int fd) {
    const int on = 1, idleSeconds = 60, intervalSeconds = 10, probes = 6;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &intervalSeconds, sizeof intervalSeconds);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
}
} // namespace

namespace {
std::mutex gFactoryLock;
TTransportFactory& Factory() {
    static TTransportFactory factory;
    return factory;
}
} // namespace

void SetTransportFactory(TTransportFactory factory) {
    std::lock_guard lock(gFactoryLock);
    Factory() = std::move(factory);
}

std::unique_ptr<TTransport> MakeTransport() {
    std::lock_guard lock(gFactoryLock);
    if (Factory()) return Factory()();
    return std::make_unique<TTcpSocket>();
}

std::string SocketErrorText(int code, const char* api) {
    return Format("Socket error: %s (%d), on API '%s'", std::strerror(code), code, api);
}

TPortChoice ParsePortText(const std::string& portText) {
    TPortChoice choice;
    if (portText.empty())
        choice.Service = "telnet";
    else if (IsDecimal(portText))
        choice.Port = std::stoi(portText);
    else
        choice.Service = portText;
    return choice;
}

TTcpSocket::~TTcpSocket() {
    Close();
}

void TTcpSocket::Open(const std::string& host, const TPortChoice& port,
                      const TSocketLimits& limits) {
    Close();
    const auto deadline = TClock::now() + std::chrono::milliseconds(limits.ConnectMillis);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    std::string service = port.Service.empty() ? std::to_string(port.Port) : port.Service;
    if (port.Service.empty() && (port.Port <= 0 || port.Port > 65535))
        throw ESocketError(SocketErrorText(EINVAL, "getaddrinfo"), EINVAL);
    addrinfo* found = nullptr;
    int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    // A services database without "telnet" still means port 23.
    if (rc == EAI_SERVICE && service == "telnet")
        rc = getaddrinfo(host.c_str(), "23", &hints, &found);
    if (rc != 0) {
        int code = rc == EAI_SYSTEM ? errno : rc;
        std::string text = rc == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(rc);
        throw ESocketError(
            Format("Socket error: %s (%d), on API 'getaddrinfo'", text.c_str(), code), code);
    }
    int lastError = ECONNREFUSED;
    int fd = -1;
    for (addrinfo* a = found; a; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        lastError = ConnectBefore(fd, a->ai_addr, a->ai_addrlen, deadline);
        if (lastError == 0) break;
        close(fd);
        fd = -1;
        if (lastError == ETIMEDOUT) break; // the time for every address is spent
    }
    freeaddrinfo(found);
    if (fd < 0) throw ESocketError(SocketErrorText(lastError, "connect"), lastError);
    // An interactive protocol: a small reply must not wait for the host's
    // delayed acknowledgement of the one before it.
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    KeepAlive(fd);
    std::lock_guard lock(sendLock_);
    sendMillis_ = limits.SendMillis;
    fd_ = fd;
    shut_ = false;
}

bool TTcpSocket::IsOpen() const {
    return fd_.load() >= 0 && !shut_.load();
}

int TTcpSocket::Fd() const {
    return fd_.load();
}

long TTcpSocket::Send(const uint8_t* data, size_t len, int* error) {
    std::lock_guard lock(sendLock_);
    const int fd = fd_.load();
    auto fail = [error](int code) {
        if (error) *error = code;
        return -1L;
    };
    if (fd < 0 || shut_.load()) return fail(ENOTCONN);
    // The limit counts from the last byte the host took: a slow host that
    // keeps reading is served, one that stopped reading is given up.
    auto deadline = TClock::now() + std::chrono::milliseconds(sendMillis_);
    size_t sent = 0;
    while (sent < len) {
        const ssize_t n = send(fd, data + sent, len - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            sent += static_cast<size_t>(n);
            deadline = TClock::now() + std::chrono::milliseconds(sendMillis_);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return fail(errno);
        if (const int waited = WaitReady(fd, POLLOUT, deadline)) return fail(waited);
    }
    return static_cast<long>(sent);
}

void TTcpSocket::Shutdown() {
    // Not under the send lock: a send blocked on a host that stopped reading
    // holds it, and this is what wakes that send.
    const int fd = fd_.load();
    if (fd < 0 || shut_.exchange(true)) return;
    shutdown(fd, SHUT_RDWR);
}

void TTcpSocket::Close() {
    std::lock_guard lock(sendLock_);
    const int fd = fd_.load();
    if (fd < 0) return;
    if (!shut_.exchange(true)) shutdown(fd, SHUT_RDWR);
    close(fd);
    fd_ = -1;
}
