#include "uPlBasFld.h"

#include <atomic>
#include <cstring>
#include <typeinfo>

namespace {
std::atomic<bool> gEabInStream{false};

// A THostBasicField itself, not a kind of field a caller derived from it.
bool IsPlainField(const THostBasicField& field) {
    return typeid(field) == typeid(THostBasicField);
}
} // namespace

bool EabInStream() {
    return gEabInStream.load(std::memory_order_relaxed);
}

void CellsToText(std::string& out, const uint8_t* cells, size_t count) {
    out.assign(reinterpret_cast<const char*>(cells), count);
    // Most texts hold no null cell at all: find them, do not test every cell.
    char* const end = out.data() + count;
    for (char* p = out.data(); p < end; ++p) {
        p = static_cast<char*>(std::memchr(p, 0, static_cast<size_t>(end - p)));
        if (!p) break;
        *p = ' ';
    }
}

// --- THostBasicField ---

void THostBasicField::SetData(const std::string& text) {
    size_t end = text.size();
    while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    Data = text.substr(0, end);
}

void THostBasicField::Blank() {
    FieldNo = 0;
    Row = 0;
    Col = 0;
    Len = 0;
    Pos = 0;
    Eab = 0;
    Data.clear();
    Name.clear();
    Reserved = 0;
    attr_ = TFieldAttribute();
}

void THostBasicField::CopyFrom(const THostBasicField* other) {
    if (!other) return;
    Row = other->Row;
    Col = other->Col;
    Len = other->Len;
    Pos = other->Pos;
    Eab = other->Eab;
    SetAttr(other->GetAttr());
    Data = other->Data;
    Reserved = other->Reserved;
    Name = other->Name;
}

bool THostBasicField::SameField(const THostBasicField& other) const {
    if (Row != other.Row || Col != other.Col) return false;
    auto a = GetAttr(), b = other.GetAttr();
    return (a.Has(attProtected) && b.Has(attProtected)) ||
           (a.Has(attUnProtected) && b.Has(attUnProtected));
}

void THostBasicField::ReadData(TValueReader& reader) {
    // The item lands in the field only once it was read whole: a stream cut
    // inside it leaves the field as it was. The integer forms are narrowed to
    // what the target holds.
    const auto row = static_cast<uint8_t>(reader.ReadInteger());
    const auto col = static_cast<uint8_t>(reader.ReadInteger());
    const auto len = static_cast<int16_t>(reader.ReadInteger());
    const auto pos = static_cast<int16_t>(reader.ReadInteger());
    const auto attr = TFieldAttribute::FromInt(static_cast<uint32_t>(reader.ReadInteger()));
    const char eab = EabInStream() ? reader.ReadChar() : Eab;
    std::string data = reader.ReadString();
    const auto reserved = static_cast<uint8_t>(reader.ReadInteger());
    Row = row;
    Col = col;
    Len = len;
    Pos = pos;
    SetAttr(attr);
    Eab = eab;
    Data = std::move(data);
    Reserved = reserved;
}

void THostBasicField::WriteData(TValueWriter& writer) {
    if (static_cast<long>(Data.size()) > Len) Data.resize(Len < 0 ? 0 : static_cast<size_t>(Len));
    writer.WriteInteger(Row);
    writer.WriteInteger(Col);
    writer.WriteInteger(Len);
    writer.WriteInteger(Pos);
    writer.WriteInteger(static_cast<int32_t>(GetAttr().ToInt()));
    writer.WriteChar(Eab);
    writer.WriteString(Data);
    writer.WriteInteger(Reserved);
}

// --- THostFields ---

THostFields::THostFields() : MessageField(std::make_unique<THostBasicField>()) {}

void THostFields::Clear() {
    filtered_.clear();
    Fields.clear();
}

void THostFields::ClearLists() {
    filtered_.clear();
    // The caller owns the fields now; the list lets go of them unfreed.
    for (auto& f : Fields)
        (void)f.release();
    Fields.clear();
}

void THostFields::Reset() {
    filtered_.clear();
    for (auto& f : Fields)
        Keep(std::move(f));
    Fields.clear();
    Filtered = false;
    TermModel = 0;
    CurPos = 0;
    WinTop = WinLeft = WinBottom = WinRight = 0;
    WindowMode = 0;
    if (MessageField && IsPlainField(*MessageField))
        MessageField->Blank();
    else
        MessageField = std::make_unique<THostBasicField>();
}

