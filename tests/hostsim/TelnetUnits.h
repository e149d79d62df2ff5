// Splits what a telnet client sends into units: one option command, one
// subnegotiation, one record up to IAC EOR, or one other two-byte command.
// Bytes may arrive in any pieces; a unit is reported once it is whole.
// Runs on whichever thread feeds it (the connection's receive thread, or
// the caller's thread in Replay).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "HostSim.h"

namespace hostsim {

namespace telnet {
constexpr uint8_t IAC = 0xFF, DONT = 0xFE, DO = 0xFD, WONT = 0xFC, WILL = 0xFB, SB = 0xFA,
                  SE = 0xF0, EOR = 0xEF;
constexpr uint8_t OPT_BINARY = 0x00, OPT_TERMINAL_TYPE = 0x18, OPT_EOR = 0x19, OPT_TN3270E = 0x28;
constexpr uint8_t TT_IS = 0x00, TT_SEND = 0x01;
} // namespace telnet

struct TTelnetUnit {
    enum class TKind { Record, Option, Subnegotiation, Command };
    TKind kind = TKind::Record;
    // The unit's bytes as they came over the line (IAC IAC still doubled).
    Bytes raw;
    // Record: the data with IAC IAC undoubled, without IAC EOR.
    // Option: the verb and the option. Subnegotiation: the bytes between
    // IAC SB and IAC SE, undoubled. Command: the command byte.
    Bytes payload;
};

class TTelnetSplitter {
public:
    // Appends every unit that the new bytes complete to `out`.
    void Feed(const uint8_t* data, size_t size, std::vector<TTelnetUnit>& out);

private:
    enum class TMode { Data, DataIac, Verb, Sub, SubIac };
    void Emit(TTelnetUnit::TKind kind, Bytes raw, Bytes payload, std::vector<TTelnetUnit>& out);

    TMode mode_ = TMode::Data;
    // The record in progress; kept apart from commands that interrupt it, so
    // that a command in the middle of a record is a unit of its own.
    Bytes recordRaw_, recordData_;
    uint8_t verb_ = 0;
    Bytes subRaw_, subData_;
};

} // namespace hostsim
