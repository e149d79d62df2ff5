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
        withheld_.clear();
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

void TReceiveLog::RecordDropped() {
    if (record_.empty()) return;
    uint64_t first = record_.front().offset;
    // A data byte 0xFF arrives doubled: the IAC before it is the record's too.
    if (first > heldFrom_ && held_[first - heldFrom_] == 0xFF &&
        held_[first - heldFrom_ - 1] == 0xFF)
        --first;
    withheld_.emplace_back(first, record_.back().offset + record_.back().len);
    record_.clear();
}

void TReceiveLog::NeverParsed(uint64_t offset) {
    if (holding_ && offset < end_) withheld_.emplace_back(offset, end_);
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
    // What was withheld is cut out.
    std::sort(withheld_.begin(), withheld_.end());
    uint64_t kept = heldFrom_;
    auto out = shown.begin();
    for (const auto& [from, to] : withheld_) {
        const uint64_t a = std::max(from, kept), b = std::min(to, safe);
        if (a >= b) continue;
        out = std::copy(shown.begin() + static_cast<long>(kept - heldFrom_),
                        shown.begin() + static_cast<long>(a - heldFrom_), out);
        kept = b;
    }
    out = std::copy(shown.begin() + static_cast<long>(kept - heldFrom_), shown.end(), out);
    shown.erase(out, shown.end());
    // In dumps of a receive block's size at most, as they came before they
    // were held: a dump holds 64 KiB.
    for (size_t at = 0; at < shown.size(); at += kDumpPiece) {
        const auto piece = static_cast<int>(std::min(kDumpPiece, shown.size() - at));
        WriteDump(6, Format("DATA STREAM RECIBIDO DESDE HOST (EBCDIC): %d BYTES", piece),
                  kDumpWidth, shown.data() + at, piece, kDumpBlock);
    }
    held_.erase(held_.begin(), held_.begin() + static_cast<long>(n));
    heldFrom_ = safe;
    std::erase_if(masked_, [safe](const auto& range) { return range.second <= safe; });
    std::erase_if(withheld_, [safe](const auto& range) { return range.second <= safe; });
}

void TReceiveLog::Reset() {
    holding_ = false;
    held_.clear();
    masked_.clear();
    withheld_.clear();
    record_.clear();
    heldFrom_ = end_;
}
