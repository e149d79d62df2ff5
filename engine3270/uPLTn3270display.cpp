#include "uPLTn3270display.h"

#include <algorithm>

#include <cstring>

using namespace attr3270;

namespace {
// The cells after an attribute cell up to the next one: one run, or two when
// the field wraps from the last cell to cell 0.
struct TRuns {
    int count = 0;
    int begin[2] = {0, 0};
    int end[2] = {0, 0}; // exclusive
};
} // namespace

TPLTn3270display::TPLTn3270display(int sessionId, int rows, int cols)
    : TPLTndisplay(sessionId, rows, cols) {}

uint8_t TPLTn3270display::ToInternal(uint8_t a) {
    uint8_t i = ChangedBit;
    if (a & 0x20) i |= Protected;
    if (a & 0x10) i |= Numeric;
    if (a & 0x01) i |= Modified;
    return static_cast<uint8_t>(i | ((a >> 2) & Intensity));
}

uint8_t TPLTn3270display::ToFieldAttribute(uint8_t internal) {
    uint8_t a = 0;
    if (internal & Protected) a |= 0x20;
    if (internal & Numeric) a |= 0x10;
    if (internal & Modified) a |= 0x01;
    return static_cast<uint8_t>(a | (internal & Intensity) << 2);
}

// Clear and FlushChanges do what the base's do, a plane at a time: a screen
// is cleared and flushed with every Erase/Write.
void TPLTn3270display::Clear() {
    HeadFlags[0] = 0;
    const auto n = static_cast<size_t>(Size());
    std::memset(Chars.data(), 0, n);
    std::memset(Attrs.data(), ChangedBit, n);
    std::memset(Extra.data(), 0, n);
    std::memset(fieldMarks_.data(), 0, n);
    firstMark_ = lastMark_ = -1;
}

void TPLTn3270display::FlushChanges() {
    ClearBitInEach(Attrs.data(), static_cast<size_t>(Size()), ChangedBit);
    Changed = true;
}

namespace {
// The runs of cells after pos up to the next marked cell, wrapping once
// round; they stop before pos when no other cell is marked. first and last
// are the lowest and highest marked cells (-1: none): a screen is built
// field after field from its top, and for each new field nothing is marked
// after it, which the bounds tell without a search.
TRuns TailRuns(const uint8_t* marks, int size, int pos, int first, int last) {
    TRuns r;
    const int from = pos + 1;
    if (from < size) {
        const void* hit =
            last >= from ? std::memchr(marks + from, 1, static_cast<size_t>(size - from)) : nullptr;
        if (hit) {
            r.count = 1;
            r.begin[0] = from;
            r.end[0] = static_cast<int>(static_cast<const uint8_t*>(hit) - marks);
            return r;
        }
        r.begin[0] = from;
        r.end[0] = size;
        r.count = 1;
    }
    const int stop = first != -1 && first <= pos ? first : pos;
    r.begin[r.count] = 0;
    r.end[r.count] = stop;
    ++r.count;
    return r;
}
} // namespace

void TPLTn3270display::FillField(int pos, uint8_t internal) {
    Attrs[pos] = internal;
    const TRuns runs = TailRuns(fieldMarks_.data(), Size(), pos, firstMark_, lastMark_);
    for (int i = 0; i < runs.count; ++i)
        std::memset(Attrs.data() + runs.begin[i], internal,
                    static_cast<size_t>(runs.end[i] - runs.begin[i]));
}

void TPLTn3270display::StartField(int pos, uint8_t attribute) {
    if (!InScreen(pos)) return;
    HeadFlags[0] = 1;
    Chars[pos] = kAttributeChar;
    Extra[pos] = 0;
    fieldMarks_[pos] = 1;
    if (firstMark_ == -1 || pos < firstMark_) firstMark_ = pos;
    lastMark_ = std::max(lastMark_, pos);
    FillField(pos, ToInternal(attribute));
}

void TPLTn3270display::RemoveFieldAttribute(int pos) {
    if (!IsFieldAttribute(pos)) return;
    int previous = FindFieldStart(pos == 0 ? LastCell() : pos - 1);
    if (previous == -1) previous = FindFieldStart(LastCell());
    UnmarkAttribute(pos);
    if (previous == pos || previous == -1) {
        HeadFlags[0] = 0;
        std::fill_n(Attrs.begin(), Size(), ChangedBit);
        return;
    }
    FillField(pos, static_cast<uint8_t>(Attrs[previous] | ChangedBit));
}

