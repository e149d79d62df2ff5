// A log32 stand-in that records every call, for tests of the writers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "trace.h"

namespace log32fake {

inline std::vector<std::string>& Calls() {
    static std::vector<std::string> calls;
    return calls;
}
// Each dump's title and bytes, in order.
struct TDump {
    std::string title;
    std::vector<uint8_t> bytes;
};
inline std::vector<TDump>& Dumps() {
    static std::vector<TDump> dumps;
    return dumps;
}
inline int32_t& NextHandle() {
    static int32_t h = 0;
    return h;
}
inline void SetLogLevel(uint16_t level) {
    Calls().push_back("SetLogLevel " + std::to_string(level));
}
inline int32_t OpenLog(const char* name) {
    Calls().push_back(std::string("OpenLog ") + name);
    return ++NextHandle();
}
inline void CloseLog(int32_t h) {
    Calls().push_back("CloseLog " + std::to_string(h));
}
inline void RewindLog(int32_t h) {
    Calls().push_back("RewindLog " + std::to_string(h));
}
inline void DumpLog(int32_t h, uint16_t level, const char* title, uint16_t width, const void* data,
                    uint16_t len, uint16_t block) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    Dumps().push_back({title, {}});
    if (bytes) Dumps().back().bytes.assign(bytes, bytes + len);
    Calls().push_back("DumpLog " + std::to_string(h) + " " + std::to_string(level) + " " + title +
                      " " + std::to_string(width) + " " + std::to_string(len) + " " +
                      std::to_string(block));
}
inline void MsgLog(int32_t h, uint16_t level, const char* text) {
    Calls().push_back("MsgLog " + std::to_string(h) + " " + std::to_string(level) + " " + text);
}

// Where any of the byte strings shows in what was logged: the message, or
// the title of the dump, that holds it first; "" when none does.
inline std::string WhereLogged(const std::vector<std::vector<uint8_t>>& needles) {
    auto holds = [&needles](const uint8_t* data, size_t size) {
        for (const auto& n : needles)
            if (std::search(data, data + size, n.begin(), n.end()) != data + size) return true;
        return false;
    };
    for (const std::string& call : Calls())
        if (call.rfind("MsgLog ", 0) == 0 &&
            holds(reinterpret_cast<const uint8_t*>(call.data()), call.size()))
            return call;
    for (const TDump& dump : Dumps())
        if (holds(dump.bytes.data(), dump.bytes.size())) return "dump " + dump.title;
    return "";
}

// How many messages hold the text.
inline int MessagesWith(const std::string& text) {
    return static_cast<int>(std::count_if(Calls().begin(), Calls().end(), [&](const auto& call) {
        return call.rfind("MsgLog ", 0) == 0 && call.find(text) != std::string::npos;
    }));
}

// How many times a session logged that it dropped a record of that length
// without interpreting it, for that reason.
inline int DroppedRecordLines(size_t length, const std::string& why) {
    return MessagesWith("Registro de " + std::to_string(length) +
                        " bytes descartado sin interpretar: " + why);
}

// Installs the fake for the life of the object.
struct TInstalled {
    TInstalled() {
        Calls().clear();
        Dumps().clear();
        NextHandle() = 0;
        SetLog32Api({SetLogLevel, OpenLog, CloseLog, RewindLog, DumpLog, MsgLog});
    }
    ~TInstalled() { SetLog32Api({}); }
};

} // namespace log32fake
