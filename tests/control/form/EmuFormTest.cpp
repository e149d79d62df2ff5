// The emulator form with its widgets, offscreen: built from a registry of
// the test's own, driven through its buttons and menus, with a stand-in
// engine module, and with the real 5250 engine against the host simulator.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPrinter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>
#include <QtTest/QTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "PLEngineApi.h"
#include "Registry.h"
#include "control/binding/FakeEngineControl.h"
#include "control/dialogs/FakeDialogs.h"
#include "hostsim/HostSim.h"
#include "support/TempDir.h"
#include "uAbout.h"
#include "uEmuForm.h"
#include "uEmuSettings.h"
#include "uHelpService.h"
#include "uHostEmulator.h"

namespace {

class TRecordingHelp : public THelpService {
public:
    TRecordingHelp() : THelpService("/nonexistent") {}
    std::vector<std::string> Topics;
    bool ShowTopic(const std::string& topic) override {
        Topics.push_back(topic);
        return true;
    }
};

class TFormDialogs : public TFakeDialogs {
public:
    std::string PdfFile; // the print dialog prints here; cancelled when empty
    int PrinterSetups = 0;
    bool PrintDialog(QPrinter& printer) override {
        if (PdfFile.empty()) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(PdfFile));
        return true;
    }
    bool PrinterSetup(QPrinter&) override {
        ++PrinterSetups;
        return true;
    }
};

template <typename TPredicate> bool WaitFor(TPredicate done, int timeoutMs = 30000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class EmuForm : public ::testing::Test {
protected:
    void SetUp() override { setenv("CORVALEN_REGISTRY_DIR", dir_.path().c_str(), 1); }

    static void SeedType(const std::string& name, const std::string& module) {
        TRegistry reg(TRootKey::LocalMachine);
        ASSERT_TRUE(reg.OpenKey(std::string(kConnTypesKey) + "\\" + name, true));
        reg.WriteString("Module", module);
    }
    static void SeedConnection(const std::string& name, const std::string& type,
                               const std::string& param) {
        TConnList list = ReadConnections();
        list.push_back(std::make_unique<TConnParm>(TConnParm{name, param, type}));
        ASSERT_TRUE(WriteConnections(list));
    }
    void SeedFakeConnection() {
        SeedType("Fake", fake_.Path());
        SeedConnection("Test", "Fake", "fake.example");
    }

    std::unique_ptr<TfEmulator> NewForm() {
        TEmuFormOptions options;
        options.Dialogs = &dialogs_;
        options.Help = &help_;
        return std::make_unique<TfEmulator>(nullptr, options);
    }

    template <typename T> static T* Part(TfEmulator& form, const QString& name) {
        T* part = form.pnlEmulator->findChild<T*>(name);
        if (!part) throw std::runtime_error("no part named " + name.toStdString());
        return part;
    }
    static QString Panel(TfEmulator& form, int i) {
        return Part<QLabel>(form, QStringLiteral("StatusPanel%1").arg(i))->text();
    }
    static bool WaitForPanel(TfEmulator& form, int i, const QString& text, int timeoutMs = 30000) {
        return WaitFor([&] { return Panel(form, i) == text; }, timeoutMs);
    }
    static void Click(TfEmulator& form, const char* button) {
        Part<QToolButton>(form, button)->click();
    }

    TTempDir dir_;
    TFakeEngine fake_;
    TFormDialogs dialogs_;
    TRecordingHelp help_;
};

// --- the parts ---

TEST_F(EmuForm, StartsHiddenWithNoExitAndTheAboutBoxNotShown) {
    auto form = NewForm();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->pnlEmulator->objectName(), "pnlEmulator");
    EXPECT_EQ(form->windowTitle(), "Corvalen Terminal Emulator");
    EXPECT_TRUE(form->View()->SelectionEnabled());
    EXPECT_EQ(form->View()->objectName(), "Fhe");

    auto* pmFile = Part<QMenu>(*form, "pmFile");
    for (QAction* item : pmFile->actions()) {
        if (item->text() == "E&xit" || item->objectName() == "N3") {
            EXPECT_FALSE(item->isVisible()) << item->objectName().toStdString();
        }
    }
    EXPECT_TRUE(Part<QAction>(*form, "miConnect")->isVisible());

    // One hidden about box for the process.
    const auto windows = QApplication::topLevelWidgets();
    EXPECT_EQ(
        std::count_if(windows.begin(), windows.end(),
                      [](QWidget* w) { return dynamic_cast<TfrmAbout*>(w) && !w->isVisible(); }),
        1);

    const int widths[] = {60, 70, 70, 50, 50};
    for (int i = 0; i < 5; ++i) {
        auto* label = Part<QLabel>(*form, QStringLiteral("StatusPanel%1").arg(i));
        EXPECT_EQ(label->minimumWidth(), widths[i]) << i;
    }
    EXPECT_EQ(Panel(*form, 0), "OFFLINE");
    EXPECT_EQ(Panel(*form, 3), "1,1");
    EXPECT_EQ(Part<QToolButton>(*form, "tbSYSREQ")->text(), "SYSRQ");
    EXPECT_EQ(Part<QDockWidget>(*form, "Keypad")->findChildren<QToolButton*>().size(), 16);
    EXPECT_TRUE(Part<QDockWidget>(*form, "Keypad")->isHidden());
}

