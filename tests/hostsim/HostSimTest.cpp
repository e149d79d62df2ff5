#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "Demo3270.h"
#include "HostSim.h"
#include "TelnetUnits.h"

using namespace hostsim;
using namespace std::chrono_literals;
using std::chrono::steady_clock;

namespace {

// For what must happen, never reached when it does; half of it bounds what
// must end before a time-out of kWait.
constexpr auto kWait = 60000ms;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

milliseconds Since(steady_clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start);
}

// A bare telnet client on loopback; every read is bounded by a time-out.
class TClient {
public:
    explicit TClient(uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0)
            throw std::runtime_error("cannot connect to the host simulator");
        int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~TClient() { Close(); }

    bool Send(const Bytes& bytes) {
        for (size_t done = 0; done < bytes.size();) {
            ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    // Up to n bytes: fewer on time-out or end of stream.
    Bytes Read(size_t n, milliseconds timeout = kWait) {
        Bytes out;
        const auto deadline = steady_clock::now() + timeout;
        while (out.size() < n) {
            auto left = std::chrono::ceil<milliseconds>(deadline - steady_clock::now()).count();
            pollfd pfd{fd_, POLLIN, 0};
            if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left)) <= 0) break;
            uint8_t buffer[4096];
            ssize_t got = ::recv(fd_, buffer, std::min(sizeof buffer, n - out.size()), 0);
            if (got <= 0) {
                eof_ = true;
                break;
            }
            out.insert(out.end(), buffer, buffer + got);
        }
        return out;
    }
    // The bytes that have arrived and wait to be read.
    size_t Pending() const {
        int n = 0;
        return ::ioctl(fd_, FIONREAD, &n) == 0 && n > 0 ? static_cast<size_t>(n) : 0;
    }
    // True once the host's side is closed (a read returns 0 or fails).
    bool WaitEof(milliseconds timeout = kWait) {
        Read(SIZE_MAX, timeout);
        return eof_;
    }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    bool eof_ = false;
};

class HostSimTest : public testing::Test {
protected:
    void Connect() {
        client_ = std::make_unique<TClient>(host_.Port());
        conn_ = host_.Accept(kWait);
        ASSERT_NE(conn_, nullptr);
    }

    THostSim host_;
    std::unique_ptr<TClient> client_;
    std::unique_ptr<TSimConnection> conn_;
};

// ---------------------------------------------------------------- negotiation

struct TExchange {
    Bytes request; // what the client waits for
    Bytes answer;  // what it sends back
    bool closeAfter = false;
};

const Bytes kDoTerminalType{0xFF, 0xFD, 0x18}, kWillTerminalType{0xFF, 0xFB, 0x18},
    kSendTerminalType{0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0},
    kDoWillEor{0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x19},
    kDoWillBinary{0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00};
const Bytes kTerminalTypeIs =
    Cat({{0xFF, 0xFA, 0x18, 0x00}, {'I', 'B', 'M', '-', '3', '4', '7', '7'}, {0xFF, 0xF0}});

// Answers each request of the script in turn and notes what it was sent.
// With checkQuiet it also notes what more had come when it answered.
std::vector<Bytes> RunClientScript(TClient& client, const std::vector<TExchange>& script,
                                   bool checkQuiet) {
    std::vector<Bytes> seen;
    for (const auto& step : script) {
        seen.push_back(client.Read(step.request.size()));
        if (seen.back() != step.request) break;
        if (checkQuiet) {
            Bytes early = client.Read(client.Pending());
            seen.back().insert(seen.back().end(), early.begin(), early.end());
        }
        client.Send(step.answer);
        if (step.closeAfter) client.Close();
    }
    return seen;
}

