// A real TN3270 host for one test: the mainframe emulator started through the
// shared start script on a free loopback port, in a run folder of its own
// under a temporary folder, with the fixed logo and the echo program, and
// always stopped again with the test. Caller's thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "support/TempDir.h"

class THerculesPeer {
public:
    // True when the emulator's program can be found on the PATH.
    static bool Installed();

    // Starts it; throws std::runtime_error with the script's output when it
    // does not come up.
    THerculesPeer();
    // Stops it (the stop script sends SIGTERM, then SIGKILL).
    ~THerculesPeer();
    THerculesPeer(const THerculesPeer&) = delete;
    THerculesPeer& operator=(const THerculesPeer&) = delete;

    uint16_t Port() const { return port_; }
    // The end of its log, for failure messages.
    std::string LogTail() const;

private:
    void Stop();

    TTempDir dir_; // outlives the instance: destroyed after the destructor's stop
    std::string runDir_;
    uint16_t port_ = 0;
    bool running_ = false;
};
