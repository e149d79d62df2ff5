// The screen properties dialog on the offscreen platform.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <cstdlib>

#include "control/dialogs/FakeDialogs.h"
#include "support/TempDir.h"
#include "uScreenGrid.h"
#include "uScreenProps.h"

namespace {

TEST(EmuProp, OpensWithItsCaptionAndOkAppliesTheShownStyleToTheView) {
    TTempDir dir;
    setenv("CORVALEN_REGISTRY_DIR", dir.path().c_str(), 1);
    TFakeDialogs dialogs;
    TScreenGrid view;
    view.StyleDetail.BackColor = 0x800000;
    TfEmuProp dlg(dialogs, view, "", {});
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Screen Properties");
    EXPECT_FALSE(dlg.grab().isNull());
    EXPECT_EQ(dlg.findChild<QComboBox*>("colBack")->currentText(), "Navy");
    EXPECT_FALSE(dlg.findChild<QPushButton*>("bSave")->isEnabled());
    dlg.findChild<QComboBox*>("colBack")->setCurrentIndex(17);
    std::vector<std::string> profiles;
    std::string result;
    dlg.Apply(profiles, result);
    EXPECT_EQ(view.StyleDetail.BackColor, 0xFFFFFFu);
    EXPECT_EQ(result, "Default");
    EXPECT_EQ(profiles, std::vector<std::string>{"Default"});
}

TEST(EmuProp, HelpOpensTheScreenPropertiesTopic) {
    TTempDir dir;
    setenv("CORVALEN_REGISTRY_DIR", dir.path().c_str(), 1);
    TFakeDialogs dialogs;
    TScreenGrid view;
    TfEmuProp dlg(dialogs, view, "", {});
    std::vector<std::string> topics;
    dlg.ShowHelp = [&topics](const std::string& topic) { topics.push_back(topic); };
    dlg.findChild<QPushButton*>("bHelp")->click();
    EXPECT_EQ(topics, std::vector<std::string>{"d_screenprop"});
}

} // namespace
