#include "uReceiveLog.h"

#include <algorithm>

#include "uPLIntfLogg.h"

namespace {
constexpr size_t kDumpPiece = 8192;
} // namespace

uint64_t TReceiveLog::Received(const uint8_t* data, size_t len) {
    const uint64_t offset = end_;
    end_ += len;
    holding_ = LogWanted(6);
    if (!holding_) {
        // Nothing is dumped: nothing is held.
        held_.clear();
        masked_.clear();
        record_.clear();
        heldFrom_ = end_;
        return offset;
    }
    if (held_.empty()) heldFrom_ = offset;
    held_.insert(held_.end(), data, data + len);
    return offset;
}

void TReceiveLog::RecordBytes(size_t recordOffset, uint64_t offset, size_t n) {
    TPiece* last = record_.empty() ? nullptr : &record_.back();
    if (last && last->offset + last->len == offset &&
        last->recordOffset + last->len == recordOffset)
        last->len += n;
    else
        record_.push_back({recordOffset, offset, n});
}

void TReceiveLog::RecordEnded(const TByteRanges& hidden) {
    // Both go in record order: each hidden range meets the pieces it overlaps.
    size_t p = 0;
    for (const auto& [first, last] : hidden) {
        while (p < record_.size() && record_[p].recordOffset + record_[p].len <= first)
            ++p;
        for (size_t q = p; q < record_.size() && record_[q].recordOffset < last; ++q) {
            const TPiece& piece = record_[q];
            const size_t a = std::max(first, piece.recordOffset);
            const size_t b = std::min(last, piece.recordOffset + piece.len);
            if (a < b)
                masked_.emplace_back(piece.offset + (a - piece.recordOffset),
                                     piece.offset + (b - piece.recordOffset));
        }
    }
    record_.clear();
}

void TReceiveLog::Dump(bool all) {
    if (held_.empty()) return;
    const uint64_t safe = all || record_.empty() ? end_ : record_.front().offset;
    if (safe <= heldFrom_) return;
    const auto n = static_cast<size_t>(safe - heldFrom_);
    std::vector<uint8_t> shown(held_.begin(), held_.begin() + static_cast<long>(n));
    for (const auto& [from, to] : masked_) {
        const uint64_t a = std::max(from, heldFrom_), b = std::min(to, safe);
        if (a < b)
            std::fill(shown.begin() + static_cast<long>(a - heldFrom_),
                      shown.begin() + static_cast<long>(b - heldFrom_), kHiddenDumpByte);
    }
    // In dumps of a receive block's size at most, as they came before they
    // were held: a dump holds 64 KiB.
    for (size_t at = 0; at < n; at += kDumpPiece) {
        const auto piece = static_cast<int>(std::min(kDumpPiece, n - at));
        WriteDump(6, Format("DATA STREAM RECIBIDO DESDE HOST (EBCDIC): %d BYTES", piece),
                  kDumpWidth, shown.data() + at, piece, kDumpBlock);
    }
    held_.erase(held_.begin(), held_.begin() + static_cast<long>(n));
    heldFrom_ = safe;
    std::erase_if(masked_, [safe](const auto& range) { return range.second <= safe; });
}

void TReceiveLog::Reset() {
    holding_ = false;
    held_.clear();
    masked_.clear();
    record_.clear();
    heldFrom_ = end_;
}
