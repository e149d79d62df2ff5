// The code-table editor and its entry editor: thin Qt dialogs over
// TCodeTableModel and TTableEntryModel. User-interface thread.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "uCodeTableModel.h"
#include "uTableEntryModel.h"

class QLabel;
class QLineEdit;
class QRadioButton;
class QTableWidget;

// "Conversion character editor": one host code in hexadecimal or decimal.
class TfrmEditAE : public QDialog {
public:
    explicit TfrmEditAE(QWidget* parent = nullptr);
    void SetValue(uint8_t value);
    uint8_t NewValue() const { return model_.NewValue(); }
    TTableEntryModel& Model() { return model_; }
    QLineEdit* edtNew;

private:
    void UpdateEditMode();
    void Ok();
    TTableEntryModel model_;
    QLineEdit* edtOld;
    QRadioButton* rbHex;
    QRadioButton* rbDec;
};

// "Convertion table ASCII/EBCDIC": the 256 entries of a table file.
class TfrmTablasAE : public QDialog {
public:
    explicit TfrmTablasAE(TDialogs& dialogs, QWidget* parent = nullptr);
    void LoadDefaultTable();
    void LoadTableFile(const std::string& name);
    bool FromFile() const { return model_.FromFile(); }
    std::string FileName() const { return model_.FileName(); }
    TCodeTableModel& Model() { return model_; }
    // The help service; asked for "d_convtable". Nothing by default.
    std::function<void(const std::string& topic)> ShowHelp;
    // The entry editor's answer for an old host code; the real dialog by default.
    TCodeTableModel::TAskEntry AskEntry;
    QTableWidget* sgrdValues;

private:
    void Refresh();
    void EditCurrent();
    TCodeTableModel model_;
    QLabel* lblFileName;
};

// The connection settings dialog's EditTable: edits the table named ("Default"
// or a file) and gives the file the editor last loaded or saved, if any.
std::function<std::optional<std::string>(const std::string& tableName)>
MakeTableEditorHook(TDialogs& dialogs, std::function<void(const std::string&)> showHelp = {});
