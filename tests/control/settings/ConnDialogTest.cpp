// The connection dialogs on the offscreen platform, answered by a fake
// instead of modal message boxes. Own main with the QApplication.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "control/dialogs/FakeDialogs.h"
#include "uCfgConnDlg.h"
#include "uConnParam.h"

namespace {

template <class W> W* Child(QWidget& parent, const char* name) {
    W* w = parent.findChild<W*>(QLatin1String(name));
    if (!w) ADD_FAILURE() << "no " << name;
    return w;
}

const TConnType kVirtual{"Virtual", "", 0}, k3270{"tn3270", "", 1}, k5250{"TN5250", "", 2},
    kHttp{"HTTP", "", 3};

TEST(CfgConnDlg, BadPortKeepsDialogOpenWithFocusOnPortThenOkWritesRecord) {
    TFakeDialogs dialogs;
    TfrmCfgConnDlg dlg(dialogs);
    for (const TConnType* t : {&kVirtual, &k3270, &k5250})
        dlg.AddType(*t);
    TConnParm conn{"Main", "host1;trm=ibm-3179-2;DEV= lu01", "TN3270"};
    dlg.LoadConnection(&conn);
    dlg.show();

    auto* notebook = Child<QStackedWidget>(dlg, "Notebook");
    EXPECT_EQ(notebook->currentWidget()->objectName(), "TN3270");
    EXPECT_EQ(Child<QComboBox>(dlg, "cbConnType")->currentText(), "tn3270");
    EXPECT_EQ(Child<QComboBox>(dlg, "cbTn3270TermType")->currentText(), "IBM-3179-2");
    EXPECT_EQ(Child<QLineEdit>(dlg, "edtTn3270LUName")->text(), "lu01"); // upper case only as typed
    EXPECT_FALSE(Child<QPushButton>(dlg, "bHTTP")->isEnabled());

    auto* port = Child<QLineEdit>(dlg, "edtTn3270Port");
    port->setText("2x3");
    Child<QPushButton>(dlg, "btnOk")->click();
    EXPECT_EQ(dialogs.Messages, std::vector<std::string>{"Invalid input value"});
    EXPECT_EQ(dlg.focusWidget(), port);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(conn.Param, "host1;trm=ibm-3179-2;DEV= lu01");

    port->setText("2023");
    Child<QPushButton>(dlg, "btnOk")->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(conn.Param, "host1;PORT=2023;TRM=IBM-3179-2;DEV=lu01");
    EXPECT_EQ(conn.ConnType, "tn3270");
}

TEST(CfgConnDlg, LUNameTakesEightUpperCaseCharactersTyped) {
    TFakeDialogs dialogs;
    TfrmCfgConnDlg dlg(dialogs);
    for (const TConnType* t : {&kVirtual, &k3270, &k5250})
        dlg.AddType(*t);
    TConnParm conn{"Main", "host1;DEV=LONGLUNAME", "TN3270"};
    dlg.LoadConnection(&conn);
    dlg.show();
    auto* lu = Child<QLineEdit>(dlg, "edtTn3270LUName");
    EXPECT_EQ(lu->text(), "LONGLUNAME"); // a stored name is shown whole
    lu->selectAll();
    QTest::keyClicks(lu, "abcdefghij");
    EXPECT_EQ(lu->text(), "ABCDEFGH");
    QTest::keyClick(lu, Qt::Key_Home);
    QTest::keyClicks(lu, "k");
    EXPECT_EQ(lu->text(), "ABCDEFGH");
    Child<QPushButton>(dlg, "btnOk")->click();
    EXPECT_EQ(conn.Param, "host1;DEV=ABCDEFGH");
}

TEST(CfgConnDlg, ChoosingATypeShowsItsPage) {
    TFakeDialogs dialogs;
    TfrmCfgConnDlg dlg(dialogs);
    for (const TConnType* t : {&kVirtual, &k3270, &k5250})
        dlg.AddType(*t);
    dlg.ClearFields();
    auto* notebook = Child<QStackedWidget>(dlg, "Notebook");
    EXPECT_EQ(notebook->currentWidget()->objectName(), "Virtual");
    Child<QComboBox>(dlg, "cbConnType")->setCurrentIndex(2);
    EXPECT_EQ(notebook->currentWidget()->objectName(), "TN5250");
    Child<QComboBox>(dlg, "cbConnType")->setCurrentIndex(-1);
    EXPECT_EQ(notebook->currentWidget()->objectName(), "Vacia");
}

// Runs Execute and, inside its modal loop, the steps, then the closing button.
TConnListResult RunList(TFConParam& dlg, const TConnParm* current, TConnList& list,
                        std::function<void()> steps, const char* closeWith) {
    QTimer::singleShot(0, &dlg, [&dlg, steps, closeWith] {
        steps();
        Child<QPushButton>(dlg, closeWith)->click();
    });
    return dlg.Execute(current, list, {&kVirtual, &kHttp, &k3270, &k5250});
}

TConnList TwoConnections() {
    TConnList list;
    list.push_back(std::make_unique<TConnParm>(TConnParm{"a", "h1", "TN5250"}));
    list.push_back(std::make_unique<TConnParm>(TConnParm{"b", "h2", "TN5250"}));
    return list;
}

TEST(ConnParamDlg, DeleteAnsweredNoKeepsTheRowAndHttpIsNotOffered) {
    TFakeDialogs dialogs;
    TFConParam dlg(dialogs);
    TConnList list = TwoConnections();
    TConnParm* b = list[1].get();
    dialogs.Answers = {TMsgAnswer::No};
    auto r = RunList(
        dlg, b, list,
        [&] {
            auto* lv = Child<QTreeWidget>(dlg, "lvConn");
            EXPECT_EQ(lv->currentItem()->text(0), "b");
            Child<QPushButton>(dlg, "bDelete")->click();
            EXPECT_EQ(lv->topLevelItemCount(), 2);
        },
        "bOk");
    EXPECT_EQ(dialogs.Messages, std::vector<std::string>{"Delete this connection?"});
    ASSERT_TRUE(r.Accepted);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(r.Current, list[1].get());
    EXPECT_EQ(Child<QComboBox>(dlg.SettingsDialog(), "cbConnType")->count(), 3);
}

TEST(ConnParamDlg, OkAfterDeletingEveryRowEmptiesTheList) {
    TFakeDialogs dialogs;
    TFConParam dlg(dialogs);
    TConnList list = TwoConnections();
    auto r = RunList(
        dlg, list[0].get(), list,
        [&] {
            auto* lv = Child<QTreeWidget>(dlg, "lvConn");
            while (lv->topLevelItemCount() > 0) {
                lv->setCurrentItem(lv->topLevelItem(0));
                Child<QPushButton>(dlg, "bDelete")->click();
            }
        },
        "bOk");
    EXPECT_TRUE(r.Accepted);
    EXPECT_EQ(r.Current, nullptr);
    EXPECT_TRUE(list.empty());
}

TEST(ConnParamDlg, ModifyTableOpensTheCodeTableEditor) {
    TFakeDialogs dialogs;
    TFConParam dlg(dialogs);
    EXPECT_TRUE(static_cast<bool>(dlg.SettingsDialog().EditTable));
}

TEST(ConnParamDlg, CancelLeavesTheCallersList) {
    TFakeDialogs dialogs;
    TFConParam dlg(dialogs);
    TConnList list = TwoConnections();
    TConnParm* a = list[0].get();
    auto r = RunList(
        dlg, a, list, [&] { Child<QPushButton>(dlg, "bDelete")->click(); }, "bCancel");
    EXPECT_FALSE(r.Accepted);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].get(), a);
}

} // namespace
