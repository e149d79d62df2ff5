#include "uTypedValues.h"

#include <cstring>

void TValueWriter::WriteInteger(int32_t value) {
    if (value >= -128 && value <= 127) {
        uint8_t* out = Reserve(2);
        out[0] = vaInt8;
        out[1] = static_cast<uint8_t>(value);
    } else if (value >= -32768 && value <= 32767) {
        const auto v = static_cast<uint16_t>(value);
        uint8_t* out = Reserve(3);
        out[0] = vaInt16;
        out[1] = static_cast<uint8_t>(v);
        out[2] = static_cast<uint8_t>(v >> 8);
    } else {
        const auto v = static_cast<uint32_t>(value);
        uint8_t* out = Reserve(5);
        out[0] = vaInt32;
        for (int i = 0; i < 4; ++i)
            out[1 + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

void TValueWriter::WriteString(std::string_view text) {
    if (text.size() <= 255) {
        uint8_t* head = Reserve(2);
        head[0] = vaString;
        head[1] = static_cast<uint8_t>(text.size());
    } else {
        const auto n = static_cast<uint32_t>(text.size());
        uint8_t* head = Reserve(5);
        head[0] = vaLString;
        for (int i = 0; i < 4; ++i)
            head[1 + i] = static_cast<uint8_t>(n >> (8 * i));
    }
    // Short texts, the usual field, go byte by byte; longer ones in one copy.
    if (text.size() <= 16 && count_ + text.size() <= sizeof buffer_) {
        for (char c : text)
            buffer_[count_++] = static_cast<uint8_t>(c);
        return;
    }
    Put(text.data(), text.size());
}

void TValueWriter::Flush() {
    if (count_ == 0) return;
    stream_.write(buffer_, count_);
    count_ = 0;
}

void TValueWriter::Put(const void* data, size_t len) {
    if (count_ + len > sizeof buffer_) Flush();
    if (len > sizeof buffer_) {
        stream_.write(data, len);
        return;
    }
    std::memcpy(buffer_ + count_, data, len);
    count_ += len;
}

int32_t TValueReader::ReadInteger() {
    switch (in_.byte()) {
    case vaInt8:
        return static_cast<int8_t>(in_.byte());
    case vaInt16:
        return static_cast<int16_t>(in_.u16le());
    case vaInt32:
        return static_cast<int32_t>(in_.u32le());
    default:
        throw EReadError(kInvalidPropertyValue);
    }
}

std::string TValueReader::ReadString() {
    size_t len = 0;
    switch (in_.byte()) {
    case vaString:
        len = in_.byte();
        break;
    case vaLString: {
        // The length is signed in the format; a negative one is as broken as
        // one that runs past the bytes, and neither may reach an allocation.
        auto n = static_cast<int32_t>(in_.u32le());
        if (n < 0) throw EReadError(kStreamReadError);
        len = static_cast<size_t>(n);
        break;
    }
    default:
        throw EReadError(kInvalidPropertyValue);
    }
    return in_.takeString(len);
}

char TValueReader::ReadChar() {
    if (in_.byte() != vaString || in_.byte() != 1) throw EReadError(kInvalidPropertyValue);
    return static_cast<char>(in_.byte());
}

void TValueReader::Expect(uint8_t tag) {
    if (in_.byte() != tag) throw EReadError(kInvalidPropertyValue);
}
