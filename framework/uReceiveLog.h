// The host's bytes as the dump shows them. A received block is held back
// until every record in it has been interpreted, so that the text the host
// wrote into hidden cells (a password field it fills in, a saved screen it
// brings back) is masked before the block reaches the dump. A record that is
// never interpreted cannot be masked: its bytes are left out of the dump, as
// are bytes never parsed.
// Bytes are held only while dumps are written (log level 6 or more). Reader
// thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

class TReceiveLog {
public:
    using TByteRanges = std::vector<std::pair<size_t, size_t>>;

    // A block as received; the offset of its first byte in the connection's
    // stream of received bytes.
    uint64_t Received(const uint8_t* data, size_t len);
    // Whether received bytes are being held (and their records followed).
    bool Holding() const { return holding_; }
    // The n bytes of the current record from recordOffset on are the
    // received bytes from offset on.
    void RecordBytes(size_t recordOffset, uint64_t offset, size_t n);
    // The current record was interpreted; its bytes in the ranges (offsets in
    // the record) hold hidden text.
    void RecordEnded(const TByteRanges& hidden);
    // The current record is dropped without being interpreted: none of its
    // bytes reaches the dump.
    void RecordDropped();
    // The received bytes from offset on are never parsed: they are left out
    // of the dump, as no record in them is interpreted.
    void NeverParsed(uint64_t offset);
    // Dumps the bytes that no unfinished record holds; all of them when the
    // connection ends.
    void Dump(bool all);
    // A new connection: nothing is held.
    void Reset();

private:
    struct TPiece {
        size_t recordOffset;
        uint64_t offset;
        size_t len;
    };
    bool holding_ = false;
    uint64_t end_ = 0;      // offset of the next byte to be received
    uint64_t heldFrom_ = 0; // offset of held_[0]
    std::vector<uint8_t> held_;
    std::vector<std::pair<uint64_t, uint64_t>> masked_;   // received ranges to mask
    std::vector<std::pair<uint64_t, uint64_t>> withheld_; // received ranges left out
    std::vector<TPiece> record_; // where the current record's bytes came from, in order
};
