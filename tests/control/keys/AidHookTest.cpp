#include <gtest/gtest.h>

#include <QtGui/QAction>
#include <QtGui/QKeyEvent>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QWidget>

#include <memory>
#include <string>
#include <vector>

#include "uAidHook.h"
#include "uKbdMapping.h"
#include "uQtKeys.h"

namespace {

// A widget that records the key events that reach it.
class TKeyRecorder : public QWidget {
public:
    explicit TKeyRecorder(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::StrongFocus); }
    std::vector<std::string> Seen; // "+F1" press, "-F1" release

protected:
    void keyPressEvent(QKeyEvent* e) override { Seen.push_back("+" + Name(e)); }
    void keyReleaseEvent(QKeyEvent* e) override { Seen.push_back("-" + Name(e)); }

private:
    static std::string Name(QKeyEvent* e) {
        return QKeySequence(e->key()).toString().toStdString();
    }
};

class AidHook : public ::testing::Test {
protected:
    void SetUp() override {
        SetDistinguishLeftRight(false);
        Load5250KeyMap();
        auto* layout = new QHBoxLayout(&window_);
        view_ = new TKeyRecorder(&window_);
        inner_ = new TKeyRecorder(view_); // a widget inside the view
        other_ = new TKeyRecorder(&window_);
        layout->addWidget(view_);
        layout->addWidget(other_);
        window_.show();
        window_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
        hook_ = NewHook(aids_);
        Focus(view_);
    }

    void TearDown() override {
        hook_.reset();
        SetDistinguishLeftRight(false);
        Load5250KeyMap();
    }

    std::unique_ptr<TAidHook> NewHook(std::vector<std::string>& into) {
        auto hook = std::make_unique<TAidHook>();
        hook->Control = view_;
        hook->OnAidKey = [&into](const std::string& name) {
            into.push_back(name);
            return true;
        };
        return hook;
    }

    static void Focus(QWidget* w) {
        w->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), w);
    }

    // A key event as X11 delivers it, with its native key symbol.
    static void SendNative(QWidget* to, QEvent::Type type, int key, Qt::KeyboardModifiers mods,
                           quint32 keysym, bool autoRepeat = false) {
        QKeyEvent e(type, key, mods, 0, keysym, 0, QString(), autoRepeat);
        QApplication::sendEvent(to, &e);
    }

    QWidget window_;
    TKeyRecorder* view_ = nullptr;
    TKeyRecorder* inner_ = nullptr;
    TKeyRecorder* other_ = nullptr;
    std::vector<std::string> aids_;
    std::unique_ptr<TAidHook> hook_;
};

using Strings = std::vector<std::string>;

TEST_F(AidHook, AttentionKeysGoToTheHookAndNeverReachTheView) {
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        const char* aid;
    } cases[] = {
        {Qt::Key_Return, Qt::NoModifier, "ENTER"},
        {Qt::Key_Enter, Qt::KeypadModifier, "ENTER"},
        {Qt::Key_Return, Qt::ShiftModifier, "ENTER"},
        {Qt::Key_Escape, Qt::NoModifier, "ATTN"},
        {Qt::Key_F10, Qt::NoModifier, "PF10"},
        {Qt::Key_F3, Qt::ShiftModifier, "PF15"},
        {Qt::Key_PageDown, Qt::NoModifier, "PAGE-DOWN"},
        {Qt::Key_Pause, Qt::AltModifier, "TESTREQ"},
        {Qt::Key_SysReq, Qt::AltModifier, "SYSREQ"},
    };
    for (const auto& c : cases) {
        aids_.clear();
        view_->Seen.clear();
        QTest::keyClick(view_, c.key, c.mods);
        EXPECT_EQ(aids_, Strings{c.aid}) << c.aid;
        for (const std::string& seen : view_->Seen) // only the modifier keys themselves
            EXPECT_TRUE(seen == "+Shift" || seen == "-Shift" || seen == "+Alt" || seen == "-Alt")
                << c.aid << ": view saw " << seen;
    }
}

TEST_F(AidHook, OtherKeysReachTheViewUnchanged) {
    QTest::keyClick(view_, Qt::Key_A);
    QTest::keyClick(view_, Qt::Key_Delete);                     // a local function
    QTest::keyClick(view_, Qt::Key_Plus, Qt::KeypadModifier);   // FIELD+, local
    QTest::keyClick(view_, Qt::Key_Pause, Qt::ControlModifier); // no entry
    EXPECT_TRUE(aids_ == Strings{"RESET"}) << "only the Ctrl key itself is an attention key";
    const Strings expected{"+A", "-A", "+Del", "-Del", "++", "-+", "+Pause", "-Pause"};
    Strings plain;
    for (const auto& s : view_->Seen)
        if (s != "+Ctrl" && s != "-Ctrl") plain.push_back(s);
    EXPECT_EQ(plain, expected);
}

