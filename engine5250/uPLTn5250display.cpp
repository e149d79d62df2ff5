#include "uPLTn5250display.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr uint8_t kFieldEdge = 0x01; // character of a start-attribute cell and of the cell after
constexpr uint8_t kFieldEnd = 0x20;  // attribute of the cell after a field
constexpr char kBlank = 0x20;

// How many characters Data keeps for a field of this length.
size_t DataSizeFor(uint16_t length) {
    const size_t wanted = std::min<size_t>(length, TPLTn5250display::kCells);
    return std::max<size_t>(wanted, TFieldFormatRec::kMinData);
}

} // namespace

TFieldFormatRec::TFieldFormatRec(uint16_t length)
    : Length(length), Data(DataSizeFor(length), kBlank) {}

void TFieldFormatRec::Reset(uint16_t length) {
    FFW1 = FFW2 = FCW1 = FCW2 = Attribute = Row = Col = EndRow = EndCol = 0;
    RowsSpanned = Modified = 0;
    Length = length;
    // Blank text in the room the text has.
    const size_t size = DataSizeFor(length);
    Data.resize(size);
    FillCells(reinterpret_cast<uint8_t*>(Data.data()), kBlank, size);
}

void TFieldFormatRec::FitData() {
    Data.resize(DataSizeFor(Length), kBlank);
}

TPLTn5250display::TPLTn5250display(int sessionId, int rows, int cols)
    : TPLTndisplay(sessionId, rows, cols) {
    TPLTn5250display::Clear();
}

TPLTn5250display::~TPLTn5250display() {
    ClearFields();
}

void TPLTn5250display::SetWinTop(int16_t value) {
    winTop_ = std::clamp<int16_t>(value, 0, 23);
    winHeight_ = static_cast<int16_t>(std::abs(winBottom_ - winTop_) + 1);
}

void TPLTn5250display::SetWinLeft(int16_t value) {
    winLeft_ = std::clamp<int16_t>(value, 0, kCols - 1);
    winWidth_ = static_cast<int16_t>(std::abs(winRight_ - winLeft_) + 1);
}

void TPLTn5250display::SetWinBottom(int16_t value) {
    winBottom_ = std::clamp<int16_t>(value, 0, 23);
    winHeight_ = static_cast<int16_t>(std::abs(winBottom_ - winTop_) + 1);
}

void TPLTn5250display::SetWinRight(int16_t value) {
    winRight_ = std::clamp<int16_t>(value, 0, kCols - 1);
    winWidth_ = static_cast<int16_t>(std::abs(winRight_ - winLeft_) + 1);
}

void TPLTn5250display::Clear() {
    // The base's head flag stays: a 5250 clear resets cells, fields and cursor only.
    SetSize(Rows() * Cols());
    const auto cells = static_cast<size_t>(CellCount());
    std::fill_n(Chars.begin(), cells, 0);
    std::fill_n(Attrs.begin(), cells, kDirty);
    std::fill_n(Extra.begin(), cells, 0);
    std::fill_n(FieldMap.begin(), cells, 0);
    // The map names no field any more: the records go without a walk over their cells.
    for (auto& f : fields_)
        if (f) Retire(std::move(f));
    lowestFree_ = 1;
    SetCursorPos(0);
}

void TPLTn5250display::AddField(std::unique_ptr<TFieldFormatRec> rec) {
    if (!rec) return;
    rec->FitData();
    const int a = rec->Start() - 1; // the start attribute's cell
    RemoveFieldAt(a);

    int slot = 0;
    for (int s = lowestFree_; s <= kSlots; ++s) {
        if (!fields_[s]) {
            slot = s;
            break;
        }
    }
    lowestFree_ = slot == 0 ? kSlots + 1 : slot + 1;

    const uint8_t attr = rec->Attribute;
    const int length = rec->Length;
    if (InScreen(a)) {
        Chars[a] = kFieldEdge;
        Attrs[a] = attr;
        Extra[a] = attr;
    }
    const int after = a + length + 1;
    if (InScreen(after)) {
        Chars[after] = kFieldEdge;
        Attrs[after] = kFieldEnd;
        Extra[after] = kFieldEnd;
    }
    // Only the cells on the screen: a host may claim a length far past its end.
    const int firstK = std::max(1, -a), lastK = std::min(length, CellCount() - 1 - a);
    if (firstK <= lastK) {
        const auto first = static_cast<size_t>(a + firstK);
        const auto count = static_cast<size_t>(lastK - firstK + 1);
        FillCells(Attrs.data() + first, kDirty, count);
        FillCells(FieldMap.data() + first, static_cast<uint8_t>(slot), count);
        FillCells(Extra.data() + first, attr, count);
    }
    // With the table full the cells are drawn (owned by no field) and the record goes.
    if (slot != 0) fields_[slot] = std::move(rec);
}

