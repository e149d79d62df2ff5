// The whole road, as a user takes it: the container window loads the control
// from its module, the stored connection leads to a host on loopback, a
// click on Connect opens the session through the 5250 module, and keys typed
// into the view go out as the ENTER record the host reads. The host answers
// with a menu, whose input field takes the next choice: proof that the next
// screen was shown and is editable. Only what a user sees and does is used:
// widgets found by their names, the status panels, mouse clicks and keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>

#include "ContainerWindow.h"
#include "hostsim/DemoSession.h"
#include "hostsim/HostSim.h"
#include "support/TempDir.h"
#include "uEmuSettings.h"

using namespace std::chrono_literals;
using hostsim::TInputRecord;
using hostsim::TScreenAddress;

namespace {

// Long enough for a loaded machine; a passing run never waits this long.
constexpr int kWaitMs = 15000;

// The host's side, on a thread of its own: sign-on, the ENTER record, the
// menu, the next ENTER record, the menu again, then the client's close.
class THostSide {
public:
    enum TStage { Waiting, SignOnSent, MenuSent, MenuAgainSent, ClientClosed, Failed };

    explicit THostSide(hostsim::THostSim& host) : thread_([this, &host] { Run(host); }) {}
    ~THostSide() { thread_.join(); }

    TStage Stage() const {
        std::lock_guard lock(mutex_);
        return stage_;
    }
    std::string Error() const {
        std::lock_guard lock(mutex_);
        return error_;
    }
    // What the client sent from the sign-on screen and from the menu.
    std::optional<TInputRecord> SignOnInput() const {
        std::lock_guard lock(mutex_);
        return signOnInput_;
    }
    std::optional<TInputRecord> MenuInput() const {
        std::lock_guard lock(mutex_);
        return menuInput_;
    }

private:
    void Run(hostsim::THostSim& host) {
        auto conn = host.Accept(std::chrono::milliseconds(kWaitMs));
        if (!conn) return Fail("no client connected");
        if (!conn->Negotiate()) return Fail("the negotiation failed");
        conn->SendRecord(hostsim::SignOnScreen());
        Advance(SignOnSent);
        hostsim::Bytes record;
        if (!conn->ReadRecord(record, std::chrono::milliseconds(kWaitMs)))
            return Fail("no record from the sign-on screen");
        Keep(signOnInput_, record);
        conn->SendRecord(hostsim::MenuScreen());
        Advance(MenuSent);
        if (!conn->ReadRecord(record, std::chrono::milliseconds(kWaitMs)))
            return Fail("no record from the menu");
        Keep(menuInput_, record);
        conn->SendRecord(hostsim::MenuScreen());
        Advance(MenuAgainSent);
        if (!conn->WaitClientClosed(std::chrono::milliseconds(kWaitMs)))
            return Fail("the client kept the session after its window closed");
        Advance(ClientClosed);
    }
    void Keep(std::optional<TInputRecord>& slot, const hostsim::Bytes& record) {
        std::lock_guard lock(mutex_);
        slot = hostsim::ParseInputRecord(record);
    }
    void Advance(TStage stage) {
        std::lock_guard lock(mutex_);
        stage_ = stage;
    }
    void Fail(const std::string& error) {
        std::lock_guard lock(mutex_);
        error_ = error;
        stage_ = Failed;
    }

    mutable std::mutex mutex_;
    TStage stage_ = Waiting;
    std::string error_;
    std::optional<TInputRecord> signOnInput_, menuInput_;
    std::thread thread_;
};

std::vector<std::pair<TScreenAddress, std::string>> Fields(const TInputRecord& input) {
    std::vector<std::pair<TScreenAddress, std::string>> out;
    for (const auto& f : input.Fields)
        out.emplace_back(f.Address, f.Text);
    return out;
}

QString Address(TScreenAddress at) {
    return QStringLiteral("%1,%2").arg(at.Row).arg(at.Col);
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        // A registry of the test's own, holding one stored connection.
        setenv("CORVALEN_REGISTRY_DIR", registry_.path().c_str(), 1);
        TConnList connections;
        connections.push_back(std::make_unique<TConnParm>(
            TConnParm{"Demo", "127.0.0.1;PORT=" + std::to_string(host_.Port()), "TN5250"}));
        ASSERT_TRUE(WriteConnections(connections));
    }

