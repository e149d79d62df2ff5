// A 5250 stream on a 24 x 80 screen fed with host records, the records it
// sends, and the engine log's messages when a test needs them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/LogCapture.h"
#include "uPLTn5250stream.h"

namespace rig5250 {

using Bytes = std::vector<uint8_t>;

// A host record: the 10-byte header announcing its true length, then data.
inline Bytes HostRecord(uint8_t opcode, const Bytes& data) {
    const size_t len = 10 + data.size();
    Bytes r{static_cast<uint8_t>(len >> 8),
            static_cast<uint8_t>(len),
            0x12,
            0xA0,
            0x00,
            0x00,
            0x04,
            0x00,
            0x00,
            opcode};
    r.insert(r.end(), data.begin(), data.end());
    return r;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct TStreamRig {
    TPLTn5250stream stream{1, 24, 80};
    std::vector<Bytes> sent;

    TStreamRig() {
        stream.OnSend = [this](const uint8_t* d, size_t n) { sent.emplace_back(d, d + n); };
    }
    TPLTn5250display& display() { return *stream.Display5250(); }

    // Raw bytes as one record, as the transport hands them over at IAC EOR.
    void Feed(const Bytes& record) {
        stream.AddData(record.data(), record.size());
        stream.ProcessRecord();
    }
    void Run(const Bytes& data, uint8_t opcode = op5250::PutGet) { Feed(HostRecord(opcode, data)); }
    // Local text in host code, through the stream's own table.
    Bytes Host(std::string_view text) const {
        Bytes out;
        for (char c : text)
            out.push_back(stream.ToEbcdic(static_cast<uint8_t>(c)));
        return out;
    }
    // The characters of n cells; cells holding no character read as '.'.
    std::string Text(int pos, int n) {
        std::string out;
        for (int i = pos; i < pos + n; ++i) {
            const uint8_t c = display().Chars[static_cast<size_t>(i)];
            out.push_back(c < 0x20 ? '.' : static_cast<char>(c));
        }
        return out;
    }
};

using ::TLogCapture;

} // namespace rig5250
