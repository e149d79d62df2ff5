// A telnet session over a stand-in engine connected to the host simulator
// on loopback, for the tests of the transport. Caller's thread; the session
// runs its reader thread.
#pragma once

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "HostSim.h"
#include "TelnetTestSession.h"

namespace telnettest {

inline constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250,
                         SE = 240, EOR = 239;

// The reader thread parses under the session lock; so do these looks.
inline bool Binary(TPLTelnet& s) {
    std::lock_guard lock(s.SessionLock);
    return s.BinaryMode();
}
inline bool Framing(TPLTelnet& s) {
    std::lock_guard lock(s.SessionLock);
    return s.RecordFraming();
}

// A session connected to a host of its own, closed at the end.
struct Linked {
    hostsim::THostSim host;
    std::shared_ptr<TTestSession> session = MakeSession();
    std::unique_ptr<hostsim::TSimConnection> conn;
    Linked() {
        session->TermType = "IBM-3179-2";
        session->Connect(host.Port());
        conn = host.Accept();
        if (!conn) throw std::runtime_error("no connection");
    }
    ~Linked() {
        session->CloseSession();
        session->JoinReader();
    }
    // What the client sent after `from` bytes, once `marker` has arrived.
    Bytes SentUntil(size_t from, const Bytes& marker) {
        for (int i = 0; i < 500; ++i) {
            Bytes all = conn->Captured();
            if (all.size() >= from + marker.size() &&
                std::equal(marker.begin(), marker.end(),
                           all.end() - static_cast<long>(marker.size())))
                return Bytes(all.begin() + static_cast<long>(from),
                             all.end() - static_cast<long>(marker.size()));
            std::this_thread::sleep_for(10ms);
        }
        return {0xDE, 0xAD};
    }
};

} // namespace telnettest