TEST_F(EmuForm, HelpPrintAndPrinterSetupGoThroughTheirServices) {
    auto form = NewForm();
    Part<QAction>(*form, "HelpTopics1")->trigger();
    Click(*form, "ToolButton6");
    Part<QAction>(*form, "KeyboardMapping1")->trigger();
    EXPECT_EQ(help_.Topics, (std::vector<std::string>{"contents", "contents", "m_km"}));

    dialogs_.PdfFile = dir_.file("screen.pdf");
    Part<QAction>(*form, "miPrint")->trigger();
    std::error_code error;
    EXPECT_GT(std::filesystem::file_size(dialogs_.PdfFile, error), 0u);
    Part<QAction>(*form, "miPrinterSetup")->trigger();
    EXPECT_EQ(dialogs_.PrinterSetups, 1);
}

// --- a session with the stand-in engine ---

TEST_F(EmuForm, SessionWithTheStandInEngine) {
    SeedFakeConnection();
    auto form = NewForm();
    ASSERT_EQ(form->windowTitle(), "Corvalen Terminal Emulator - Test");

    Click(*form, "tbConnect");
    ASSERT_TRUE(WaitForPanel(*form, 0, "ONLINE"));
    EXPECT_NE(form->View()->ComApi(), nullptr);
    EXPECT_FALSE(Part<QToolButton>(*form, "tbConnProp")->isEnabled());
    EXPECT_FALSE(Part<QAction>(*form, "Connections1")->isEnabled());
    EXPECT_EQ(Part<QAction>(*form, "miConnect")->text(), "&Disconnect");
    EXPECT_TRUE(Part<QToolButton>(*form, "tbConnect")->isChecked());

    // A keypad button sends its key; the form shows the wait until the host is ready.
    ASSERT_TRUE(WaitFor([&] { return form->View()->IsConnected(); }));
    Click(*form, "tbPF01");
    EXPECT_EQ(fake_.LastAid(), "@1");
    ASSERT_TRUE(WaitForPanel(*form, 1, "X-SYSTEM"));
    fake_.RaiseEvent(PL_KBD_UNLOCKED);
    EXPECT_TRUE(
        WaitFor([&] { return Panel(*form, 1).toStdString() == form->View()->InhibitReason(); }));

    // The host ends the session: its text arrives with the message.
    fake_.RaiseEvent(PL_SESSION_DISCONNECTED, "HTTP/1.0 503 closing");
    ASSERT_TRUE(WaitForPanel(*form, 0, "OFFLINE"));
    EXPECT_EQ(Panel(*form, 4), "HTTP/1.0 503 closing");
    EXPECT_EQ(dialogs_.Messages, std::vector<std::string>{"HTTP/1.0 503 closing"});
    EXPECT_EQ(form->View()->ComApi(), nullptr);
    EXPECT_NE(form->Logic().ComApi(), nullptr);
    EXPECT_TRUE(Part<QToolButton>(*form, "tbConnProp")->isEnabled());
    EXPECT_TRUE(Part<QAction>(*form, "Connections1")->isEnabled());
    EXPECT_FALSE(Part<QToolButton>(*form, "tbConnect")->isChecked());

    // Connect again, then the user disconnects.
    Click(*form, "tbConnect");
    ASSERT_TRUE(WaitForPanel(*form, 0, "ONLINE"));
    Click(*form, "tbConnect");
    EXPECT_EQ(fake_.DisconnectCalls(), 1);
    EXPECT_EQ(form->Logic().ComApi(), nullptr);
    EXPECT_TRUE(WaitForPanel(*form, 0, "OFFLINE"));
}

