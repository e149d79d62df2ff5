// The telnet transport against a host on loopback: records, sends, the
// reader thread's checks and the close that runs once.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <algorithm>
#include <future>

#include "HostSim.h"
#include "Log32Fake.h"
#include "TelnetLink.h"
#include "support/LogCapture.h"
#include "uPLIntfLogg.h"

using namespace telnettest;
using hostsim::THostSim;
using hostsim::TSimConnection;

namespace {

TEST(Records, DoubledIacIsOneDataByteAndRecordsSplitAtEor) {
    Linked link;
    link.conn->SendRaw({0x01, IAC, IAC, 0x02, IAC, EOR, IAC, EOR, 0x03});
    link.conn->SendRaw({0x04, IAC, EOR});
    ASSERT_TRUE(link.session->Recorder().WaitForRecords(3));
    auto records = link.session->Recorder().Records();
    EXPECT_EQ(records[0], (Bytes{0x01, 0xFF, 0x02}));
    EXPECT_EQ(records[1], Bytes{}) << "IAC EOR with no data is still a record";
    EXPECT_EQ(records[2], (Bytes{0x03, 0x04})) << "a record split over two blocks";
    EXPECT_TRUE(link.session->WaitFor(ceScreenChanged, 2));
    EXPECT_EQ(link.session->fieldRebuilds.load(), 2) << "the empty record changed nothing";
}

TEST(Records, ExactlyFullRecordIsHandedOnInOneBlock) {
    auto session = MakeSession();
    std::vector<size_t> blocks;
    session->OnData = [&](TPLTelnet&, const uint8_t*, size_t n) { blocks.push_back(n); };
    Bytes record(TPLTelnet::kBufferSize, 0x40);
    record.insert(record.end(), {IAC, EOR});
    session->NewData(record.data(), record.size());
    EXPECT_EQ(blocks, std::vector<size_t>{TPLTelnet::kBufferSize});
    auto records = session->Recorder().Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].size(), TPLTelnet::kBufferSize);
}

TEST(Records, ReceivedBlocksAreDumpedOnceTheirRecordsEndedWithHiddenTextMasked) {
    TLogCapture logged;
    auto session = MakeSession();
    auto received = [] {
        Bytes all;
        for (const auto& d : log32fake::Dumps())
            if (d.title.starts_with("DATA STREAM RECIBIDO"))
                all.insert(all.end(), d.bytes.begin(), d.bytes.end());
        return all;
    };
    // A negotiation, then a record cut over three blocks with a doubled IAC
    // among its hidden bytes, a record whole in the last block, and the
    // start of one that never ends.
    const std::vector<Bytes> blocks = {
        {IAC, DO, 24, 'a', 'S', 'S'},
        {'S', IAC},
        {IAC, 'S', 'b', IAC, EOR, 'S', 'c', IAC, EOR, 'S', 'd'},
    };
    session->Receive(blocks[0].data(), blocks[0].size());
    EXPECT_EQ(received(), (Bytes{IAC, DO, 24})) << "the record's bytes wait for its end";
    session->Receive(blocks[1].data(), blocks[1].size());
    EXPECT_EQ(received(), (Bytes{IAC, DO, 24}));
    session->Receive(blocks[2].data(), blocks[2].size());
    const uint8_t M = kHiddenDumpByte;
    const Bytes shown = {IAC, DO, 24, 'a', M, M, M, IAC, IAC, M, 'b', IAC, EOR, M, 'c', IAC, EOR};
    EXPECT_EQ(received(), shown);
    EXPECT_EQ(session->Recorder().Records()[0], (Bytes{'a', 'S', 'S', 'S', IAC, 'S', 'b'}));
    // A long record goes to the dump whole, in pieces a dump can hold.
    Bytes longRecord(70000, 'x');
    longRecord.insert(longRecord.end(), {IAC, EOR});
    session->Receive(longRecord.data(), longRecord.size());
    Bytes all = shown;
    all.insert(all.end(), {M, 'd'}); // the unfinished record, then the long one
    all.insert(all.end(), longRecord.begin(), longRecord.end());
    EXPECT_EQ(received(), all);
    for (const auto& d : log32fake::Dumps())
        EXPECT_LE(d.bytes.size(), 8192u);
    DoneEngineLogs();
}

