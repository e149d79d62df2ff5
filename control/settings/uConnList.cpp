#include "uConnList.h"

#include <algorithm>

std::vector<const TConnType*> OfferedTypes(const std::vector<const TConnType*>& types) {
    std::vector<const TConnType*> offered;
    for (const TConnType* t : types)
        if (t && t->Name != "HTTP") offered.push_back(t);
    return offered;
}

void TConnListModel::Load(const TConnParm* current, const TConnList& connections) {
    rows_.clear();
    current_ = nullptr;
    selected_ = -1;
    for (const auto& conn : connections) {
        if (!conn) continue;
        rows_.push_back(std::make_unique<TConnParm>(*conn));
        if (conn.get() == current) {
            current_ = rows_.back().get();
            selected_ = int(rows_.size() - 1);
        }
    }
}

int TConnListModel::CurrentRow() const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].get() == current_) return int(i);
    return -1;
}

void TConnListModel::Select(int row) {
    if (row < 0 || size_t(row) >= rows_.size()) {
        selected_ = -1;
        return;
    }
    selected_ = row;
    current_ = rows_[size_t(row)].get();
}

bool TConnListModel::Modify() {
    if (selected_ < 0 || size_t(selected_) >= rows_.size()) return false;
    TConnParm& conn = *rows_[size_t(selected_)];
    current_ = &conn;
    return edit_(conn);
}

bool TConnListModel::Add() {
    auto conn = std::make_unique<TConnParm>();
    if (!edit_(*conn)) return false; // a cancelled Add leaves no record and keeps the current one
    current_ = conn.get();
    rows_.push_back(std::move(conn));
    selected_ = int(rows_.size() - 1);
    return true;
}

bool TConnListModel::Delete() {
    if (selected_ < 0 || size_t(selected_) >= rows_.size()) return false;
    if (dialogs_.MessageBox(kDeleteConnection, TMsgKind::Confirmation, TMsgButtons::YesNo) ==
        TMsgAnswer::No)
        return false;
    if (rows_[size_t(selected_)].get() == current_) current_ = nullptr;
    rows_.erase(rows_.begin() + selected_);
    selected_ = -1;
    return true;
}

TConnListResult TConnListModel::Accept(TConnList& connections) {
    // The current record must be one that is handed over: fall back to the
    // first row when it was deleted.
    TConnParm* current = CurrentRow() >= 0 ? current_ : nullptr;
    if (!current && !rows_.empty()) current = rows_.front().get();
    connections = std::move(rows_);
    rows_.clear();
    current_ = nullptr;
    selected_ = -1;
    return {true, current};
}
