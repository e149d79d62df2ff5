#include "uConnParam.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "uCfgConnDlg.h"
#include "uCodeTableEditor.h"

namespace {

QString Text(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

QPushButton* Button(const char* caption, const char* name) {
    auto* b = new QPushButton(QString::fromLatin1(caption));
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

TFConParam::TFConParam(TDialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      settings_(new TfrmCfgConnDlg(dialogs, this)), model_(dialogs, [this](TConnParm& conn) {
          settings_->LoadConnection(&conn);
          return settings_->exec() == QDialog::Accepted;
      }) {
    setObjectName(QStringLiteral("FConParam"));
    setWindowTitle(QStringLiteral("Connections properties"));
    settings_->EditTable = MakeTableEditorHook(dialogs);

    lvConn = new QTreeWidget;
    lvConn->setObjectName(QStringLiteral("lvConn"));
    lvConn->setColumnCount(3);
    lvConn->setHeaderLabels({QStringLiteral("Connection Name"), QStringLiteral("Type"), QString()});
    lvConn->headerItem()->setTextAlignment(1, Qt::AlignCenter);
    lvConn->setColumnWidth(0, 200);
    lvConn->setColumnWidth(1, 80);
    lvConn->setColumnHidden(2, true); // the parameter string, width 0
    lvConn->setRootIsDecorated(false);
    lvConn->setSelectionMode(QAbstractItemView::SingleSelection);
    lvConn->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvConn->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* bAdd = Button("&Add", "bAdd");
    auto* bModify = Button("&Modify", "bModify");
    auto* bDelete = Button("&Delete", "bDelete");
    auto* group = new QGroupBox;
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(lvConn, 1);
    auto* rowButtons = new QHBoxLayout;
    rowButtons->addWidget(bAdd);
    rowButtons->addWidget(bModify);
    rowButtons->addWidget(bDelete);
    rowButtons->addStretch();
    groupLayout->addLayout(rowButtons);

    auto* bOk = Button("&Ok", "bOk");
    auto* bCancel = Button("&Cancel", "bCancel");
    auto* bHelp = Button("&Help", "bHelp");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bOk);
    buttons->addWidget(bCancel);
    buttons->addWidget(bHelp);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addLayout(buttons);

    connect(lvConn, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { model_.Select(lvConn->indexOfTopLevelItem(item)); });
    connect(lvConn, &QTreeWidget::itemDoubleClicked, this, [this] { Modify(); });
    connect(bModify, &QPushButton::clicked, this, [this] { Modify(); });
    connect(bAdd, &QPushButton::clicked, this, [this] { Add(); });
    connect(bDelete, &QPushButton::clicked, this, [this] { Delete(); });
    connect(bOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(bHelp, &QPushButton::clicked, this, [this] {
        if (ShowHelp) ShowHelp("d_connprop");
    });
}

TFConParam::~TFConParam() = default;

TConnListResult TFConParam::Execute(const TConnParm* current, TConnList& connections,
                                    const std::vector<const TConnType*>& types) {
    settings_->ClearFields();
    for (const TConnType* t : OfferedTypes(types))
        settings_->AddType(*t);
    model_.Load(current, connections);
    Fill();
    if (exec() != QDialog::Accepted) return {};
    return model_.Accept(connections);
}

void TFConParam::Fill() {
    lvConn->clear();
    for (size_t i = 0; i < model_.RowCount(); ++i) {
        lvConn->addTopLevelItem(new QTreeWidgetItem);
        SetRow(int(i));
    }
    SelectRow(model_.Selected());
}

void TFConParam::SetRow(int row) {
    QTreeWidgetItem* item = lvConn->topLevelItem(row);
    if (!item) return;
    const TConnParm& conn = model_.Row(size_t(row));
    item->setText(0, Text(conn.Name));
    item->setText(1, Text(conn.ConnType));
    item->setTextAlignment(1, Qt::AlignCenter);
    item->setText(2, Text(conn.Param));
}

void TFConParam::SelectRow(int row) {
    QTreeWidgetItem* item = row >= 0 ? lvConn->topLevelItem(row) : nullptr;
    lvConn->setCurrentItem(item);
    if (!item) lvConn->clearSelection();
}

void TFConParam::Modify() {
    // The tree's selection is the one the user sees; the model follows it.
    if (QTreeWidgetItem* item = lvConn->currentItem(); item && item->isSelected())
        model_.Select(lvConn->indexOfTopLevelItem(item));
    if (model_.Selected() < 0) return;
    if (model_.Modify()) SetRow(model_.Selected());
    lvConn->setFocus();
}

void TFConParam::Add() {
    if (model_.Add()) {
        lvConn->addTopLevelItem(new QTreeWidgetItem);
        SetRow(model_.Selected());
        SelectRow(model_.Selected());
    }
    lvConn->setFocus();
}

void TFConParam::Delete() {
    if (QTreeWidgetItem* item = lvConn->currentItem(); item && item->isSelected())
        model_.Select(lvConn->indexOfTopLevelItem(item));
    else
        return;
    int row = model_.Selected();
    if (model_.Delete()) delete lvConn->takeTopLevelItem(row);
}