TEST(Records, FailingRecordDoesNotCostTheRecordsAfterIt) {
    Linked link;
    link.conn->SendRaw({0xEE, 0x01, IAC, EOR, 0x02, IAC, EOR});
    ASSERT_TRUE(link.session->Recorder().WaitForRecords(2));
    EXPECT_EQ(link.session->Recorder().Records()[1], Bytes{0x02});
}

TEST(Records, RecordPendingWhenBinaryOrEndOfRecordChangesIsDroppedWithoutItsBytes) {
    // A host that turns the option off in the middle of a record, sends one
    // while it is off and turns it on again: the next record starts clean.
    for (const auto& [option, name] :
         {std::pair{uint8_t{25}, "END-OF-RECORD"}, std::pair{uint8_t{0}, "BINARY"}}) {
        TLogCapture logged;
        {
            Linked link;
            ASSERT_TRUE(link.conn->Negotiate());
            link.conn->SendRaw({'P', 'W', '1', IAC, WONT, option});
            link.conn->SendRaw({'P', 'W', '2', IAC, IAC, IAC, WILL, option});
            link.conn->SendRecord({'A', 'F', 'T', 'E', 'R'});
            ASSERT_TRUE(link.session->Recorder().WaitForRecords(1));
            link.session->CloseSession();
            link.session->JoinReader();
            EXPECT_EQ(link.session->Recorder().Records(),
                      (std::vector<Bytes>{{'A', 'F', 'T', 'E', 'R'}}))
                << name;
        }
        DoneEngineLogs();
        for (size_t length : {3, 4})
            EXPECT_EQ(log32fake::DroppedRecordLines(length, std::string("cambio el modo ") + name),
                      1)
                << name << ", " << length << " bytes";
        EXPECT_EQ(log32fake::WhereLogged({Bytes{'P', 'W'}}), "") << name;
    }
}

TEST(Records, LongRecordWithDoubledIacsArrivesWholeHoweverTheBlocksFall) {
    // Three buffers' worth of data with 0xFF bytes strewn through it, then a
    // short record, cut into blocks of many sizes.
    Bytes record;
    for (size_t i = 0; i < 3 * TPLTelnet::kBufferSize; ++i)
        record.push_back(i % 97 == 0 ? IAC : static_cast<uint8_t>(i));
    Bytes wire;
    for (uint8_t b : record) {
        wire.push_back(b);
        if (b == IAC) wire.push_back(IAC);
    }
    wire.insert(wire.end(), {IAC, EOR, 0x05, IAC, EOR});
    for (size_t block :
         {size_t{1}, size_t{2}, size_t{7}, TPLTelnet::kBufferSize - 1, wire.size()}) {
        auto session = MakeSession();
        size_t largest = 0;
        session->OnData = [&](TPLTelnet&, const uint8_t*, size_t n) {
            largest = std::max(largest, n);
        };
        for (size_t at = 0; at < wire.size(); at += block)
            session->NewData(wire.data() + at, std::min(block, wire.size() - at));
        const auto records = session->Recorder().Records();
        ASSERT_EQ(records.size(), 2u) << "blocks of " << block;
        EXPECT_EQ(records[0], record) << "blocks of " << block;
        EXPECT_EQ(records[1], Bytes{0x05}) << "blocks of " << block;
        EXPECT_LE(largest, TPLTelnet::kBufferSize) << "blocks of " << block;
    }
}

TEST(Records, NothingOfABlockIsParsedAfterTheSessionEndsItself) {
    // A second terminal-type request ends the session in the middle of the
    // block; the record after it is never handed on, nor dumped: it was
    // never interpreted. With one request only, both records are.
    const Bytes askType = {IAC, SB, 24, 1, IAC, SE};
    for (int requests : {1, 2}) {
        TLogCapture logged;
        auto session = MakeSession();
        Bytes block = {0x01, IAC, EOR};
        for (int i = 0; i < requests; ++i)
            block.insert(block.end(), askType.begin(), askType.end());
        block.insert(block.end(), {'P', 'W', IAC, EOR, 'Q'});
        session->Receive(block.data(), block.size());
        const std::vector<Bytes> expected =
            requests == 1 ? std::vector<Bytes>{{0x01}, {'P', 'W'}} : std::vector<Bytes>{{0x01}};
        EXPECT_EQ(session->Recorder().Records(), expected) << requests << " requests";
        DoneEngineLogs();
        EXPECT_EQ(log32fake::WhereLogged({Bytes{'P', 'W'}}).empty(), requests == 2)
            << requests << " requests";
    }
}

