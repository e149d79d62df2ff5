// One engine session against the loopback host simulator: the host, the
// caller's events, the handle and the host's side of the connection.
// Caller's thread; the simulator runs its own receive thread.
#pragma once

#include <memory>
#include <string>

#include "Engine3270Module.h"
#include "EventRecorder.h"
#include "HostSim.h"
#include "TelnetUnits.h"

struct TSimSession {
    hostsim::THostSim host{hostsim::TProtocol::TN3270};
    TEventRecorder events{Engine3270().LastErrMsg};
    int32_t handle = -1;
    std::unique_ptr<hostsim::TSimConnection> conn;

    // Connects with "127.0.0.1;PORT=<port>" followed by `items`.
    explicit TSimSession(const std::string& items = "") {
        const std::string connStr = "127.0.0.1;PORT=" + std::to_string(host.Port()) + items;
        handle =
            Engine3270().Connect(connStr.c_str(), events.UserData(), &TEventRecorder::Callback);
        if (handle > 0) conn = host.Accept();
    }
    ~TSimSession() {
        if (handle > 0) Engine3270().Disconnect(handle);
    }
    TSimSession(const TSimSession&) = delete;
    TSimSession& operator=(const TSimSession&) = delete;

    // What a TN3270 host does first: offers TN3270E, which this engine
    // refuses, then the plain negotiation. False when either goes wrong.
    bool Negotiate() {
        using namespace hostsim::telnet;
        std::array<uint8_t, 2> answer{};
        return conn && conn->AskOption(DO, OPT_TN3270E, answer) &&
               answer == std::array<uint8_t, 2>{WONT, OPT_TN3270E} && conn->Negotiate();
    }
    // The handle is gone (the engine released it) once LastResult fails.
    bool WaitReleased(std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (Engine3270().LastResult(handle) != -1) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
};
