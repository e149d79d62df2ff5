// The code-conversion table being edited: for each of the 256 local codes the
// host code the engines send for it, shown as a grid of 257 rows (titles, then
// one row per local code) and 3 columns (symbol, local code, host code), with
// the file it was loaded from or saved to. User-interface thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "uDialogs.h"

class TCodeTableModel {
public:
    static constexpr int RowCount = 257;
    static constexpr int ColCount = 3;
    static constexpr const char* DefaultName = "default.tbl";

    explicit TCodeTableModel(TDialogs& dialogs);

    // Row 0 holds the titles; row r holds local code r - 1.
    std::string Cell(int row, int col) const;
    uint8_t HostCode(int localCode) const { return table_[static_cast<uint8_t>(localCode)]; }
    const std::array<uint8_t, 256>& Table() const { return table_; }
    const std::string& FileName() const { return fileName_; }
    bool FromFile() const { return fromFile_; }

    void LoadDefaultTable();
    // False when the file could not be read; the default table is shown then.
    bool LoadTableFile(const std::string& name);
    // False when the file could not be written; nothing changes then.
    bool SaveTableFile(const std::string& name);

    // The menu's file items; each asks through the dialogs.
    void Open();
    void Save();
    void SaveAs();

    // Asks for a new host code for the row (1..256) given the old one; an
    // empty answer is a cancel. A non-zero code that another row holds moves
    // to that row's old value, so no two rows share a non-zero host code
    // unless they already did. True when the table changed.
    using TAskEntry = std::function<std::optional<uint8_t>(uint8_t oldValue)>;
    bool EditEntry(int row, const TAskEntry& ask);

private:
    TDialogs& dialogs_;
    std::array<uint8_t, 256> table_{};
    std::string fileName_;
    bool fromFile_ = false;
};

std::string HexByte(uint8_t value);
