#include "uMemoryStream.h"

#include <algorithm>
#include <cstring>

void TMemoryStream::write(const void* data, size_t len) {
    if (len == 0) return;
    if (pos_ == bytes_.size()) { // the usual case: appending
        const auto* p = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + len);
        pos_ += len;
        return;
    }
    if (pos_ + len > bytes_.size()) bytes_.resize(pos_ + len);
    std::memcpy(bytes_.data() + pos_, data, len);
    pos_ += len;
}

size_t TMemoryStream::read(void* data, size_t len) {
    if (pos_ >= bytes_.size()) return 0;
    size_t n = std::min(len, bytes_.size() - pos_);
    std::memcpy(data, bytes_.data() + pos_, n);
    pos_ += n;
    return n;
}
