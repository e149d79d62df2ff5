// An engine session connected to the host simulator with the engine's log at
// level 9 going into the recording log32 stand-in, for tests of what reaches
// the log. Caller's thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "HostSim.h"
#include "support/LogCapture.h"
#include "uPLIntfLogg.h"
#include "uPLTelnet.h"

class TLoggedLink {
public:
    // engine names the settings section and the log files ("Tn5250").
    TLoggedLink(const std::string& engine, hostsim::TProtocol protocol,
                std::shared_ptr<TPLTelnet> session)
        : log_(engine), host_(protocol), session_(std::move(session)) {
        session_->Host = "127.0.0.1";
        session_->Port = std::to_string(host_.Port());
        session_->Timing.DataPauseMillis = 0;
        session_->Connect();
        Conn = host_.Accept();
        negotiated_ = Conn && Conn->Negotiate();
    }
    // The connection stands and the host negotiated it.
    bool Ready() const { return negotiated_; }
    // The host's form of a text.
    std::vector<uint8_t> HostText(std::string_view text) const {
        std::vector<uint8_t> out;
        for (char c : text)
            out.push_back(session_->Stream()->ToEbcdic(static_cast<uint8_t>(c)));
        return out;
    }
    // The host sends the bytes and closes its side; returns once the
    // session's reader has ended, so that what it logs at the end is logged.
    void HostCloses(const std::vector<uint8_t>& bytes) {
        Conn->SendRaw(bytes);
        Conn->Close();
        session_->JoinReader();
    }
    // Closes the log (no writer is left to race the reading of it) and the
    // session.
    void Finish() {
        DoneEngineLogs();
        session_->Disconnect();
        session_->JoinReader();
    }

    std::unique_ptr<hostsim::TSimConnection> Conn;

private:
    TLogCapture log_;
    hostsim::THostSim host_;
    std::shared_ptr<TPLTelnet> session_;
    bool negotiated_ = false;
};
