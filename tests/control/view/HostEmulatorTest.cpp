// The host emulator view with the real 5250 engine: a recorded sign-on
// screen replayed by the host simulator arrives in the view's cells, and a
// picture of the view is kept in the build folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QImage>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "hostsim/HostSim.h"
#include "uEmuMessages.h"
#include "uHostEmulator.h"
#include "uPlComApi.h"

namespace {

// The recorded session up to and including the host's first screen.
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

class TAnsweringPrompts : public TEmuPrompts {
public:
    std::vector<QString> Messages;
    void ShowMessage(QWidget*, const QString& text) override { Messages.push_back(text); }
    bool InputQuery(QWidget*, const QString&, const QString&, QString&) override { return false; }
};

bool IsInputFieldAt(THostEmulator& view, int row, int col) {
    const int c = col - 1, r = row - 1;
    const int index = view.Cells.FieldIndex(c, r);
    const THostBasicField* field = view.GetField(index);
    return view.Cells.IsAttribute(c - 1, r) && !view.Cells.IsAttribute(c, r) && field &&
           field->Row == row && field->Col == col && field->GetAttr().Has(attUnProtected);
}

TEST(HostEmulatorView, ShowsTheRecordedSignOnScreenWithItsInputFields) {
    const std::string trace = CORVALEN_TRACES_DIR "/tn5250-login.yml";
    if (!std::ifstream(trace)) GTEST_SKIP() << "no recorded session at " << trace;
    const auto steps = SignOnSteps(trace);

    hostsim::THostSim host;
    std::unique_ptr<hostsim::TSimConnection> conn;
    std::thread player([&] {
        conn = host.Accept();
        if (conn) hostsim::Replay(*conn, steps);
    });

    TAnsweringPrompts prompts;
    THostEmulator view;
    view.SetPrompts(&prompts);
    view.resize(820, 420);
    view.show();
    TPLComApi api;
    api.SetModulePath(CORVALEN_BIN_DIR "/PLTn5250.so");
    api.SetConnectParams("127.0.0.1;PORT=" + std::to_string(host.Port()));
    api.AsyncConnect = false;
    std::atomic<bool> screenIn{false};
    api.OnScreenChanged = [&](TPLComApi&) { screenIn = true; };
    const bool connected = api.Connect();
    // The form attaches the view only when it handles the connected
    // message; a fast host's first screen is in by then and is not
    // reported again.
    for (int i = 0; connected && i < 3000 && !screenIn; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    view.SetComApi(&api);

    bool shown = false;
    if (connected) {
        QElapsedTimer timer;
        timer.start();
        // No help from the test: the view fetches the screen when it is
        // attached, and whenever the engine reports a change.
        while (!shown && timer.elapsed() < 10000) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
            shown = IsInputFieldAt(view, 6, 53) && IsInputFieldAt(view, 7, 53);
        }
        QApplication::processEvents();
        const QImage picture = view.grab().toImage();
        EXPECT_TRUE(picture.save(CORVALEN_SCREENSHOT_PNG));
    }
    view.SetComApi(nullptr);
    api.Disconnect();
    player.join();

    ASSERT_TRUE(connected) << api.LastError();
    EXPECT_TRUE(shown) << "the sign-on's input fields at row 6 and 7, column 53";
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST(HostEmulatorView, CaretSitsTwoPixelsDownOnceTheCursorIsSetWithAnInputBorder) {
    TCustomHostEmulator view;
    view.SetFontAutoSize(true);
    view.resize(820, 420);
    view.show();
    view.StyleDetail.EditBorderStyle = ebs3D; // a block caret (Cursor 0) on a black screen
    QFocusEvent focus(QEvent::FocusIn);
    QApplication::sendEvent(&view, &focus);
    view.grab(); // the first paint fits the font and places the caret by its shape
    const auto caretRows = [&view](int address) {
        view.SetCursorAddress(address);
        const QImage image = view.grab().toImage();
        const QRect cell = view.CellRect(address % 80, address / 80);
        std::vector<int> rows; // rows of pixels, from the cell's top, the caret inverts
        for (int y = cell.top() - 3; y < cell.bottom() + 4; ++y)
            if (image.pixel(cell.left() + 1, y) == qRgb(255, 255, 255))
                rows.push_back(y - cell.top());
        return rows;
    };
    const auto rows = caretRows(3 * 80 + 10);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), 2);
    EXPECT_EQ(rows.back(), view.RowHeight() + 1);
    view.StyleDetail.EditBorderStyle = ebsNone;
    EXPECT_EQ(caretRows(3 * 80 + 11).front(), 0);
}

} // namespace