TEST_F(EmuForm, TheWindowGoesOnWhileTheEngineConnectsAndClosingItThenLeavesNothing) {
    SeedFakeConnection();
    auto form = NewForm();
    // The engine's Connect blocks as against a host that never answers.
    fake_.HoldConnect(true);
    Click(*form, "tbConnect");
    ASSERT_TRUE(fake_.WaitConnectsHeld(1));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    EXPECT_TRUE(WaitFor([&] { return ticks >= 5; })) << "the event loop runs meanwhile";
    EXPECT_EQ(Panel(*form, 0), "OFFLINE");
    EXPECT_EQ(Panel(*form, 4), "Connecting to fake.example...");
    EXPECT_TRUE(Part<QToolButton>(*form, "tbConnect")->isChecked());
    EXPECT_FALSE(Part<QToolButton>(*form, "tbConnProp")->isEnabled());

    // Connect pressed again, or File's first item, gives the attempt up:
    // the window is offline at once, and the session that opens late is
    // closed.
    auto* miConnect = Part<QAction>(*form, "miConnect");
    for (bool menu : {false, true}) {
        if (menu) {
            fake_.HoldConnect(true);
            Click(*form, "tbConnect");
            ASSERT_TRUE(fake_.WaitConnectsHeld(1));
        }
        EXPECT_EQ(miConnect->text(), "&Disconnect");
        if (menu)
            miConnect->trigger();
        else
            Click(*form, "tbConnect");
        EXPECT_EQ(form->Logic().ComApi(), nullptr) << "no attempt runs: " << menu;
        EXPECT_EQ(Panel(*form, 0), "OFFLINE");
        EXPECT_EQ(Panel(*form, 4), "");
        EXPECT_FALSE(Part<QToolButton>(*form, "tbConnect")->isChecked());
        EXPECT_TRUE(Part<QToolButton>(*form, "tbConnProp")->isEnabled());
        EXPECT_EQ(miConnect->text(), "&Connect");
        const int closes = fake_.DisconnectCalls();
        fake_.HoldConnect(false);
        EXPECT_TRUE(WaitFor([&] { return fake_.DisconnectCalls() == closes + 1; })) << menu;
        QApplication::processEvents();
        EXPECT_EQ(Panel(*form, 0), "OFFLINE");
    }

    // Pressed after that, Connect starts afresh.
    Click(*form, "tbConnect");
    ASSERT_TRUE(WaitForPanel(*form, 0, "ONLINE"));
    EXPECT_EQ(Panel(*form, 4), "");
    Click(*form, "tbConnect");
    ASSERT_TRUE(WaitForPanel(*form, 0, "OFFLINE"));

    // The window closes while an attempt runs: the session that opens late
    // is closed at once, and nothing reaches the form that is gone.
    fake_.HoldConnect(true);
    Click(*form, "tbConnect");
    ASSERT_TRUE(fake_.WaitConnectsHeld(1));
    const int closes = fake_.DisconnectCalls();
    form.reset();
    fake_.HoldConnect(false);
    EXPECT_TRUE(WaitFor([&] { return fake_.DisconnectCalls() == closes + 1; }));
    QApplication::processEvents();
}

