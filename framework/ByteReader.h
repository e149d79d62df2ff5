// A bounded view of bytes that someone else wrote: a host, a file, a caller.
// Every read checks what is left first and throws EReadError instead of
// passing the end, so no parser indexes a raw buffer with a number it was sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "PLError.h"

class TByteReader {
public:
    TByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit TByteReader(std::span<const uint8_t> bytes)
        : data_(bytes.data()), size_(bytes.size()) {}

    size_t position() const { return pos_; }
    size_t size() const { return size_; }
    size_t remaining() const { return size_ - pos_; }
    bool atEnd() const { return pos_ >= size_; }
    // Where the next byte stands in the underlying data.
    const uint8_t* current() const { return data_ + pos_; }

    // The next byte without consuming it.
    uint8_t peek() const {
        need(1);
        return data_[pos_];
    }
    uint8_t byte() {
        need(1);
        return data_[pos_++];
    }
    // n bytes as a view into the underlying data.
    std::span<const uint8_t> take(size_t n) {
        need(n);
        std::span<const uint8_t> out(data_ + pos_, n);
        pos_ += n;
        return out;
    }
    std::string takeString(size_t n) {
        auto bytes = take(n);
        return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    void skip(size_t n) {
        need(n);
        pos_ += n;
    }
    uint16_t u16be() {
        auto b = take(2);
        return static_cast<uint16_t>(b[0] << 8 | b[1]);
    }
    uint16_t u16le() {
        auto b = take(2);
        return static_cast<uint16_t>(b[1] << 8 | b[0]);
    }
    uint32_t u32le() {
        auto b = take(4);
        return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
               static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
    }

private:
    void need(size_t n) const {
        if (n > size_ - pos_) throw EReadError(kStreamReadError);
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};
