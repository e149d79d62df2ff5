// The emulator form's parts: the panel with its bars, menus, keypad, view
// and status bar, made and wired to the form's handlers.
#include "uEmuForm.h"

#include <QDockWidget>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include "uHelpService.h"
#include "uHostEmulator.h"

namespace {

QString Latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

struct TPanelSpec {
    int width;
    Qt::Alignment alignment;
};
constexpr TPanelSpec kPanels[kStatusPanelCount] = {
    {60, Qt::AlignCenter},
    {70, Qt::AlignCenter},
    {70, Qt::AlignCenter},
    {50, Qt::AlignCenter},
    {50, Qt::AlignLeft | Qt::AlignVCenter},
};

constexpr const char* kKeypadButtons[] = {
    "tbPF01", "tbPF02", "tbPF03", "tbPF04", "tbPF05",  "tbPF06",  "tbPF07",   "tbPF08",
    "tbPF09", "tbPF10", "tbPF11", "tbPF12", "tbENTER", "tbCLEAR", "tbSYSREQ", "tbPA1",
};
constexpr int kKeyButtonHeight = 19;

// The keypad is a second way of pressing a key, not a place to type: its
// window, whenever it shows floating, asks the window manager never to give
// it the keyboard, so that a click on a key leaves the keyboard with the
// screen.
class TNoKeyboardWindow : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The platform window exists by the time the widget is told it shows.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && widget && widget->isWindow() && widget->windowHandle())
            widget->windowHandle()->setFlag(Qt::WindowDoesNotAcceptFocus, true);
        return false;
    }
};

} // namespace

void TfEmulator::BuildView(QWidget* parent) {
    auto* Panel1 = new QFrame(parent);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    QPalette black = Panel1->palette();
    black.setColor(QPalette::Window, Qt::black);
    Panel1->setPalette(black);
    Panel1->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(Panel1);
    layout->setContentsMargins(1, 1, 1, 1);

    Fhe = new THostEmulator(Panel1);
    Fhe->setObjectName(QStringLiteral("Fhe"));
    Fhe->SetStyle(pleStandard);
    Fhe->StyleDetail.Font.Name = "Courier New";
    Fhe->StyleDetail.Font.Size = 10; // 13 pixels high on a 96 dpi screen
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(11);
    font.setBold(true);
    Fhe->setFont(font);
    // The form's view sits closer to the top than a grid of its own would.
    Fhe->SetLeftMargin(7);
    Fhe->SetTopMargin(7);
    Fhe->SetFontAutoSize(true);
    Fhe->SetInsertMode(false);
    layout->addWidget(Fhe);
    static_cast<QMainWindow*>(parent)->setCentralWidget(Panel1);
}

QAction* TfEmulator::MenuItem(QMenu* menu, const char* name, const char* caption,
                              const char* hint) {
    QAction* item = menu->addAction(QLatin1String(caption));
    item->setObjectName(QLatin1String(name));
    if (*hint) item->setToolTip(QLatin1String(hint));
    return item;
}

