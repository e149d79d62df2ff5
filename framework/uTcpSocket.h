// A TCP client socket. Opening resolves the host (IPv4 and IPv6) and
// connects on the caller's thread within a time limit; failures raise
// ESocketError with the system's own error text. Sends are whole: one call
// loops over partial writes under the socket's send lock, so two threads
// never interleave, and gives up when the host takes no bytes for a while.
// The connection is kept alive, so a host that vanished is noticed.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "PLError.h"
#include "uTransport.h"

class ESocketError : public EPLError {
public:
    ESocketError(const std::string& message, int code) : EPLError(message), Code(code) {}
    int Code;
};

// What a port text names: a number, a service, or the telnet service.
struct TPortChoice {
    int Port = 0;        // > 0 for a decimal port text
    std::string Service; // otherwise the service name ("telnet" for an empty text)
};
TPortChoice ParsePortText(const std::string& portText);

// How long a connection attempt and a send may wait for the host.
struct TSocketLimits {
    int ConnectMillis = 30000;
    int SendMillis = 10000;
};

class TTcpSocket : public TTransport {
public:
    TTcpSocket() = default;
    ~TTcpSocket() override; // closes a descriptor still open
    TTcpSocket(const TTcpSocket&) = delete;
    TTcpSocket& operator=(const TTcpSocket&) = delete;

    // Throws ESocketError; the socket stays closed then. An attempt that
    // gets no answer within the limit fails with ETIMEDOUT.
    void Open(const std::string& host, const TPortChoice& port,
              const TSocketLimits& limits = {}) override;
    bool IsOpen() const override;
    // The descriptor for the reader's poll and receive; -1 when closed.
    int Fd() const override;

    // Sends every byte or fails: the count sent, or -1 with errno's code in
    // *error (ETIMEDOUT when the host took nothing for the send limit).
    // After Shutdown or Close nothing more is sent.
    long Send(const uint8_t* data, size_t len, int* error) override;
    // Ends both directions: a receive or a send waiting on the socket
    // returns at once. Never waits for a send in progress. The descriptor
    // stays valid until Close.
    void Shutdown() override;
    // Frees the descriptor; only once no thread receives on it any more.
    void Close() override;

private:
    // Sends hold sendLock_; Open and Close take it too, so the descriptor
    // never changes under a send. Shutdown only reads the descriptor, which
    // stays open until Close.
    mutable std::mutex sendLock_;
    std::atomic<int> fd_{-1};
    std::atomic<bool> shut_{false};
    int sendMillis_ = TSocketLimits{}.SendMillis;
};

// "Socket error: <system text> (<code>), on API '<api>'".
std::string SocketErrorText(int code, const char* api);
