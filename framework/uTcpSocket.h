// A blocking TCP client socket. Opening resolves the host (IPv4 and IPv6)
// and connects on the caller's thread; failures raise ESocketError with the
// system's own error text. Sends are whole: one call loops over partial
// writes under the socket's send lock, so two threads never interleave.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "PLError.h"

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

class TTcpSocket {
public:
    TTcpSocket() = default;
    ~TTcpSocket(); // closes a descriptor still open
    TTcpSocket(const TTcpSocket&) = delete;
    TTcpSocket& operator=(const TTcpSocket&) = delete;

    // Throws ESocketError; the socket stays closed then.
    void Open(const std::string& host, const TPortChoice& port);
    bool IsOpen() const;
    // The descriptor for the reader's poll and receive; -1 when closed.
    int Fd() const;

    // Sends every byte or fails: the count sent, or -1 with errno's code in
    // *error. After Shutdown or Close nothing more is sent.
    long Send(const uint8_t* data, size_t len, int* error);
    // Ends both directions: a receive waiting on the socket returns at once.
    // The descriptor stays valid until Close.
    void Shutdown();
    // Frees the descriptor; only once no thread receives on it any more.
    void Close();

private:
    mutable std::mutex sendLock_; // guards fd_ and shut_ against the sends
    int fd_ = -1;
    bool shut_ = false;
};

// "Socket error: <system text> (<code>), on API '<api>'".
std::string SocketErrorText(int code, const char* api);
