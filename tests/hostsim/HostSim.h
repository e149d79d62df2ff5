// A host on loopback for tests and the demo: it listens on an ephemeral port
// of 127.0.0.1, negotiates TN5250 or TN3270 as a real host does, sends
// scripted records, captures every byte the client sends, and misbehaves on
// request. Tests drive each accepted connection from their own thread.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace hostsim {

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;

// How long a wait for the client goes on before it gives up: a bound on a
// hang only, never what a test decides from, so it is generous enough for a
// client slowed by a sanitizer on a loaded machine.
constexpr milliseconds kBackstop{30000};

enum class TProtocol { TN5250, TN3270 };

// One accepted client connection. Methods run on the caller's thread; a
// background thread receives and captures everything the client sends.
class TSimConnection {
public:
    ~TSimConnection(); // closes the socket if still open
    TSimConnection(const TSimConnection&) = delete;
    TSimConnection& operator=(const TSimConnection&) = delete;

    // The host's side of the negotiation, one answer awaited per request, in
    // order: DO TERMINAL-TYPE, SB TERMINAL-TYPE SEND, then DO/WILL EOR and
    // DO/WILL BINARY. False when the client does not answer in time, closes,
    // refuses, or sends an option command that answers nothing asked (a real
    // host drops such a client).
    bool Negotiate(milliseconds timeout = kBackstop);
    // The terminal type the client named (empty before the negotiation).
    std::string TerminalType() const;
    // An option request of the host's own outside that sequence, such as the
    // DO TN3270E with which a TN3270 host opens: sends IAC verb option and
    // gives the client's next option command as `answer` (verb, option),
    // which Negotiate then takes as answered. False when none comes in time.
    bool AskOption(uint8_t verb, uint8_t option, std::array<uint8_t, 2>& answer,
                   milliseconds timeout = kBackstop);

    // A record: IAC bytes doubled, IAC EOR appended, one send.
    void SendRecord(const Bytes& record);
    // Bytes exactly as given (negotiation, half records, malformed data).
    void SendRaw(const Bytes& bytes);
    // The same, giving up when the client takes no byte for `stall`: false
    // then (a client that stopped reading) or when the client went away.
    bool SendRawWithin(const Bytes& bytes, milliseconds stall);

    // The next whole record the client sent (IAC IAC undoubled, without the
    // IAC EOR); false on time-out or when the client closed.
    bool ReadRecord(Bytes& record, milliseconds timeout = kBackstop);
    // Waits until the client has sent at least n bytes in all.
    bool WaitForBytes(size_t n, milliseconds timeout = kBackstop);
    // Every byte the client sent so far, raw.
    Bytes Captured() const;
    // True once the client closed its side (a read returned 0 or failed).
    bool ClientClosed() const;
    bool WaitClientClosed(milliseconds timeout = kBackstop);

    // Misbehaviour.
    void AskTerminalTypeAgain();           // a second IAC SB 24 1 IAC SE
    void SendLongSubnegotiation(size_t n); // IAC SB, n bytes, IAC SE
    // Sends `blocks` blocks of `size` bytes that never end a record, as fast
    // as the socket takes them, as a host running away does; stops early
    // when the client goes away.
    void Flood(size_t blocks, size_t size = 16);
    // From now on every option command the client sends is acknowledged in
    // kind (WILL with DO, DO with WILL, WONT with DONT, DONT with WONT), as a
    // host that answers requests for what is in effect already does; sent
    // before the command counts as captured. Not with StallClient.
    void AcknowledgeEveryOption();
    // Stops reading (as StopReading) and sends the request (whole telnet
    // units that the client answers) again and again until the client is
    // blocked sending an answer: its socket takes no more, and a thread of
    // the client sleeps in poll waiting for room in it, so that its send
    // cannot end and every send after it waits; a client that is only slow
    // is busy, not asleep there. False when it never got there.
    bool StallClient(const Bytes& request);
    // True while the client that StallClient left blocked still is: it is
    // connected and has handed no byte more to its socket.
    bool StillStalled() const;
    // The host stops reading what the client sends (its receive window
    // fills, the client's sends block) until ResumeReading.
    void StopReading();
    void ResumeReading();
    void Close(); // closes the host's side

private:
    friend class THostSim;
    struct TState;
    explicit TSimConnection(int fd);
    std::shared_ptr<TState> state_;
};

class THostSim {
public:
    // Listens on 127.0.0.1:port, an ephemeral port when port is 0; throws
    // std::runtime_error when it cannot.
    explicit THostSim(TProtocol protocol = TProtocol::TN5250, uint16_t port = 0);
    ~THostSim(); // stops listening and closes every connection
    THostSim(const THostSim&) = delete;
    THostSim& operator=(const THostSim&) = delete;

    uint16_t Port() const;
    TProtocol Protocol() const;
    // The next client connection; null on time-out.
    std::unique_ptr<TSimConnection> Accept(milliseconds timeout = kBackstop);

private:
    int listenFd_ = -1;
    uint16_t port_ = 0;
    TProtocol protocol_;
    // Every connection handed out, so that the destructor can close those
    // still open; their owners join and release them.
    std::mutex connectionsMutex_;
    std::vector<std::weak_ptr<TSimConnection::TState>> connections_;
};

// A host that never answers a connection attempt: it listens on 127.0.0.1
// with its queue of pending connections filled, so the kernel drops every
// further handshake and a client's connect waits until it gives up.
class TUnansweringHost {
public:
    TUnansweringHost(); // throws std::runtime_error when it cannot listen
    ~TUnansweringHost();
    TUnansweringHost(const TUnansweringHost&) = delete;
    TUnansweringHost& operator=(const TUnansweringHost&) = delete;
    uint16_t Port() const { return port_; }

private:
    int listenFd_ = -1, fillerFd_ = -1;
    uint16_t port_ = 0;
};

// A recorded session: the host's blocks and the client's, in order.
struct TTraceStep {
    bool fromServer = false;
    Bytes data;
    int delayMillis = 0;
};
// Reads the flow format of recorded sessions ("- !server {data: HEX,
// delayMillis: N}", "- !client {data: HEX}", "#" comments, a step may go on
// over the next line). Throws std::runtime_error with the line number on
// anything it cannot read.
std::vector<TTraceStep> ParseTrace(const std::string& text);

// Plays the host's side of a recorded session on a connection: sends each
// server step (after its delay, capped by maxDelay) and, at each client step,
// waits until the client has sent as many telnet units (one option command,
// one subnegotiation, or one record up to IAC EOR) as the step holds, and
// keeps what the client sent for that step; consecutive client steps are one
// step. False when the client closes or stays silent past the timeout.
struct TReplayResult {
    bool completed = false;
    std::vector<Bytes> clientSteps; // what the client sent, per run of client steps
    std::string error;
};
TReplayResult Replay(TSimConnection& conn, const std::vector<TTraceStep>& steps,
                     milliseconds stepTimeout = kBackstop,
                     milliseconds maxDelay = milliseconds(200));

// Splits raw client bytes into telnet units as Replay counts them. Bytes
// after the last whole unit (a record still without its IAC EOR) are not a
// unit yet and are left out.
std::vector<Bytes> SplitTelnetUnits(const Bytes& raw);

} // namespace hostsim
