// A 3270 stream on a 24 x 80 screen fed with host records (built-in code
// tables), and the records it sends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "uPLTn3270stream.h"

namespace rig3270 {

using Bytes = std::vector<uint8_t>;

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The 12-bit address of a cell, and SBA with it.
inline Bytes Addr(int address) {
    uint8_t a[2];
    TPLTn3270stream::EncodeBufferAddress(address, a);
    return {a[0], a[1]};
}
inline Bytes Sba(int address) {
    return Cat({{0x11}, Addr(address)});
}

struct TStreamRig {
    TPLTn3270stream stream{1, 24, 80};
    std::vector<Bytes> sent;

    TStreamRig() {
        stream.OnSend = [this](const uint8_t* d, size_t n) { sent.emplace_back(d, d + n); };
    }
    TPLTn3270display& d() { return *stream.Display3270(); }

    // One record as the transport hands it over at IAC EOR; an error in it
    // propagates, as it does to the transport.
    void Feed(const Bytes& record) {
        stream.AddData(record.data(), record.size());
        stream.ProcessRecord();
    }
    // The error text a record ends with, or "" when it was interpreted whole.
    std::string FeedError(const Bytes& record) {
        try {
            Feed(record);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }
    // Leaves n bytes of the host code of c in the stream's record buffer (a
    // Write of them, its screen cleared again), where a read past the end of
    // a shorter record that follows would find them.
    void LeaveStaleBytes(size_t n, char c) {
        Bytes filler{0xF1, 0x00};
        filler.resize(n + 2, stream.ToEbcdic(static_cast<uint8_t>(c)));
        Feed(filler);
        d().Clear();
    }
    // Local text in host code, through the stream's own table.
    Bytes Host(std::string_view text) const {
        Bytes out;
        for (char c : text)
            out.push_back(stream.ToEbcdic(static_cast<uint8_t>(c)));
        return out;
    }
    // The characters of n cells; attribute cells read as '^', NULs as '.'.
    std::string Text(int pos, int n) {
        std::string out;
        for (int i = pos; i < pos + n; ++i) {
            const uint8_t c = d().Chars[static_cast<size_t>(i)];
            out.push_back(d().IsFieldAttribute(i) ? '^' : c == 0 ? '.' : static_cast<char>(c));
        }
        return out;
    }
};

} // namespace rig3270