void TfEmulator::BuildMenus() {
    auto menu = [this](const char* name) {
        auto* m = new QMenu(pnlEmulator);
        m->setObjectName(QLatin1String(name));
        m->setToolTipsVisible(true);
        return m;
    };
    pmFile = menu("pmFile");
    miConnect = MenuItem(pmFile, "miConnect", kConnectCaption);
    pmFile->addSeparator();
    QAction* miPrint = MenuItem(pmFile, "miPrint", "Print", "Print Screen");
    QAction* miPrinterSetup = MenuItem(pmFile, "miPrinterSetup", "Printer &setup");
    N3 = pmFile->addSeparator();
    N3->setObjectName(QStringLiteral("N3"));
    miExit = MenuItem(pmFile, "miExit", "E&xit");

    pmEdit = menu("pmEdit");
    QAction* Copy1 = MenuItem(pmEdit, "Copy1", "&Copy", "Copy");
    Copy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    QAction* Paste1 = MenuItem(pmEdit, "Paste1", "&Paste", "Paste");
    Paste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    // Shortcuts work while the focus is anywhere in the panel.
    for (QAction* a : {Copy1, Paste1}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        pnlEmulator->addAction(a);
    }

    pmView = menu("pmView");
    miMenu = MenuItem(pmView, "miMenu", "&Menu");
    miToolbar = MenuItem(pmView, "miToolbar", "&Toolbar");
    miStatusBar = MenuItem(pmView, "miStatusBar", "&Status Bar");
    miKeyPad = MenuItem(pmView, "miKeyPad", "&Key Pad");
    for (QAction* a : {miMenu, miToolbar, miStatusBar, miKeyPad})
        a->setCheckable(true);
    miMenu->setChecked(true);
    miToolbar->setChecked(true);
    miStatusBar->setChecked(true);

    pmSettings = menu("pmSettings");
    Connections1 = MenuItem(pmSettings, "Connections1", "&Connections");
    QAction* ScreenProperties1 = MenuItem(pmSettings, "ScreenProperties1", "&Screen Properties");

    pmHelp = menu("pmHelp");
    QAction* HelpTopics1 = MenuItem(pmHelp, "HelpTopics1", "&Help Topics");
    QAction* KeyboardMapping1 = MenuItem(pmHelp, "KeyboardMapping1", "&Keyboard Mapping");
    pmHelp->addSeparator();
    QAction* About1 = MenuItem(pmHelp, "About1", "&About");

    pmConn = menu("pmConn");

    connect(miConnect, &QAction::triggered, this, [this] { logic_->ConnectClick(); });
    connect(miPrint, &QAction::triggered, this, [this] { miPrintClick(); });
    connect(miPrinterSetup, &QAction::triggered, this, [this] { miPrinterSetupClick(); });
    connect(miExit, &QAction::triggered, this, [this] { close(); });
    connect(Copy1, &QAction::triggered, this, [this] { Fhe->CopySelection(); });
    connect(Paste1, &QAction::triggered, this, [this] { Fhe->PasteText(); });
    connect(miMenu, &QAction::triggered, this, [this] { miMenuClick(); });
    connect(miToolbar, &QAction::triggered, this, [this] { miToolbarClick(); });
    connect(miStatusBar, &QAction::triggered, this, [this] { miStatusbarClick(); });
    connect(miKeyPad, &QAction::triggered, this, [this] { miKeypadClick(); });
    connect(pmView, &QMenu::aboutToShow, this, [this] { pmViewPopup(); });
    connect(Connections1, &QAction::triggered, this, [this] { logic_->ConnPropClick(); });
    connect(ScreenProperties1, &QAction::triggered, this, [this] { logic_->ScreenPropClick(); });
    connect(HelpTopics1, &QAction::triggered, this, [this] { help_->ShowContents(); });
    connect(KeyboardMapping1, &QAction::triggered, this,
            [this] { help_->ShowTopic(kKeyboardMappingTopic); });
    connect(About1, &QAction::triggered, this, [this] { miAboutClick(); });
}

void TfEmulator::BuildToolBars() {
    auto* panel = static_cast<QMainWindow*>(pnlEmulator);

    ToolBarMenu = new QToolBar(QStringLiteral("Menu"), panel);
    ToolBarMenu->setObjectName(QStringLiteral("ToolBarMenu"));
    ToolBarMenu->setMovable(false);
    ToolBarMenu->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const struct {
        const char* name;
        const char* caption;
        QMenu* menu;
    } menus[] = {{"tbMenuFile", "&File", pmFile},
                 {"tbMenuEdit", "&Edit", pmEdit},
                 {"tbMenuView", "&View", pmView},
                 {"tbMenuSettings", "&Settings", pmSettings},
                 {"tbMenuHelp", "&Help", pmHelp}};
    for (const auto& m : menus) {
        auto* button = new QToolButton(ToolBarMenu);
        button->setObjectName(QLatin1String(m.name));
        button->setText(QLatin1String(m.caption));
        button->setMenu(m.menu);
        button->setPopupMode(QToolButton::InstantPopup);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setMinimumSize(51, 21);
        button->setAutoRaise(true);
        ToolBarMenu->addWidget(button);
    }
    panel->addToolBar(Qt::TopToolBarArea, ToolBarMenu);
    panel->addToolBarBreak(Qt::TopToolBarArea);

    ToolBar1 = new QToolBar(QStringLiteral("Toolbar"), panel);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    QStyle* s = style();
    auto button = [&](const char* name, const char* hint, QIcon icon) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(QLatin1String(hint));
        b->setIcon(icon);
        b->setAutoRaise(true);
        ToolBar1->addWidget(b);
        return b;
    };
    auto themed = [&](const char* name, QStyle::StandardPixmap fallback) {
        return QIcon::fromTheme(QLatin1String(name), s->standardIcon(fallback));
    };
    tbConnect = button("tbConnect", "Connect", themed("network-connect", QStyle::SP_DriveNetIcon));
    tbConnect->setCheckable(true);
    tbConnect->setMenu(pmConn);
    tbConnect->setPopupMode(QToolButton::MenuButtonPopup);
    ToolBar1->addSeparator();
    auto* ToolButton2 =
        button("ToolButton2", "Copy area", themed("edit-copy", QStyle::SP_FileDialogContentsView));
    auto* ToolButton4 =
        button("ToolButton4", "Paste text", themed("edit-paste", QStyle::SP_DialogOpenButton));
    ToolBar1->addSeparator();
    auto* ToolButton5 =
        button("ToolButton5", "Print screen", themed("document-print", QStyle::SP_ComputerIcon));
    ToolBar1->addSeparator();
    tbConnProp = button("tbConnProp", "Connection properties",
                        themed("preferences-system-network", QStyle::SP_FileDialogListView));
    tbScreenProp = button("tbScreenProp", "Screen properties",
                          themed("preferences-desktop-display", QStyle::SP_DesktopIcon));
    ToolBar1->addSeparator();
    auto* ToolButton6 =
        button("ToolButton6", "Help topics", themed("help-contents", QStyle::SP_DialogHelpButton));
    panel->addToolBar(Qt::TopToolBarArea, ToolBar1);

    connect(tbConnect, &QToolButton::clicked, this, [this] {
        // The pressed look is the form's to set, not the click's.
        tbConnect->setChecked(connectDown_);
        logic_->ConnectClick();
    });
    connect(ToolButton2, &QToolButton::clicked, this, [this] { Fhe->CopySelection(); });
    connect(ToolButton4, &QToolButton::clicked, this, [this] { Fhe->PasteText(); });
    connect(ToolButton5, &QToolButton::clicked, this, [this] { miPrintClick(); });
    connect(tbConnProp, &QToolButton::clicked, this, [this] { logic_->ConnPropClick(); });
    connect(tbScreenProp, &QToolButton::clicked, this, [this] { logic_->ScreenPropClick(); });
    connect(ToolButton6, &QToolButton::clicked, this, [this] { help_->ShowContents(); });
}

