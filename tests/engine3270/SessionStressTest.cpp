// Many 3270 sessions at once through the module's exports: hosts send
// screens while callers read and answer them, then everything closes from
// both sides at the same moment. Run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "HostSim.h"
#include "engine5250/EngineCallbacks.h"
#include "support/Engine3270Module.h"
#include "uPlBasFld.h"

using namespace std::chrono_literals;

namespace {

hostsim::Bytes ScreenRecord(uint8_t n) {
    // Title, an input field on row 2, the cursor in it; never a 0xFF byte.
    return {0xF5,
            0xC3,
            0x11,
            0x40,
            0x40,
            0x1D,
            0x60,
            0xE3,
            0xC9,
            0xE3,
            0xD3,
            0xC5,
            static_cast<uint8_t>(0xF0 + n % 10),
            0x11,
            0xC1,
            0x50,
            0x1D,
            0x40,
            0x13,
            0x11,
            0xC1,
            0x60,
            0x1D,
            0x60};
}

TEST(SessionStress, SessionsReadAndAnsweredWhileTheHostWritesCloseFromBothSides) {
    constexpr int kSessions = 32;
    static TEngine3270Module engine(CORVALEN_BIN_DIR "/PLTn3270.so");
    hostsim::THostSim host(hostsim::TProtocol::TN3270);
    std::atomic<bool> closing{false};
    std::vector<std::unique_ptr<hostsim::TSimConnection>> conns(kSessions);
    std::vector<TEventLog> events(kSessions);
    std::vector<int32_t> handles(kSessions);
    const std::string connStr = "127.0.0.1;PORT=" + std::to_string(host.Port());
    for (int i = 0; i < kSessions; ++i) {
        handles[i] = engine.Connect(connStr.c_str(), events[i].UserData(), &TEventLog::Callback);
        ASSERT_GT(handles[i], 0) << engine.LastErrMsg();
        conns[i] = host.Accept();
        ASSERT_TRUE(conns[i]);
        ASSERT_TRUE(conns[i]->Negotiate());
    }
    // Each host sends a screen every 40 ms: busy, but below what the reader
    // takes for a runaway host.
    std::vector<std::thread> hosts;
    for (int i = 0; i < kSessions; ++i)
        hosts.emplace_back([&, i] {
            for (uint8_t n = 0; !closing; ++n) {
                conns[i]->SendRecord(ScreenRecord(n));
                std::this_thread::sleep_for(40ms);
            }
            conns[i]->Close();
        });
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([&, t] {
            std::vector<uint8_t> buffer(8192);
            while (!closing) {
                for (int i = t; i < kSessions; i += 4) {
                    const int32_t n = engine.GetScreen(handles[i], buffer.data(), 8192);
                    if (n <= 0) continue;
                    THostFields list;
                    TMemoryStream s(std::span<const uint8_t>(buffer.data(), size_t(n)));
                    list.LoadFromStream(s);
                    for (auto& f : list.Fields)
                        if (f->GetAttr().Has(attUnProtected)) {
                            f->Data = "X";
                            f->SetAttr({attUnProtected, attModified});
                        }
                    list.CurPos = 82;
                    TMemoryStream out;
                    list.SaveToStream(out);
                    engine.SendToScreen(handles[i], i % 2 ? "@E" : "@y", out.data(),
                                        int32_t(out.size()));
                }
            }
        });
    std::this_thread::sleep_for(1500ms);
    closing = true;
    for (int i = 0; i < kSessions; ++i)
        engine.Disconnect(handles[i]);
    for (auto& t : callers)
        t.join();
    for (auto& t : hosts)
        t.join();
    for (int i = 0; i < kSessions; ++i) {
        ASSERT_TRUE(events[i].WaitFor(2)) << "session " << i;
        EXPECT_EQ(events[i].Count(2), 1) << "session " << i;
        EXPECT_EQ(events[i].Entries().back().event, 2) << "nothing after the disconnection";
        EXPECT_GT(events[i].Count(4), 0) << "session " << i << " saw a screen";
    }
}

} // namespace
