#include "TelnetUnits.h"

#include <utility>

namespace hostsim {

using namespace telnet;

void TTelnetSplitter::Emit(TTelnetUnit::TKind kind, Bytes raw, Bytes payload,
                           std::vector<TTelnetUnit>& out) {
    out.push_back(TTelnetUnit{kind, std::move(raw), std::move(payload)});
}

void TTelnetSplitter::Feed(const uint8_t* data, size_t size, std::vector<TTelnetUnit>& out) {
    for (size_t i = 0; i < size; ++i) {
        const uint8_t c = data[i];
        switch (mode_) {
        case TMode::Data:
            if (c == IAC) {
                mode_ = TMode::DataIac;
            } else {
                recordRaw_.push_back(c);
                recordData_.push_back(c);
            }
            break;
        case TMode::DataIac:
            mode_ = TMode::Data;
            if (c == IAC) {
                recordRaw_.insert(recordRaw_.end(), {IAC, IAC});
                recordData_.push_back(IAC);
            } else if (c == EOR) {
                // IAC EOR alone is an empty record, and still one unit.
                recordRaw_.insert(recordRaw_.end(), {IAC, EOR});
                Emit(TTelnetUnit::TKind::Record, std::exchange(recordRaw_, {}),
                     std::exchange(recordData_, {}), out);
            } else if (c >= WILL && c <= DONT) {
                verb_ = c;
                mode_ = TMode::Verb;
            } else if (c == SB) {
                subRaw_ = {IAC, SB};
                subData_.clear();
                mode_ = TMode::Sub;
            } else {
                // NOP, GA, a stray SE ...: a unit of its own, even inside a
                // record, whose data goes on after it.
                Emit(TTelnetUnit::TKind::Command, {IAC, c}, {c}, out);
            }
            break;
        case TMode::Verb:
            Emit(TTelnetUnit::TKind::Option, {IAC, verb_, c}, {verb_, c}, out);
            mode_ = TMode::Data;
            break;
        case TMode::Sub:
            subRaw_.push_back(c);
            if (c == IAC)
                mode_ = TMode::SubIac;
            else
                subData_.push_back(c);
            break;
        case TMode::SubIac:
            subRaw_.push_back(c);
            if (c == SE) {
                Emit(TTelnetUnit::TKind::Subnegotiation, std::exchange(subRaw_, {}),
                     std::exchange(subData_, {}), out);
                mode_ = TMode::Data;
            } else {
                // Only IAC SE ends a subnegotiation; IAC IAC is a data byte,
                // and any other command inside one is taken as its byte.
                subData_.push_back(c);
                mode_ = TMode::Sub;
            }
            break;
        }
    }
}

std::vector<Bytes> SplitTelnetUnits(const Bytes& raw) {
    TTelnetSplitter splitter;
    std::vector<TTelnetUnit> units;
    splitter.Feed(raw.data(), raw.size(), units);
    std::vector<Bytes> out;
    out.reserve(units.size());
    for (auto& unit : units)
        out.push_back(std::move(unit.raw));
    return out;
}

} // namespace hostsim
