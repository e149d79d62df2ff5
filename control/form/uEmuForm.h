// The emulator form: the terminal view with a menu bar, a tool bar, a keypad
// of attention keys and a status bar, all inside one panel, pnlEmulator,
// which the control moves into its own window; the form itself stays
// hidden. Its behaviour lives in TEmuFormLogic; this is the thin layer of
// widgets over it. User-interface thread; the binding's events, which arrive
// on the engine's threads, only post messages to it.
#pragma once

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "uEmuFormLogic.h"

class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QPrinter;
class QStatusBar;
class QToolBar;
class QToolButton;
class TDialogs;
class THelpService;
class THostEmulator;

// What a form may be given instead of the real thing; empty members take
// the real one.
struct TEmuFormOptions {
    TDialogs* Dialogs = nullptr;  // message boxes and print dialogs; not owned
    THelpService* Help = nullptr; // not owned
    // Where a "Virtual" template given by bare name is looked for; the
    // folder of the container's program when empty.
    std::string ProgramFolder;
    TBindingFactory NewBinding; // a binding over an engine module when empty
};

class TfEmulator : public QWidget, private TEmuFormUi {
public:
    // Start-up runs here; an error in it is shown and the form is still made.
    explicit TfEmulator(QWidget* owner = nullptr, TEmuFormOptions options = {});
    // FormDestroy: the binding (ending a live session), the panel and the
    // lists are freed here, wherever the panel has been moved.
    ~TfEmulator() override;

    // Everything visible; the control re-parents it into its own window but
    // never deletes it.
    QWidget* pnlEmulator;

    TEmuFormLogic& Logic() { return *logic_; }
    THostEmulator* View() const { return Fhe; }

protected:
    // FormClose: saves the layout; a failure to save is logged, never thrown.
    void closeEvent(QCloseEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    void BuildMenus();
    void BuildToolBars();
    void BuildKeypad();
    void BuildStatusBar();
    void BuildView(QWidget* parent);
    void WireView();
    QAction* MenuItem(QMenu* menu, const char* name, const char* caption, const char* hint = "");

    void SaveLayout();
    void FloatKeypad();
    void LayoutKeypad(bool floating);
    TFormMetrics Metrics() const;

    void tbAidClick(const QString& buttonName);
    // The screen has the keyboard, its window the activation.
    void KeyboardToView();
    void miAboutClick();
    void miPrintClick();
    void miPrinterSetupClick();
    void miMenuClick();
    void miToolbarClick();
    void miStatusbarClick();
    void miKeypadClick();
    void pmViewPopup();
    QPrinter& Printer();

    // TEmuFormUi
    void SetCaption(const std::string& caption) override;
    std::string PanelText(int panel) const override;
    void SetPanelText(int panel, const std::string& text) override;
    void RepaintStatusBar() override;
    void SetConnectEnabled(bool enabled) override;
    void SetConnectDown(bool down) override;
    void SetConnectCaption(const std::string& caption) override;
    void SetConnPropEnabled(bool enabled) override;
    void SetConnMenu(const std::vector<std::string>& names) override;
    void ShowError(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    std::string InhibitReason() override;
    bool InsertMode() override;
    void SetHostBusy(bool busy) override;
    void AttachView(TEmuBinding* binding) override;
    void ClearScreen() override;
    void FocusView() override;
    void LoadLayout() override;
    TProfileState LoadProfiles() override;
    TConnListResult RunConnList(const TConnParm* current, TConnList& connections,
                                const std::vector<const TConnType*>& types) override;
    void RunScreenProps(const std::string& profile, std::vector<std::string>& profiles,
                        std::string& result) override;
    void Post(TEmuMessage message, const std::string& text) override;

    static constexpr int kKeyButtonWidth = 39;

    std::unique_ptr<TDialogs> ownDialogs_;
    std::unique_ptr<THelpService> ownHelp_;
    TDialogs* dialogs_;
    THelpService* help_;
    TRegistryFormStore store_;
    std::unique_ptr<QPrinter> printer_;

    // The panel and everything in it, which the form deletes itself.
    QPointer<QWidget> panel_;
    THostEmulator* Fhe = nullptr;
    QToolBar* ToolBarMenu = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QDockWidget* Keypad = nullptr;
    QStatusBar* StatusBar = nullptr;
    QLabel* panels_[kStatusPanelCount] = {};
    QToolButton* tbConnect = nullptr;
    QToolButton* tbConnProp = nullptr;
    QToolButton* tbScreenProp = nullptr;
    QMenu* pmFile = nullptr;
    QMenu* pmEdit = nullptr;
    QMenu* pmView = nullptr;
    QMenu* pmSettings = nullptr;
    QMenu* pmHelp = nullptr;
    QMenu* pmConn = nullptr;
    QAction* miConnect = nullptr;
    QAction* miExit = nullptr;
    QAction* N3 = nullptr;
    QAction* miMenu = nullptr;
    QAction* miToolbar = nullptr;
    QAction* miStatusBar = nullptr;
    QAction* miKeyPad = nullptr;
    QAction* Connections1 = nullptr;
    // tbConnect's pressed state as the form last set it; a click must not
    // change it on its own.
    bool connectDown_ = false;
    // The floating keypad's screen rectangle.
    struct TKeypadRect {
        int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    } KeypadRect;

    std::unique_ptr<TEmuFormLogic> logic_;
};
