// The 3270 module's exported interface as a caller sees it: which functions
// it has, the handle table, and the results and error texts of calls that
// go wrong. Real module, real sockets on loopback.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "support/HandleCalls.h"
#include "support/ScreenIo.h"
#include "support/SimSession.h"
#include "support/Stream3270.h"

using namespace std::chrono_literals;
using namespace s3270;

namespace {

constexpr const char* kInvalidHandle = "Invalid Handle passed as parameter";

TEngine3270Module& E() {
    return Engine3270();
}

// The calling thread's last error text, read on a new thread after `call`.
std::string TextOnFreshThread(const std::function<void()>& call) {
    std::string text;
    std::thread([&] {
        call();
        text = E().LastErrMsg();
    }).join();
    return text;
}

TEST(Interface3270, ExportsTheEngineInterfaceWithoutTheSystemRequest) {
    for (const char* name : {"Connect", "SetParams", "Disconnect", "GetScreen", "GetScreenEx",
                             "SendToScreen", "LastResult", "LastErrMsg"})
        EXPECT_TRUE(E().Exports(name)) << name;
    for (const char* name : {"SendSystemRequest", "GetCusotmCmd"})
        EXPECT_FALSE(E().Exports(name)) << name;
}

TEST(Interface3270, HandleOutsideTheTableGivesMinusOneAndItsTextOnThatThreadOnly) {
    for (const auto& call : HandleCalls(E())) {
        for (int32_t h : {0, 256, -1, INT32_MIN}) {
            SCOPED_TRACE(call.name + " with handle " + std::to_string(h));
            std::string text = TextOnFreshThread([&] { EXPECT_EQ(call.run(h), -1); });
            EXPECT_EQ(text, kInvalidHandle);
        }
    }
    // The text belongs to the thread that failed.
    char buffer[16];
    EXPECT_EQ(E().GetScreen(0, buffer, sizeof buffer), -1);
    EXPECT_STREQ(E().LastErrMsg(), kInvalidHandle);
    EXPECT_EQ(TextOnFreshThread([] {}), "");
}

TEST(Interface3270, HandleNeverOpenedOrClosedGivesMinusOneAndItsText) {
    TSimSession live;
    ASSERT_GT(live.handle, 0);
    int32_t closed;
    {
        TSimSession s;
        ASSERT_GT(s.handle, 0);
        closed = s.handle;
    }
    // On a thread of its own, whose last text is its own.
    std::thread([&] { ExpectNotOpen(E(), live.handle, closed); }).join();
}

TEST(Interface3270, ConnectGivesAHandleWithResultZeroAndClearsTheText) {
    char buffer[4];
    EXPECT_EQ(E().GetScreen(0, buffer, sizeof buffer), -1);
    ASSERT_STREQ(E().LastErrMsg(), kInvalidHandle);
    TSimSession s;
    ASSERT_GT(s.handle, 0) << E().LastErrMsg();
    ASSERT_LE(s.handle, 255);
    EXPECT_STREQ(E().LastErrMsg(), "") << "a successful Connect clears the caller's text";
    EXPECT_EQ(E().LastResult(s.handle), 0);
    ASSERT_TRUE(s.events.WaitFor(PL_SESSION_CONNECTED));
    const auto first = s.events.Entries().front();
    EXPECT_EQ(first.event, PL_SESSION_CONNECTED);
    EXPECT_EQ(first.thread, std::this_thread::get_id()) << "connected is reported inside Connect";
}

TEST(Interface3270, RefusedConnectReportsTheFailureAndFreesItsHandle) {
    uint16_t closedPort;
    {
        hostsim::THostSim gone(hostsim::TProtocol::TN3270);
        closedPort = gone.Port();
    }
    TSimSession before;
    ASSERT_GT(before.handle, 0);

    TEventRecorder events(E().LastErrMsg);
    const std::string connStr = "127.0.0.1;PORT=" + std::to_string(closedPort);
    EXPECT_EQ(E().Connect(connStr.c_str(), events.UserData(), &TEventRecorder::Callback), -1);
    const std::string text = E().LastErrMsg();
    EXPECT_NE(text.find("Connection refused"), std::string::npos) << text;
    const auto entries = events.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].event, PL_SESSION_CONNECTED_FAIL);
    EXPECT_EQ(entries[0].thread, std::this_thread::get_id());
    EXPECT_EQ(entries[0].errorText, text) << "the text is set before the callback hears of it";

    TSimSession after;
    EXPECT_EQ(after.handle, before.handle + 1) << "the failed Connect kept its handle";
}

TEST(Interface3270, ConnectWithoutACallbackStillRunsTheSession) {
    hostsim::THostSim host(hostsim::TProtocol::TN3270);
    const std::string connStr = "127.0.0.1;PORT=" + std::to_string(host.Port());
    const int32_t handle = E().Connect(connStr.c_str(), 0, nullptr);
    ASSERT_GT(handle, 0);
    auto conn = host.Accept();
    ASSERT_TRUE(conn);
    ASSERT_TRUE(conn->Negotiate());
    conn->SendRecord(TWriteRecord(kEraseWrite, 0xC3).Sba(1, 1).Sf(kAttrProtected).Text("NO CB"));
    // Without events to wait for, the screen is polled.
    std::optional<THostFields> screen;
    for (auto deadline = std::chrono::steady_clock::now() + 5s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(5ms)) {
        screen = screenio::Fetch(handle);
        if (screen && screenio::FieldAt(*screen, 1, 2) &&
            screenio::FieldAt(*screen, 1, 2)->Data == "NO CB")
            break;
    }
    ASSERT_TRUE(screen);
    ASSERT_NE(screenio::FieldAt(*screen, 1, 2), nullptr) << screenio::Describe(*screen);
    EXPECT_EQ(screenio::Send(handle, "@E", 0), 0);
    hostsim::Bytes reply;
    EXPECT_TRUE(conn->ReadRecord(reply));
    EXPECT_EQ(E().Disconnect(handle), 0);
    EXPECT_TRUE(conn->WaitClientClosed());
}

