#include "uTcpSocket.h"

#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "uPLIntfLogg.h"

namespace {
bool IsDecimal(const std::string& text) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}
} // namespace

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

void TTcpSocket::Open(const std::string& host, const TPortChoice& port) {
    Close();
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
        int rcConnect;
        do {
            rcConnect = connect(fd, a->ai_addr, a->ai_addrlen);
        } while (rcConnect != 0 && errno == EINTR);
        if (rcConnect == 0) break;
        lastError = errno;
        close(fd);
        fd = -1;
    }
    freeaddrinfo(found);
    if (fd < 0) throw ESocketError(SocketErrorText(lastError, "connect"), lastError);
    // An interactive protocol: a small reply must not wait for the host's
    // delayed acknowledgement of the one before it.
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::lock_guard lock(sendLock_);
    fd_ = fd;
    shut_ = false;
}

bool TTcpSocket::IsOpen() const {
    std::lock_guard lock(sendLock_);
    return fd_ >= 0 && !shut_;
}

int TTcpSocket::Fd() const {
    std::lock_guard lock(sendLock_);
    return fd_;
}

long TTcpSocket::Send(const uint8_t* data, size_t len, int* error) {
    std::lock_guard lock(sendLock_);
    if (fd_ < 0 || shut_) {
        if (error) *error = ENOTCONN;
        return -1;
    }
    size_t sent = 0;
    while (sent < len) {
        ssize_t n = send(fd_, data + sent, len - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (error) *error = errno;
            return -1;
        }
        sent += static_cast<size_t>(n);
    }
    return static_cast<long>(sent);
}

void TTcpSocket::Shutdown() {
    std::lock_guard lock(sendLock_);
    if (fd_ < 0 || shut_) return;
    shutdown(fd_, SHUT_RDWR);
    shut_ = true;
}

void TTcpSocket::Close() {
    std::lock_guard lock(sendLock_);
    if (fd_ < 0) return;
    if (!shut_) shutdown(fd_, SHUT_RDWR);
    close(fd_);
    fd_ = -1;
    shut_ = true;
}