TEST_F(HostSimTest, NegotiationAsksOneThingAtATimeAndKeepsTheTerminalType) {
    Connect();
    // EOR and BINARY answered in the other order than asked.
    const std::vector<TExchange> script = {
        {kDoTerminalType, kWillTerminalType},
        {kSendTerminalType, kTerminalTypeIs},
        {kDoWillEor, {0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x19}},
        {kDoWillBinary, {0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x00}},
    };
    EXPECT_EQ(conn_->TerminalType(), "");
    std::vector<Bytes> seen;
    std::jthread client([&] { seen = RunClientScript(*client_, script, true); });
    EXPECT_TRUE(conn_->Negotiate(kWait));
    client.join();
    ASSERT_EQ(seen.size(), script.size());
    for (size_t i = 0; i < script.size(); ++i)
        EXPECT_EQ(seen[i], script[i].request) << "request " << i << " (or sent before its turn)";
    EXPECT_EQ(conn_->TerminalType(), "IBM-3477");
}

TEST_F(HostSimTest, NegotiationFailsAsARealHostDoes) {
    const struct {
        const char* fault;
        std::vector<TExchange> script;
        milliseconds timeout;
    } cases[] = {
        {"a refused EOR is taken as agreement",
         {{kDoTerminalType, kWillTerminalType},
          {kSendTerminalType, kTerminalTypeIs},
          {kDoWillEor, {0xFF, 0xFC, 0x19, 0xFF, 0xFD, 0x19}}},
         kWait},
        {"a refused terminal type is taken as agreement",
         {{kDoTerminalType, {0xFF, 0xFC, 0x18}}},
         kWait},
        {"an option command nobody asked for is ignored",
         {{kDoTerminalType, Cat({kWillTerminalType, {0xFF, 0xFB, 0x27}})}},
         kWait},
        {"a client that closes is waited for", {{kDoTerminalType, kWillTerminalType, true}}, kWait},
        {"a silent client is waited for past the time-out", {{kDoTerminalType, {}}}, 200ms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        Connect();
        std::jthread client([&] { RunClientScript(*client_, c.script, false); });
        const auto start = steady_clock::now();
        EXPECT_FALSE(conn_->Negotiate(c.timeout));
        EXPECT_LT(Since(start), kWait / 2);
        client.join();
        conn_.reset();
        client_.reset();
    }
}

TEST_F(HostSimTest, OwnOptionRequestTakesTheNextAnswerOutOfTheNegotiation) {
    Connect();
    std::vector<TExchange> script = {
        {{0xFF, 0xFD, 0x28}, {0xFF, 0xFC, 0x28}},
        {kDoTerminalType, kWillTerminalType},
        {kSendTerminalType, kTerminalTypeIs},
        {kDoWillEor, {0xFF, 0xFB, 0x19, 0xFF, 0xFD, 0x19}},
        {kDoWillBinary, {0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x00}},
    };
    std::jthread client([&] { RunClientScript(*client_, script, false); });
    std::array<uint8_t, 2> answer{};
    ASSERT_TRUE(conn_->AskOption(0xFD, 0x28, answer, kWait));
    EXPECT_EQ(answer, (std::array<uint8_t, 2>{0xFC, 0x28}));
    EXPECT_TRUE(conn_->Negotiate(kWait)) << "the refusal counted as an unasked option command";
    client.join();

    Connect();
    const auto start = steady_clock::now();
    EXPECT_FALSE(conn_->AskOption(0xFD, 0x28, answer, 100ms)) << "a silent client answered";
    EXPECT_LT(Since(start), kWait / 2);
}

// A 3270 client that agrees to every option the host asks for (WILL to DO,
// DO to WILL, and WONT / DONT when the host withdraws a request) and names
// its terminal type. Gives the 3270 data of the first record as it reads
// it: while TN3270E is in force a record begins with a five-byte header.
Bytes FirstScreenOfAgreeingClient(TClient& client) {
    std::map<uint8_t, bool> willing, hostWilling;
    TTelnetSplitter splitter;
    std::vector<TTelnetUnit> units;
    for (;;) {
        const Bytes got = client.Read(1);
        if (got.empty()) return {};
        units.clear();
        splitter.Feed(got.data(), got.size(), units);
        for (const auto& unit : units) {
            const auto& p = unit.payload;
            if (unit.kind == TTelnetUnit::TKind::Record) {
                if (!willing[0x28]) return p;
                return p.size() < 5 ? Bytes{} : Bytes(p.begin() + 5, p.end());
            }
            if (unit.kind == TTelnetUnit::TKind::Subnegotiation && p == Bytes{0x18, 0x01})
                client.Send(Cat({{0xFF, 0xFA, 0x18, 0x00},
                                 {'I', 'B', 'M', '-', '3', '2', '7', '8', '-', '2', '-', 'E'},
                                 {0xFF, 0xF0}}));
            if (unit.kind != TTelnetUnit::TKind::Option) continue;
            // Only a change of state is answered, so no request loops.
            const bool on = p[0] == 0xFD || p[0] == 0xFB;
            bool& state = p[0] == 0xFD || p[0] == 0xFE ? willing[p[1]] : hostWilling[p[1]];
            if (state == on) continue;
            state = on;
            // DO and DONT are WILL and WONT plus two.
            client.Send({0xFF, static_cast<uint8_t>(p[0] >= 0xFD ? p[0] - 2 : p[0] + 2), p[1]});
        }
    }
}

TEST_F(HostSimTest, The3270DemoHostShowsItsScreenToAClientThatAgreesToEveryOption) {
    THostSim host(TProtocol::TN3270);
    TClient client(host.Port());
    auto conn = host.Accept(kWait);
    ASSERT_NE(conn, nullptr);
    std::jthread serving([&](std::stop_token stop) {
        ServeDemo3270(
            *conn, [&] { return stop.stop_requested(); }, [](const std::string&) {});
    });
    EXPECT_EQ(FirstScreenOfAgreeingClient(client), LogonScreen3270())
        << "the host went on in plain TN3270 with TN3270E agreed";
}

// -------------------------------------------------------------------- records

TEST_F(HostSimTest, ReadRecordUndoublesIacAndSplitsAtEorAcrossSegments) {
    Connect();
    const std::vector<Bytes> pieces = {
        {0x01, 0xFF}, {0xFF, 0x02, 0xFF}, {0xEF}, {0xFF, 0xFB, 0x18}, {0x03, 0xFF},
        {0xEF},       {0xFF, 0xEF},       {0x04}, // an empty record, then half of one
    };
    // Each piece taken in before the next is sent, so that each is a read of its own.
    Bytes all;
    for (const auto& piece : pieces) {
        ASSERT_TRUE(client_->Send(piece));
        all.insert(all.end(), piece.begin(), piece.end());
        ASSERT_TRUE(conn_->WaitForBytes(all.size(), kWait));
    }
    Bytes record;
    ASSERT_TRUE(conn_->ReadRecord(record, kWait));
    EXPECT_EQ(record, (Bytes{0x01, 0xFF, 0x02}));
    ASSERT_TRUE(conn_->ReadRecord(record, kWait));
    EXPECT_EQ(record, (Bytes{0x03})) << "an option command between records became data";
    ASSERT_TRUE(conn_->ReadRecord(record, kWait));
    EXPECT_EQ(record, Bytes{});
    EXPECT_FALSE(conn_->ReadRecord(record, 0ms)) << "a record without IAC EOR was handed out";
    EXPECT_EQ(conn_->Captured(), all);
}

TEST_F(HostSimTest, SentRecordsDoubleIacAndEndWithEor) {
    Connect();
    conn_->SendRecord({0x01, 0xFF, 0x02});
    conn_->SendRecord({});
    conn_->SendRaw({0x7E}); // a mark: nothing of the records comes after it
    EXPECT_EQ(client_->Read(9), (Bytes{0x01, 0xFF, 0xFF, 0x02, 0xFF, 0xEF, 0xFF, 0xEF, 0x7E}));
}

// ------------------------------------------------------------ end of the line

TEST_F(HostSimTest, CloseIsSeenByTheClientAndIsNotTheClientClosing) {
    Connect();
    conn_->Close();
    EXPECT_TRUE(client_->WaitEof());
    EXPECT_FALSE(conn_->ClientClosed());
    conn_->SendRecord({0x01}); // after Close: nothing to send on, no fault
    conn_->Close();
}

TEST_F(HostSimTest, ClientClosingIsNoticedAndEndsEveryWait) {
    Connect();
    EXPECT_FALSE(conn_->ClientClosed());
    ASSERT_TRUE(client_->Send({0x01, 0xFF, 0xEF}));
    client_->Close();
    EXPECT_TRUE(conn_->WaitClientClosed(kWait));
    EXPECT_TRUE(conn_->ClientClosed());
    Bytes record;
    EXPECT_TRUE(conn_->ReadRecord(record, kWait)) << "a record sent before closing was lost";
    const auto start = steady_clock::now();
    EXPECT_FALSE(conn_->ReadRecord(record, kWait));
    EXPECT_FALSE(conn_->WaitForBytes(100, kWait));
    EXPECT_LT(Since(start), kWait / 2) << "waits on a closed connection run to their time-out";
}

TEST_F(HostSimTest, DestroyingTheHostClosesItsOpenConnections) {
    auto host = std::make_unique<THostSim>(TProtocol::TN3270);
    EXPECT_EQ(host->Protocol(), TProtocol::TN3270);
    TClient client(host->Port());
    auto conn = host->Accept(kWait);
    ASSERT_NE(conn, nullptr);
    host.reset();
    EXPECT_TRUE(client.WaitEof());
    conn.reset(); // outlives its host without fault
}

TEST_F(HostSimTest, AcceptGivesUpAtItsTimeOut) {
    const auto start = steady_clock::now();
    EXPECT_EQ(host_.Accept(100ms), nullptr);
    EXPECT_LT(Since(start), kWait / 2);
}

TEST_F(HostSimTest, FloodStopsWhenTheClientGoesAway) {
    Connect();
    std::jthread client([&] {
        client_->Read(100'000);
        client_->Close();
    });
    auto flood = std::async(std::launch::async, [&] { conn_->Flood(100'000'000, 1024); });
    if (flood.wait_for(kWait) != std::future_status::ready) {
        ADD_FAILURE() << "Flood goes on after the client closed";
        conn_->Close(); // unblocks it, so the test ends
    }
    flood.get();
}

// ---------------------------------------------------------------- traces

std::string ReadTraceFile(const std::string& name) {
    std::ifstream in(std::string(CORVALEN_TRACES_DIR) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool HaveTraces() {
    return std::filesystem::is_directory(CORVALEN_TRACES_DIR);
}
constexpr const char* kNoTraces = "no recorded sessions in " CORVALEN_TRACES_DIR;

TEST(ParseTraceTest, ReadsTheRecordedSessions) {
    if (!HaveTraces()) GTEST_SKIP() << kNoTraces;
    const auto tn5250 = ParseTrace(ReadTraceFile("tn5250-login.yml"));
    ASSERT_EQ(tn5250.size(), 17u);
    EXPECT_EQ(std::count_if(tn5250.begin(), tn5250.end(), [](auto& s) { return s.fromServer; }), 8);
    EXPECT_TRUE(tn5250[0].fromServer);
    EXPECT_EQ(tn5250[0].data, (Bytes{0xFF, 0xFD, 0x27, 0xFF, 0xFD, 0x18}));
    EXPECT_EQ(tn5250[0].delayMillis, 195);
    // The sign-on screen, whose delay is on the next line, and the answer.
    EXPECT_EQ(tn5250[9].delayMillis, 5);
    EXPECT_EQ(tn5250[9].data.size(), 0x01F5u + 2);
    EXPECT_FALSE(tn5250[10].fromServer);
    EXPECT_EQ(tn5250[10].data.size(), 0x21u + 2);

    EXPECT_EQ(ParseTrace(ReadTraceFile("tn3270-login.yml")).size(), 30u);
}

TEST(ParseTraceTest, ReadsCommentsBlankLinesAndStepsOverSeveralLines) {
    const auto steps = ParseTrace("# a comment\r\n"
                                  "\n"
                                  "- !server {data: ff01, delayMillis: 7}  # trailing remark\n"
                                  "  # indented comment\n"
                                  "- !client {data: 02,\n"
                                  "\n"
                                  "  delayMillis: 3}\n"
                                  "- !server {data: 0A}");
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_TRUE(steps[0].fromServer);
    EXPECT_EQ(steps[0].data, (Bytes{0xFF, 0x01}));
    EXPECT_EQ(steps[0].delayMillis, 7);
    EXPECT_FALSE(steps[1].fromServer);
    EXPECT_EQ(steps[1].delayMillis, 3);
    EXPECT_EQ(steps[2].data, Bytes{0x0A});
    EXPECT_EQ(steps[2].delayMillis, 0);
}

TEST(ParseTraceTest, RejectsMalformedTextNamingTheLine) {
    const struct {
        const char* fault;
        const char* text;
        const char* line;
    } cases[] = {
        {"odd hex is cut short", "# c\n- !server {data: FFF}", "line 2:"},
        {"a non-hex digit is read as a number", "- !client {data: 0G}", "line 1:"},
        {"an unknown kind of step is accepted", "\n- !host {data: 00}", "line 2:"},
        {"a missing '}' swallows the rest", "- !server {data: 00,\n\n\n", "line 1:"},
        {"a step without data is accepted", "- !server {delayMillis: 4}", "line 1:"},
        {"an unknown key is ignored", "- !server {data: 00, delay: 4}", "line 1:"},
        {"a key given twice is accepted", "- !server {data: 00, data: 01}", "line 1:"},
        {"a huge delay overflows", "- !server {data: 00, delayMillis: 99999999999}", "line 1:"},
        {"a line that is no step is ignored", "- !server {data: 00}\nserver: 00", "line 2:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        try {
            ParseTrace(c.text);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.line), std::string::npos) << e.what();
        }
    }
}

// The client's side of a recorded session: checks every byte the host sends
// and answers with the recorded bytes, `chunk` bytes per send (0: per step).
// Stops answering after `answers` client steps when that is not negative.
struct TTraceClient {
    void Run(TClient& client, const std::vector<TTraceStep>& steps, size_t chunk,
             int answers = -1) {
        for (size_t i = 0; i < steps.size(); ++i) {
            const auto& step = steps[i];
            if (step.fromServer) {
                if (client.Read(step.data.size()) != step.data) {
                    mismatch = "host's step " + std::to_string(i + 1) + " differs";
                    return;
                }
            } else {
                if (answers-- == 0) return;
                const size_t n = chunk ? chunk : step.data.size();
                for (size_t at = 0; at < step.data.size(); at += n)
                    client.Send(Bytes(step.data.begin() + at,
                                      step.data.begin() + std::min(at + n, step.data.size())));
            }
        }
    }
    std::string mismatch;
};

class ReplayTest : public HostSimTest,
                   public testing::WithParamInterface<std::tuple<std::string, size_t>> {};

TEST_P(ReplayTest, RecordedClientCompletesTheSession) {
    if (!HaveTraces()) GTEST_SKIP() << kNoTraces;
    const std::string file = std::get<0>(GetParam());
    const size_t chunk = std::get<1>(GetParam());
    const auto steps = ParseTrace(ReadTraceFile(file));
    Connect();
    TTraceClient script;
    std::jthread client([&] { script.Run(*client_, steps, chunk); });
    const TReplayResult result = Replay(*conn_, steps, kWait, 0ms);
    client.join();
    EXPECT_TRUE(result.completed) << result.error;
    EXPECT_EQ(script.mismatch, "");

    // One entry per run of client steps, holding what the client sent.
    std::vector<Bytes> groups;
    for (size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].fromServer) continue;
        if (i == 0 || steps[i - 1].fromServer) groups.emplace_back();
        groups.back().insert(groups.back().end(), steps[i].data.begin(), steps[i].data.end());
    }
    // The 3270 recording ends on a lone doubled IAC, which is no whole unit.
    if (groups.back() == Bytes{0xFF, 0xFF}) groups.back().clear();
    EXPECT_EQ(result.clientSteps, groups);
}

