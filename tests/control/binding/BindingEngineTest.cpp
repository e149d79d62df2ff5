// The binding with the real 5250 engine module, against a host on loopback.
#include <gtest/gtest.h>

#include <algorithm>

#include "BindingEvents.h"
#include "HostSim.h"
#include "uPlComApi.h"
#include "uPlComComun.h"

using hostsim::Bytes;
using hostsim::THostSim;

// AddressSanitizer's runtime in this toolchain takes a dynamic TLS block that
// happens to start 16 bytes past a page boundary for one with a header before
// it, reads bounds from that "header" and crashes while it scans for leaks at
// exit. The engine module's thread-local texts are such blocks, so whether a
// run crashes depends on the memory layout alone. Without the interception the
// leak scan still reaches those blocks through the thread's own TLS.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
    return "intercept_tls_get_addr=0";
}

namespace {

// A 5250 record: header (length, type, variable header length, flags,
// opcode 3) and the data.
Bytes Record(const Bytes& data) {
    const size_t length = 10 + data.size();
    const uint8_t header[] = {static_cast<uint8_t>(length >> 8),
                              static_cast<uint8_t>(length),
                              0x12,
                              0xA0,
                              0x00,
                              0x00,
                              0x04,
                              0x00,
                              0x00,
                              0x03};
    Bytes record(length);
    std::copy(std::begin(header), std::end(header), record.begin());
    std::copy(data.begin(), data.end(), record.begin() + 10);
    return record;
}

// Write to display from row 1 column 1, keyboard unlocked: an attribute byte
// (0x20) before every character, so that nearly every other cell starts a
// field. Its field list is far larger than 8192 bytes.
Bytes DenseScreen() {
    Bytes data = {0x04, 0x11, 0x00, 0x08, 0x11, 0x01, 0x01};
    for (int i = 0; i < 959; ++i) {
        data.push_back(0x20);
        data.push_back(0xC1); // "A"
    }
    return Record(data);
}

// The keyboard unlocked again, nothing else changed.
Bytes Unlock() {
    return Record({0x04, 0x11, 0x00, 0x08});
}

TEST(BindingEngine, DllPathInAnotherCaseConnectsFetchesADenseScreenWholeSendsAndCloses) {
    THostSim host;
    TRecorder recorder;
    TPLComApi api;
    recorder.Attach(api);
    api.SetModulePath(CORVALEN_BIN_DIR "/pltn5250.DLL");
    api.SetConnectParams("127.0.0.1;PORT=" + std::to_string(host.Port()));
    api.AsyncConnect = false;
    ASSERT_TRUE(api.Connect()) << api.LastError();
    ASSERT_GT(api.Session(), 0);
    auto conn = host.Accept();
    ASSERT_TRUE(conn);
    ASSERT_TRUE(conn->Negotiate());

    conn->SendRecord(DenseScreen());
    ASSERT_TRUE(recorder.WaitFor("screen"));
    api.RefreshScreen();
    TMemoryStream whole;
    api.ScreenFields.SaveToStream(whole);
    EXPECT_GT(whole.size(), static_cast<size_t>(TPLComApi::kScreenBufferSize));
    EXPECT_GE(api.ScreenFields.Count(), 959);
    const THostBasicField* last = api.ScreenFields.GetField(api.ScreenFields.Count() - 1);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->Row, 24) << "the list reaches the end of the screen";

    recorder.Clear();
    ASSERT_TRUE(api.SendAid("Enter"));
    ASSERT_FALSE(recorder.Events().empty());
    EXPECT_EQ(recorder.Events().front(), "locked");
    Bytes reply;
    ASSERT_TRUE(conn->ReadRecord(reply));
    ASSERT_GT(reply.size(), 12u);
    EXPECT_EQ(reply[12], 0xF1) << "the ENTER AID";
    conn->SendRecord(Unlock());
    EXPECT_TRUE(recorder.WaitFor("unlocked"));

    recorder.Clear();
    api.Disconnect();
    EXPECT_FALSE(api.Connected());
    EXPECT_EQ(api.Session(), 0);
    EXPECT_EQ(recorder.Events(), TEvents{"disconnected"});
    EXPECT_TRUE(conn->WaitClientClosed());
}

TEST(BindingEngine, ModulePathOfTheTypeLoadsTheEngineAndAFailedConnectCarriesItsText) {
    uint16_t closed;
    {
        THostSim gone;
        closed = gone.Port();
    }
    TRecorder recorder;
    TPLComApi api;
    recorder.Attach(api);
    std::string path;
    GetModulePath("TN5250", path);
    api.SetModulePath(path);
    api.SetConnectParams("127.0.0.1;PORT=" + std::to_string(closed));
    // The engine connects on a thread of the binding's; its text, which is
    // that thread's, arrives with the outcome.
    EXPECT_FALSE(api.Connect());
    ASSERT_TRUE(recorder.WaitFor("disconnected"));
    EXPECT_NE(api.ModuleHandle(), nullptr);
    EXPECT_EQ(api.LastError().find("refused") != std::string::npos, true) << api.LastError();
    EXPECT_EQ(recorder.Events(), (TEvents{"connect-error", "disconnected"}));
}

} // namespace
