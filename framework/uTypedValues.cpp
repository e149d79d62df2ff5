#include "uTypedValues.h"

#include <cstring>

void TValueWriter::WriteInteger(int32_t value) {
    if (value >= -128 && value <= 127) {
        uint8_t out[2] = {vaInt8, static_cast<uint8_t>(value)};
        stream_.write(out, sizeof out);
    } else if (value >= -32768 && value <= 32767) {
        auto v = static_cast<uint16_t>(value);
        uint8_t out[3] = {vaInt16, static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        stream_.write(out, sizeof out);
    } else {
        auto v = static_cast<uint32_t>(value);
        uint8_t out[5] = {vaInt32, static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                          static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
        stream_.write(out, sizeof out);
    }
}

void TValueWriter::WriteString(std::string_view text) {
    if (text.size() <= 255) {
        uint8_t head[2] = {vaString, static_cast<uint8_t>(text.size())};
        stream_.write(head, sizeof head);
    } else {
        auto n = static_cast<uint32_t>(text.size());
        uint8_t head[5] = {vaLString, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                           static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 24)};
        stream_.write(head, sizeof head);
    }
    stream_.write(text.data(), text.size());
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
