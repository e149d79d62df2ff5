#include "Demo3270.h"

#include <array>
#include <string_view>

#include "DemoSession.h"
#include "TelnetUnits.h"

namespace hostsim {

namespace {

constexpr uint8_t kEraseWrite = 0xF5;
// WCC: reset, restore the keyboard, reset the modified flags.
constexpr uint8_t kWccRestore = 0xC3;
constexpr uint8_t kSetBufferAddress = 0x11, kStartField = 0x1D, kInsertCursor = 0x13;
constexpr uint8_t kProtected = 0x60, kProtectedHigh = 0xE8, kInput = 0x40, kInputHidden = 0x4C,
                  kAutoSkip = 0xF0;

// The 6-bit codes of the two halves of a 12-bit buffer address.
constexpr std::array<uint8_t, 64> kAddressCode = {
    0x40, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x61, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F};

// An Erase/Write record, order by order; rows and columns are 1-based.
class TScreen3270 {
public:
    TScreen3270() : r_{kEraseWrite, kWccRestore} {}
    // The attribute takes the cell at col; the text starts after it.
    TScreen3270& Text(int row, int col, uint8_t attribute, std::string_view text) {
        At(row, col);
        r_.insert(r_.end(), {kStartField, attribute});
        const Bytes e = Ebcdic(text);
        r_.insert(r_.end(), e.begin(), e.end());
        return *this;
    }
    // An input field whose first data cell is at (row, col), ended by an
    // auto-skip attribute after `length` cells.
    TScreen3270& Field(int row, int col, uint8_t attribute, int length) {
        At(row, col - 1);
        r_.insert(r_.end(), {kStartField, attribute});
        At(row, col + length);
        r_.insert(r_.end(), {kStartField, kAutoSkip});
        return *this;
    }
    Bytes Cursor(int row, int col) {
        At(row, col);
        r_.push_back(kInsertCursor);
        return std::move(r_);
    }

private:
    void At(int row, int col) {
        const int address = (row - 1) * 80 + (col - 1);
        r_.insert(r_.end(), {kSetBufferAddress, kAddressCode[(address >> 6) & 0x3F],
                             kAddressCode[address & 0x3F]});
    }
    Bytes r_;
};

std::string AidName3270(uint8_t aid) {
    switch (aid) {
    case kAid3270Enter:
        return "ENTER";
    case 0x6D:
        return "CLEAR";
    case 0x6C:
        return "PA1";
    case 0x6E:
        return "PA2";
    default: {
        static const char digits[] = "0123456789ABCDEF";
        return std::string("AID ") + digits[aid >> 4] + digits[aid & 15];
    }
    }
}

// This host speaks plain TN3270 only. It opens with DO TN3270E, as hosts
// that serve both kinds of client do, and when the client agrees it takes
// the request back with DONT, which the client acknowledges with WONT;
// otherwise the client would read every record as one with a TN3270E
// header. False on any other answer or none.
bool KeepPlainTn3270(TSimConnection& conn) {
    using namespace telnet;
    using TAnswer = std::array<uint8_t, 2>;
    TAnswer answer{};
    if (!conn.AskOption(DO, OPT_TN3270E, answer)) return false;
    if (answer == TAnswer{WONT, OPT_TN3270E}) return true;
    return answer == TAnswer{WILL, OPT_TN3270E} && conn.AskOption(DONT, OPT_TN3270E, answer) &&
           answer == TAnswer{WONT, OPT_TN3270E};
}

} // namespace

Bytes LogonScreen3270() {
    return TScreen3270()
        .Text(1, 1, kProtectedHigh, "CORVALEN DEMO 3270 HOST")
        .Text(3, 2, kProtected, "USERID   ===>")
        .Field(3, 16, kInput, 8)
        .Text(4, 2, kProtected, "PASSWORD ===>")
        .Field(4, 16, kInputHidden, 8)
        .Text(22, 2, kProtected, "Type any user id and press Enter.")
        .Cursor(3, 16);
}

Bytes ReadyScreen3270() {
    return TScreen3270()
        .Text(1, 1, kProtectedHigh, "CORVALEN DEMO 3270 HOST")
        .Text(3, 2, kProtected, "READY")
        .Text(20, 2, kProtected, "Every Enter shows this screen again.")
        .Text(22, 2, kProtected, "===>")
        .Field(22, 7, kInput, 60)
        .Cursor(22, 7);
}

bool ServeDemo3270(TSimConnection& conn, const std::function<bool()>& stopping,
                   const std::function<void(const std::string&)>& log) {
    if (!KeepPlainTn3270(conn) || !conn.Negotiate()) {
        log("the client did not complete the negotiation");
        return false;
    }
    log("terminal type " + conn.TerminalType());
    const Bytes screens[] = {LogonScreen3270(), ReadyScreen3270()};
    size_t current = 0;
    auto show = [&] {
        log("showing screen " + std::to_string(current + 1) + " of 2");
        conn.SendRecord(screens[current]);
    };
    AnswerRecords(conn, stopping, show, [&](const Bytes& record) {
        if (record.empty()) return;
        log("client sent " + AidName3270(record[0]));
        if (record[0] == kAid3270Enter) current = 1;
    });
    return true;
}

} // namespace hostsim