void TPLTn3270display::UnmarkAttribute(int pos) {
    fieldMarks_[pos] = 0;
    const uint8_t* marks = fieldMarks_.data();
    if (pos == firstMark_) {
        const void* hit = std::memchr(marks + pos, 1, static_cast<size_t>(Size() - pos));
        firstMark_ = hit ? static_cast<int>(static_cast<const uint8_t*>(hit) - marks) : -1;
    }
    if (pos == lastMark_) {
        const void* hit = memrchr(marks, 1, static_cast<size_t>(pos));
        lastMark_ = hit ? static_cast<int>(static_cast<const uint8_t*>(hit) - marks) : -1;
    }
}

uint8_t TPLTn3270display::GetFieldAttribute(int pos) const {
    return InScreen(pos) ? ToFieldAttribute(Attrs[pos]) : 0;
}

bool TPLTn3270display::IsFieldModified(int pos) const {
    return InScreen(pos) && (Attrs[pos] & Modified) != 0;
}

int TPLTn3270display::FindNextField(int pos) const {
    if (!Formatted() || pos >= Size()) return -1;
    pos = std::max(pos, 0);
    const void* hit = std::memchr(fieldMarks_.data() + pos, 1, static_cast<size_t>(Size() - pos));
    return hit ? static_cast<int>(static_cast<const uint8_t*>(hit) - fieldMarks_.data()) : -1;
}

int TPLTn3270display::FindNextUnprotected(int pos) const {
    for (int p = FindNextField(pos); p != -1; p = FindNextField(p + 1)) {
        if (Attrs[p] & Protected) continue;
        if (p == LastCell()) return -1;
        if (fieldMarks_[p + 1]) continue; // an empty field takes no input
        return p + 1;
    }
    return -1;
}

int TPLTn3270display::FindFieldStart(int pos) const {
    if (!Formatted() || pos < 0) return -1;
    // A host that overwrites a run of attribute cells (RA over them) has each
    // removal search backwards: keep the search a vector scan.
    const auto n = static_cast<size_t>(std::min(pos, LastCell()) + 1);
    const void* hit = memrchr(fieldMarks_.data(), 1, n);
    return hit ? static_cast<int>(static_cast<const uint8_t*>(hit) - fieldMarks_.data()) : -1;
}

void TPLTn3270display::SetExtendedAttribute(int pos, uint8_t bits) {
    if (InScreen(pos)) Extra[pos] |= bits;
}

void TPLTn3270display::SetFieldModified(int pos, bool on) {
    if (!IsFieldAttribute(pos)) return;
    const auto keep = static_cast<uint8_t>(~Modified);
    const auto add = static_cast<uint8_t>((on ? Modified : 0) | ChangedBit);
    uint8_t* a = Attrs.data();
    a[pos] = static_cast<uint8_t>((a[pos] & keep) | add);
    const TRuns runs = TailRuns(fieldMarks_.data(), Size(), pos, firstMark_, lastMark_);
    for (int i = 0; i < runs.count; ++i)
        for (int c = runs.begin[i]; c < runs.end[i]; ++c)
            a[c] = static_cast<uint8_t>((a[c] & keep) | add);
}

void TPLTn3270display::MarkFieldModified(int pos) {
    if (!Formatted() || !InScreen(pos)) return;
    int field = FindFieldStart(pos);
    if (field == -1) field = FindFieldStart(LastCell());
    if (field != -1 && !(Attrs[field] & Modified)) SetFieldModified(field, true);
}

bool TPLTn3270display::HasTextBefore(int pos) const {
    if (!Formatted()) {
        for (int c = 0; c < pos; ++c)
            if (Chars[c] != 0) return true;
        return false;
    }
    int c = pos;
    for (int steps = 0; steps < Size(); ++steps) {
        c = c == 0 ? LastCell() : c - 1;
        if (fieldMarks_[c]) return false;
        if (Chars[c] != 0) return true;
    }
    return false;
}

void TPLTn3270display::PutString(int start, int count, const std::string& text) {
    if (!InScreen(start) || count <= 0 || IsFieldAttribute(start)) return;
    if (Formatted() && (Attrs[start] & Protected)) return;
    const int end = static_cast<int>(std::min<long>(static_cast<long>(start) + count, Size()));
    // Leading blanks of a field are typed-over nulls and are not sent; a
    // blank after text, also text earlier in the same field (the piece of a
    // field on its next row), is a real blank.
    bool stored = HasTextBefore(start);
    bool changed = false;
    for (int c = start; c < end && !fieldMarks_[c]; ++c) {
        const size_t k = static_cast<size_t>(c - start);
        if (k < text.size()) {
            const auto ch = static_cast<uint8_t>(text[k]);
            if (ch != ' ') stored = true;
            if (ch == Chars[c]) continue;
            Chars[c] = (ch == ' ' && !stored) ? 0 : ch;
        } else {
            if (Chars[c] == 0 || Chars[c] == ' ') continue;
            Chars[c] = 0;
        }
        Attrs[c] |= ChangedBit;
        changed = true;
    }
    if (changed) MarkFieldModified(start);
}
