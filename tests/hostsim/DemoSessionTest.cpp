// The demo host: reading what a client sends after an attention key, taking
// the screens out of a recorded session, and a whole demo session driven by
// the real 5250 module through its exports.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "Demo3270.h"
#include "DemoSession.h"
#include "HostSim.h"
#include "SimServer.h"
#include "support/EngineCallbacks.h"
#include "support/EngineModule.h"
#include "uPlBasFld.h"

using namespace hostsim;
using namespace std::chrono_literals;

namespace {

Bytes FromHex(std::string_view hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return out;
}

std::vector<std::pair<TScreenAddress, std::string>> Fields(const TInputRecord& input) {
    std::vector<std::pair<TScreenAddress, std::string>> out;
    for (const auto& f : input.Fields)
        out.emplace_back(f.Address, f.Text);
    return out;
}

// --- input records ---

TEST(DemoInputRecord, ReadsTheRecordedClientsEnterRecords) {
    // The sign-on and the menu choice of the recorded session, byte for byte.
    const auto signOn = ParseInputRecord(
        FromHex("002112A0000004000000073CF1110635E3C5E2E3E4E2D9110735E3C5E2E3D7E2E6"));
    ASSERT_TRUE(signOn);
    EXPECT_EQ(signOn->Cursor, (TScreenAddress{7, 60}));
    EXPECT_EQ(signOn->Aid, kAidEnter);
    EXPECT_EQ(Fields(*signOn), (std::vector<std::pair<TScreenAddress, std::string>>{
                                   {{6, 53}, "TESTUSR"}, {{7, 53}, "TESTPSW"}}));

    const auto menu = ParseInputRecord(FromHex("001112A00000040000001408F1111407F1"));
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->Cursor, (TScreenAddress{20, 8}));
    EXPECT_EQ(Fields(*menu), (std::vector<std::pair<TScreenAddress, std::string>>{{{20, 7}, "1"}}));

    // PF3 with nothing modified: a record of the header, cursor and AID only.
    const auto pf3 = ParseInputRecord(FromHex("000D12A0000004000003060133"));
    ASSERT_TRUE(pf3);
    EXPECT_EQ(pf3->Aid, 0x33);
    EXPECT_TRUE(pf3->Fields.empty());
}

TEST(DemoInputRecord, ARecordThatLiesOrEndsEarlyIsNoInput) {
    const char* cases[] = {
        "",
        "0021",                           // the length alone
        "002112A0",                       // ends in the header
        "000D12B0000004000003060133",     // not a 5250 record
        "000D12A0000000000003060133",     // variable header of length 0
        "000D12A00000FF000003060133",     // variable header past the end
        "00FF12A0000004000003060133",     // longer than what came
        "000512A0000004000003060133",     // shorter than its own header
        "000C12A00000040000030601",       // no AID
        "000F12A00000040000030601F11106", // an address cut short
        "000F12A00000040000030601F1C1C2", // data without an address
    };
    for (const char* hex : cases)
        EXPECT_FALSE(ParseInputRecord(FromHex(hex))) << hex;
}

TEST(DemoInputRecord, BytesPastTheRecordsOwnLengthAreNotRead) {
    const auto input = ParseInputRecord(FromHex("001112A00000040000001408F1111407F1"
                                                "110101C1"));
    ASSERT_TRUE(input);
    EXPECT_EQ(input->Fields.size(), 1u);
}

TEST(DemoInputRecord, TextRoundTripsThroughTheHostsCodePage) {
    const std::string text = "Sign On: User . . . (1-90), 4/5 ===> & ?";
    EXPECT_EQ(FromEbcdic(Ebcdic(text)), text);
    EXPECT_EQ(Ebcdic("~"), Bytes{0x40}); // not in the table: a blank
    EXPECT_EQ(FromEbcdic(Bytes{0x00, 0xFF}), "??");
}

// --- screens of a recorded session ---

