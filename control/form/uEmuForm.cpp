#include "uEmuForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPrinter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <exception>

#include "Logging.h"
#include "uAbout.h"
#include "uCfgConnDlg.h"
#include "uCodeTableEditor.h"
#include "uConnParam.h"
#include "uDialogs.h"
#include "uEmuMessages.h"
#include "uHelpService.h"
#include "uHostEmulator.h"
#include "uScreenProps.h"

namespace {

QString Latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

std::string Bytes(const QString& s) {
    return s.toLatin1().toStdString();
}

// The about box: one for the process, made hidden with the first form and
// freed while the application still runs.
std::unique_ptr<TfrmAbout>& AboutBoxRef() {
    static std::unique_ptr<TfrmAbout> box;
    return box;
}

void FreeAboutBox() {
    AboutBoxRef().reset();
}

TfrmAbout& AboutBox() {
    std::unique_ptr<TfrmAbout>& box = AboutBoxRef();
    if (!box) {
        box = std::make_unique<TfrmAbout>();
        qAddPostRoutine(FreeAboutBox);
    }
    return *box;
}

// A size between two stored edges, which the registry may hold as anything.
int Extent(int32_t from, int32_t to, int least = 0) {
    return static_cast<int>(std::clamp<int64_t>(int64_t{to} - from, least, QWIDGETSIZE_MAX));
}

QEvent::Type MessageType(TEmuMessage message) {
    switch (message) {
    case TEmuMessage::Connected:
        return WM_EMU_CONNECTED;
    case TEmuMessage::Disconnected:
        return WM_EMU_DISCONNECTED;
    case TEmuMessage::HostReady:
        return WM_EMU_HOSTREADY;
    case TEmuMessage::HostBusy:
        break;
    }
    return WM_EMU_HOSTBUSY;
}

} // namespace

TfEmulator::TfEmulator(QWidget* owner, TEmuFormOptions options)
    : QWidget(owner), pnlEmulator(nullptr), dialogs_(options.Dialogs), help_(options.Help) {
    if (!help_) {
        ownHelp_ = std::make_unique<THelpService>();
        help_ = ownHelp_.get();
    }
    setObjectName(QStringLiteral("fEmulator"));
    setWindowTitle(QLatin1String(kEmulatorCaption));
    setGeometry(5, 110, 667, 443);

    auto* panel = new QMainWindow(this, Qt::Widget);
    panel->setObjectName(QStringLiteral("pnlEmulator"));
    // The bars are switched from the View menu, not from a menu of their own.
    panel->setContextMenuPolicy(Qt::PreventContextMenu);
    pnlEmulator = panel;
    panel_ = panel;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel);
    if (!dialogs_) {
        // Over the window the panel shows in, wherever it has been moved.
        ownDialogs_ = std::make_unique<TQtDialogs>(panel);
        dialogs_ = ownDialogs_.get();
    }

    BuildView(panel);
    BuildMenus();
    BuildToolBars();
    BuildKeypad();
    BuildStatusBar();
    WireView();

    // The form always runs inside the control, which ends it.
    AboutBox();
    miExit->setVisible(false);
    N3->setVisible(false);
    Fhe->SetSelectionEnabled(true);

    std::string folder = options.ProgramFolder;
    if (folder.empty())
        folder = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    TBindingFactory newBinding = options.NewBinding;
    if (!newBinding) newBinding = [] { return std::make_unique<TComApiBinding>(); };
    logic_ = std::make_unique<TEmuFormLogic>(static_cast<TEmuFormUi&>(*this), store_,
                                             std::move(newBinding), folder);
    logic_->FormCreate();
}

TfEmulator::~TfEmulator() {
    logic_->FormDestroy();
    // The panel may sit in the control's window by now; it is still the
    // form's to free, here, while the handlers its widgets call still
    // stand. Deleting a widget takes it off its parent, so nobody frees it
    // twice; one already gone is not touched.
    std::unique_ptr<QWidget> panel(panel_.data());
}

// --- handlers ---

void TfEmulator::closeEvent(QCloseEvent* event) {
    SaveLayout();
    event->accept();
}

void TfEmulator::customEvent(QEvent* event) {
    TEmuMessage message;
    switch (static_cast<int>(event->type())) {
    case WM_EMU_CONNECTED:
        message = TEmuMessage::Connected;
        break;
    case WM_EMU_DISCONNECTED:
        message = TEmuMessage::Disconnected;
        break;
    case WM_EMU_HOSTREADY:
        message = TEmuMessage::HostReady;
        break;
    case WM_EMU_HOSTBUSY:
        message = TEmuMessage::HostBusy;
        break;
    default:
        QWidget::customEvent(event);
        return;
    }
    if (panel_) logic_->Dispatch(message, EmuMessageText(*event));
}

