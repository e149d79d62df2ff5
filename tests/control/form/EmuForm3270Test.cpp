// The emulator form offscreen with the real 3270 engine, its connection of
// the built-in "TN3270" type: against the host simulator, whose records are
// compared byte for byte, and against a real TN3270 host where one is
// installed. Keys are typed at the focused view, so that they pass through
// the application-wide keyboard hook as a user's keys do.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "control/dialogs/FakeDialogs.h"
#include "engine3270/support/HerculesPeer.h"
#include "engine3270/support/Stream3270.h"
#include "hostsim/HostSim.h"
#include "hostsim/TelnetUnits.h"
#include "support/TempDir.h"
#include "uEmuForm.h"
#include "uEmuSettings.h"
#include "uHelpService.h"
#include "uHostEmulator.h"

using namespace s3270;

namespace {

template <typename TPredicate> bool WaitFor(TPredicate done, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// What the view shows from a 1-based row and column on: the cells' local
// codes, an attribute cell and a null as a blank.
std::string ViewText(THostEmulator& view, int row, int col, int length) {
    std::string text;
    for (int c = col - 1; c < col - 1 + length && c < TScreenCells::kCols; ++c) {
        const uint8_t code = view.Cells.Code(c, row - 1);
        text.push_back(view.Cells.IsAttribute(c, row - 1) || code == 0 ? ' '
                                                                       : static_cast<char>(code));
    }
    return text;
}

// The view's field whose data starts at a 1-based row and column.
const THostBasicField* ViewFieldAt(THostEmulator& view, int row, int col) {
    const THostBasicField* field = view.GetField(view.Cells.FieldIndex(col - 1, row - 1));
    return field && field->Row == row && field->Col == col ? field : nullptr;
}

bool IsInputFieldAt(THostEmulator& view, int row, int col) {
    const THostBasicField* field = ViewFieldAt(view, row, col);
    return field && field->GetAttr().Has(attUnProtected);
}

class EmuForm3270 : public ::testing::Test {
protected:
    void SetUp() override { setenv("CORVALEN_REGISTRY_DIR", dir_.path().c_str(), 1); }

    // A connection of the built-in type, whose module the form finds by its
    // bare name beside the program.
    static void SeedConnection(uint16_t port) {
        const TConnTypeList types = ReadConnTypes();
        const auto type = std::find_if(types.begin(), types.end(),
                                       [](const auto& t) { return t->Name == "TN3270"; });
        ASSERT_NE(type, types.end());
        ASSERT_EQ((*type)->Module, "PLTN3270.so");
        TConnList list;
        list.push_back(std::make_unique<TConnParm>(
            TConnParm{"Mainframe", "127.0.0.1;PORT=" + std::to_string(port), "TN3270"}));
        ASSERT_TRUE(WriteConnections(list));
    }

    // The form's panel inside a window of its own, as the control holds
    // it, shown and active so that the view can take the focus.
    std::unique_ptr<TfEmulator> NewForm() {
        TEmuFormOptions options;
        options.Dialogs = &dialogs_;
        options.Help = &help_;
        auto form = std::make_unique<TfEmulator>(nullptr, options);
        auto* layout = new QVBoxLayout(&control_);
        form->pnlEmulator->setParent(&control_);
        layout->addWidget(form->pnlEmulator);
        form->pnlEmulator->show();
        control_.resize(900, 600);
        control_.show();
        control_.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&control_));
        return form;
    }

    static QString Panel(TfEmulator& form, int i) {
        auto* label = form.pnlEmulator->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
        return label ? label->text() : QString();
    }
    static bool WaitForPanel(TfEmulator& form, int i, const QString& text, int timeoutMs = 5000) {
        return WaitFor([&] { return Panel(form, i) == text; }, timeoutMs);
    }
    static void ClickConnect(TfEmulator& form) {
        auto* button = form.pnlEmulator->findChild<QToolButton*>("tbConnect");
        ASSERT_NE(button, nullptr);
        button->click();
    }
    // Keys go to whatever has the focus, as a user's do; the form gives it
    // to the view once online.
    static QWidget* Focused(TfEmulator& form) {
        QWidget* focus = QApplication::focusWidget();
        EXPECT_EQ(focus, form.View());
        return focus ? focus : form.View();
    }

    TTempDir dir_;
    QWidget control_; // outlives the form, which frees the panel inside it
    TFakeDialogs dialogs_;
    THelpService help_{"/nonexistent"};
};

// --- the host simulator ---