TEST_F(EmuForm, TheOutcomeOfAnAttemptGivenUpForANewOneLeavesTheNewOneConnecting) {
    SeedFakeConnection();
    auto form = NewForm();
    // The first attempt fails just as the user chooses the stored connection
    // again: its outcome is posted while the choice still waits in the queue.
    fake_.SetConnect(-1, PL_SESSION_CONNECTED_FAIL, "Connection refused");
    fake_.HoldConnect(true);
    Click(*form, "tbConnect");
    ASSERT_TRUE(fake_.WaitConnectsHeld(1));
    fake_.HoldConnect(false);
    // The attempt is over once the binding is no longer connecting; its
    // outcome is posted before the binding lets a new attempt begin.
    TEmuBinding* binding = form->Logic().ComApi();
    ASSERT_NE(binding, nullptr);
    for (int i = 0; i < 3000 && binding->Connecting(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_FALSE(binding->Connecting()) << "the outcome is posted";
    fake_.SetConnect(1, PL_SESSION_CONNECTED);
    fake_.HoldConnect(true);
    Part<QMenu>(*form, "pmConn")->actions().value(0)->trigger();
    ASSERT_TRUE(fake_.WaitConnectsHeld(1));

    QApplication::processEvents(); // the outcome posted before the click
    EXPECT_EQ(Panel(*form, 4), "Connecting to fake.example...");
    EXPECT_TRUE(Part<QToolButton>(*form, "tbConnect")->isChecked());
    EXPECT_FALSE(Part<QToolButton>(*form, "tbConnProp")->isEnabled());
    fake_.HoldConnect(false);
    EXPECT_TRUE(WaitForPanel(*form, 0, "ONLINE"));
    EXPECT_EQ(Panel(*form, 4), "");
    Click(*form, "tbConnect");
    EXPECT_TRUE(WaitForPanel(*form, 0, "OFFLINE"));
}

// --- what a desktop user expects ---

std::vector<uint8_t> OneInputFieldScreen() {
    THostFields list;
    list.TermModel = 3179;
    list.CurPos = 5 * 80 + 52; // the input field's first cell
    list.MessageField->Len = 80;
    auto field = std::make_unique<THostBasicField>();
    field->Row = 6;
    field->Col = 53;
    field->Len = 10;
    field->Pos = 5 * 80 + 53;
    field->SetAttr({attUnProtected});
    list.Add(std::move(field));
    TMemoryStream stream;
    list.SaveToStream(stream);
    return std::vector<uint8_t>(stream.data(), stream.data() + stream.size());
}

// The form's panel in a window of its own, as the control holds it, shown
// and active so that its widgets can take the focus.
class EmuFormShown : public EmuForm {
protected:
    std::unique_ptr<TfEmulator> NewShownForm() {
        auto form = NewForm();
        auto* layout = new QVBoxLayout(&control_);
        layout->setContentsMargins(0, 0, 0, 0);
        form->pnlEmulator->setParent(&control_);
        layout->addWidget(form->pnlEmulator);
        form->pnlEmulator->show();
        control_.resize(700, 450);
        control_.show();
        control_.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&control_));
        return form;
    }
    // Online with the stand-in engine's one-input-field screen shown in the
    // focused view; null when that does not happen.
    THostEmulator* OnlineWithOneInputField(TfEmulator& form) {
        Click(form, "tbConnect");
        if (!WaitForPanel(form, 0, "ONLINE")) return nullptr;
        THostEmulator* view = form.View();
        if (!WaitFor([&] { return QApplication::focusWidget() == view; })) return nullptr;
        fake_.RaiseEvent(PL_SCREEN_CHANGED);
        const bool shown =
            WaitFor([&] { return view->GetInputFields() && view->GetInputFields()->Count() == 1; });
        return shown ? view : nullptr;
    }
    // The text of the one input field that the last send carried.
    std::string SentFieldText() {
        THostFields sent;
        const std::vector<uint8_t> bytes = fake_.LastFields();
        TMemoryStream stream(std::span<const uint8_t>(bytes.data(), bytes.size()));
        sent.LoadFromStream(stream);
        if (sent.Count() != 1) return std::to_string(sent.Count()) + " fields";
        return sent.GetField(0)->Data;
    }
    QWidget control_; // outlives the form, which frees the panel inside it
};

TEST_F(EmuFormShown, TheViewTakesTheFocusOnlineAndCtrlCAndCtrlVCopyAndPasteThere) {
    SeedFakeConnection();
    fake_.SetScreen(OneInputFieldScreen());
    auto form = NewShownForm();
    THostEmulator* view = OnlineWithOneInputField(*form);
    ASSERT_NE(view, nullptr);

    QGuiApplication::clipboard()->setText(QStringLiteral("abc"));
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    std::string typed;
    for (int col = 52; col < 55; ++col)
        typed += static_cast<char>(view->Cells.Code(col, 5));
    EXPECT_EQ(typed, "abc");

    QGuiApplication::clipboard()->setText(QStringLiteral("marker"));
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), view->SelectionText());
    Click(*form, "tbConnect");
}

