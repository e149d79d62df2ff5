// The 5250 library through its exported functions alone, against a host on
// loopback: handles, parameters, screens, input, events and the close.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>

#include "HostSim.h"
#include "support/EngineCallbacks.h"
#include "support/EngineModule.h"
#include "support/HandleCalls.h"
#include "uPlBasFld.h"

using namespace std::chrono_literals;
using hostsim::Bytes;
using hostsim::THostSim;

namespace {

TEngineModule& Engine() {
    static TEngineModule module(CORVALEN_BIN_DIR "/PLTn5250.so");
    return module;
}

std::string ConnStr(uint16_t port, const std::string& items = "") {
    return "127.0.0.1;PORT=" + std::to_string(port) + items;
}

THostFields Screen(int32_t handle, int32_t bufSize = 8192) {
    std::vector<uint8_t> buffer(static_cast<size_t>(bufSize));
    const int32_t n = Engine().GetScreen(handle, buffer.data(), bufSize);
    THostFields list;
    if (n <= 0) return list;
    TMemoryStream s(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
    list.LoadFromStream(s);
    return list;
}

const THostBasicField* FieldAt(const THostFields& list, int row, int col) {
    for (auto& f : list.Fields)
        if (f->Row == row && f->Col == col) return f.get();
    return nullptr;
}

// A sign-on-like screen: a title, and an input field at row 6 column 53.
Bytes SignOnRecord() {
    Bytes record = {
        0x00, 0x1E, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0x03, // header
        0x04, 0x11, 0x00, 0x08,                                     // WTD, keyboard unlocked
        0x11, 0x01, 0x20, 0xE2, 0xC9, 0xC7, 0xD5,                   // row 1 col 32: "SIGN"
        0x11, 0x06, 0x34, 0x1D, 0x40, 0x00, 0x24, 0x00, 0x0A};      // SF row 6 col 52, len 10
    return record;
}

struct Session {
    THostSim host;
    TEventLog events;
    int32_t handle = -1;
    std::unique_ptr<hostsim::TSimConnection> conn;
    explicit Session(const std::string& items = "") {
        handle = Engine().Connect(ConnStr(host.Port(), items).c_str(), events.UserData(),
                                  &TEventLog::Callback);
        if (handle > 0) conn = host.Accept();
    }
    ~Session() {
        if (handle > 0) Engine().Disconnect(handle);
    }
};

TEST(Interface, ExportsTheInterfaceOnly) {
    for (const char* name : {"Connect", "SetParams", "Disconnect", "GetScreen", "GetScreenEx",
                             "SendToScreen", "LastResult", "LastErrMsg", "SendSystemRequest"})
        EXPECT_TRUE(Engine().Exports(name)) << name;
    for (const char* name : {"GetCusotmCmd", "WriteLog", "SetupLogs",
                             "_Z8WriteLogiRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"})
        EXPECT_FALSE(Engine().Exports(name)) << name;
}

TEST(Interface, ConnectShowsTheScreenAndDisconnectReportsOnce) {
    Session s;
    ASSERT_GT(s.handle, 0);
    ASSERT_TRUE(s.conn);
    ASSERT_TRUE(s.conn->Negotiate());
    EXPECT_EQ(s.conn->TerminalType(), "IBM-3179-2");
    EXPECT_EQ(s.events.Entries().front().event, 0);
    EXPECT_EQ(s.events.Entries().front().thread, std::this_thread::get_id());
    EXPECT_EQ(Engine().LastResult(s.handle), 0);
    s.conn->SendRecord(SignOnRecord());
    ASSERT_TRUE(s.events.WaitFor(4));
    THostFields list = Screen(s.handle);
    EXPECT_EQ(list.TermModel, 3179);
    const THostBasicField* input = FieldAt(list, 6, 53);
    ASSERT_NE(input, nullptr);
    EXPECT_TRUE(input->GetAttr().Has(attUnProtected));
    EXPECT_EQ(list.CurPos, 5 * 80 + 52);

    EXPECT_EQ(Engine().Disconnect(s.handle), 0);
    EXPECT_EQ(s.events.Count(2), 1);
    auto entries = s.events.Entries();
    EXPECT_EQ(entries.back().event, 2);
    EXPECT_EQ(entries.back().thread, std::this_thread::get_id());
    char buffer[64];
    EXPECT_EQ(Engine().GetScreen(s.handle, buffer, sizeof buffer), -1) << "released";
    EXPECT_TRUE(s.conn->WaitClientClosed());
    EXPECT_EQ(s.events.Entries().size(), entries.size()) << "nothing after Disconnect returned";
    s.handle = -1;
}

TEST(Interface, FailedConnectReportsAndReleases) {
    uint16_t closed;
    {
        THostSim gone;
        closed = gone.Port();
    }
    TEventLog events;
    EXPECT_EQ(Engine().Connect(ConnStr(closed).c_str(), events.UserData(), &TEventLog::Callback),
              -1);
    EXPECT_NE(std::string(Engine().LastErrMsg()).find("Connection refused"), std::string::npos)
        << Engine().LastErrMsg();
    ASSERT_EQ(events.Entries().size(), 1u);
    EXPECT_EQ(events.Entries()[0].event, 1);
    Session next;
    EXPECT_EQ(next.handle, 1) << "the failed connect's handle is free again";
}

TEST(Interface, HandlesRunOutAtTwoHundredFiftyFiveAndAreReusedLowestFirst) {
    THostSim host;
    // The host takes every connection as it comes.
    std::atomic<bool> done{false};
    std::vector<std::unique_ptr<hostsim::TSimConnection>> accepted;
    std::jthread acceptor([&] {
        while (!done)
            if (auto c = host.Accept(20ms)) accepted.push_back(std::move(c));
    });
    struct Stop {
        std::atomic<bool>& done;
        ~Stop() { done = true; }
    } stop{done};
    TEventLog events;
    std::vector<int32_t> handles;
    const std::string conn = ConnStr(host.Port());
    for (int i = 0; i < 255; ++i) {
        handles.push_back(Engine().Connect(conn.c_str(), events.UserData(), &TEventLog::Callback));
        ASSERT_EQ(handles.back(), i + 1);
    }
    EXPECT_EQ(Engine().Connect(conn.c_str(), events.UserData(), &TEventLog::Callback), -1);
    EXPECT_STREQ(Engine().LastErrMsg(), "Invalid Handle passed as parameter");
    EXPECT_EQ(events.Count(1), 0) << "no callback without a handle";
    EXPECT_EQ(Engine().Disconnect(7), 0);
    EXPECT_EQ(Engine().Disconnect(3), 0);
    EXPECT_EQ(Engine().Connect(conn.c_str(), events.UserData(), &TEventLog::Callback), 3);
    EXPECT_EQ(Engine().Connect(conn.c_str(), events.UserData(), &TEventLog::Callback), 7);
    for (int32_t h : handles)
        Engine().Disconnect(h);
    EXPECT_EQ(events.Count(2), 257);
}

TEST(Interface, BadHandlesAndArgumentsGiveMinusOne) {
    char buffer[16];
    for (int32_t h : {0, 256, -1}) {
        EXPECT_EQ(Engine().GetScreen(h, buffer, sizeof buffer), -1);
        EXPECT_STREQ(Engine().LastErrMsg(), "Invalid Handle passed as parameter");
    }
    std::string other;
    std::thread([&] { other = Engine().LastErrMsg(); }).join();
    EXPECT_EQ(other, "") << "the text belongs to the thread that failed";
    EXPECT_EQ(Engine().Disconnect(200), -1) << "free slot";
    Session s;
    ASSERT_GT(s.handle, 0);
    EXPECT_EQ(Engine().GetScreen(s.handle, nullptr, 100), -1);
    EXPECT_EQ(Engine().GetScreen(s.handle, buffer, 0), -1);
    EXPECT_EQ(Engine().GetScreen(s.handle, buffer, -5), -1);
    EXPECT_EQ(Engine().SendToScreen(s.handle, "@E", nullptr, 10), -1);
    EXPECT_EQ(Engine().SendToScreen(s.handle, nullptr, buffer, 0), -1);
    EXPECT_EQ(Engine().SendToScreen(s.handle, "@E", buffer, -1), -1);
    EXPECT_EQ(Engine().SendSystemRequest(s.handle, nullptr), -1);
    EXPECT_EQ(Engine().SetParams(s.handle, nullptr), -1);
    EXPECT_EQ(Engine().Connect(nullptr, 0, nullptr), -1);
    const uint8_t garbage[] = {0x07, 0x01};
    EXPECT_EQ(Engine().SendToScreen(s.handle, "@E", garbage, sizeof garbage), -1);
    EXPECT_STREQ(Engine().LastErrMsg(), "Invalid property value");
}

TEST(Interface, HandleNeverOpenedOrClosedGivesMinusOneAndItsText) {
    Session live;
    ASSERT_GT(live.handle, 0);
    int32_t closed;
    {
        Session s;
        ASSERT_GT(s.handle, 0);
        closed = s.handle;
    }
    ExpectNotOpen(Engine(), live.handle, closed);
}

TEST(Interface, ParameterItemsReachTheNegotiation) {
    struct Case {
        std::string items, termType;
    } cases[] = {
        {";TRM=IBM-5211-2", "IBM-5211-2"},
        {";trm=IBM-3477-FC", "IBM-3477-FC"},
        {"; TRM=IBM-5211-2", "IBM-3179-2"},
        {";TRM=", "IBM-3179-2"},
        {";TRM=IBM-5555-C01;WIN=TRUE ;MSG=TRUE;DBG=abc", "IBM-5555-C01"},
    };
    for (auto& c : cases) {
        Session s(c.items);
        ASSERT_GT(s.handle, 0) << c.items;
        ASSERT_TRUE(s.conn->Negotiate()) << c.items;
        EXPECT_EQ(s.conn->TerminalType(), c.termType) << c.items;
    }
}

TEST(Interface, HostClosingReleasesTheHandleOnTheReaderThread) {
    Session s;
    ASSERT_GT(s.handle, 0);
    s.conn->Close();
    ASSERT_TRUE(s.events.WaitFor(2));
    EXPECT_NE(s.events.Entries().back().thread, std::this_thread::get_id());
    for (int i = 0; i < 3000 && Engine().LastResult(s.handle) != -1; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(Engine().LastResult(s.handle), -1);
    EXPECT_EQ(Engine().Disconnect(s.handle), -1);
    EXPECT_EQ(s.events.Count(2), 1);
    s.handle = -1;
}

TEST(Interface, StalledReplyHoldsUpNoCallThatOnlyLooksAtTheScreen) {
    Session s;
    ASSERT_TRUE(s.conn->Negotiate());
    // A screen of letters that alternate, so that its saved image is large.
    Bytes busy = {0x00, 0x00, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00,
                  0x03, 0x04, 0x11, 0x00, 0x08, 0x11, 0x01, 0x01};
    for (int i = 0; i < 1900; ++i)
        busy.push_back(i % 2 ? 0xC1 : 0xC2);
    busy[0] = static_cast<uint8_t>(busy.size() >> 8);
    busy[1] = static_cast<uint8_t>(busy.size());
    s.conn->SendRecord(busy);
    ASSERT_TRUE(s.events.WaitFor(4));
    // SAVE SCREEN commands until the engine, whose images the host no longer
    // reads, stops reading too: its reader is then blocked sending one.
    ASSERT_TRUE(s.conn->StallClient(
        {0x00, 0x0C, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0x03, 0x04, 0x02, 0xFF, 0xEF}))
        << "the reader never blocked";
    ExpectPromptScreenCalls(Engine(), s.handle, *s.conn);
    // Enter waits for the images made before it; Disconnect cuts them off,
    // and Enter with them. Enter locks the keyboard as it makes its reply.
    THostFields none;
    none.CurPos = 1;
    TMemoryStream stream;
    none.SaveToStream(stream);
    const int locked = s.events.Count(5);
    auto enter = std::async(std::launch::async, [&] {
        const int32_t result = Engine().SendToScreen(s.handle, "@E", stream.data(),
                                                     static_cast<int32_t>(stream.size()));
        return std::make_pair(result, std::string(Engine().LastErrMsg()));
    });
    ASSERT_TRUE(s.events.WaitFor(5, locked + 1)) << "Enter made no reply";
    EXPECT_TRUE(s.conn->StillStalled()) << "the images went out, or their send gave up";
    EXPECT_EQ(Engine().Disconnect(s.handle), 0);
    const auto [result, text] = enter.get();
    EXPECT_EQ(result, -1) << "it passed the images";
    EXPECT_EQ(text.find("timed out"), std::string::npos) << "the close left it waiting: " << text;
    s.handle = -1;
}

TEST(Interface, SendToScreenWritesFieldsEvenForAnUnknownKey) {
    Session s;
    ASSERT_TRUE(s.conn->Negotiate());
    s.conn->SendRecord(SignOnRecord());
    ASSERT_TRUE(s.events.WaitFor(4));
    THostFields input;
    input.CurPos = 5 * 80 + 52 + 1;
    auto f = std::make_unique<THostBasicField>();
    f->Pos = 5 * 80 + 53;
    f->Len = 10;
    f->Data = "QSECOFR";
    f->SetAttr({attUnProtected, attModified});
    input.Add(std::move(f));
    TMemoryStream stream;
    input.SaveToStream(stream);
    EXPECT_EQ(
        Engine().SendToScreen(s.handle, "@p", stream.data(), static_cast<int32_t>(stream.size())),
        -1);
    EXPECT_STREQ(Engine().LastErrMsg(), "Invalid Aid passed as parameter");
    const THostFields after = Screen(s.handle);
    const THostBasicField* field = FieldAt(after, 6, 53);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->Data, "QSECOFR");
    EXPECT_EQ(
        Engine().SendToScreen(s.handle, "@E", stream.data(), static_cast<int32_t>(stream.size())),
        0);
    Bytes reply;
    ASSERT_TRUE(s.conn->ReadRecord(reply));
    const Bytes expected = {0x00, 0x17, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0x03, 0x06, 0x35,
                            0xF1, 0x11, 0x06, 0x35, 0xD8, 0xE2, 0xC5, 0xC3, 0xD6, 0xC6, 0xD9};
    EXPECT_EQ(reply, expected);
    EXPECT_GE(s.events.Count(5), 1) << "keyboard locked while the reply goes out";
}

TEST(Interface, ShortBufferGetsTheStreamCutToItsSize) {
    Session s;
    ASSERT_TRUE(s.conn->Negotiate());
    s.conn->SendRecord(SignOnRecord());
    ASSERT_TRUE(s.events.WaitFor(4));
    char small[20];
    EXPECT_EQ(Engine().GetScreen(s.handle, small, sizeof small), 20);
    EXPECT_EQ(Engine().GetScreenEx(s.handle, small, sizeof small), 20);
}

TEST(Interface, RecordLongerThanEightKilobytesArrivesWhole) {
    Session s;
    ASSERT_TRUE(s.conn->Negotiate());
    // Twelve kilobytes of orders before the text and the cursor.
    Bytes data = {0x04, 0x11, 0x00, 0x08};
    for (int i = 0; i < 3000; ++i)
        data.insert(data.end(), {0x11, 1, 1, 0xC1});
    data.insert(data.end(), {0x11, 24, 1, 0xE3, 0xC1, 0xC9, 0xD3, 0x13, 24, 10}); // "TAIL"
    const size_t len = 10 + data.size();
    data.insert(data.begin(), {static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len), 0x12,
                               0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0x03});
    s.conn->SendRecord(data);
    ASSERT_TRUE(s.events.WaitFor(4));
    const THostFields list = Screen(s.handle);
    const THostBasicField* last = FieldAt(list, 24, 1);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->Data, "TAIL");
    EXPECT_EQ(list.CurPos, 23 * 80 + 9);
}

