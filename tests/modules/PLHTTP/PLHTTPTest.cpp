// The "HTTP" module through its exports: the refused Connect the control
// shows in a message box, and the parameter dialog of the connection
// settings, answered from inside its modal loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstring>
#include <functional>
#include <thread>

#include "PLHTTPApi.h"
#include "support/EngineCallbacks.h"
#include "support/EngineModule.h"

namespace {

constexpr const char* kModule = CORVALEN_BIN_DIR "/PLHTTP.so";

TEngineModule& Http() {
    static TEngineModule module(kModule);
    return module;
}

TParamDialogFn ParamDialog() {
    Http();
    void* h = dlopen(kModule, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE | RTLD_NOLOAD);
    return h ? reinterpret_cast<TParamDialogFn>(dlsym(h, "ParamDialog")) : nullptr;
}

// ParamDialog's result before the test's QApplication existed.
uint16_t gResultWithoutApp = 99;
char gBufferWithoutApp[16] = "untouched";

// Answers the next modal dialog from inside its loop; a dialog that never
// shows up ends the wait after about five seconds.
void AnswerDialog(std::function<void(QDialog&)> answer, int triesLeft = 500) {
    QTimer::singleShot(10, [answer, triesLeft] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            answer(*dialog);
        else if (triesLeft > 0)
            AnswerDialog(answer, triesLeft - 1);
    });
}

void Click(QDialog& dialog, QDialogButtonBox::StandardButton which) {
    dialog.findChild<QDialogButtonBox*>()->button(which)->click();
}

TEST(PLHTTP, ConnectFailsWithAnHttpStatusText) {
    TEventLog events;
    EXPECT_EQ(Http().Connect("example;x", events.UserData(), &TEventLog::Callback), -1);
    EXPECT_TRUE(std::string(Http().LastErrMsg()).starts_with("HTTP/")) << Http().LastErrMsg();
    ASSERT_EQ(events.Entries().size(), 1u);
    EXPECT_EQ(events.Entries()[0].event, PL_SESSION_CONNECTED_FAIL);

    char buffer[16];
    EXPECT_EQ(Http().GetScreen(1, buffer, sizeof buffer), -1);
    EXPECT_EQ(Http().Disconnect(1), -1);
    EXPECT_EQ(Http().SendToScreen(1, "@E", buffer, 0), -1);
    EXPECT_EQ(Http().LastResult(255), -1);
    EXPECT_TRUE(std::string(Http().LastErrMsg()).starts_with("HTTP/"))
        << "an empty slot leaves the text";
    EXPECT_EQ(Http().SetParams(256, ""), -1);
    EXPECT_STREQ(Http().LastErrMsg(), "Invalid Handle passed as parameter");
}

TEST(PLHTTP, AcceptedDialogWritesTheNewTextIntoTheBuffer) {
    QWidget parent;
    char buffer[512] = "old params";
    QString shown;
    QWidget* shownParent = nullptr;
    AnswerDialog([&](QDialog& dialog) {
        auto* edit = dialog.findChild<QLineEdit*>();
        shown = edit->text();
        shownParent = dialog.parentWidget();
        edit->setText(QString::fromLatin1("new=caf\xE9"));
        Click(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(ParamDialog()(reinterpret_cast<intptr_t>(&parent), buffer, sizeof buffer), 1);
    EXPECT_EQ(shown, "old params");
    EXPECT_EQ(shownParent, &parent);
    EXPECT_STREQ(buffer, "new=caf\xE9") << "Latin-1 text crosses back as single bytes";
}

TEST(PLHTTP, CancelledDialogLeavesTheBuffer) {
    char buffer[512] = "keep me";
    AnswerDialog([](QDialog& dialog) {
        dialog.findChild<QLineEdit*>()->setText("changed");
        Click(dialog, QDialogButtonBox::Cancel);
    });
    EXPECT_EQ(ParamDialog()(0, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "keep me");
}

TEST(PLHTTP, NewTextIsCutToTheBufferAndNothingPastItIsRead) {
    // Eight bytes given, none of them zero; the byte after them must stay.
    char memory[9] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', '#'};
    QString shown;
    AnswerDialog([&](QDialog& dialog) {
        auto* edit = dialog.findChild<QLineEdit*>();
        shown = edit->text();
        edit->setText("0123456789");
        Click(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(ParamDialog()(0, memory, 8), 1);
    // Under ASan a read past the eight bytes fails here; the dialog offers
    // no more than fits with the zero byte.
    EXPECT_EQ(shown, "abcdefg");
    EXPECT_EQ(std::string(memory, 8), std::string("0123456\0", 8));
    EXPECT_EQ(memory[8], '#');
}

TEST(PLHTTP, RefusesWithoutBufferApplicationOrItsThread) {
    char buffer[16] = "same";
    EXPECT_EQ(ParamDialog()(0, nullptr, 512), 0);
    EXPECT_EQ(ParamDialog()(0, buffer, 0), 0);
    EXPECT_EQ(ParamDialog()(0, buffer, -5), 0);
    uint16_t offThread = 99;
    std::thread([&] { offThread = ParamDialog()(0, buffer, sizeof buffer); }).join();
    EXPECT_EQ(offThread, 0) << "widgets belong to the application's thread";
    EXPECT_EQ(gResultWithoutApp, 0);
    EXPECT_STREQ(gBufferWithoutApp, "untouched");
    EXPECT_STREQ(buffer, "same");
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    gResultWithoutApp = ParamDialog()(0, gBufferWithoutApp, sizeof gBufferWithoutApp);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
