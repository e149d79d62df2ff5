// Building a screen's host-field list one field at a time, as both engines
// walk their screens: a field opens at a cell and closes before the cell
// that ends it; the engine fills in its text and place. The fields come from
// the list's own store (THostFields::NewField), so that a screen costs no
// allocation once the list has held as many fields. Caller's thread.
#pragma once

#include <cstdint>

#include "uPlBasFld.h"

class THostFieldBuilder {
public:
    explicit THostFieldBuilder(THostFields& list) : list_(list) {}

    // Adds a field at the 1-based position pos and makes it the open one.
    THostBasicField& Open(int pos, TFieldAttribute attr, char eab = 0) {
        auto field = list_.NewField();
        field->Pos = static_cast<int16_t>(pos);
        field->SetAttr(attr);
        field->Eab = eab;
        current_ = field.get();
        list_.Add(std::move(field));
        return *current_;
    }

    // Ends the open field before the 1-based position k and sets its Len.
    // Null when no field is open, or when the field has fewer than minLen
    // cells: such a field leaves the list again.
    THostBasicField* Close(int k, int minLen = 1) {
        THostBasicField* f = current_;
        if (!f) return nullptr;
        current_ = nullptr;
        const int len = k - f->Pos;
        if (len < minLen) {
            // The open field is always the last one added.
            if (!list_.Fields.empty() && list_.Fields.back().get() == f) list_.DropLast();
            return nullptr;
        }
        f->Len = static_cast<int16_t>(len);
        return f;
    }

    // The open field; null when none is.
    const THostBasicField* Current() const { return current_; }

private:
    THostFields& list_;
    THostBasicField* current_ = nullptr;
};
