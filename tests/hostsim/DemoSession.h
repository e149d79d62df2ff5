// The demo host: a short 5250 session that a person can click through. It
// shows a sign-on screen and, on ENTER, a menu; every later ENTER shows the
// menu again (or, with the screens of a recorded session, the next of them up
// to the last), and any other record from the client is answered with the
// screen in use, so the terminal's keyboard never stays locked.
// ServeDemo runs on the caller's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "HostSim.h"

namespace hostsim {

// The AID byte of ENTER in a 5250 input record.
inline constexpr uint8_t kAidEnter = 0xF1;

// A screen address as the 5250 data stream gives it: 1-based row and column.
struct TScreenAddress {
    uint8_t Row = 0;
    uint8_t Col = 0;
    friend bool operator==(const TScreenAddress&, const TScreenAddress&) = default;
};

// The input fields of the built-in screens, at their first data cell.
inline constexpr TScreenAddress kSignOnUserField{6, 53};
inline constexpr TScreenAddress kSignOnPasswordField{7, 53};
inline constexpr TScreenAddress kMenuOptionField{20, 7};

// Text in the host's code page (EBCDIC 037) for letters, digits, blanks and
// the few marks the built-in screens use; anything else becomes a blank.
Bytes Ebcdic(std::string_view text);
// The way back, for the same characters; other bytes read as '?'.
std::string FromEbcdic(std::span<const uint8_t> bytes);

// A sign-on screen: a title, "User" with an input field at
// kSignOnUserField, "Password" with a non-display one at
// kSignOnPasswordField, the cursor in the first, and a read request.
Bytes SignOnScreen();
// A main menu: numbered options, and "Selection or command" with an input
// field at kMenuOptionField that holds the cursor, and a read request.
Bytes MenuScreen();

// What a client sends after an attention key: the cursor, the AID byte and
// the modified fields, each at the address the client gave it.
struct TInputField {
    TScreenAddress Address;
    std::string Text; // translated from EBCDIC
};
struct TInputRecord {
    TScreenAddress Cursor;
    uint8_t Aid = 0;
    std::vector<TInputField> Fields;
};
// Reads one record (undoubled, without IAC EOR) as an input record; none
// when it is too short, is not a 5250 record, or a length in it lies.
std::optional<TInputRecord> ParseInputRecord(std::span<const uint8_t> record);

// The records of a recorded session that draw a screen (their first command
// clears the display or writes to it), in the order the host sent them.
std::vector<Bytes> ScreensOfTrace(const std::vector<TTraceStep>& steps);

// Serves one client: negotiates, sends screens[0], and answers each record
// the client sends (ENTER moves to the next screen, staying on the last).
// Returns when the client goes away or `stopping` says so; `stopping` is
// asked at least every 200 ms. `log` receives one line per event. False
// when the negotiation failed. screens must not be empty.
bool ServeDemo(TSimConnection& conn, const std::vector<Bytes>& screens,
               const std::function<bool()>& stopping,
               const std::function<void(const std::string&)>& log);

// The demo hosts' loop: show() the screen in use, then, for each record the
// client sends, take(record) and show() again, until the client goes away
// or `stopping` says so (asked at least every 200 ms).
void AnswerRecords(TSimConnection& conn, const std::function<bool()>& stopping,
                   const std::function<void()>& show,
                   const std::function<void(const Bytes& record)>& take);

} // namespace hostsim
