#include "uCfgConnDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "ModuleLoader.h"

namespace {

QString Text(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}
std::string Bytes(const QString& s) {
    return s.toLatin1().toStdString();
}

template <class W> W* Named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QPushButton* Button(const char* caption, const char* name) {
    return Named(new QPushButton(QString::fromLatin1(caption)), name);
}

QToolButton* SmallButton(const char* name) {
    auto* b = Named(new QToolButton, name);
    b->setText(QStringLiteral("..."));
    return b;
}

constexpr int kLUNameTyped = 8; // characters the user may type into the LU name

// The LU name is typed in upper case, at most 8 characters; a stored name is
// shown as it was stored, and a longer one can only shrink.
void UpperCaseInput(QLineEdit* edit) {
    edit->setMaxLength(kLUNameTyped);
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& typed) {
        edit->setMaxLength(
            std::max(kLUNameTyped, std::min(edit->maxLength(), static_cast<int>(typed.size()))));
        const QString upper = typed.toUpper();
        if (upper == typed) return;
        const int pos = edit->cursorPosition();
        edit->setText(upper); // the length limit still holds
        edit->setCursorPosition(pos);
    });
}

} // namespace

TfrmCfgConnDlg::TfrmCfgConnDlg(TDialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(dialogs), http_(RealHttpModuleAccess()) {
    setObjectName(QStringLiteral("frmCfgConnDlg"));
    setWindowTitle(QStringLiteral("Connection settings"));

    edtHostName = Named(new QLineEdit, "edtHostName");
    cbConnType = Named(new QComboBox, "cbConnType");
    chbxUseHTTP = Named(new QCheckBox(QStringLiteral("HTTP:")), "chbxUseHTTP");
    chbxUseHTTP->setLayoutDirection(Qt::RightToLeft); // caption left of the box
    bHTTP = Button("Params", "bHTTP");

    auto* top = new QFormLayout;
    top->addRow(QStringLiteral("Connection Name:"), edtHostName);
    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(cbConnType, 1);
    typeRow->addWidget(chbxUseHTTP);
    typeRow->addWidget(bHTTP);
    top->addRow(QStringLiteral("Connection Type:"), typeRow);

    Notebook = Named(new QStackedWidget, "Notebook");
    Notebook->addWidget(Named(new QWidget, "Vacia"));

    // Page "Virtual".
    {
        auto* page = Named(new QWidget, "Virtual");
        auto* group = new QGroupBox(QStringLiteral(" Settings "));
        auto* row = new QHBoxLayout(group);
        edtVirtualTemplate = Named(new QLineEdit, "edtVirtualTemplate");
        bbtnVirtualOpenDlg = SmallButton("bbtnVirtualOpenDlg");
        row->addWidget(new QLabel(QStringLiteral("Template file:")));
        row->addWidget(edtVirtualTemplate, 1);
        row->addWidget(bbtnVirtualOpenDlg);
        (new QVBoxLayout(page))->addWidget(group);
        Notebook->addWidget(page);
        connect(bbtnVirtualOpenDlg, &QToolButton::clicked, this, [this] { BrowseTemplate(); });
    }

    // Pages "TN3270" and "TN5250".
    auto tnPage = [this](const char* name, const std::vector<std::string>& terms,
                         QLineEdit*& address, QLineEdit*& port, QComboBox*& term, QLineEdit** lu,
                         QLineEdit*& table, TTnSettings TConnSettings::*tn) {
        // Components are named edtTn3270Address, ... after their page.
        std::string p = std::string("Tn") + (name + 2);
        auto* page = Named(new QWidget, name);
        auto* host = new QGroupBox(QStringLiteral(" Remote Host "));
        auto* hostForm = new QFormLayout(host);
        address = new QLineEdit;
        address->setObjectName(Text("edt" + p + "Address"));
        port = new QLineEdit;
        port->setObjectName(Text("edt" + p + "Port"));
        hostForm->addRow(QStringLiteral("Address:"), address);
        hostForm->addRow(QStringLiteral("Port:"), port);

        auto* terminal = new QGroupBox(QStringLiteral("  Terminal setting  "));
        auto* termForm = new QFormLayout(terminal);
        term = new QComboBox;
        term->setObjectName(Text("cb" + p + "TermType"));
        for (const auto& t : terms)
            term->addItem(Text(t));
        termForm->addRow(QStringLiteral("Terminal Type:"), term);
        if (lu) {
            *lu = new QLineEdit;
            (*lu)->setObjectName(Text("edt" + p + "LUName"));
            UpperCaseInput(*lu);
            termForm->addRow(QStringLiteral("LU Name:"), *lu);
        }

        auto* tables = new QGroupBox(QStringLiteral("  Convertion character table  "));
        auto* tableLayout = new QVBoxLayout(tables);
        auto* nameRow = new QHBoxLayout;
        table = new QLineEdit;
        table->setObjectName(Text("edt" + p + "TableName"));
        table->setReadOnly(true);
        table->setFocusPolicy(Qt::NoFocus);
        auto* open = new QToolButton;
        open->setObjectName(Text("btn" + p + "OpenDlg"));
        open->setText(QStringLiteral("..."));
        nameRow->addWidget(new QLabel(QStringLiteral("Table Name:")));
        nameRow->addWidget(table, 1);
        nameRow->addWidget(open);
        auto* buttons = new QHBoxLayout;
        auto* modify = new QPushButton(QStringLiteral("&Modify table"));
        modify->setObjectName(Text("btn" + p + "CreateNew"));
        auto* useDefault = new QPushButton(QStringLiteral("Use &default"));
        useDefault->setObjectName(Text("btn" + p + "Default"));
        buttons->addWidget(modify);
        buttons->addWidget(useDefault);
        buttons->addStretch();
        tableLayout->addLayout(nameRow);
        tableLayout->addLayout(buttons);

        auto* v = new QVBoxLayout(page);
        v->addWidget(host);
        v->addWidget(terminal);
        v->addWidget(tables);
        Notebook->addWidget(page);

        connect(modify, &QPushButton::clicked, this, [this, tn] { ModifyTable(model_.*tn); });
        connect(useDefault, &QPushButton::clicked, this,
                [table] { table->setText(QStringLiteral("Default")); });
    };
    tnPage("TN3270", Tn3270TermTypes(), edtTn3270Address, edtTn3270Port, cbTn3270TermType,
           &edtTn3270LUName, edtTn3270TableName, &TConnSettings::Tn3270);
    tnPage("TN5250", Tn5250TermTypes(), edtTn5250Address, edtTn5250Port, cbTn5250TermType, nullptr,
           edtTn5250TableName, &TConnSettings::Tn5250);

    auto* btnOk = Button("&Ok", "btnOk");
    btnOk->setDefault(true);
    auto* btnCancel = Button("&Cancel", "btnCancel");
    auto* bHelp = Button("&Help", "bHelp");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    buttons->addWidget(bHelp);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Notebook, 1);
    layout->addLayout(buttons);

    connect(cbConnType, &QComboBox::currentIndexChanged, this, [this](int) {
        FromWidgets();
        ShowPage();
    });
    connect(chbxUseHTTP, &QCheckBox::toggled, bHTTP, &QWidget::setEnabled);
    connect(bHTTP, &QPushButton::clicked, this, [this] { Params(); });
    connect(btnOk, &QPushButton::clicked, this, [this] { Ok(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(bHelp, &QPushButton::clicked, this, [this] {
        FromWidgets();
        std::string topic = model_.HelpTopic();
        if (!topic.empty() && ShowHelp) ShowHelp(topic);
    });
    ClearFields();
}

void TfrmCfgConnDlg::AddType(const TConnType& type) {
    model_.AddType(type.Name, &type);
    bool blocked = cbConnType->blockSignals(true);
    cbConnType->addItem(Text(type.Name));
    cbConnType->setCurrentIndex(model_.TypeIndex);
    cbConnType->blockSignals(blocked);
}

void TfrmCfgConnDlg::ClearFields() {
    model_.ClearFields();
    ToWidgets();
}

void TfrmCfgConnDlg::LoadConnection(TConnParm* conn) {
    model_.LoadConnection(conn);
    ToWidgets();
}

void TfrmCfgConnDlg::ToWidgets() {
    bool blocked = cbConnType->blockSignals(true);
    edtHostName->setText(Text(model_.Name));
    cbConnType->setCurrentIndex(model_.TypeIndex);
    chbxUseHTTP->setChecked(model_.UseHttp);
    bHTTP->setEnabled(model_.UseHttp);
    edtVirtualTemplate->setText(Text(model_.VirtualTemplate));
    edtTn3270Address->setText(Text(model_.Tn3270.Address));
    edtTn3270Port->setText(Text(model_.Tn3270.Port));
    cbTn3270TermType->setCurrentText(Text(model_.Tn3270.TermType));
    // A longer stored name is shown whole (it cannot grow).
    const QString luName = Text(model_.Tn3270.LUName);
    edtTn3270LUName->setMaxLength(std::max(kLUNameTyped, static_cast<int>(luName.size())));
    edtTn3270LUName->setText(luName);
    edtTn3270TableName->setText(Text(model_.Tn3270.TableName));
    edtTn5250Address->setText(Text(model_.Tn5250.Address));
    edtTn5250Port->setText(Text(model_.Tn5250.Port));
    cbTn5250TermType->setCurrentText(Text(model_.Tn5250.TermType));
    edtTn5250TableName->setText(Text(model_.Tn5250.TableName));
    cbConnType->blockSignals(blocked);
    ShowPage();
}

void TfrmCfgConnDlg::FromWidgets() {
    model_.Name = Bytes(edtHostName->text());
    model_.TypeIndex = cbConnType->currentIndex();
    model_.UseHttp = chbxUseHTTP->isChecked();
    model_.VirtualTemplate = Bytes(edtVirtualTemplate->text());
    model_.Tn3270.Address = Bytes(edtTn3270Address->text());
    model_.Tn3270.Port = Bytes(edtTn3270Port->text());
    model_.Tn3270.TermType = Bytes(cbTn3270TermType->currentText());
    model_.Tn3270.LUName = Bytes(edtTn3270LUName->text());
    model_.Tn3270.TableName = Bytes(edtTn3270TableName->text());
    model_.Tn5250.Address = Bytes(edtTn5250Address->text());
    model_.Tn5250.Port = Bytes(edtTn5250Port->text());
    model_.Tn5250.TermType = Bytes(cbTn5250TermType->currentText());
    model_.Tn5250.TableName = Bytes(edtTn5250TableName->text());
}

void TfrmCfgConnDlg::ShowPage() {
    if (auto* page = Notebook->findChild<QWidget*>(QLatin1String(PageName(model_.Page()))))
        Notebook->setCurrentWidget(page);
}

QWidget* TfrmCfgConnDlg::FieldWidget(TConnField field) const {
    switch (field) {
    case TConnField::Name:
        return edtHostName;
    case TConnField::ConnType:
        return cbConnType;
    case TConnField::HttpParams:
        return bHTTP;
    case TConnField::VirtualTemplate:
        return edtVirtualTemplate;
    case TConnField::Tn3270Address:
        return edtTn3270Address;
    case TConnField::Tn3270Port:
        return edtTn3270Port;
    case TConnField::Tn3270TermType:
        return cbTn3270TermType;
    case TConnField::Tn3270LUName:
        return edtTn3270LUName;
    case TConnField::Tn3270TableName:
        return edtTn3270TableName;
    case TConnField::Tn5250Address:
        return edtTn5250Address;
    case TConnField::Tn5250Port:
        return edtTn5250Port;
    case TConnField::Tn5250TermType:
        return cbTn5250TermType;
    case TConnField::Tn5250TableName:
        return edtTn5250TableName;
    case TConnField::None:
        break;
    }
    return nullptr;
}

void TfrmCfgConnDlg::Ok() {
    FromWidgets();
    auto result = model_.Ok();
    if (result.Stored) {
        accept();
        return;
    }
    if (QWidget* w = FieldWidget(result.Invalid)) {
        w->setFocus(Qt::OtherFocusReason);
        dialogs_.MessageBox(kInvalidInputValue, TMsgKind::Error, TMsgButtons::Ok);
    }
}

void TfrmCfgConnDlg::Params() {
    FromWidgets();
    auto result = model_.EditHttpParams(intptr_t(static_cast<QWidget*>(this)), http_);
    if (const char* message = HttpParamsMessage(result); *message)
        dialogs_.MessageBox(message, TMsgKind::Error, TMsgButtons::Ok);
}

void TfrmCfgConnDlg::BrowseTemplate() {
    std::string file = Bytes(edtVirtualTemplate->text());
    TFileDialogOptions options;
    options.InitialDir = FolderOf(file);
    std::string chosen;
    if (dialogs_.OpenFileName(options, chosen))
        edtVirtualTemplate->setText(Text(chosen)); // the bytes as the string keeps them
}

void TfrmCfgConnDlg::ModifyTable(TTnSettings& tn) {
    FromWidgets();
    if (!EditTable) return;
    if (auto file = EditTable(tn.TableName)) {
        tn.TableName = *file;
        ToWidgets();
    }
}