TEST(DemoScreens, TakesOnlyTheScreensOfARecordedSession) {
    // Negotiation, a screen split over two host steps with a doubled IAC in
    // it, a query (not a screen), a record without data, a client step.
    const Bytes screen = {0x00, 0x12, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00,
                          0x03, 0x04, 0x11, 0x00, 0x08, 0x11, 0x01, 0x02, 0xFF};
    std::vector<TTraceStep> steps = {
        {true, FromHex("FFFD18FFFA1801FFF0"), 0},
        {false, FromHex("FFFB18"), 0},
        {true, FromHex("001212A000000400000304110008110102FF"), 0},
        {true, FromHex("FFFFEF"), 0},
        {true, FromHex("001112A000000400000304F30005D97000FFEF"), 0},
        {true, FromHex("000A12A000000400000CFFEF"), 0},
        {false, FromHex("001112A00000040000001408F1111407F1FFEF"), 0},
    };
    const auto screens = ScreensOfTrace(steps);
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_EQ(screens[0], screen);
}

TEST(DemoScreens, TheRecordedLoginGivesSignOnMenuAndTasks) {
    const std::string path = CORVALEN_TRACES_DIR "/tn5250-login.yml";
    std::ifstream in(path);
    if (!in) GTEST_SKIP() << "no recorded session at " << path;
    std::stringstream text;
    text << in.rdbuf();
    const auto screens = ScreensOfTrace(ParseTrace(text.str()));
    ASSERT_EQ(screens.size(), 3u);
    // Each is a whole record: its length field counts it exactly.
    for (const auto& s : screens)
        EXPECT_EQ(size_t{s[0]} << 8 | s[1], s.size());
}

// --- a whole session with the real module ---

TEngineModule& Engine5250() {
    static TEngineModule module(CORVALEN_BIN_DIR "/PLTn5250.so");
    return module;
}

TEngineModule& Engine3270() {
    static TEngineModule module(CORVALEN_BIN_DIR "/PLTn3270.so");
    return module;
}