TEST_F(AidHook, EachPressSendsOneAttentionKeyAutoRepeatsIncluded) {
    SendNative(view_, QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier, 0);
    SendNative(view_, QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier, 0, true);
    SendNative(view_, QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier, 0, true);
    SendNative(view_, QEvent::KeyRelease, Qt::Key_F5, Qt::NoModifier, 0);
    EXPECT_EQ(aids_, (Strings{"PF5", "PF5", "PF5"}));
    EXPECT_TRUE(view_->Seen.empty());
}

TEST_F(AidHook, FocusInsideTheViewCountsAsTheView) {
    Focus(inner_);
    QTest::keyClick(inner_, Qt::Key_F1);
    EXPECT_EQ(aids_, Strings{"PF1"});
    EXPECT_TRUE(inner_->Seen.empty());
}

TEST_F(AidHook, KeysOfAWidgetOutsideTheViewAreLeftAlone) {
    Focus(other_);
    QTest::keyClick(other_, Qt::Key_Return);
    QTest::keyClick(other_, Qt::Key_F1);
    EXPECT_TRUE(aids_.empty());
    EXPECT_EQ(other_->Seen, (Strings{"+Return", "-Return", "+F1", "-F1"}));
}

TEST_F(AidHook, WindowShortcutDoesNotTakeAnAttentionKeyFromTheView) {
    int triggered = 0;
    QAction action(&window_);
    action.setShortcut(Qt::Key_F3);
    QObject::connect(&action, &QAction::triggered, [&] { ++triggered; });
    window_.addAction(&action);

    QTest::keyClick(view_, Qt::Key_F3);
    EXPECT_EQ(aids_, Strings{"PF3"});
    EXPECT_EQ(triggered, 0);

    Focus(other_);
    QTest::keyClick(other_, Qt::Key_F3);
    EXPECT_EQ(triggered, 1);
}

TEST_F(AidHook, RightCtrlGivesPaKeysWhereX11TellsTheHandsApart) {
    SetDistinguishLeftRight(true);
    SendNative(view_, QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier, kXkControlR);
    SendNative(view_, QEvent::KeyPress, Qt::Key_F1, Qt::ControlModifier, 0);
    SendNative(view_, QEvent::KeyRelease, Qt::Key_F1, Qt::ControlModifier, 0);
    SendNative(view_, QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier, kXkControlR);
    EXPECT_EQ(aids_, Strings{"PA1"});

    aids_.clear();
    view_->Seen.clear();
    SendNative(view_, QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier, kXkControlL);
    SendNative(view_, QEvent::KeyPress, Qt::Key_F1, Qt::ControlModifier, 0);
    SendNative(view_, QEvent::KeyRelease, Qt::Key_F1, Qt::ControlModifier, 0);
    SendNative(view_, QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier, kXkControlL);
    EXPECT_EQ(aids_, Strings{"RESET"}) << "left Ctrl alone is RESET, left Ctrl+F1 nothing";
    EXPECT_EQ(view_->Seen, (Strings{"+F1", "-F1"}));
}

TEST_F(AidHook, CtrlWithoutNativeHandCountsAsBothHands) {
    QTest::keyClick(view_, Qt::Key_F1, Qt::ControlModifier);
    EXPECT_EQ(aids_, (Strings{"RESET", "PA1"}));
}

TEST_F(AidHook, HookDestroyedByAnotherHooksViewLeavesTheWalkSound) {
    std::vector<std::string> secondAids;
    std::unique_ptr<TAidHook> second = NewHook(secondAids);
    // The first hook's view tears down both hooks, its own included, while
    // its key is being handled.
    hook_->OnAidKey = [&aids = aids_, &first = hook_, &second](const std::string& name) {
        second.reset();
        first.reset();
        aids.push_back(name); // the handler runs on after its hook is gone
        return true;
    };
    QTest::keyClick(view_, Qt::Key_F2);
    EXPECT_EQ(aids_, Strings{"PF2"});
    EXPECT_TRUE(secondAids.empty());
    EXPECT_FALSE(hook_);
    // With no hook left the filter is gone: the release of that key, and
    // the next key, reach the view.
    QTest::keyClick(view_, Qt::Key_F2);
    EXPECT_EQ(aids_, Strings{"PF2"});
    EXPECT_EQ(view_->Seen, (Strings{"-F2", "+F2", "-F2"}));
}

TEST_F(AidHook, HookCreatedWhileAKeyIsHandledTakesLaterKeys) {
    std::vector<std::string> laterAids;
    std::unique_ptr<TAidHook> later;
    hook_->OnAidKey = [&](const std::string& name) {
        aids_.push_back(name);
        if (!later) {
            later = NewHook(laterAids);
            hook_.reset(); // the later hook now serves the view alone
        }
        return true;
    };
    QTest::keyClick(view_, Qt::Key_F4);
    QTest::keyClick(view_, Qt::Key_F6);
    EXPECT_EQ(aids_, Strings{"PF4"});
    EXPECT_EQ(laterAids, Strings{"PF6"});
    EXPECT_TRUE(view_->Seen.empty());
}

