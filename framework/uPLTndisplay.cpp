#include "uPLTndisplay.h"

#include <cstring>

#include "PLError.h"

namespace {
// Applies op to each of n bytes: to whole machine words first (the byte
// value spread over every byte of a word), then to the bytes left over.
template <typename TOp> void ForEachByteWordwise(uint8_t* bytes, size_t n, uint8_t value, TOp op) {
    const uint64_t spread = value * 0x0101010101010101ull;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        word = op(word, spread);
        std::memcpy(bytes + i, &word, 8);
    }
    for (; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(op(bytes[i], value));
}
} // namespace

void SetBitInEach(uint8_t* bytes, size_t n, uint8_t bit) {
    ForEachByteWordwise(bytes, n, bit, [](uint64_t v, uint64_t b) { return v | b; });
}

void ClearBitInEach(uint8_t* bytes, size_t n, uint8_t bit) {
    ForEachByteWordwise(bytes, n, bit, [](uint64_t v, uint64_t b) { return v & ~b; });
}

void FillBytes(uint8_t* bytes, uint8_t value, size_t n) {
    std::memset(bytes, value, n);
}

TPLTndisplay::TPLTndisplay(int sessionId, int rows, int cols)
    : SessionId(sessionId), rows_(rows), cols_(cols), size_(0) {
    if (rows <= 0 || cols <= 0 || rows > kPlaneSize || cols > kPlaneSize ||
        rows * cols > kPlaneSize)
        throw EPLError("invalid screen size");
    size_ = rows * cols;
    SetCursorPos(0);
}

void TPLTndisplay::SetSize(int size) {
    if (size <= 0 || size > kPlaneSize) throw EPLError("invalid screen size");
    size_ = size;
}

void TPLTndisplay::Clear() {
    HeadFlags[0] = 0;
    for (int i = 0; i < size_; ++i) {
        Chars[i] = 0;
        Attrs[i] = kDirty;
        Extra[i] = 0;
    }
}

void TPLTndisplay::ClearStatus() {
    HeadFlags[1] = 0;
    SetStatus("");
}

void TPLTndisplay::FlushChanges() {
    ClearBitInEach(Attrs.data(), static_cast<size_t>(rows_ * cols_), kDirty);
    Changed = true;
}

void TPLTndisplay::SetCursorPos(int pos) {
    cursor_ = (pos < 0 || pos >= size_) ? 0 : pos;
    cursorRow_ = static_cast<uint8_t>(cursor_ / cols_ + 1);
    cursorCol_ = static_cast<uint8_t>(cursor_ % cols_ + 1);
}

void TPLTndisplay::SetStatus(const std::string& text) {
    if (text == status_) return;
    status_ = text;
    if (OnStatusChange) OnStatusChange(*this);
}