void TPLTn5250display::Retire(std::unique_ptr<TFieldFormatRec> rec) {
    // Only records of ordinary size are kept, so the spares stay small.
    if (rec && spare_.size() < kSlots && rec->Data.capacity() <= 2 * TFieldFormatRec::kMinData)
        spare_.push_back(std::move(rec));
}

std::unique_ptr<TFieldFormatRec> TPLTn5250display::NewField(uint16_t length) {
    if (spare_.empty()) return std::make_unique<TFieldFormatRec>(length);
    std::unique_ptr<TFieldFormatRec> rec = std::move(spare_.back());
    spare_.pop_back();
    rec->Reset(length);
    return rec;
}

void TPLTn5250display::RemoveFieldAt(int pos) {
    const int first = pos + 1;
    if (!InScreen(first)) return;
    if (FieldMap[first] != 0) RemoveField(FieldMap[first]);
}

void TPLTn5250display::RemoveField(int slot) {
    if (slot < 1 || slot > kSlots || !fields_[slot]) return;
    std::unique_ptr<TFieldFormatRec> rec = std::move(fields_[slot]);
    lowestFree_ = std::min(lowestFree_, slot);
    struct RetireOnExit {
        TPLTn5250display& display;
        std::unique_ptr<TFieldFormatRec>& rec;
        ~RetireOnExit() { display.Retire(std::move(rec)); }
    } retire{*this, rec};
    // A later field may have taken over some of these cells; they stay its own.
    const int first = std::max(0, rec->Start());
    const int last = std::min(rec->Start() + rec->Length, CellCount());
    for (int pos = first; pos < last; ++pos)
        if (FieldMap[pos] == slot) FieldMap[pos] = 0;
}

void TPLTn5250display::ClearFields() {
    for (int s = 1; s <= kSlots; ++s)
        RemoveField(s);
}

int TPLTn5250display::FieldCount() const {
    return static_cast<int>(std::count_if(fields_.begin() + 1, fields_.end(),
                                          [](const auto& f) { return f != nullptr; }));
}

TFieldFormatRec* TPLTn5250display::Field(int slot) const {
    if (slot < 1 || slot > kSlots) return nullptr;
    return fields_[slot].get();
}

uint8_t TPLTn5250display::GetAttrAt(int pos) const {
    if (!InScreen(pos)) return 0;
    if (const TFieldFormatRec* rec = Field(FieldMap[pos])) return rec->Attribute;
    return Attrs[pos];
}

void TPLTn5250display::PutFieldData(int pos, const std::string& text) {
    if (!InScreen(pos)) return;
    TFieldFormatRec* rec = Field(FieldMap[pos]);
    if (!rec) return;
    rec->FitData();
    const int start = rec->Start();
    const int off = pos - start;
    const int length = std::min<int>(rec->Length, static_cast<int>(rec->Data.size()));
    if (off < 0 || off >= length) return;

    std::fill(rec->Data.begin() + off, rec->Data.end(), kBlank);
    // The text is zero-terminated; what runs past the field's end is dropped.
    const size_t textLen = std::min(text.find('\0'), text.size());
    const size_t n = std::min<size_t>(textLen, static_cast<size_t>(length - off));
    std::copy_n(text.begin(), n, rec->Data.begin() + off);
    rec->Modified = 1;

    for (int k = 0; k < length; ++k) {
        const int cell = start + k;
        if (!InScreen(cell)) continue;
        Chars[cell] = static_cast<uint8_t>(rec->Data[static_cast<size_t>(k)]);
        Attrs[cell] |= kDirty;
    }
}
