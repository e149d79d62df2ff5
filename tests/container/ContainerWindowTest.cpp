// The container window: it finds Velmora.so through the class's registration
// or beside the program (this test program lives beside it), embeds the
// control, and lets everything go when it closes.
#include <QApplication>
#include <QPointer>
#include <QTest>

#include "ContainerWindow.h"
#include "WindowPlacement.h"
#include "support/VelmoraTestSupport.h"

namespace {

class ContainerWindow : public TRegistryFixture {
protected:
    void TearDown() override {
        EXPECT_EQ(module_.CanUnloadNow(), S_OK);
        TRegistryFixture::TearDown();
    }
    static void SetRegisteredPath(const std::string& path) {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(
            "\\Software\\Classes\\CLSID\\" + CLASS_Velmora.ToString() + "\\InprocServer32", false));
        reg.WriteString("", path);
    }
    TVelmoraModule module_;
};

TEST_F(ContainerWindow, LoadsTheControlFromBesideTheProgramWhenItIsNotRegistered) {
    TContainerWindow window;
    EXPECT_EQ(window.ControlWidget(), nullptr);
    ASSERT_EQ(window.LoadControl(), QString());
    QWidget* control = window.ControlWidget();
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget(), window.centralWidget());
    EXPECT_NE(control->findChild<QWidget*>(QStringLiteral("pnlEmulator")), nullptr);
    EXPECT_EQ(module_.CanUnloadNow(), S_FALSE);
    // A second load keeps the control that is there.
    EXPECT_EQ(window.LoadControl(), QString());
    EXPECT_EQ(window.ControlWidget(), control);
}

TEST_F(ContainerWindow, LoadsTheModuleItsRegistrationNames) {
    ASSERT_EQ(module_.RegisterServer(), S_OK);
    {
        TContainerWindow window;
        EXPECT_EQ(window.LoadControl(), QString());
        EXPECT_NE(window.ControlWidget(), nullptr);
    }
    // The registration is followed, not passed over for the module beside
    // the program.
    SetRegisteredPath("/nonexistent/Velmora.so");
    TContainerWindow window;
    const QString error = window.LoadControl();
    EXPECT_TRUE(error.contains(QStringLiteral("/nonexistent/Velmora.so"))) << error.toStdString();
    EXPECT_EQ(window.ControlWidget(), nullptr);
}

TEST_F(ContainerWindow, ARegisteredModuleThatIsNoControlIsReported) {
    ASSERT_EQ(module_.RegisterServer(), S_OK);
    SetRegisteredPath(std::string(CORVALEN_BIN_DIR) + "/log32.so");
    TContainerWindow window;
    EXPECT_TRUE(window.LoadControl().contains(QStringLiteral("is not a control module")));
}

TEST_F(ContainerWindow, ClosingReleasesTheControlAndItsFormSavesItsLayout) {
    TContainerWindow window;
    ASSERT_EQ(window.LoadControl(), QString());
    window.show();
    QPointer<QWidget> control = window.ControlWidget();
    QPointer<QWidget> panel = control->findChild<QWidget*>(QStringLiteral("pnlEmulator"));
    EXPECT_TRUE(panel->isVisible());
    window.close();
    EXPECT_EQ(window.ControlWidget(), nullptr);
    EXPECT_FALSE(control);
    EXPECT_FALSE(panel);
    EXPECT_EQ(module_.CanUnloadNow(), S_OK);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\Keldware\\Pallisor\\Corvalen"));
    EXPECT_TRUE(reg.ValueExists("Width"));
}

TEST_F(ContainerWindow, DestroyingTheWindowWithoutClosingItReleasesTheControl) {
    QPointer<QWidget> control;
    {
        TContainerWindow window;
        ASSERT_EQ(window.LoadControl(), QString());
        window.show();
        control = window.ControlWidget();
    }
    EXPECT_FALSE(control);
}

} // namespace

namespace {

TEST(WindowPlacement, TheLastPlaceIsKeptOnlyWhereItStillFitsAScreen) {
    const TScreenArea large{0, 0, 1280, 1024}, right{1280, 0, 1920, 1080}, small{0, 0, 800, 600};
    const TWindowPlacement onRight{{1400, 100, 900, 700}, true};
    struct TCase {
        std::optional<TWindowPlacement> Stored;
        std::vector<TScreenArea> Screens;
        TWindowPlacement Expected;
    } cases[] = {
        // First run: the default size, centred on the primary screen.
        {std::nullopt, {large}, {{140, 172, 1000, 680}, false}},
        {onRight, {large, right}, onRight},
        // That screen is gone, or the place reaches past every screen's edge.
        {onRight, {large}, {{140, 172, 1000, 680}, false}},
        {TWindowPlacement{{1000, 500, 600, 600}, false},
         {large, right},
         {{140, 172, 1000, 680}, false}},
        // A small screen cuts the default size to its own.
        {std::nullopt, {small}, {{0, 0, 800, 600}, false}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InitialPlacement(c.Stored, c.Screens), c.Expected);
}

TEST_F(ContainerWindow, ReopensWhereItWasClosed) {
    {
        TContainerWindow window;
        window.setGeometry(30, 40, 600, 420);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.close();
    }
    TContainerWindow again;
    EXPECT_EQ(again.geometry(), QRect(30, 40, 600, 420));
}

TEST_F(ContainerWindow, TheViewFollowsTheWindowAsItGrowsAndShrinks) {
    TContainerWindow window;
    ASSERT_EQ(window.LoadControl(), QString());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* view = window.ControlWidget()->findChild<QWidget*>(QStringLiteral("Fhe"));
    ASSERT_NE(view, nullptr);
    const QSize first = view->size();
    window.resize(1100, 760);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return view->width() > first.width() && view->height() > first.height(); }));
    window.resize(500, 350);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return window.size() == QSize(500, 350) && view->width() < first.width() &&
               view->height() < first.height();
    }));
}

} // namespace
