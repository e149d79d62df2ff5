// The typed-value format shared by every stream the system writes: field lists,
// screen styles and connection records. Each value is led by a one-byte tag;
// multi-byte numbers are little-endian.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "ByteReader.h"
#include "uMemoryStream.h"

enum TValueTag : uint8_t {
    vaNull = 0x00, // end of list
    vaList = 0x01, // begin of list
    vaInt8 = 0x02,
    vaInt16 = 0x03,
    vaInt32 = 0x04,
    vaString = 0x06, // 1-byte length
    vaFalse = 0x08,
    vaTrue = 0x09,
    vaLString = 0x0C, // 4-byte length
};

// Writes typed values at the stream's position, through a buffer of 4096
// bytes that goes to the stream when it fills, on Flush and when the writer
// ends (caller's thread).
class TValueWriter {
public:
    explicit TValueWriter(TMemoryStream& stream) : stream_(stream) {}
    ~TValueWriter() { Flush(); }
    TValueWriter(const TValueWriter&) = delete;
    TValueWriter& operator=(const TValueWriter&) = delete;
    void Flush();

    // The shortest of the three integer forms that holds the value.
    void WriteInteger(int32_t value);
    void WriteString(std::string_view text);
    // A Char is the string form of one character.
    void WriteChar(char c) { WriteString(std::string_view(&c, 1)); }
    void WriteBoolean(bool value) { WriteByte(value ? vaTrue : vaFalse); }
    void WriteListBegin() { WriteByte(vaList); }
    void WriteListEnd() { WriteByte(vaNull); }

private:
    void WriteByte(uint8_t b) { *Reserve(1) = b; }
    // Room for n (at most the buffer's size) bytes at the end of the buffer.
    uint8_t* Reserve(size_t n) {
        if (count_ + n > sizeof buffer_) Flush();
        uint8_t* at = buffer_ + count_;
        count_ += n;
        return at;
    }
    void Put(const void* data, size_t len);
    TMemoryStream& stream_;
    uint8_t buffer_[4096];
    size_t count_ = 0;
};

// Reads typed values from bytes someone else wrote. A tag that does not fit
// the value expected raises "Invalid property value"; bytes that end early,
// or a length that runs past them, raise "Stream read error".
class TValueReader {
public:
    explicit TValueReader(std::span<const uint8_t> bytes) : in_(bytes) {}

    // Any of the three integer forms, sign-extended.
    int32_t ReadInteger();
    std::string ReadString();
    char ReadChar();
    // Any byte but vaTrue reads as false.
    bool ReadBoolean() { return in_.byte() == vaTrue; }
    void ReadListBegin() { Expect(vaList); }
    void ReadListEnd() { Expect(vaNull); }
    // True when the next byte ends a list.
    bool EndOfList() const { return in_.peek() == vaNull; }

    size_t position() const { return in_.position(); }

private:
    void Expect(uint8_t tag);
    TByteReader in_;
};