std::unique_ptr<THostBasicField> THostFields::NewField() {
    if (kept_.empty()) return std::make_unique<THostBasicField>();
    std::unique_ptr<THostBasicField> field = std::move(kept_.back());
    kept_.pop_back();
    field->Blank();
    return field;
}

void THostFields::DropLast() {
    if (Fields.empty()) return;
    THostBasicField* last = Fields.back().get();
    std::erase(filtered_, last);
    Keep(std::move(Fields.back()));
    Fields.pop_back();
}

void THostFields::Keep(std::unique_ptr<THostBasicField> field) {
    if (field && IsPlainField(*field)) kept_.push_back(std::move(field));
}

int THostFields::Add(std::unique_ptr<THostBasicField> field) {
    THostBasicField* raw = field.get();
    Fields.push_back(std::move(field));
    if (FilterInForce()) {
        if (InWindow(*raw)) {
            filtered_.push_back(raw);
            return static_cast<int>(filtered_.size()) - 1;
        }
    }
    return static_cast<int>(Fields.size()) - 1;
}

std::unique_ptr<THostBasicField> THostFields::Delete(int index) {
    if (index < 0 || index >= Count()) return nullptr;
    THostBasicField* target = FilterInForce() ? filtered_[static_cast<size_t>(index)]
                                              : Fields[static_cast<size_t>(index)].get();
    std::unique_ptr<THostBasicField> out;
    for (auto it = Fields.begin(); it != Fields.end(); ++it) {
        if (it->get() == target) {
            out = std::move(*it);
            Fields.erase(it);
            break;
        }
    }
    std::erase(filtered_, target);
    return out;
}

int THostFields::Count() const {
    return static_cast<int>(FilterInForce() ? filtered_.size() : Fields.size());
}

THostBasicField* THostFields::GetField(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    auto i = static_cast<size_t>(index);
    return FilterInForce() ? filtered_[i] : Fields[i].get();
}

bool THostFields::InWindow(const THostBasicField& field) const {
    if (!FilterInForce()) return true;
    return WinTop <= field.Row && field.Row <= WinBottom && WinLeft <= field.Col &&
           field.Col <= WinRight;
}

void THostFields::RebuildFilter() {
    if (!FilterInForce()) return;
    filtered_.clear();
    for (auto& f : Fields)
        if (InWindow(*f)) filtered_.push_back(f.get());
}

void THostFields::SetFiltered(bool on) {
    if (on == Filtered) return;
    Filtered = on;
    if (on) RebuildFilter();
}

void THostFields::SaveToStream(TMemoryStream& stream) {
    // Every field is written whatever the window view; the view is restored
    // whether or not writing succeeds.
    const bool wasFiltered = Filtered;
    Filtered = false;
    struct Restore {
        THostFields& list;
        bool on;
        ~Restore() {
            list.Filtered = on;
            if (on) list.RebuildFilter();
        }
    } restore{*this, wasFiltered};

    {
        TValueWriter w(stream);
        w.WriteInteger(TermModel);
        w.WriteInteger(CurPos);
        for (uint8_t c : {WinTop, WinLeft, WinBottom, WinRight, WindowMode})
            w.WriteChar(static_cast<char>(c));
        w.WriteListBegin();
        MessageField->WriteData(w);
        for (auto& f : Fields)
            f->WriteData(w);
        w.WriteListEnd();
    } // the writer's buffer reaches the stream here
    stream.setPosition(0);
}

void THostFields::LoadFromStream(TMemoryStream& stream, const TFieldFactory& fieldClass) {
    gEabInStream.store(true, std::memory_order_relaxed);
    TValueReader r(stream.rest());
    struct Rewind {
        TMemoryStream& s;
        THostFields& list;
        ~Rewind() {
            s.setPosition(0);
            list.RebuildFilter();
        }
    } rewind{stream, *this};

    TermModel = static_cast<int16_t>(r.ReadInteger());
    CurPos = static_cast<int16_t>(r.ReadInteger());
    WinTop = static_cast<uint8_t>(r.ReadChar());
    WinLeft = static_cast<uint8_t>(r.ReadChar());
    WinBottom = static_cast<uint8_t>(r.ReadChar());
    WinRight = static_cast<uint8_t>(r.ReadChar());
    WindowMode = static_cast<uint8_t>(r.ReadChar());
    r.ReadListBegin();
    MessageField->ReadData(r);
    while (!r.EndOfList()) {
        auto field = fieldClass ? fieldClass() : std::make_unique<THostBasicField>();
        field->ReadData(r);
        Add(std::move(field));
    }
    r.ReadListEnd();
}