void TfEmulator::miAboutClick() {
    AboutBox().ShowAbout();
}

void TfEmulator::tbAidClick(const QString& buttonName) {
    KeyboardToView();
    Fhe->DoAidKey(TEmuFormLogic::AidNameOfButton(Bytes(buttonName)));
}

void TfEmulator::KeyboardToView() {
    // The user acts in this window or its keypad: what is typed next goes to
    // the screen, even where a window manager gave the keypad's window the
    // keyboard all the same.
    Fhe->activateWindow();
    Fhe->setFocus();
}

QPrinter& TfEmulator::Printer() {
    if (!printer_) printer_ = std::make_unique<QPrinter>();
    return *printer_;
}

void TfEmulator::miPrintClick() {
    if (dialogs_->PrintDialog(Printer())) Fhe->PrintScreen(Printer());
}

void TfEmulator::miPrinterSetupClick() {
    dialogs_->PrinterSetup(Printer());
}

void TfEmulator::miMenuClick() {
    ToolBarMenu->setVisible(ToolBarMenu->isHidden());
    miMenu->setChecked(!ToolBarMenu->isHidden());
}

void TfEmulator::miToolbarClick() {
    ToolBar1->setVisible(miToolbar->isChecked());
}

void TfEmulator::miStatusbarClick() {
    StatusBar->setVisible(miStatusBar->isChecked());
}

void TfEmulator::miKeypadClick() {
    const bool checked = miKeyPad->isChecked();
    if (!Keypad->isFloating() && checked) FloatKeypad();
    Keypad->setVisible(checked);
    if (checked) KeyboardToView();
}

void TfEmulator::pmViewPopup() {
    // Visibility as set, whether or not the panel is on screen.
    miKeyPad->setChecked(!Keypad->isHidden());
    miMenu->setChecked(!ToolBarMenu->isHidden());
    miToolbar->setChecked(!ToolBar1->isHidden());
    miStatusBar->setChecked(!StatusBar->isHidden());
}

void TfEmulator::FloatKeypad() {
    Keypad->setFloating(true);
    LayoutKeypad(true);
    Keypad->setGeometry(KeypadRect.Left, KeypadRect.Top,
                        Extent(KeypadRect.Left, KeypadRect.Right, 1),
                        Extent(KeypadRect.Top, KeypadRect.Bottom, 1));
}

// --- layout ---

TFormMetrics TfEmulator::Metrics() const {
    TFormMetrics m;
    m.Left = x();
    m.Top = y();
    m.Width = width();
    m.Height = height();
    m.MenuWidth = ToolBarMenu->width();
    m.MenuHeight = ToolBarMenu->height();
    m.ToolbarWidth = ToolBar1->width();
    m.ToolbarHeight = ToolBar1->height();
    m.KeyButtonWidth = kKeyButtonWidth;
    return m;
}

void TfEmulator::LoadLayout() {
    const TWindowLayout l = ReadLayout(Metrics());
    setGeometry(l.Left, l.Top, Extent(0, l.Width), Extent(0, l.Height));
    ToolBarMenu->setVisible(l.Menu);
    ToolBarMenu->resize(Extent(l.MenuL, l.MenuR), Extent(l.MenuT, l.MenuB));
    ToolBar1->setVisible(l.Toolbar);
    ToolBar1->resize(Extent(l.ToolbarL, l.ToolbarR), Extent(l.ToolbarT, l.ToolbarB));
    StatusBar->setVisible(l.StatusBar);
    KeypadRect = {l.KeyPadL, l.KeyPadT, l.KeyPadR, l.KeyPadB};
    Keypad->setVisible(l.KeyPadV);
    if (l.KeyPadV) FloatKeypad();
}

