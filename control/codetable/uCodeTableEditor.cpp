#include "uCodeTableEditor.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString Latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

TfrmEditAE::TfrmEditAE(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Conversion character editor"));
    edtOld = new QLineEdit(QStringLiteral("00"));
    edtOld->setEnabled(false);
    edtNew = new QLineEdit(QStringLiteral("00"));
    edtNew->setMaxLength(2);
    auto* lblOld = new QLabel(QStringLiteral("&Old value:"));
    lblOld->setEnabled(false);
    lblOld->setBuddy(edtOld);
    auto* lblNew = new QLabel(QStringLiteral("&New value:"));
    lblNew->setBuddy(edtNew);

    auto* rgEditMode = new QGroupBox(QStringLiteral("  Edit mode  "));
    rbHex = new QRadioButton(QStringLiteral("Hexadecimal"));
    rbDec = new QRadioButton(QStringLiteral("Decimal"));
    rbHex->setChecked(true);
    auto* modes = new QVBoxLayout(rgEditMode);
    modes->addWidget(rbHex);
    modes->addWidget(rbDec);

    auto* bOK = new QPushButton(QStringLiteral("&OK"));
    auto* bCancel = new QPushButton(QStringLiteral("&Cancel"));
    bCancel->setDefault(true);
    bOK->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(lblOld, 0, 0);
    grid->addWidget(edtOld, 0, 1);
    grid->addWidget(lblNew, 1, 0);
    grid->addWidget(edtNew, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bOK);
    buttons->addWidget(bCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(rgEditMode);
    layout->addLayout(buttons);

    connect(edtNew, &QLineEdit::textEdited, this,
            [this](const QString& t) { model_.SetNewText(t.toLatin1().toStdString()); });
    connect(rbHex, &QRadioButton::toggled, this, [this] { UpdateEditMode(); });
    connect(bOK, &QPushButton::clicked, this, [this] { Ok(); });
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
    UpdateEditMode();
    edtNew->setFocus();
}

void TfrmEditAE::SetValue(uint8_t value) {
    model_.SetValue(value);
    {
        QSignalBlocker block(rbHex);
        rbHex->setChecked(true);
    }
    edtOld->setText(Latin1(model_.OldText()));
    edtNew->setText(Latin1(model_.NewText()));
    UpdateEditMode();
}

void TfrmEditAE::UpdateEditMode() {
    model_.SetNewText(edtNew->text().toLatin1().toStdString());
    model_.SetMode(rbDec->isChecked() ? TTableEntryModel::TMode::Decimal
                                      : TTableEntryModel::TMode::Hexadecimal);
    bool dec = model_.Mode() == TTableEntryModel::TMode::Decimal;
    edtNew->setValidator(nullptr);
    edtNew->setMaxLength(model_.MaxLength());
    edtNew->setText(Latin1(model_.NewText()));
    auto* validator = new QRegularExpressionValidator(
        QRegularExpression(dec ? QStringLiteral("[0-9]{0,3}") : QStringLiteral("[0-9A-Fa-f]{0,2}")),
        edtNew);
    edtNew->setValidator(validator);
}

void TfrmEditAE::Ok() {
    model_.SetNewText(edtNew->text().toLatin1().toStdString());
    if (model_.Accept()) {
        accept();
        return;
    }
    // Not a code in this mode: stay open on the text so it can be corrected.
    edtNew->setFocus();
    edtNew->selectAll();
}

TfrmTablasAE::TfrmTablasAE(TDialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Tool), model_(dialogs) {
    setWindowTitle(QStringLiteral("Convertion table ASCII/EBCDIC"));
    auto* menu = new QMenuBar(this);
    auto* file = menu->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open"), this, [this] {
        model_.Open();
        Refresh();
    });
    file->addAction(QStringLiteral("&Save"), this, [this] {
        model_.Save();
        Refresh();
    });
    file->addAction(QStringLiteral("Save &as"), this, [this] {
        model_.SaveAs();
        Refresh();
    });
    file->addAction(QStringLiteral("&Close"), this, &QDialog::close);
    auto* help = menu->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("Help &Topic"), this, [this] {
        if (ShowHelp) ShowHelp("d_convtable");
    });

    // The title row is the grid's fixed header; the table rows follow it.
    sgrdValues = new QTableWidget(TCodeTableModel::RowCount - 1, TCodeTableModel::ColCount);
    QStringList titles;
    for (int c = 0; c < TCodeTableModel::ColCount; ++c)
        titles << Latin1(model_.Cell(0, c));
    sgrdValues->setHorizontalHeaderLabels(titles);
    sgrdValues->verticalHeader()->hide();
    sgrdValues->setSelectionBehavior(QAbstractItemView::SelectRows);
    sgrdValues->setSelectionMode(QAbstractItemView::SingleSelection);
    sgrdValues->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgrdValues->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    sgrdValues->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    for (int r = 0; r < TCodeTableModel::RowCount - 1; ++r)
        for (int c = 0; c < TCodeTableModel::ColCount; ++c)
            sgrdValues->setItem(r, c, new QTableWidgetItem);

    lblFileName = new QLabel;
    lblFileName->setFixedWidth(300);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menu);
    layout->addWidget(sgrdValues, 1);
    layout->addWidget(lblFileName);

    connect(sgrdValues, &QTableWidget::cellDoubleClicked, this, [this] { EditCurrent(); });
    // A current row scrolled out above the view follows to the first visible row.
    connect(sgrdValues->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        int top = sgrdValues->rowAt(0);
        if (top >= 0 && sgrdValues->currentRow() < top)
            sgrdValues->setCurrentCell(top, sgrdValues->currentColumn());
    });
    AskEntry = [this](uint8_t old) -> std::optional<uint8_t> {
        TfrmEditAE editor(this);
        editor.SetValue(old);
        if (editor.exec() != QDialog::Accepted) return std::nullopt;
        return editor.NewValue();
    };
    Refresh();
    sgrdValues->setCurrentCell(0, 2);
    sgrdValues->setFocus();
}

void TfrmTablasAE::LoadDefaultTable() {
    model_.LoadDefaultTable();
    Refresh();
}

void TfrmTablasAE::LoadTableFile(const std::string& name) {
    model_.LoadTableFile(name);
    Refresh();
}

void TfrmTablasAE::Refresh() {
    for (int r = 1; r < TCodeTableModel::RowCount; ++r)
        for (int c = 0; c < TCodeTableModel::ColCount; ++c)
            sgrdValues->item(r - 1, c)->setText(Latin1(model_.Cell(r, c)));
    lblFileName->setText(Latin1(model_.FileName()));
    lblFileName->setToolTip(lblFileName->text());
}

void TfrmTablasAE::EditCurrent() {
    int row = sgrdValues->currentRow();
    if (row < 0) return;
    if (model_.EditEntry(row + 1, AskEntry)) Refresh();
}

std::function<std::optional<std::string>(const std::string& tableName)>
MakeTableEditorHook(TDialogs& dialogs, std::function<void(const std::string&)> showHelp) {
    return [&dialogs, showHelp](const std::string& tableName) -> std::optional<std::string> {
        TfrmTablasAE editor(dialogs);
        editor.ShowHelp = showHelp;
        if (tableName.empty() || tableName == "Default")
            editor.LoadDefaultTable();
        else
            editor.LoadTableFile(tableName);
        editor.exec();
        if (!editor.FromFile()) return std::nullopt;
        return editor.FileName();
    };
}
