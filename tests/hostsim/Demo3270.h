// The demo's 3270 host: a log-on screen and, on ENTER, a ready screen that
// every later ENTER brings back; any other attention key is answered with the
// screen in use, so the terminal's keyboard never stays locked.
// ServeDemo3270 runs on the caller's thread.
#pragma once

#include <functional>
#include <string>

#include "HostSim.h"

namespace hostsim {

// The AID byte of ENTER in a 3270 input record.
inline constexpr uint8_t kAid3270Enter = 0x7D;

// An Erase/Write of the log-on screen: a title, "USERID" with an input field
// at row 3 column 15 that holds the cursor, and a hidden "PASSWORD" field
// below it; the keyboard restored.
Bytes LogonScreen3270();
// An Erase/Write of the ready screen: a greeting and a command line at row
// 22 column 7 that holds the cursor; the keyboard restored.
Bytes ReadyScreen3270();

// Serves one client of a TN3270 host simulator in plain TN3270: asks for
// TN3270E and takes the request back when the client agrees, negotiates,
// shows the log-on screen and answers each record the client sends. Returns
// when the client goes away or `stopping` says so (asked at least every
// 200 ms); `log` receives one line per event. False when the negotiation
// failed. Each call serves its own client with its own state, so calls for
// several clients may run at once.
bool ServeDemo3270(TSimConnection& conn, const std::function<bool()>& stopping,
                   const std::function<void(const std::string&)>& log);

} // namespace hostsim