THostFields Screen(TEngineModule& engine, int32_t handle) {
    std::vector<uint8_t> buffer(8192);
    const int32_t n = engine.GetScreen(handle, buffer.data(), 8192);
    THostFields list;
    if (n <= 0) return list;
    TMemoryStream s(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
    list.LoadFromStream(s);
    return list;
}

bool HasInputFieldAt(const THostFields& list, TScreenAddress at) {
    for (auto& f : list.Fields)
        if (f->Row == at.Row && f->Col == at.Col && f->GetAttr().Has(attUnProtected)) return true;
    return false;
}

// The screen's input fields with `text` typed into the one at `at`.
THostFields Typed(const THostFields& screen, TScreenAddress at, const std::string& text) {
    THostFields input;
    input.CurPos = screen.CurPos + 1;
    for (auto& f : screen.Fields) {
        if (!f->GetAttr().Has(attUnProtected)) continue;
        auto copy = std::make_unique<THostBasicField>();
        copy->CopyFrom(f.get());
        if (f->Row == at.Row && f->Col == at.Col) {
            copy->Data = text;
            auto attr = copy->GetAttr();
            attr.Include(attModified);
            copy->SetAttr(attr);
        }
        input.Add(std::move(copy));
    }
    return input;
}

int32_t Send(TEngineModule& engine, int32_t handle, const char* aid, THostFields& input) {
    TMemoryStream stream;
    input.SaveToStream(stream);
    return engine.SendToScreen(handle, aid, stream.data(), static_cast<int32_t>(stream.size()));
}

using TServe = std::function<bool(TSimConnection&, const std::function<bool()>& stopping,
                                  const std::function<void(const std::string&)>& log)>;

class DemoSession : public ::testing::Test {
protected:
    // The 5250 demo host with these screens.
    void Start(std::vector<Bytes> screens) {
        Start(Engine5250(),
              [screens = std::move(screens)](TSimConnection& conn, auto& stopping, auto& log) {
                  return ServeDemo(conn, screens, stopping, log);
              });
    }
    void Start(TEngineModule& engine, TServe serve) {
        engine_ = &engine;
        handle_ = engine.Connect(("127.0.0.1;PORT=" + std::to_string(host_->Port())).c_str(),
                                 events_.UserData(), &TEventLog::Callback);
        ASSERT_GT(handle_, 0) << engine.LastErrMsg();
        server_ = std::thread([this, serve = std::move(serve)] {
            if (auto conn = host_->Accept()) {
                negotiated_ = serve(
                    *conn, [this] { return stop_.load(); },
                    [this](const std::string& line) {
                        std::lock_guard lock(logMutex_);
                        log_.push_back(line);
                    });
            }
            finished_ = true;
        });
    }
    TEngineModule& Engine() { return *engine_; }
    void TearDown() override {
        if (handle_ > 0) Engine().Disconnect(handle_);
        stop_ = true;
        if (server_.joinable()) server_.join();
    }
    bool WaitFinished(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!finished_ && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        return finished_;
    }
    long Logged(const std::string& line) {
        std::lock_guard lock(logMutex_);
        return std::count(log_.begin(), log_.end(), line);
    }

    std::unique_ptr<THostSim> host_ = std::make_unique<THostSim>();
    TEngineModule* engine_ = &Engine5250();
    TEventLog events_;
    int32_t handle_ = -1;
    std::thread server_;
    std::atomic<bool> stop_{false}, negotiated_{false}, finished_{false};
    std::mutex logMutex_;
    std::vector<std::string> log_;
};

constexpr uint8_t kScreenChanged = 4, kKeyboardUnlocked = 6;

TEST_F(DemoSession, EveryEnterIsAnsweredAndTheMenuComesBack) {
    Start({SignOnScreen(), MenuScreen()});
    // The first screen frees the keyboard that the connection locked.
    ASSERT_TRUE(events_.WaitFor(kKeyboardUnlocked));
    THostFields signOn = Screen(Engine(), handle_);
    ASSERT_TRUE(HasInputFieldAt(signOn, kSignOnUserField));
    ASSERT_TRUE(HasInputFieldAt(signOn, kSignOnPasswordField));

    // Sending locks the keyboard; only the host's answer frees it again.
    int unlocked = 1;
    THostFields input = Typed(signOn, kSignOnUserField, "DEMO");
    ASSERT_EQ(Send(Engine(), handle_, "@E", input), 0) << Engine().LastErrMsg();
    ASSERT_TRUE(events_.WaitFor(kKeyboardUnlocked, ++unlocked));
    ASSERT_TRUE(HasInputFieldAt(Screen(Engine(), handle_), kMenuOptionField));

    // ENTER on the menu, twice, and a function key: each answered with the
    // menu, so the keyboard is free again every time.
    for (const char* aid : {"@E", "@E", "@3"}) {
        THostFields choice = Typed(Screen(Engine(), handle_), kMenuOptionField, "1");
        ASSERT_EQ(Send(Engine(), handle_, aid, choice), 0) << aid << ": " << Engine().LastErrMsg();
        ASSERT_TRUE(events_.WaitFor(kKeyboardUnlocked, ++unlocked)) << aid;
        EXPECT_TRUE(HasInputFieldAt(Screen(Engine(), handle_), kMenuOptionField)) << aid;
    }
    EXPECT_EQ(Logged("client sent ENTER with 1 modified field(s)"), 3);
    EXPECT_EQ(Logged("client sent AID 0x33 with 1 modified field(s)"), 1);
    EXPECT_EQ(Logged("showing screen 1 of 2"), 1);
    EXPECT_EQ(Logged("showing screen 2 of 2"), 4);
}

TEST_F(DemoSession, The3270HostAnswersEnterOnItsLogonScreenWithTheReadyScreen) {
    host_ = std::make_unique<THostSim>(TProtocol::TN3270);
    Start(Engine3270(), ServeDemo3270);
    ASSERT_TRUE(events_.WaitFor(kKeyboardUnlocked));
    THostFields logon = Screen(Engine(), handle_);
    ASSERT_TRUE(HasInputFieldAt(logon, {3, 16}));
    ASSERT_TRUE(HasInputFieldAt(logon, {4, 16}));
    EXPECT_EQ(logon.CurPos, 2 * 80 + 15);

    int unlocked = 1;
    for (const char* aid : {"@E", "@3", "@E"}) {
        THostFields input = Typed(Screen(Engine(), handle_), {3, 16}, "DEMO");
        ASSERT_EQ(Send(Engine(), handle_, aid, input), 0) << aid << ": " << Engine().LastErrMsg();
        ASSERT_TRUE(events_.WaitFor(kKeyboardUnlocked, ++unlocked)) << aid;
        EXPECT_TRUE(HasInputFieldAt(Screen(Engine(), handle_), {22, 7})) << aid;
    }
    EXPECT_EQ(Logged("client sent ENTER"), 2);
    EXPECT_EQ(Logged("showing screen 2 of 2"), 3);
}

TEST_F(DemoSession, EndsWhenTheClientGoesAway) {
    Start({SignOnScreen()});
    ASSERT_TRUE(events_.WaitFor(kScreenChanged));
    Engine().Disconnect(handle_);
    handle_ = -1;
    EXPECT_TRUE(WaitFinished(5s));
    EXPECT_TRUE(negotiated_);
}

TEST_F(DemoSession, EndsWhenAskedToWhileTheClientStays) {
    Start({SignOnScreen()});
    ASSERT_TRUE(events_.WaitFor(kScreenChanged));
    stop_ = true;
    EXPECT_TRUE(WaitFinished(30s));
}

// --- several clients of one demo host ---

// A session of the real 3270 module, disconnected when it goes.
struct TClient3270 {
    explicit TClient3270(uint16_t port) {
        handle = Engine3270().Connect(("127.0.0.1;PORT=" + std::to_string(port)).c_str(),
                                      events.UserData(), &TEventLog::Callback);
    }
    ~TClient3270() { Disconnect(); }
    void Disconnect() {
        if (handle > 0) Engine3270().Disconnect(handle);
        handle = -1;
    }
    THostFields Shown() { return Screen(Engine3270(), handle); }
    // Sends the attention key and waits until the host's answer frees the keyboard.
    bool Press(const char* aid) {
        THostFields input = Typed(Shown(), {3, 16}, "DEMO");
        return Send(Engine3270(), handle, aid, input) == 0 &&
               events.WaitFor(kKeyboardUnlocked, ++unlocked);
    }
    TEventLog events;
    int32_t handle = -1;
    int unlocked = 1;
};

bool WaitServing(const TSimServer& server, size_t clients) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (server.Serving() != clients && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    return server.Serving() == clients;
}

TEST(DemoServer, EveryClientHasASessionOfItsOwnThatOutlivesTheOthers) {
    THostSim host(TProtocol::TN3270);
    TSimServer server(host, ServeDemo3270, [](const std::string&) {});
    TClient3270 first(host.Port()), second(host.Port());
    ASSERT_GT(first.handle, 0) << Engine3270().LastErrMsg();
    ASSERT_GT(second.handle, 0) << Engine3270().LastErrMsg();
    // Both are connected before either is served to the end.
    ASSERT_TRUE(first.events.WaitFor(kKeyboardUnlocked)) << "the first client has no screen";
    ASSERT_TRUE(second.events.WaitFor(kKeyboardUnlocked)) << "the second client has no screen";
    EXPECT_TRUE(HasInputFieldAt(second.Shown(), {3, 16}));

    // The first one's ENTER moves its own session on, not the second's: a
    // function key there still brings back the log-on screen.
    ASSERT_TRUE(first.Press("@E"));
    EXPECT_TRUE(HasInputFieldAt(first.Shown(), {22, 7}));
    ASSERT_TRUE(second.Press("@3"));
    EXPECT_TRUE(HasInputFieldAt(second.Shown(), {3, 16})) << "the sessions share their state";

    // The first one going away ends its thread, not the second's session.
    first.Disconnect();
    EXPECT_TRUE(WaitServing(server, 1)) << "a finished client's thread was not joined";
    ASSERT_TRUE(second.Press("@E"));
    EXPECT_TRUE(HasInputFieldAt(second.Shown(), {22, 7}));
    second.Disconnect();
    EXPECT_TRUE(WaitServing(server, 0));
}

} // namespace