class TAnsweringPrompts : public TEmuPrompts {
public:
    QString Answer;
    void ShowMessage(QWidget*, const QString&) override {}
    bool InputQuery(QWidget*, const QString&, const QString&, QString& value) override {
        value = Answer;
        return true;
    }
};

// A key as X11 delivers it: its text alongside, whatever the modifiers.
void KeyWithText(QWidget* w, Qt::Key key, const QString& text, Qt::KeyboardModifiers mods = {}) {
    QTest::sendKeyEvent(QTest::Press, w, key, text, mods);
    QTest::sendKeyEvent(QTest::Release, w, key, text, mods);
}

TEST_F(EmuFormShown, KeysTypeOnlyPrintableTextAndABurstOfScreenReportsCostsOneFetch) {
    SeedFakeConnection();
    fake_.SetScreen(OneInputFieldScreen());
    auto form = NewShownForm();
    THostEmulator* view = OnlineWithOneInputField(*form);
    ASSERT_NE(view, nullptr);
    QApplication::processEvents();

    // The engine reports one host record twice, a busy host many times
    // before the view runs: one fetch for the burst.
    const int before = fake_.ScreenCalls();
    for (int i = 0; i < 3; ++i)
        fake_.RaiseEvent(PL_SCREEN_CHANGED);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(fake_.ScreenCalls() - before, 1);
    fake_.RaiseEvent(PL_SCREEN_CHANGED);
    EXPECT_TRUE(WaitFor([&] { return fake_.ScreenCalls() - before == 2; }));

    // Delete comes with the text DEL; Alt and Ctrl combinations with their
    // letter. None of them types anything.
    view->SetCursorAddress(5 * 80 + 52);
    QTest::keyClicks(view, "abcd");
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(view, Qt::Key_Left);
    KeyWithText(view, Qt::Key_Delete, QStringLiteral("\x7f"));
    KeyWithText(view, Qt::Key_Q, QStringLiteral("q"), Qt::AltModifier);
    KeyWithText(view, Qt::Key_Q, QStringLiteral("q"), Qt::ControlModifier);
    KeyWithText(view, Qt::Key_F, QString(QChar(0x85)));
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(SentFieldText(), "acd");

    // The system request's text goes as Latin-1; what it cannot hold is left out.
    TAnsweringPrompts prompts;
    prompts.Answer = QString::fromUtf8("DSPJOB \u00e9\u20ac!");
    view->SetPrompts(&prompts);
    QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(fake_.LastSysReq(), "DSPJOB \xe9!");
    view->SetPrompts(nullptr);
    Click(*form, "tbConnect");
}

TEST_F(EmuFormShown, ANewSessionTakesKeysWhateverTheKeyboardErrorOfTheLastOne) {
    SeedFakeConnection();
    fake_.SetScreen(OneInputFieldScreen());
    auto form = NewShownForm();
    THostEmulator* view = OnlineWithOneInputField(*form);
    ASSERT_NE(view, nullptr);
    view->SetCursorAddress(0); // a protected cell
    QTest::keyClicks(view, "x");
    ASSERT_EQ(view->InhibitReason(), "X-LOCK");
    Click(*form, "tbConnect");
    ASSERT_TRUE(WaitForPanel(*form, 0, "OFFLINE"));

    view = OnlineWithOneInputField(*form);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->InhibitReason(), "");
    EXPECT_EQ(Panel(*form, 1), "");
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(fake_.LastAid(), "@E");

    // A session the host ends, with insert mode on and a hexadecimal entry
    // half typed: the next one, on the binding kept, starts with neither.
    view->SetInsertMode(true);
    view->Editor().LocalFunction("HEXA");
    view->Editor().KeyPress('4');
    fake_.RaiseEvent(PL_SESSION_DISCONNECTED);
    ASSERT_TRUE(WaitForPanel(*form, 0, "OFFLINE"));
    view = OnlineWithOneInputField(*form);
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->Editor().HexMode());
    EXPECT_FALSE(view->InsertMode());
    EXPECT_EQ(Panel(*form, 2), "");
    Click(*form, "tbConnect");
}

