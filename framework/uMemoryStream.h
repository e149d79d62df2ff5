// A growable block of bytes with a read/write position, the stream that field
// lists, styles and connection records are saved to and loaded from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class TMemoryStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::span<const uint8_t> bytes) : bytes_(bytes.begin(), bytes.end()) {}

    size_t size() const { return bytes_.size(); }
    size_t position() const { return pos_; }
    // Positions past the end are allowed, as for any stream; a write there
    // fills the gap with zero bytes.
    void setPosition(size_t pos) { pos_ = pos; }
    const uint8_t* data() const { return bytes_.data(); }
    std::span<const uint8_t> bytes() const { return bytes_; }
    // The bytes from the current position to the end.
    std::span<const uint8_t> rest() const {
        if (pos_ >= bytes_.size()) return {};
        return std::span<const uint8_t>(bytes_).subspan(pos_);
    }

    void write(const void* data, size_t len);
    // Copies up to len bytes from the position on and returns how many it copied.
    size_t read(void* data, size_t len);
    void reserve(size_t n) { bytes_.reserve(n); }
    void clear() {
        bytes_.clear();
        pos_ = 0;
    }

private:
    std::vector<uint8_t> bytes_;
    size_t pos_ = 0;
};
