// The "Connections properties" dialog without its widgets: a working copy
// of the stored connections that Add, Modify and Delete change, handed back
// to the caller only on OK. User-interface thread.
#pragma once

#include <functional>
#include <vector>

#include "uConnParm.h"
#include "uDialogs.h"

inline constexpr char kDeleteConnection[] = "Delete this connection?";

// The types the settings dialog offers: every type but "HTTP" (exact
// name), in list order; an HTTP connection is made with the HTTP box.
std::vector<const TConnType*> OfferedTypes(const std::vector<const TConnType*>& types);

// Shows the settings dialog for one record; true when it closed with OK,
// having written the record.
using TEditConnection = std::function<bool(TConnParm& conn)>;

// What the dialog closed with. On OK the caller's list holds the dialog's
// records (none, when all were deleted) and Current is one of them, or null
// only when the list is empty.
struct TConnListResult {
    bool Accepted = false;
    TConnParm* Current = nullptr;
};

class TConnListModel {
public:
    TConnListModel(TDialogs& dialogs, TEditConnection edit)
        : dialogs_(dialogs), edit_(std::move(edit)) {}

    // Copies the caller's connections; the copy of current becomes current
    // and selected.
    void Load(const TConnParm* current, const TConnList& connections);

    size_t RowCount() const { return rows_.size(); }
    const TConnParm& Row(size_t i) const { return *rows_.at(i); }
    int Selected() const { return selected_; }
    // The row of the current record; -1 when it has none.
    int CurrentRow() const;

    // Selecting a row makes its record current; -1 selects none.
    void Select(int row);
    // Edits the selected row's record; true when it changed.
    bool Modify();
    // A new record, kept only when the settings dialog closes with OK; it
    // then becomes current and selected. True when added.
    bool Add();
    // Asks, then removes the selected row unless the answer is No. True when removed.
    bool Delete();

    // OK: the caller's records are replaced by the rows, in row order.
    TConnListResult Accept(TConnList& connections);

private:
    TDialogs& dialogs_;
    TEditConnection edit_;
    TConnList rows_;
    TConnParm* current_ = nullptr;
    int selected_ = -1;
};