TEST(Records, StatusTextReportsKeyboardLockedAndUnlocked) {
    Linked link;
    link.conn->SendRecord({0x5A, 'X', ' ', 'S', 'Y', 'S'});
    ASSERT_TRUE(link.session->WaitFor(ceKbdLocked));
    link.conn->SendRecord({0x5A});
    ASSERT_TRUE(link.session->WaitFor(ceKbdUnlocked));
    link.conn->SendRecord({0x5A});
    link.conn->SendRecord({0x01});
    ASSERT_TRUE(link.session->Recorder().WaitForRecords(4));
    EXPECT_EQ(link.session->Count(ceKbdUnlocked), 1) << "the same status twice is no change";
}

TEST(Sending, RecordsAreFramedWithTheirIacBytesDoubled) {
    Linked link;
    const Bytes record = {0x00, 0x0A, 0xFF, 0x12, 0xFF, 0xFF};
    EXPECT_GT(link.session->SendRecord(record.data(), record.size()), 0);
    Bytes got;
    ASSERT_TRUE(link.conn->ReadRecord(got));
    EXPECT_EQ(got, record);
    EXPECT_EQ(link.conn->Captured(),
              (Bytes{0x00, 0x0A, 0xFF, 0xFF, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, IAC, EOR}));
}

TEST(Sending, NothingIsSentAfterTheClose) {
    Linked link;
    link.session->CloseSession();
    link.session->JoinReader();
    const Bytes record = {0x01};
    EXPECT_EQ(link.session->SendRecord(record.data(), record.size()), -1);
    EXPECT_FALSE(link.session->Connected());
}