void TfEmulator::BuildKeypad() {
    auto* panel = static_cast<QMainWindow*>(pnlEmulator);
    Keypad = new QDockWidget(QStringLiteral("Keypad"), panel);
    Keypad->setObjectName(QStringLiteral("Keypad"));
    Keypad->setAllowedAreas(Qt::TopDockWidgetArea);
    Keypad->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable |
                        QDockWidget::DockWidgetClosable);
    auto* buttons = new QWidget(Keypad);
    buttons->setObjectName(QStringLiteral("KeypadButtons"));
    auto* grid = new QGridLayout(buttons);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setSpacing(0);
    QFont small(QStringLiteral("Small Fonts"));
    small.setPixelSize(9);
    for (const char* name : kKeypadButtons) {
        auto* b = new QToolButton(buttons);
        b->setObjectName(QLatin1String(name));
        // SYSREQ's caption is shorter than its key's name.
        const std::string caption = std::string(name) == "tbSYSREQ" ? "SYSRQ" : name + 2;
        b->setText(Latin1(caption));
        b->setFont(small);
        b->setFixedSize(kKeyButtonWidth, kKeyButtonHeight);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, b] { tbAidClick(b->objectName()); });
    }
    Keypad->setWidget(buttons);
    LayoutKeypad(false);
    panel->addDockWidget(Qt::TopDockWidgetArea, Keypad);
    Keypad->hide();
    Keypad->installEventFilter(new TNoKeyboardWindow(Keypad));
    connect(Keypad, &QDockWidget::topLevelChanged, this,
            [this](bool floating) { LayoutKeypad(floating); });
}

void TfEmulator::LayoutKeypad(bool floating) {
    // Two columns in its own window, one row when docked under the tool bar.
    auto* grid = static_cast<QGridLayout*>(Keypad->widget()->layout());
    const int columns = floating ? 2 : int(std::size(kKeypadButtons));
    int i = 0;
    for (const char* name : kKeypadButtons) {
        auto* b = Keypad->widget()->findChild<QToolButton*>(QLatin1String(name));
        grid->removeWidget(b);
        grid->addWidget(b, i / columns, i % columns);
        ++i;
    }
    // The keypad's least size follows at once, before it is placed.
    grid->activate();
    Keypad->layout()->activate();
}

void TfEmulator::BuildStatusBar() {
    StatusBar = new QStatusBar(pnlEmulator);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    for (int i = 0; i < kStatusPanelCount; ++i) {
        auto* label = new QLabel(StatusBar);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(kPanels[i].alignment);
        const bool last = i == kStatusPanelCount - 1;
        if (last)
            label->setMinimumWidth(kPanels[i].width);
        else
            label->setFixedWidth(kPanels[i].width);
        StatusBar->addWidget(label, last ? 1 : 0);
        panels_[i] = label;
    }
    panels_[spCursor]->setText(QStringLiteral("1,1"));
    static_cast<QMainWindow*>(pnlEmulator)->setStatusBar(StatusBar);
}

void TfEmulator::WireView() {
    Fhe->OnInputInhibitChange = [this](TCustomHostEmulator&) {
        if (logic_) logic_->InhibitChanged();
    };
    Fhe->OnInsertModeChange = [this](TCustomHostEmulator&) {
        if (logic_) logic_->InsertModeChanged();
    };
    Fhe->OnCursorPos = [this](TCustomHostEmulator& view) {
        if (logic_) logic_->CursorMoved(view.GetCursorAddress());
    };
    Fhe->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Fhe, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmView->popup(Fhe->mapToGlobal(at)); });
}
