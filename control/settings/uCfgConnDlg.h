// "Connection settings": the widgets over TConnSettings. The dialog edits
// one stored connection and writes it only on a successful OK.
// User-interface thread.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "uConnSettings.h"
#include "uDialogs.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;

class TfrmCfgConnDlg : public QDialog {
public:
    explicit TfrmCfgConnDlg(TDialogs& dialogs, QWidget* parent = nullptr);

    void AddType(const TConnType& type);
    void ClearFields();
    void LoadConnection(TConnParm* conn);
    const TConnSettings& Settings() const { return model_; }

    // The HTTP module as "Params" reaches it; the real module by default.
    void SetHttpModuleAccess(THttpModuleAccess access) { http_ = std::move(access); }
    // Opens a help topic; nothing by default.
    std::function<void(const std::string& topic)> ShowHelp;
    // The code-table editor for a table name ("Default" or a file); gives the
    // file its table last came from, if any. Nothing by default.
    std::function<std::optional<std::string>(const std::string& tableName)> EditTable;

private:
    void ToWidgets();
    void FromWidgets();
    void ShowPage();
    void Ok();
    void Params();
    void BrowseTemplate();
    void ModifyTable(TTnSettings& tn);
    QWidget* FieldWidget(TConnField field) const;

    TDialogs& dialogs_;
    TConnSettings model_;
    THttpModuleAccess http_;

    QLineEdit* edtHostName;
    QComboBox* cbConnType;
    QCheckBox* chbxUseHTTP;
    QPushButton* bHTTP;
    QStackedWidget* Notebook;
    QLineEdit* edtVirtualTemplate;
    QToolButton* bbtnVirtualOpenDlg;
    QLineEdit* edtTn3270Address;
    QLineEdit* edtTn3270Port;
    QComboBox* cbTn3270TermType;
    QLineEdit* edtTn3270LUName;
    QLineEdit* edtTn3270TableName;
    QLineEdit* edtTn5250Address;
    QLineEdit* edtTn5250Port;
    QComboBox* cbTn5250TermType;
    QLineEdit* edtTn5250TableName;
};