TEST(Opening, FailuresCarryTheSystemText) {
    uint16_t closedPort;
    {
        THostSim gone;
        closedPort = gone.Port();
    }
    auto session = MakeSession();
    try {
        session->Connect(closedPort);
        ADD_FAILURE() << "connected to a closed port";
    } catch (const ESocketError& e) {
        EXPECT_NE(std::string(e.what()).find("Connection refused"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(session->Connected());
    EXPECT_TRUE(session->Events().empty());
    session->Host = "no-such-host.invalid";
    EXPECT_THROW(session->Connect(23), ESocketError);
    session->Host = "127.0.0.1";
    session->Port = "no-such-service";
    EXPECT_THROW(session->TPLTelnet::Connect(), ESocketError);
}

TEST(Opening, HostThatNeverAnswersFailsAtTheTimeLimitWithTheSystemText) {
    hostsim::TUnansweringHost silent;
    auto session = MakeSession();
    session->Timing.ConnectMillis = 300;
    const auto start = std::chrono::steady_clock::now();
    try {
        session->Connect(silent.Port());
        ADD_FAILURE() << "connected to a host that never answers";
    } catch (const ESocketError& e) {
        EXPECT_NE(std::string(e.what()).find("Connection timed out"), std::string::npos)
            << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(session->Connected());
    EXPECT_TRUE(session->Events().empty());
}

TEST(Opening, ConnectionIsKeptAliveSoAVanishedHostIsNoticed) {
    THostSim host;
    TTcpSocket socket;
    socket.Open("127.0.0.1", ParsePortText(std::to_string(host.Port())));
    int on = 0;
    socklen_t size = sizeof on;
    ASSERT_EQ(getsockopt(socket.Fd(), SOL_SOCKET, SO_KEEPALIVE, &on, &size), 0);
    EXPECT_EQ(on, 1);
}

TEST(Opening, PortTextChoosesPortOrService) {
    EXPECT_EQ(ParsePortText("").Service, "telnet");
    EXPECT_EQ(ParsePortText("2323").Port, 2323);
    EXPECT_EQ(ParsePortText("2323").Service, "");
    EXPECT_EQ(ParsePortText("-1").Service, "-1");
    EXPECT_EQ(ParsePortText("telnets").Service, "telnets");
}

TEST(Model, SizesAndRefusal) {
    auto session = std::make_shared<TTestSession>();
    session->SetModel(5);
    EXPECT_EQ(session->Rows(), 27);
    EXPECT_EQ(session->Cols(), 132);
    EXPECT_EQ(session->ScreenSize(), 3564);
    try {
        session->SetModel(6);
        ADD_FAILURE();
    } catch (const EPLError& e) {
        EXPECT_STREQ(e.what(), "invalid model number");
    }
    EXPECT_EQ(LastErrorText(), "Invalid model number");
    EXPECT_EQ(session->ScreenSize(), 3564);
}

TEST(Closing, HostClosingReportsDisconnectedOnceOnTheReaderThread) {
    Linked link;
    link.conn->Close();
    ASSERT_TRUE(link.session->WaitFor(ceSessionDisconnected));
    link.session->JoinReader();
    auto events = link.session->Events();
    EXPECT_EQ(link.session->Count(ceSessionDisconnected), 1);
    EXPECT_NE(events.back().thread, std::this_thread::get_id());
    EXPECT_FALSE(link.session->Connected());
}

TEST(Closing, CallerClosingWhileTheReaderWaitsReportsOnceOnTheCallersThread) {
    Linked link;
    ASSERT_TRUE(link.conn->Negotiate());
    link.session->CloseSession();
    link.session->CloseSession();
    link.session->JoinReader();
    auto events = link.session->Events();
    EXPECT_EQ(link.session->Count(ceSessionDisconnected), 1);
    EXPECT_EQ(events.back().event, ceSessionDisconnected);
    EXPECT_EQ(events.back().thread, std::this_thread::get_id());
    EXPECT_TRUE(link.conn->WaitClientClosed());
}

TEST(Closing, ConcurrentClosersRunTheCloseOnce) {
    Linked link;
    std::vector<std::thread> closers;
    for (int i = 0; i < 8; ++i)
        closers.emplace_back([&] { link.session->CloseSession(); });
    link.conn->Close();
    for (auto& t : closers)
        t.join();
    link.session->JoinReader();
    EXPECT_EQ(link.session->Count(ceSessionDisconnected), 1);
    EXPECT_EQ(link.session->Events().back().event, ceSessionDisconnected)
        << "no event follows the disconnection";
}

TEST(Reader, QuietHostIsCheckedOnEverySixthWait) {
    THostSim host;
    auto session = MakeSession();
    session->Timing.WaitMillis = 20;
    auto start = std::chrono::steady_clock::now();
    session->Connect(host.Port());
    auto conn = host.Accept();
    ASSERT_TRUE(session->WaitFor(ceIsAlive, 2));
    session->CloseSession();
    session->JoinReader();
    // Six waits of 20 ms stand for a minute of six 10-second waits.
    EXPECT_GE(session->aliveChecks[0] - start, 6 * 20ms - 5ms);
    EXPECT_GE(session->aliveChecks[1] - session->aliveChecks[0], 6 * 20ms - 5ms);
}

TEST(Reader, NoFromTheLivenessCheckEndsTheSession) {
    THostSim host;
    auto session = MakeSession();
    session->Timing.WaitMillis = 5;
    session->aliveAnswer = false;
    session->Connect(host.Port());
    auto conn = host.Accept();
    ASSERT_TRUE(session->WaitFor(ceSessionDisconnected));
    session->JoinReader();
    EXPECT_EQ(session->Count(ceIsAlive), 1);
    EXPECT_TRUE(conn->WaitClientClosed());
}

TEST(Reader, RunawayHostIsStopped) {
    // Bytes that never end a record, as data or as a subnegotiation that
    // never ends.
    for (bool subnegotiation : {false, true}) {
        THostSim host;
        auto session = MakeSession();
        session->Connect(host.Port());
        auto conn = host.Accept();
        if (subnegotiation) conn->SendRaw({IAC, SB, 24});
        std::thread flood([&] { conn->Flood(100000, 1024); });
        EXPECT_TRUE(session->WaitFor(ceSessionDisconnected, 1, 20000ms)) << subnegotiation;
        flood.join();
        session->JoinReader();
        const std::string text =
            "The host sent more than 4 MiB without ending a record; the session was closed";
        EXPECT_EQ(session->Events().back().lastError, text) << "the report says why";
        EXPECT_EQ(session->EndErrorText(), text);
    }
}

TEST(Reader, BusyHostKeepsItsSession) {
    Linked link;
    // Records as fast as the host can send them, each answered, then a burst
    // of records far beyond the bytes of a runaway host, each ended.
    for (int i = 0; i < 1000; ++i) {
        link.conn->SendRecord({static_cast<uint8_t>(i)});
        ASSERT_TRUE(link.session->Recorder().WaitForRecords(static_cast<size_t>(i) + 1));
        const uint8_t reply[] = {0x7D};
        ASSERT_GT(link.session->SendRecord(reply, 1), 0) << i;
    }
    for (int i = 0; i < 5000; ++i)
        link.conn->SendRecord(Bytes(2000, 0x40));
    ASSERT_TRUE(link.session->Recorder().WaitForRecords(6000, 20000ms));
    EXPECT_EQ(link.session->Count(ceSessionDisconnected), 0);
}

// A session whose host has stopped reading; a send gives up soon.
struct TUnreadHost {
    THostSim host;
    std::shared_ptr<TTestSession> session = MakeSession();
    std::unique_ptr<TSimConnection> conn;
    TUnreadHost() {
        session->Timing.SendMillis = 300;
        session->Connect(host.Port());
        conn = host.Accept();
        if (!conn) throw std::runtime_error("no connection");
        conn->StopReading();
    }
};

TEST(Sending, HostThatStopsReadingEndsTheSessionAtTheTimeLimit) {
    TUnreadHost link;
    auto& [host, session, conn] = link;
    // The host's window fills; the send that no longer fits fails.
    const Bytes block(64 * 1024, 0x40);
    long sent = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000 && sent >= 0; ++i)
        sent = session->SendData(block.data(), block.size());
    EXPECT_EQ(sent, -1) << "every send went through";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_NE(session->LastSendErrorText().find("Connection timed out"), std::string::npos)
        << session->LastSendErrorText();
    EXPECT_TRUE(session->WaitFor(ceSessionDisconnected));
    EXPECT_EQ(session->EndErrorText(), session->LastSendErrorText());
    conn->ResumeReading();
    session->JoinReader();
}

TEST(Sending, RecordsBehindAFailedSendAreDroppedAndLoggedOnceNeverAsSent) {
    TLogCapture logged;
    TUnreadHost link;
    auto& [host, session, conn] = link;
    // Records made under the session lock, as the reader makes its answers
    // to a block, go out once it is let go: more than the host's window
    // takes, so that a send gives up with records still queued behind it.
    constexpr int kRecords = 256, kSize = 64 * 1024;
    const Bytes record(kSize, 0x40);
    {
        std::lock_guard lock(session->SessionLock);
        for (int i = 0; i < kRecords; ++i)
            session->SendData(record.data(), record.size());
    }
    ASSERT_TRUE(session->WaitFor(ceSessionDisconnected));
    EXPECT_EQ(session->SendData(record.data(), record.size()), -1) << "made after the failure";
    session->JoinReader();
    DoneEngineLogs();
    conn->ResumeReading();
    ASSERT_TRUE(conn->WaitClientClosed());
    // Handed to the socket: each record that arrived whole, and the one whose
    // send failed.
    const int handed = static_cast<int>(conn->Captured().size() / kSize) + 1;
    ASSERT_LT(handed, kRecords) << "no send failed";
    EXPECT_EQ(log32fake::MessagesWith("Enviando informacion a Host"), handed);
    EXPECT_EQ(
        std::count_if(log32fake::Dumps().begin(), log32fake::Dumps().end(),
                      [](const auto& d) { return d.title.starts_with("DATA STREAM ENVIADO"); }),
        handed);
    EXPECT_EQ(log32fake::MessagesWith("descartados sin enviar"), 1);
    EXPECT_EQ(
        log32fake::MessagesWith(Format("%d registros (%d bytes) descartados sin enviar al Host",
                                       kRecords - handed, (kRecords - handed) * kSize)),
        1);
}

// A session whose reader is blocked sending to a host that reads no more.
struct Stalled {
    THostSim host;
    std::shared_ptr<TTestSession> session = MakeSession();
    std::unique_ptr<TSimConnection> conn;
    bool stalled = false;
    Stalled() {
        // Option changes whose answers (WILL SEND-LOCATION and a long
        // location) fill the host's window; an empty record after each, so
        // that the host does not run away.
        session->Location = std::string(1000, 'L');
        // Only what a test does ends the blocked send, or a fault after half
        // a minute.
        session->Timing.SendMillis = 30000;
        session->Connect(host.Port());
        conn = host.Accept();
        stalled = conn && conn->StallClient({IAC, DO, 23, IAC, DONT, 23, IAC, EOR});
    }
};

TEST(Sending, ReaderBlockedSendingLeavesTheSessionLockFreeAndKeepsTheOrder) {
    Stalled link;
    ASSERT_TRUE(link.stalled) << "the reader never blocked";
    auto& session = link.session;
    auto& conn = link.conn;
    { std::lock_guard lock(session->SessionLock); }
    EXPECT_TRUE(conn->StillStalled()) << "the lock waited on the send";
    // A record of the owner's waits for the answers made before it, then
    // follows them whole.
    const Bytes record = {0x01, IAC, 0x02};
    const uint64_t queued = session->LastQueued();
    auto sent = std::async(std::launch::async,
                           [&] { return session->SendRecord(record.data(), record.size()); });
    for (int i = 0; i < 30000 && session->LastQueued() == queued; ++i)
        std::this_thread::sleep_for(1ms);
    ASSERT_NE(session->LastQueued(), queued) << "the record was never queued";
    EXPECT_TRUE(conn->StillStalled()) << "it passed the answers";
    conn->ResumeReading();
    EXPECT_EQ(sent.get(), 6);
    Bytes got;
    ASSERT_TRUE(conn->ReadRecord(got));
    EXPECT_EQ(got, record);
    // Answers before it and after it, none inside it.
    Bytes answer = {IAC, WILL, 23, IAC, SB, 23};
    answer.insert(answer.end(), 1000, 'L');
    answer.insert(answer.end(), {IAC, SE, IAC, WONT, 23});
    Bytes all = conn->Captured();
    const Bytes frame = {0x01, IAC, IAC, 0x02, IAC, EOR};
    const auto at = std::search(all.begin(), all.end(), frame.begin(), frame.end());
    ASSERT_NE(at, all.end());
    all.erase(at, at + 6);
    for (size_t i = 0; i < all.size(); i += answer.size()) {
        const size_t n = std::min(answer.size(), all.size() - i);
        ASSERT_TRUE(std::equal(answer.begin(), answer.begin() + long(n), all.begin() + long(i)))
            << "at " << i << (i == size_t(at - all.begin()) ? ", where the record was" : "");
    }
    session->CloseSession();
    session->JoinReader();
}

TEST(Closing, CallersCloseWakesAReaderBlockedSending) {
    Stalled link;
    ASSERT_TRUE(link.stalled) << "the reader never blocked";
    auto& session = link.session;
    if (session->ClaimClose()) {
        std::lock_guard lock(session->SessionLock);
        session->FinishClose();
    }
    EXPECT_EQ(session->Count(ceSessionDisconnected), 1);
    EXPECT_EQ(session->EndErrorText(), "") << "a close asked for is no error";
    session->JoinReader();
    // The close, not the time limit, ended the send.
    EXPECT_EQ(session->LastSendErrorText().find("timed out"), std::string::npos)
        << session->LastSendErrorText();
}

TEST(Stress, TwoHundredSessionsOpenAndCloseWhileTheHostFloods) {
    THostSim host;
    std::atomic<bool> done{false};
    std::thread server([&] {
        std::vector<std::thread> floods;
        while (!done) {
            auto conn = host.Accept(100ms);
            if (!conn) continue;
            floods.emplace_back([c = std::shared_ptr<TSimConnection>(std::move(conn))] {
                c->Flood(2000, 32);
                c->Close();
            });
        }
        for (auto& t : floods)
            t.join();
    });
    for (int i = 0; i < 200; ++i) {
        auto session = MakeSession(i % 255 + 1);
        session->Connect(host.Port());
        if (i % 3) std::this_thread::sleep_for(std::chrono::microseconds(200 * (i % 7)));
        session->CloseSession();
        session->JoinReader();
        ASSERT_EQ(session->Count(ceSessionDisconnected), 1) << "session " << i;
    }
    done = true;
    server.join();
}

} // namespace
