// "Connections properties": the widgets over TConnListModel, with the one
// connection settings dialog that serves every Add and Modify.
// User-interface thread.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "uConnList.h"

class QTreeWidget;
class TfrmCfgConnDlg;

class TFConParam : public QDialog {
public:
    explicit TFConParam(TDialogs& dialogs, QWidget* parent = nullptr);
    ~TFConParam() override;

    // Runs the dialog modally over a copy of connections. On OK the caller's
    // list holds the dialog's records; on Cancel it is untouched.
    TConnListResult Execute(const TConnParm* current, TConnList& connections,
                            const std::vector<const TConnType*>& types);

    TfrmCfgConnDlg& SettingsDialog() { return *settings_; }
    // Opens a help topic; nothing by default.
    std::function<void(const std::string& topic)> ShowHelp;

private:
    void Fill();
    void SetRow(int row);
    void SelectRow(int row);
    void Modify();
    void Add();
    void Delete();

    TfrmCfgConnDlg* settings_;
    TConnListModel model_;
    QTreeWidget* lvConn;
};