TEST(Interface, SystemRequestGoesOutTranslated) {
    Session s;
    ASSERT_TRUE(s.conn->Negotiate());
    EXPECT_EQ(Engine().SendSystemRequest(s.handle, "3"), 0);
    Bytes record;
    ASSERT_TRUE(s.conn->ReadRecord(record));
    EXPECT_EQ(record, (Bytes{0x00, 0x0B, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x04, 0x00, 0x00, 0xF3}));
}

TEST(Interface, RecordedSignOnSession) {
    const std::string path = CORVALEN_TRACES_DIR "/tn5250-login.yml";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no recorded sessions at " << path;
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto steps = hostsim::ParseTrace(text);
    THostSim host;
    TEventLog events;
    const int32_t handle =
        Engine().Connect(ConnStr(host.Port()).c_str(), events.UserData(), &TEventLog::Callback);
    ASSERT_GT(handle, 0);
    auto conn = host.Accept();
    ASSERT_TRUE(conn);
    hostsim::TReplayResult result;
    std::thread replay([&] { result = hostsim::Replay(*conn, steps); });

    ASSERT_TRUE(events.WaitFor(4));
    THostFields screen = Screen(handle);
    const THostBasicField* user = FieldAt(screen, 6, 53);
    const THostBasicField* password = FieldAt(screen, 7, 53);
    ASSERT_NE(user, nullptr);
    ASSERT_NE(password, nullptr);
    EXPECT_TRUE(user->GetAttr().Has(attUnProtected));
    EXPECT_TRUE(password->GetAttr().Has(attNonDisplay));

    THostFields input;
    input.CurPos = 6 * 80 + 59 + 1; // row 7 column 60
    for (auto [field, text] : {std::pair{user, "TESTUSR"}, std::pair{password, "TESTPSW"}}) {
        auto f = std::make_unique<THostBasicField>();
        f->CopyFrom(field);
        f->Data = text;
        f->SetAttr({attUnProtected, attModified});
        input.Add(std::move(f));
    }
    TMemoryStream stream;
    input.SaveToStream(stream);
    const int screensBefore = events.Count(4);
    EXPECT_EQ(
        Engine().SendToScreen(handle, "@E", stream.data(), static_cast<int32_t>(stream.size())), 0);
    // The menus that follow arrive as screen changes.
    EXPECT_TRUE(events.WaitFor(4, screensBefore + 1));
    conn->Close();
    replay.join();
    Engine().Disconnect(handle);

    ASSERT_GE(result.clientSteps.size(), 5u) << result.error;
    // The user's record, byte for byte but for the opcode: this engine sends
    // its replies as put/get (3) where the recorded client sent 0.
    Bytes expected = {0x00, 0x21, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0x03, 0x07, 0x3C,
                      0xF1, 0x11, 0x06, 0x35, 0xE3, 0xC5, 0xE2, 0xE3, 0xE4, 0xE2, 0xD9, 0x11,
                      0x07, 0x35, 0xE3, 0xC5, 0xE2, 0xE3, 0xD7, 0xE2, 0xE6, 0xFF, 0xEF};
    EXPECT_EQ(result.clientSteps[3], expected);
    // The host's query was answered with the query reply.
    const Bytes& query = result.clientSteps[4];
    ASSERT_GE(query.size(), 12u);
    EXPECT_EQ(query[9], 0xF1);
    EXPECT_EQ(query[12], 0x88);
}

} // namespace