TEST_F(AidHook, HookWhoseViewIsGoneClaimsNothing) {
    auto* doomed = new TKeyRecorder(&window_);
    std::vector<std::string> doomedAids;
    auto orphan = NewHook(doomedAids);
    orphan->Control = doomed;
    delete doomed;
    QTest::keyClick(view_, Qt::Key_F7);
    EXPECT_TRUE(doomedAids.empty());
    EXPECT_EQ(aids_, Strings{"PF7"});
}

// The shift state that X11 key events give, through the whole sequence of
// presses and releases of the modifier keys.
class ModifierHands : public ::testing::Test {
protected:
    void SetUp() override { SetDistinguishLeftRight(true); }
    void TearDown() override { SetDistinguishLeftRight(false); }

    int Press(int key, Qt::KeyboardModifiers mods, quint32 keysym = 0) {
        return ShiftStateIndex(
            hands_.Observe(QKeyEvent(QEvent::KeyPress, key, mods, 0, keysym, 0)));
    }
    int Release(int key, Qt::KeyboardModifiers mods, quint32 keysym = 0) {
        return ShiftStateIndex(
            hands_.Observe(QKeyEvent(QEvent::KeyRelease, key, mods, 0, keysym, 0)));
    }
    TModifierHands hands_;
};

TEST_F(ModifierHands, ModifierKeyCountsAsHeldDuringItsOwnPressAndRelease) {
    EXPECT_EQ(Press(Qt::Key_Control, Qt::NoModifier, kXkControlL), 2);
    EXPECT_EQ(Release(Qt::Key_Control, Qt::ControlModifier, kXkControlL), 2);
    EXPECT_EQ(Press(Qt::Key_F1, Qt::NoModifier), 0);
}

TEST_F(ModifierHands, BothCtrlKeysTogetherAreSeen) {
    Press(Qt::Key_Control, Qt::NoModifier, kXkControlL);
    EXPECT_EQ(Press(Qt::Key_Control, Qt::ControlModifier, kXkControlR), 4);
    EXPECT_EQ(Release(Qt::Key_Control, Qt::ControlModifier, kXkControlL), 4);
    EXPECT_EQ(Press(Qt::Key_F1, Qt::ControlModifier), 7);
}

TEST_F(ModifierHands, AltGrCountsAsRightAltThoughX11ReportsNoAlt) {
    EXPECT_EQ(Press(Qt::Key_AltGr, Qt::NoModifier, kXkIsoLevel3Shift), 14);
    EXPECT_EQ(Press(Qt::Key_Home, Qt::NoModifier), 14);
    EXPECT_EQ(Press(Qt::Key_Home, Qt::ShiftModifier), 15);
    Release(Qt::Key_AltGr, Qt::NoModifier, kXkIsoLevel3Shift);
    EXPECT_EQ(Press(Qt::Key_Home, Qt::NoModifier), 0);
}

TEST_F(ModifierHands, HandReleasedInAnotherApplicationIsForgotten) {
    Press(Qt::Key_Alt, Qt::NoModifier, kXkAltR);
    EXPECT_EQ(Press(Qt::Key_Pause, Qt::AltModifier), 14);
    // Alt went up while another window had the keyboard; then the user
    // comes back and presses left Alt.
    EXPECT_EQ(Press(Qt::Key_Pause, Qt::NoModifier), 0);
    EXPECT_EQ(Press(Qt::Key_Alt, Qt::NoModifier, kXkAltL), 11);
}

TEST(QtKeys, KeysTranslateToTheCodesTheMapsUse) {
    const struct {
        int key;
        Qt::KeyboardModifiers mods;
        int vk;
    } cases[] = {
        {Qt::Key_Backtab, Qt::ShiftModifier, 0x09}, {Qt::Key_SysReq, Qt::AltModifier, 0x2C},
        {Qt::Key_F24, Qt::NoModifier, 0x87},        {Qt::Key_F25, Qt::NoModifier, 0},
        {Qt::Key_5, Qt::NoModifier, '5'},           {Qt::Key_5, Qt::KeypadModifier, 0x65},
        {Qt::Key_Plus, Qt::KeypadModifier, 0x6B},   {Qt::Key_Plus, Qt::ShiftModifier, 0},
        {Qt::Key_Home, Qt::KeypadModifier, 0x24},   {Qt::Key_AltGr, Qt::NoModifier, 0x12},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VirtualKeyOf(c.key, c.mods), c.vk) << std::hex << c.key;
}

} // namespace