TEST_F(EmuFormShown, EachMenuButtonOpensItsMenu) {
    auto form = NewShownForm();
    const std::pair<const char*, const char*> buttons[] = {{"tbMenuFile", "pmFile"},
                                                           {"tbMenuEdit", "pmEdit"},
                                                           {"tbMenuView", "pmView"},
                                                           {"tbMenuSettings", "pmSettings"},
                                                           {"tbMenuHelp", "pmHelp"}};
    std::vector<std::string> shown;
    for (const auto& [button, menu] : buttons) {
        auto* popup = Part<QMenu>(*form, menu);
        // The menu runs its own loop; it is looked at and closed from inside it.
        QTimer::singleShot(0, popup, [&shown, popup] {
            if (popup->isVisible()) shown.push_back(popup->objectName().toStdString());
            popup->close();
        });
        Click(*form, button);
        QApplication::processEvents();
        EXPECT_FALSE(popup->isVisible()) << menu;
    }
    EXPECT_EQ(shown,
              (std::vector<std::string>{"pmFile", "pmEdit", "pmView", "pmSettings", "pmHelp"}));
}

TEST_F(EmuFormShown, TheKeypadTogglesFromTheViewMenu) {
    auto form = NewShownForm();
    auto* keypad = Part<QDockWidget>(*form, "Keypad");
    auto* item = Part<QAction>(*form, "miKeyPad");
    item->trigger();
    EXPECT_TRUE(keypad->isVisible());
    EXPECT_TRUE(keypad->isFloating());
    item->trigger();
    EXPECT_FALSE(keypad->isVisible());
    // Closed from its own window, it comes back from the menu.
    item->trigger();
    ASSERT_TRUE(keypad->isVisible());
    keypad->close();
    emit Part<QMenu>(*form, "pmView")->aboutToShow();
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_TRUE(keypad->isVisible());
}

TEST_F(EmuFormShown, KeypadButtonsLeaveTheKeyboardWithTheScreen) {
    SeedFakeConnection();
    fake_.SetScreen(OneInputFieldScreen());
    auto form = NewShownForm();
    THostEmulator* view = OnlineWithOneInputField(*form);
    ASSERT_NE(view, nullptr);
    auto* keypad = Part<QDockWidget>(*form, "Keypad");
    auto* pf01 = Part<QToolButton>(*form, "tbPF01");
    Part<QAction>(*form, "miKeyPad")->trigger();
    ASSERT_TRUE(keypad->isFloating());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(keypad));
    for (bool floating : {true, false}) {
        SCOPED_TRACE(floating ? "floating" : "docked");
        if (!floating) keypad->setFloating(false);
        // A click as a window manager passes it on: the window under the
        // pointer gets the keyboard with the press, unless it declines it.
        QTest::mousePress(pf01, Qt::LeftButton);
        QWindow* window = pf01->window()->windowHandle();
        if (window && !(window->flags() & Qt::WindowDoesNotAcceptFocus))
            pf01->window()->activateWindow();
        QApplication::processEvents();
        QTest::mouseRelease(pf01, Qt::LeftButton);
        QApplication::processEvents();
        ASSERT_EQ(fake_.LastAid(), "@1");
        fake_.RaiseEvent(PL_KBD_UNLOCKED);

        // What is typed next goes where a user's keys go.
        QWidget* keys = QApplication::focusWidget();
        EXPECT_EQ(keys, view);
        if (!keys) keys = QApplication::activeWindow();
        ASSERT_NE(keys, nullptr);
        view->SetCursorAddress(5 * 80 + 52);
        QTest::keyClicks(keys, floating ? "ABC" : "DEF");
        QTest::keyClick(keys, Qt::Key_Return);
        EXPECT_EQ(fake_.LastAid(), "@E");
        EXPECT_EQ(SentFieldText(), floating ? "ABC" : "DEF");
    }
    Click(*form, "tbConnect");
}