    // Polls the event loop until `done` holds; false after kWaitMs.
    template <typename F> static bool WaitUntil(F done) { return QTest::qWaitFor(done, kWaitMs); }

    TTempDir registry_;
    hostsim::THostSim host_;
};

TEST_F(EndToEnd, TypedSignOnReachesTheHostAndTheMenuThatFollowsTakesInput) {
    THostSide hostSide(host_);
    auto window = std::make_unique<TContainerWindow>();
    const QString loadError = window->LoadControl();
    ASSERT_TRUE(loadError.isEmpty()) << loadError.toStdString();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    QWidget* control = window->ControlWidget();
    ASSERT_NE(control, nullptr);
    auto* tbConnect = control->findChild<QToolButton*>(QStringLiteral("tbConnect"));
    auto* view = control->findChild<QWidget*>(QStringLiteral("Fhe"));
    QLabel* panel[5] = {};
    for (int i = 0; i < 5; ++i) {
        panel[i] = control->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
        ASSERT_NE(panel[i], nullptr) << "StatusPanel" << i;
    }
    ASSERT_NE(tbConnect, nullptr);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(panel[0]->text(), QStringLiteral("OFFLINE"));

    // The button's own part, left of its drop-down arrow.
    QTest::mouseClick(tbConnect, Qt::LeftButton, {}, QPoint(4, tbConnect->height() / 2));
    ASSERT_TRUE(WaitUntil([&] { return panel[0]->text() == QStringLiteral("ONLINE"); }))
        << "status: " << panel[0]->text().toStdString() << ", error panel: \""
        << panel[4]->text().toStdString() << "\", host: " << hostSide.Error();

    // The sign-on screen is in once the cursor stands in its user field.
    ASSERT_TRUE(WaitUntil([&] { return panel[3]->text() == Address(hostsim::kSignOnUserField); }))
        << "cursor at " << panel[3]->text().toStdString();
    EXPECT_EQ(QApplication::focusWidget(), view) << "the view takes the focus when online";

    QTest::keyClicks(view, QStringLiteral("DEMO"));
    QTest::keyClick(view, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return hostSide.Stage() >= THostSide::MenuSent; }))
        << hostSide.Error();
    const auto signOn = hostSide.SignOnInput();
    ASSERT_TRUE(signOn) << "the host could not read the ENTER record";
    EXPECT_EQ(signOn->Aid, hostsim::kAidEnter);
    // Only the field typed into is modified; the cursor stands after the text.
    EXPECT_EQ(Fields(*signOn), (std::vector<std::pair<TScreenAddress, std::string>>{
                                   {hostsim::kSignOnUserField, "DEMO"}}));
    EXPECT_EQ(signOn->Cursor, (TScreenAddress{6, 57}));

    // The menu is shown, with the cursor in its field and the keyboard free.
    ASSERT_TRUE(WaitUntil([&] {
        return panel[3]->text() == Address(hostsim::kMenuOptionField) && panel[1]->text().isEmpty();
    })) << "cursor at "
        << panel[3]->text().toStdString() << ", inhibit \"" << panel[1]->text().toStdString()
        << "\"";

    QTest::keyClicks(view, QStringLiteral("1"));
    QTest::keyClick(view, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return hostSide.Stage() >= THostSide::MenuAgainSent; }))
        << hostSide.Error();
    const auto menu = hostSide.MenuInput();
    ASSERT_TRUE(menu) << "the host could not read the ENTER record";
    EXPECT_EQ(menu->Aid, hostsim::kAidEnter);
    EXPECT_EQ(Fields(*menu), (std::vector<std::pair<TScreenAddress, std::string>>{
                                 {hostsim::kMenuOptionField, "1"}}));
    EXPECT_EQ(panel[0]->text(), QStringLiteral("ONLINE"));

    // Closing the window ends the session: the host sees the client go.
    window->close();
    window.reset();
    EXPECT_TRUE(WaitUntil([&] { return hostSide.Stage() >= THostSide::ClientClosed; }))
        << hostSide.Error();
}

} // namespace
