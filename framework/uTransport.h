// How a session reaches its host. Sessions use a TCP socket; a driver that
// plays the host inside the process (the whole-session fuzz targets) installs
// a factory of its own transports, which deliver the host's bytes themselves.
// Any thread; the factory is set before sessions are made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TPLTelnet;
struct TPortChoice;
struct TSocketLimits;

class TTransport {
public:
    virtual ~TTransport() = default;

    // Throws ESocketError when the host cannot be reached.
    virtual void Open(const std::string& host, const TPortChoice& port,
                      const TSocketLimits& limits) = 0;
    virtual bool IsOpen() const = 0;
    // The descriptor the session's reader thread waits on; -1 for a
    // transport that delivers the host's bytes itself (no reader runs).
    virtual int Fd() const = 0;
    // Every byte or -1 with the system's code in *error.
    virtual long Send(const uint8_t* data, size_t len, int* error) = 0;
    // Wakes a send or a receive waiting on the transport; never waits for one.
    virtual void Shutdown() = 0;
    virtual void Close() = 0;
    // The session the transport serves, once it is connected.
    virtual void Attach(const std::weak_ptr<TPLTelnet>& /*session*/) {}
};

using TTransportFactory = std::function<std::unique_ptr<TTransport>()>;

// An empty factory puts the TCP socket back.
void SetTransportFactory(TTransportFactory factory);
std::unique_ptr<TTransport> MakeTransport();
