// The control's window messages posted from another thread arrive, in order,
// in the receiver's event loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QObject>

#include <cstdlib>
#include <thread>
#include <vector>

#include "uEmuMessages.h"

namespace {

class TReceiver : public QObject {
public:
    std::vector<int> received;

protected:
    bool event(QEvent* e) override {
        if (e->type() >= WM_EMU_SCREENUPDATE && e->type() <= WM_EMU_HOSTBUSY) {
            received.push_back(e->type());
            return true;
        }
        return QObject::event(e);
    }
};

TEST(EmuMessages, PostedFromAnotherThreadArriveInTheEventLoopInOrder) {
    TReceiver receiver;
    const std::vector<int> sent = {WM_EMU_CONNECTED, WM_EMU_SCREENUPDATE, WM_EMU_HOSTBUSY,
                                   WM_EMU_HOSTREADY, WM_EMU_DISCONNECTED};
    std::thread poster([&] {
        for (int m : sent)
            PostEmuMessage(&receiver, static_cast<QEvent::Type>(m));
        PostEmuMessage(nullptr, WM_EMU_CONNECTED); // nobody to tell: nothing happens
    });
    poster.join();
    EXPECT_TRUE(receiver.received.empty()) << "nothing is handled outside the event loop";
    QElapsedTimer timer;
    timer.start();
    while (receiver.received.size() < sent.size() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(receiver.received, sent);
}

} // namespace