TEST(Interface3270, BadArgumentsOfALiveSessionAreRefusedAndSendNothing) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    s.conn->SendRecord(TWriteRecord(kEraseWrite, 0xC3).Sba(1, 1).Sf(kAttrProtected).Text("X"));
    ASSERT_TRUE(s.events.WaitFor(PL_SCREEN_CHANGED));
    const size_t before = s.conn->Captured().size();

    EXPECT_EQ(E().GetScreen(s.handle, nullptr, 100), -1) << "null buffer";
    char guarded[8];
    std::memset(guarded, 0x5A, sizeof guarded);
    EXPECT_LE(E().GetScreen(s.handle, guarded, 0), 0) << "buffer of no size";
    EXPECT_LE(E().GetScreen(s.handle, guarded, -5), 0) << "buffer of negative size";
    for (char c : guarded)
        ASSERT_EQ(c, 0x5A) << "written into a buffer of no size";

    const auto stream = screenio::InputStream(0, {});
    const auto size = static_cast<int32_t>(stream.size());
    EXPECT_EQ(E().SendToScreen(s.handle, "@E", nullptr, 10), -1) << "null fields";
    EXPECT_EQ(E().SendToScreen(s.handle, nullptr, stream.data(), size), -1) << "null key";
    EXPECT_EQ(E().SendToScreen(s.handle, "@E", stream.data(), -1), -1) << "negative size";
    const uint8_t garbage[] = {0x07, 0x01};
    EXPECT_EQ(E().SendToScreen(s.handle, "@E", garbage, sizeof garbage), -1) << "no stream";
    EXPECT_EQ(E().SendToScreen(s.handle, "@E", stream.data(), size / 2), -1) << "cut stream";
    E().SetParams(s.handle, nullptr); // whatever it answers, it must not fall over
    EXPECT_EQ(E().Connect(nullptr, 0, nullptr), -1);

    EXPECT_EQ(E().SendToScreen(s.handle, "@E", stream.data(), size), 0) << "the session is hurt";
    hostsim::Bytes record;
    EXPECT_TRUE(s.conn->ReadRecord(record));
    // A record of a refused call would have gone out before this one.
    const hostsim::Bytes sent = s.conn->Captured();
    EXPECT_EQ(hostsim::SplitTelnetUnits(
                  hostsim::Bytes(sent.begin() + static_cast<long>(before), sent.end()))
                  .size(),
              1u)
        << "a refused call sent a record";
}

TEST(Interface3270, ShortBufferGetsTheStreamCutToItsSize) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    s.conn->SendRecord(TWriteRecord(kEraseWrite, 0xC3).Sba(1, 1).Sf(kAttrProtected).Text("CUT"));
    ASSERT_TRUE(s.events.WaitFor(PL_SCREEN_CHANGED));
    std::vector<uint8_t> whole(8192), ex(8192);
    const int32_t n = E().GetScreen(s.handle, whole.data(), 8192);
    ASSERT_GT(n, 20);
    EXPECT_EQ(E().GetScreenEx(s.handle, ex.data(), 8192), n);
    EXPECT_EQ(ex, whole) << "GetScreenEx writes what GetScreen writes";
    char small[21];
    small[20] = 0x5A;
    EXPECT_EQ(E().GetScreen(s.handle, small, 20), 20);
    EXPECT_EQ(std::memcmp(small, whole.data(), 20), 0);
    EXPECT_EQ(small[20], 0x5A) << "written past the buffer's size";
}

TEST(Interface3270, HandlesRunOutAtTwoHundredFiftyFiveAndComeBackLowestFirst) {
    hostsim::THostSim host(hostsim::TProtocol::TN3270);
    std::atomic<bool> done{false};
    std::vector<std::unique_ptr<hostsim::TSimConnection>> accepted;
    std::jthread acceptor([&] {
        while (!done)
            if (auto c = host.Accept(20ms)) accepted.push_back(std::move(c));
    });
    struct TStop {
        std::atomic<bool>& done;
        ~TStop() { done = true; }
    } stop{done};

    TEventRecorder events;
    const std::string connStr = "127.0.0.1;PORT=" + std::to_string(host.Port());
    auto connect = [&] {
        return E().Connect(connStr.c_str(), events.UserData(), &TEventRecorder::Callback);
    };
    std::vector<int32_t> handles;
    for (int i = 0; i < 255; ++i) {
        handles.push_back(connect());
        ASSERT_EQ(handles.back(), i + 1);
    }
    EXPECT_EQ(connect(), -1);
    EXPECT_STREQ(E().LastErrMsg(), "No hay handles disponibles");
    EXPECT_EQ(events.Count(PL_SESSION_CONNECTED_FAIL), 0) << "no callback without a handle";
    EXPECT_EQ(E().Disconnect(9), 0);
    EXPECT_EQ(E().Disconnect(4), 0);
    EXPECT_EQ(connect(), 4);
    EXPECT_EQ(connect(), 9);
    for (int32_t h : handles)
        E().Disconnect(h);
    EXPECT_EQ(events.Count(PL_SESSION_DISCONNECTED), 257);
}

} // namespace