// The host's log-on screen: a protected title, a protected prompt, an
// 8-cell input field at row 3 from column 11 that takes the cursor.
Bytes LogonScreen() {
    return TWriteRecord(kEraseWrite, 0xC3)
        .Sba(1, 1)
        .Sf(kAttrProtectedHigh)
        .Text("CORVALEN 3270 HOST")
        .Sba(3, 2)
        .Sf(kAttrProtected)
        .Text("USER:")
        .Sba(3, 10)
        .Sf(kAttrInput)
        .Sba(3, 19)
        .Sf(kAttrSkip)
        .Sba(3, 11)
        .Ic();
}

// The host's answer: a greeting, the keyboard restored.
Bytes WelcomeScreen(const std::string& user) {
    return TWriteRecord(kEraseWrite, 0xC3).Sba(5, 1).Sf(kAttrProtected).Text("WELCOME " + user);
}

// The next record the client sends, while the form keeps running.
bool ReadRecord(hostsim::TSimConnection& conn, Bytes& record, int timeoutMs = 5000) {
    return WaitFor([&] { return conn.ReadRecord(record, std::chrono::milliseconds(10)); },
                   timeoutMs);
}

TEST_F(EmuForm3270, LogOnThroughTheKeyboardWithTheTn3270KeyMap) {
    hostsim::THostSim host(hostsim::TProtocol::TN3270);
    SeedConnection(host.Port());

    // The host's side up to its first screen runs beside the form's event
    // loop: the engine negotiates on its own threads while the form waits.
    std::unique_ptr<hostsim::TSimConnection> conn;
    bool negotiated = false;
    std::array<uint8_t, 2> tn3270eAnswer{};
    std::thread hostSide([&] {
        using namespace hostsim::telnet;
        conn = host.Accept();
        if (!conn) return;
        // A TN3270 host opens with TN3270E, which this terminal refuses.
        negotiated = conn->AskOption(DO, OPT_TN3270E, tn3270eAnswer) && conn->Negotiate();
        if (negotiated) conn->SendRecord(LogonScreen());
    });

    auto form = NewForm();
    ASSERT_EQ(form->windowTitle(), "Corvalen Terminal Emulator - Mainframe");
    ClickConnect(*form);
    const bool online = WaitForPanel(*form, 0, "ONLINE", 10000);
    THostEmulator& view = *form->View();
    const bool shown = online && WaitFor([&] { return IsInputFieldAt(view, 3, 11); });
    hostSide.join();
    ASSERT_TRUE(negotiated) << "terminal type " << (conn ? conn->TerminalType() : "none");
    EXPECT_EQ(tn3270eAnswer,
              (std::array<uint8_t, 2>{hostsim::telnet::WONT, hostsim::telnet::OPT_TN3270E}));
    ASSERT_TRUE(online) << Panel(*form, 4).toStdString();
    ASSERT_TRUE(shown) << "no input field at row 3, column 11";

    // The screen as the host placed it with its orders.
    EXPECT_EQ(ViewText(view, 1, 2, 18), "CORVALEN 3270 HOST");
    EXPECT_EQ(ViewText(view, 3, 3, 5), "USER:");
    const THostBasicField* title = ViewFieldAt(view, 1, 2);
    ASSERT_NE(title, nullptr);
    EXPECT_TRUE(title->GetAttr().Has(attProtected));
    EXPECT_FALSE(IsInputFieldAt(view, 3, 3)) << "the prompt is protected";
    EXPECT_EQ(ViewFieldAt(view, 3, 11)->Len, 8);
    EXPECT_EQ(view.GetCursorAddress(), Cell(3, 11)) << "the host's insert-cursor order";
    ASSERT_TRUE(WaitFor([&] { return view.InhibitReason().empty(); }))
        << "the screen's WCC restores the keyboard";

    // Typed into the field and sent with Enter: one Read Modified record.
    QWidget* keys = Focused(*form);
    QTest::keyClicks(keys, "ALICE");
    EXPECT_EQ(ViewText(view, 3, 11, 8), "ALICE   ");
    QTest::keyClick(keys, Qt::Key_Return);
    Bytes record;
    ASSERT_TRUE(ReadRecord(*conn, record)) << "nothing sent for Enter";
    EXPECT_EQ(record,
              Cat({{0x7D}, Address(Cell(3, 16)), {0x11}, Address(Cell(3, 11)), Host("ALICE")}));

    conn->SendRecord(WelcomeScreen("ALICE"));
    ASSERT_TRUE(WaitFor([&] { return ViewText(view, 5, 2, 13) == "WELCOME ALICE"; }));
    ASSERT_TRUE(WaitFor([&] { return view.InhibitReason().empty(); }));

    // The 3270 map: Ctrl+Shift+Z is CLEAR, a short read that carries the
    // attention byte alone (the 5250 map gives the combination nothing).
    QTest::keyClick(Focused(*form), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(ReadRecord(*conn, record)) << "nothing sent for Ctrl+Shift+Z";
    EXPECT_EQ(record, Bytes{0x6D}) << "CLEAR";

    // Pause and Esc, CLEAR and ATTN of the 5250 map, mean nothing here: the
    // record that follows them is the PA2 of Ctrl+F2, which comes after
    // anything they might have sent.
    conn->SendRecord(WelcomeScreen("AGAIN"));
    ASSERT_TRUE(WaitFor([&] { return ViewText(view, 5, 2, 13) == "WELCOME AGAIN"; }));
    ASSERT_TRUE(WaitFor([&] { return view.InhibitReason().empty(); }));
    keys = Focused(*form);
    QTest::keyClick(keys, Qt::Key_Pause);
    QTest::keyClick(keys, Qt::Key_Escape);
    QTest::keyClick(keys, Qt::Key_F2, Qt::ControlModifier);
    ASSERT_TRUE(ReadRecord(*conn, record)) << "nothing sent for Ctrl+F2";
    EXPECT_EQ(record, Bytes{0x6E}) << "PA2";

    // The user disconnects: the host sees the line close.
    ClickConnect(*form);
    EXPECT_TRUE(WaitForPanel(*form, 0, "OFFLINE"));
    EXPECT_TRUE(conn->WaitClientClosed());
    EXPECT_EQ(view.ComApi(), nullptr);
    EXPECT_TRUE(dialogs_.Messages.empty());
}

// --- a real host ---

// The echo program's form: a screen counter at row 1 column 71, a 30-cell
// input field from row 3 column 13 holding the cursor, and at row 6 from
// column 2 the first 60 bytes of the last record it read, bytes below X'40'
// and X'FF' as '.'.
std::string EchoOf(const Bytes& record) {
    Bytes shown(60, 0x40);
    for (size_t i = 0; i < record.size() && i < shown.size(); ++i)
        shown[i] = record[i] >= 0x40 && record[i] != 0xFF ? record[i] : 0x4B;
    std::string text = Local(shown);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

bool FieldHolds(THostEmulator& view, int row, int col, const std::string& data) {
    const THostBasicField* field = ViewFieldAt(view, row, col);
    return field && field->Data == data;
}

TEST_F(EmuForm3270, EchoFormOfARealHostAnswersWhatWasTyped) {
    if (!THerculesPeer::Installed())
        GTEST_SKIP() << "hercules is not installed (apt-get install hercules)";
    THerculesPeer peer;
    SeedConnection(peer.Port());

    auto form = NewForm();
    ClickConnect(*form);
    ASSERT_TRUE(WaitForPanel(*form, 0, "ONLINE", 10000)) << Panel(*form, 4).toStdString() << "\n"
                                                         << peer.LogTail();
    THostEmulator& view = *form->View();
    ASSERT_TRUE(WaitFor([&] { return ViewText(view, 1, 2, 14) == "PEER TEST LOGO"; }, 10000))
        << peer.LogTail();
    ASSERT_TRUE(WaitFor([&] { return view.InhibitReason().empty(); }));

    // Enter on the logo brings up the form.
    QTest::keyClick(Focused(*form), Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return FieldHolds(view, 1, 71, "No. 001"); }, 10000))
        << peer.LogTail();
    ASSERT_TRUE(IsInputFieldAt(view, 3, 13));
    EXPECT_EQ(view.GetCursorAddress(), Cell(3, 13));
    ASSERT_TRUE(WaitFor([&] { return view.InhibitReason().empty(); }));

    QWidget* keys = Focused(*form);
    QTest::keyClicks(keys, "HELLO WORLD");
    QTest::keyClick(keys, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return FieldHolds(view, 1, 71, "No. 002"); }, 10000))
        << peer.LogTail();
    const Bytes sent =
        Cat({{0x7D}, Address(Cell(3, 24)), {0x11}, Address(Cell(3, 13)), Host("HELLO WORLD")});
    EXPECT_EQ(ViewText(view, 6, 2, static_cast<int>(EchoOf(sent).size())), EchoOf(sent));
    EXPECT_TRUE(FieldHolds(view, 3, 13, "")) << "the new form's input field is empty";

    ClickConnect(*form);
    EXPECT_TRUE(WaitForPanel(*form, 0, "OFFLINE"));
    EXPECT_TRUE(dialogs_.Messages.empty());
}

} // namespace