TEST_F(EmuFormShown, TheViewScalesWithTheWindowAndItsScreenStartsSevenPixelsDown) {
    auto form = NewShownForm();
    THostEmulator* view = form->View();
    const int col = view->ColWidth(), row = view->RowHeight();
    control_.resize(1100, 750);
    ASSERT_TRUE(WaitFor([&] { return view->ColWidth() > col; }));
    EXPECT_GT(view->RowHeight(), row);
    EXPECT_EQ(view->TopMargin(), 7);
    EXPECT_EQ(view->CellRect(0, 0).top(), 7);
    control_.resize(700, 450);
    EXPECT_TRUE(WaitFor([&] { return view->ColWidth() == col && view->RowHeight() == row; }));
    EXPECT_EQ(view->TopMargin(), 7);
}

// --- the end of a form ---

TEST_F(EmuForm, PanelMovedIntoTheControlIsFreedWithTheFormOnce) {
    SeedFakeConnection();
    QWidget control;
    auto form = NewForm();
    form->pnlEmulator->setParent(&control);
    QPointer<QWidget> panel(form->pnlEmulator);
    Click(*form, "tbConnect");
    ASSERT_TRUE(WaitForPanel(*form, 0, "ONLINE"));

    form.reset(); // ends the live session on the way
    EXPECT_TRUE(panel.isNull());
    EXPECT_TRUE(control.findChildren<QWidget*>().isEmpty());
    EXPECT_EQ(fake_.DisconnectCalls(), 1);
    QApplication::processEvents(); // the session's last report finds no form

    // A panel already freed with its window is not freed again.
    auto another = NewForm();
    {
        QWidget window;
        another->pnlEmulator->setParent(&window);
    }
    another.reset();
}

TEST_F(EmuForm, FormsAreIndependent) {
    SeedFakeConnection();
    auto first = NewForm();
    auto second = NewForm();
    Click(*first, "tbConnect");
    ASSERT_TRUE(WaitForPanel(*first, 0, "ONLINE"));
    second.reset();
    EXPECT_EQ(fake_.DisconnectCalls(), 0);
    EXPECT_NE(first->Logic().ComApi(), nullptr);
    Click(*first, "tbConnect");
    EXPECT_TRUE(WaitForPanel(*first, 0, "OFFLINE"));
}

TEST_F(EmuForm, ClosingSavesTheLayoutForTheNextStart) {
    {
        auto form = NewForm();
        form->setGeometry(20, 30, 700, 480);
        Part<QAction>(*form, "miStatusBar")->trigger();
        EXPECT_TRUE(form->close());
    }
    const TWindowLayout saved = ReadLayout({});
    EXPECT_EQ(saved.Left, 20);
    EXPECT_EQ(saved.Top, 30);
    EXPECT_EQ(saved.Width, 700);
    EXPECT_EQ(saved.Height, 480);
    EXPECT_FALSE(saved.StatusBar);
    EXPECT_TRUE(saved.Menu);

    auto next = NewForm();
    EXPECT_EQ(next->geometry(), QRect(20, 30, 700, 480));
    EXPECT_TRUE(Part<QWidget>(*next, "StatusBar")->isHidden());
    auto* pmView = Part<QMenu>(*next, "pmView");
    emit pmView->aboutToShow();
    EXPECT_FALSE(Part<QAction>(*next, "miStatusBar")->isChecked());
    EXPECT_TRUE(Part<QAction>(*next, "miToolbar")->isChecked());
}

TEST_F(EmuForm, KeypadFloatsWhereItWasLeft) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kEmuMainKey, true));
        reg.WriteBool("KeyPadV", true);
        reg.WriteInteger("KeyPadL", 300);
        reg.WriteInteger("KeyPadT", 200);
        reg.WriteInteger("KeyPadR", 390);
        reg.WriteInteger("KeyPadB", 380);
    }
    {
        auto form = NewForm();
        auto* keypad = Part<QDockWidget>(*form, "Keypad");
        EXPECT_TRUE(keypad->isFloating());
        EXPECT_FALSE(keypad->isHidden());
        EXPECT_EQ(keypad->geometry(), QRect(300, 200, 90, 180));
        form->close();
    }
    const TWindowLayout saved = ReadLayout({});
    EXPECT_TRUE(saved.KeyPadV);
    EXPECT_EQ(std::vector<int32_t>({saved.KeyPadL, saved.KeyPadT, saved.KeyPadR, saved.KeyPadB}),
              std::vector<int32_t>({300, 200, 390, 380}));
}