INSTANTIATE_TEST_SUITE_P(Traces, ReplayTest,
                         testing::Combine(testing::Values(std::string("tn5250-login.yml"),
                                                          std::string("tn3270-login.yml")),
                                          testing::Values(size_t{0}, size_t{3})),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param);
                             name = name.substr(0, name.find('-'));
                             const size_t chunk = std::get<1>(info.param);
                             return name + (chunk ? "_by" + std::to_string(chunk) : "_bystep");
                         });

TEST_F(HostSimTest, ReplayStopsWithoutHangingWhenTheClientFails) {
    if (!HaveTraces()) GTEST_SKIP() << kNoTraces;
    const auto steps = ParseTrace(ReadTraceFile("tn5250-login.yml"));
    const struct {
        const char* fault;
        bool close; // else the client stays connected and silent
        const char* error;
    } cases[] = {{"a silent client is waited for past the time-out", false, "timed out"},
                 {"a client that closes is waited for", true, "closed"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        Connect();
        std::jthread client([&] {
            TTraceClient script;
            script.Run(*client_, steps, 0, 2); // the first answer, in two steps
            if (c.close) client_->Close();
        });
        const auto start = steady_clock::now();
        const TReplayResult result = Replay(*conn_, steps, c.close ? kWait : 200ms, 0ms);
        EXPECT_LT(Since(start), kWait / 2);
        EXPECT_FALSE(result.completed);
        EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
        EXPECT_EQ(result.clientSteps.size(), 1u);
        client.join();
        conn_.reset();
        client_.reset();
    }
}

TEST_F(HostSimTest, ReplayCountsUnitsAClientSendsAhead) {
    Connect();
    const std::vector<TTraceStep> steps = {
        {true, kDoWillEor, 0},
        {false, {0xFF, 0xFB, 0x19}, 0},
        {true, kDoWillBinary, 0},
        {false, {0xFF, 0xFD, 0x19}, 0},
        {false, {0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x00}, 0},
    };
    std::jthread client([&] {
        client_->Read(6);
        // Every answer at once, before the host asks for BINARY.
        client_->Send({0xFF, 0xFB, 0x19, 0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x00});
        client_->Read(6);
    });
    const TReplayResult result = Replay(*conn_, steps, kWait, 0ms);
    EXPECT_TRUE(result.completed) << result.error;
    EXPECT_EQ(result.clientSteps,
              (std::vector<Bytes>{{0xFF, 0xFB, 0x19},
                                  {0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x00}}));
}

// ------------------------------------------------------------- telnet units

TEST(SplitTelnetUnitsTest, CountsUnitsAsReplayDoes) {
    const struct {
        const char* fault;
        Bytes raw;
        std::vector<Bytes> units;
    } cases[] = {
        {"nothing makes a unit", {}, {}},
        {"option commands run together",
         {0xFF, 0xFB, 0x19, 0xFF, 0xFD, 0x19},
         {{0xFF, 0xFB, 0x19}, {0xFF, 0xFD, 0x19}}},
        {"a subnegotiation ends at its first byte of IAC",
         {0xFF, 0xFA, 0x18, 0x00, 0x41, 0xFF, 0xFF, 0x42, 0xFF, 0xF0},
         {{0xFF, 0xFA, 0x18, 0x00, 0x41, 0xFF, 0xFF, 0x42, 0xFF, 0xF0}}},
        {"a doubled IAC ends a record",
         {0x01, 0xFF, 0xFF, 0x02, 0xFF, 0xEF},
         {{0x01, 0xFF, 0xFF, 0x02, 0xFF, 0xEF}}},
        {"an empty record is not a unit", {0xFF, 0xEF, 0xFF, 0xEF}, {{0xFF, 0xEF}, {0xFF, 0xEF}}},
        {"a record without IAC EOR is counted", {0x01, 0x02, 0xFF, 0xFF}, {}},
        {"half an option command is counted", {0xFF, 0xFB}, {}},
        {"half a subnegotiation is counted", {0xFF, 0xFA, 0x18, 0x00, 0x41, 0xFF}, {}},
        {"an option command inside a record becomes data",
         {0x01, 0xFF, 0xFD, 0x00, 0x02, 0xFF, 0xEF},
         {{0xFF, 0xFD, 0x00}, {0x01, 0x02, 0xFF, 0xEF}}},
        {"a two-byte command inside a record becomes data",
         {0x01, 0xFF, 0xF1, 0xFF, 0xEF},
         {{0xFF, 0xF1}, {0x01, 0xFF, 0xEF}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        EXPECT_EQ(SplitTelnetUnits(c.raw), c.units);
    }
}

} // namespace