void TfEmulator::SaveLayout() {
    if (!panel_) return;
    TWindowLayout l;
    l.Left = x();
    l.Width = width();
    l.Top = y();
    l.Height = height();

    l.Menu = !ToolBarMenu->isHidden();
    const QWidget* menuParent = ToolBarMenu->parentWidget();
    l.MenuT = menuParent->y();
    l.MenuL = menuParent->x();
    l.MenuB = l.MenuT + ToolBarMenu->height();
    l.MenuR = l.MenuL + ToolBarMenu->width();

    l.Toolbar = !ToolBar1->isHidden();
    l.ToolbarT = ToolBar1->y();
    l.ToolbarL = ToolBar1->x();
    l.ToolbarB = l.ToolbarT + ToolBar1->height();
    l.ToolbarR = l.ToolbarL + ToolBar1->width();

    l.StatusBar = !StatusBar->isHidden();

    // A docked keypad keeps the rectangle it last floated at, so that it
    // floats there again.
    l.KeyPadV = !Keypad->isHidden();
    if (Keypad->isFloating()) {
        const QRect r = Keypad->geometry();
        KeypadRect = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }
    l.KeyPadT = KeypadRect.Top;
    l.KeyPadL = KeypadRect.Left;
    l.KeyPadB = KeypadRect.Bottom;
    l.KeyPadR = KeypadRect.Right;
    try {
        WriteLayout(l);
    } catch (const std::exception& e) {
        // Closing goes on: the layout of the next start is the last one saved.
        DebugOut(std::string("TfEmulator: layout not saved: ") + e.what());
    }
}

// --- what the logic asks of the widgets ---

void TfEmulator::SetCaption(const std::string& caption) {
    setWindowTitle(Latin1(caption));
}

std::string TfEmulator::PanelText(int panel) const {
    return Bytes(panels_[panel]->text());
}

void TfEmulator::SetPanelText(int panel, const std::string& text) {
    panels_[panel]->setText(Latin1(text));
}

void TfEmulator::RepaintStatusBar() {
    StatusBar->repaint();
}

void TfEmulator::SetConnectEnabled(bool enabled) {
    tbConnect->setEnabled(enabled);
    miConnect->setEnabled(enabled);
}

void TfEmulator::SetConnectDown(bool down) {
    connectDown_ = down;
    tbConnect->setChecked(down);
    tbConnect->repaint();
}

void TfEmulator::SetConnectCaption(const std::string& caption) {
    miConnect->setText(Latin1(caption));
}

void TfEmulator::SetConnPropEnabled(bool enabled) {
    tbConnProp->setEnabled(enabled);
    Connections1->setEnabled(enabled);
}

void TfEmulator::SetConnMenu(const std::vector<std::string>& names) {
    pmConn->clear();
    for (size_t i = 0; i < names.size(); ++i) {
        QAction* item = pmConn->addAction(Latin1(names[i]));
        connect(item, &QAction::triggered, this, [this, i] { logic_->ConnMenuClick(i); });
    }
}

void TfEmulator::ShowError(const std::string& text) {
    dialogs_->MessageBox(text, TMsgKind::Error, TMsgButtons::Ok);
}

void TfEmulator::ShowMessage(const std::string& text) {
    dialogs_->MessageBox(text, TMsgKind::Information, TMsgButtons::Ok);
}

std::string TfEmulator::InhibitReason() {
    return Fhe->InhibitReason();
}

bool TfEmulator::InsertMode() {
    return Fhe->InsertMode();
}

void TfEmulator::SetHostBusy(bool busy) {
    Fhe->SetHostBusy(busy);
}

void TfEmulator::AttachView(TEmuBinding* binding) {
    if (!panel_) return; // the view went with the panel
    Fhe->SetComApi(binding ? binding->ComApi() : nullptr);
}

void TfEmulator::ClearScreen() {
    Fhe->ClearScreen();
}

void TfEmulator::FocusView() {
    Fhe->setFocus();
}

TProfileState TfEmulator::LoadProfiles() {
    TProfileState state = ::LoadProfiles(Fhe->StyleDetail);
    // A loaded style may bring another font; the view refits to it.
    QEvent fontChange(QEvent::FontChange);
    QCoreApplication::sendEvent(Fhe, &fontChange);
    Fhe->update();
    return state;
}

TConnListResult TfEmulator::RunConnList(const TConnParm* current, TConnList& connections,
                                        const std::vector<const TConnType*>& types) {
    TFConParam dialog(*dialogs_, pnlEmulator->window());
    const auto showHelp = help_->Hook();
    dialog.ShowHelp = showHelp;
    dialog.SettingsDialog().ShowHelp = showHelp;
    dialog.SettingsDialog().EditTable = MakeTableEditorHook(*dialogs_, showHelp);
    return dialog.Execute(current, connections, types);
}

void TfEmulator::RunScreenProps(const std::string& profile, std::vector<std::string>& profiles,
                                std::string& result) {
    TfEmuProp dialog(*dialogs_, *Fhe, profile, profiles, pnlEmulator->window());
    dialog.ShowHelp = help_->Hook();
    if (dialog.exec() == QDialog::Accepted) dialog.Apply(profiles, result);
}

void TfEmulator::Post(TEmuMessage message, const std::string& text) {
    PostEmuMessage(this, MessageType(message), text);
}