TEST_F(EmuForm, StoredLayoutOfAnySizeIsClampedNotOverflowed) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kEmuMainKey, true));
        for (const char* name : {"KeyPadL", "KeyPadT", "MenuL", "ToolbarT"})
            reg.WriteInteger(name, INT32_MIN);
        for (const char* name : {"KeyPadR", "KeyPadB", "MenuR", "ToolbarB"})
            reg.WriteInteger(name, INT32_MAX);
        reg.WriteInteger("Width", -5);
        reg.WriteBool("KeyPadV", true);
    }
    auto form = NewForm();
    EXPECT_EQ(form->width(), 0);
    EXPECT_TRUE(Part<QDockWidget>(*form, "Keypad")->isFloating());
}

TEST_F(EmuForm, LayoutThatCannotBeSavedDoesNotStopTheClose) {
    auto form = NewForm();
    // A damaged hive is read-only: every write into it fails.
    const std::string damaged = "[SOFTWARE\\Keldware]\n\"Broken\"=dword:zz\n";
    dir_.write("hkcu.reg", damaged);
    EXPECT_TRUE(form->close());
    form.reset();
    EXPECT_EQ(dir_.read("hkcu.reg"), damaged);
}

// --- the real 5250 engine ---

std::vector<hostsim::TTraceStep> SignOnSteps(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    auto steps = hostsim::ParseTrace(text.str());
    for (size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].fromServer && steps[i].data.size() > 100) {
            steps.resize(i + 1);
            break;
        }
    }
    return steps;
}

bool IsInputFieldAt(THostEmulator& view, int row, int col) {
    const THostBasicField* field = view.GetField(view.Cells.FieldIndex(col - 1, row - 1));
    return field && field->Row == row && field->Col == col && field->GetAttr().Has(attUnProtected);
}

TEST_F(EmuForm, SignOnScreenOfASimulatedHostThroughTheReal5250Engine) {
    const std::string trace = CORVALEN_TRACES_DIR "/tn5250-login.yml";
    if (!std::ifstream(trace)) GTEST_SKIP() << "no recorded session at " << trace;
    const auto steps = SignOnSteps(trace);
    hostsim::THostSim host;
    SeedType("TN5250", CORVALEN_BIN_DIR "/PLTn5250.so");
    SeedConnection("Host", "TN5250", "127.0.0.1;PORT=" + std::to_string(host.Port()));

    std::unique_ptr<hostsim::TSimConnection> conn;
    std::thread player([&] {
        conn = host.Accept();
        if (conn) hostsim::Replay(*conn, steps);
    });
    auto form = NewForm();
    form->pnlEmulator->resize(820, 520);
    Click(*form, "tbConnect");
    const bool online = WaitForPanel(*form, 0, "ONLINE", 10000);
    const bool shown = online && WaitFor(
                                     [&] {
                                         return IsInputFieldAt(*form->View(), 6, 53) &&
                                                IsInputFieldAt(*form->View(), 7, 53);
                                     },
                                     10000);
    if (online) Click(*form, "tbConnect");
    const bool offline = WaitForPanel(*form, 0, "OFFLINE");
    player.join();

    ASSERT_TRUE(online) << Panel(*form, 4).toStdString();
    EXPECT_TRUE(shown) << "the sign-on's input fields at row 6 and 7, column 53";
    EXPECT_TRUE(offline);
    EXPECT_EQ(form->View()->ComApi(), nullptr);
}

// --- the help pages ---

class TPageRecordingHelp : public THelpService {
public:
    using THelpService::THelpService;
    std::vector<std::string> Opened;

protected:
    void OpenPage(const std::string& path) override { Opened.push_back(path); }
};

TEST(HelpService, OpensOnlyPagesThatExistBesideTheControl) {
    TTempDir dir;
    std::filesystem::create_directory(dir.file("help"));
    dir.write("help/m_km.html", "<html></html>");
    dir.write("secret.html", "<html></html>");
    TPageRecordingHelp help(dir.path());
    EXPECT_TRUE(help.ShowTopic("m_km"));
    for (const char* topic : {"contents", "", "../secret", "/etc/passwd", "m km", "m_km.html"})
        EXPECT_FALSE(help.ShowTopic(topic)) << topic;
    EXPECT_EQ(help.Opened, std::vector<std::string>{dir.file("help/m_km.html")});
}

} // namespace
