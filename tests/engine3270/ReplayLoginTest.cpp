// A recorded TN3270 log-on played back by the host simulator: the engine
// refuses TN3270E as the recorded client did, shows the host's screens as
// fields, and the records that carry the user's input match the recording
// byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/ScreenIo.h"
#include "support/SimSession.h"
#include "support/Stream3270.h"

using namespace std::chrono_literals;
using namespace s3270;

namespace {

const std::filesystem::path kTrace =
    std::filesystem::path(CORVALEN_TRACES_DIR) / "tn3270-login.yml";

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string Hex(const Bytes& bytes) {
    std::ostringstream out;
    for (uint8_t b : bytes)
        out << std::hex << (b < 16 ? "0" : "") << int(b);
    return out.str();
}

// The recorded client's steps that end in IAC EOR: its input records.
std::vector<Bytes> RecordedInputRecords(const std::vector<hostsim::TTraceStep>& steps) {
    std::vector<Bytes> records;
    for (const auto& step : steps)
        if (!step.fromServer && step.data.size() > 2 && step.data[step.data.size() - 2] == 0xFF &&
            step.data.back() == 0xEF)
            records.push_back(step.data);
    return records;
}

// The host's side of the recording, played on its own thread. Host delays
// are cut short: the engine's answers, not its patience, are under test.
class TReplayThread {
public:
    TReplayThread(hostsim::TSimConnection& conn, const std::vector<hostsim::TTraceStep>& steps)
        : conn_(conn),
          thread_([this, &steps] { result_ = hostsim::Replay(conn_, steps, 5s, 20ms); }) {}
    // Closing the line ends a replay still waiting for the client.
    ~TReplayThread() {
        conn_.Close();
        if (thread_.joinable()) thread_.join();
    }
    const hostsim::TReplayResult& Finish() {
        if (thread_.joinable()) thread_.join();
        return result_;
    }

private:
    hostsim::TSimConnection& conn_;
    hostsim::TReplayResult result_;
    std::thread thread_;
};

bool UnprotectedAt(const THostFields& list, int row, int col) {
    const THostBasicField* f = screenio::FieldAt(list, row, col);
    return f && f->GetAttr().Has(attUnProtected);
}

TEST(ReplayLogin3270, InputRecordsMatchTheRecordingByteForByte) {
    if (!std::filesystem::exists(kTrace)) GTEST_SKIP() << "no recorded sessions at " << kTrace;
    const auto steps = hostsim::ParseTrace(ReadFile(kTrace));
    const auto recordedInput = RecordedInputRecords(steps);
    ASSERT_EQ(recordedInput.size(), 2u) << "the recording changed";

    hostsim::THostSim host(hostsim::TProtocol::TN3270);
    TEventRecorder events(Engine3270().LastErrMsg);
    const std::string connStr = "127.0.0.1;PORT=" + std::to_string(host.Port());
    const int32_t handle =
        Engine3270().Connect(connStr.c_str(), events.UserData(), &TEventRecorder::Callback);
    ASSERT_GT(handle, 0) << Engine3270().LastErrMsg();
    auto conn = host.Accept();
    if (!conn) {
        Engine3270().Disconnect(handle);
        FAIL() << "the engine did not connect";
    }
    TReplayThread replay(*conn, steps);
    // Declared last, so that the session is closed while the line still stands.
    struct TDisconnectAtEnd {
        int32_t handle;
        ~TDisconnectAtEnd() { Engine3270().Disconnect(handle); }
    } disconnectAtEnd{handle};

    // The user id screen: an input field from row 1 column 27; the recorded
    // user typed "testusr" there and left the cursor after it.
    THostFields screen;
    ASSERT_TRUE(screenio::WaitForScreen(
        handle, events, [](const THostFields& l) { return UnprotectedAt(l, 1, 27); }, screen))
        << screenio::Describe(screen);
    EXPECT_EQ(screenio::FieldAt(screen, 1, 2)->Data, "AAAAAAAAA ENTER USERID -");
    const int userLen = screenio::FieldAt(screen, 1, 27)->Len;
    EXPECT_EQ(userLen, 54);
    ASSERT_EQ(screenio::Send(handle, "@E", 33, {{27, userLen, "testusr"}}), 0);

    // The password screen: a hidden input field at row 8 column 20.
    ASSERT_TRUE(screenio::WaitForScreen(
        handle, events, [](const THostFields& l) { return UnprotectedAt(l, 8, 20); }, screen))
        << screenio::Describe(screen);
    const THostBasicField* password = screenio::FieldAt(screen, 8, 20);
    EXPECT_TRUE(password->GetAttr().Has(attNonDisplay));
    EXPECT_EQ(password->Len, 8);
    EXPECT_EQ(screen.CurPos, Cell(8, 20));
    const THostBasicField* user = screenio::FieldAt(screen, 6, 20);
    ASSERT_NE(user, nullptr) << screenio::Describe(screen);
    EXPECT_EQ(user->Data, "TESTUSR");
    ASSERT_EQ(screenio::Send(handle, "@E", Cell(8, 27), {{Cell(8, 20) + 1, 8, "testpsw"}}), 0);

    // The host's last screen: READY at row 22.
    EXPECT_TRUE(screenio::WaitForScreen(
        handle, events,
        [](const THostFields& l) {
            const THostBasicField* f = screenio::FieldAt(l, 22, 2);
            return f && f->Data == "READY";
        },
        screen))
        << screenio::Describe(screen);
    const hostsim::TReplayResult& result = replay.Finish();
    ASSERT_TRUE(result.completed) << result.error;

    // Client steps: WONT TN3270E, WILL TERMINAL-TYPE, the terminal type, WILL
    // EOR, then DO EOR with the binary answers, then the two input records.
    ASSERT_EQ(result.clientSteps.size(), 8u);
    const Bytes negotiation[] = {
        {0xFF, 0xFC, 0x28},
        {0xFF, 0xFB, 0x18},
        {},
        {0xFF, 0xFB, 0x19},
        {0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x00},
    };
    for (size_t i = 0; i < std::size(negotiation); ++i) {
        if (i == 2) continue;
        EXPECT_EQ(Hex(result.clientSteps[i]), Hex(negotiation[i])) << "step " << i;
    }
    // The recorded client named another model; this engine names its own.
    const std::string type = "IBM-3278-2-E";
    EXPECT_EQ(Hex(result.clientSteps[2]),
              Hex(Cat({{0xFF, 0xFA, 0x18, 0x00}, Bytes(type.begin(), type.end()), {0xFF, 0xF0}})));
    EXPECT_EQ(Hex(result.clientSteps[5]), Hex(recordedInput[0])) << "the user id record";
    EXPECT_EQ(Hex(result.clientSteps[6]), Hex(recordedInput[1])) << "the password record";
}

} // namespace
