// Many sessions at once: hosts send screens while the caller reads and
// writes them, then everything closes from both sides at the same moment.
#include <gtest/gtest.h>

#include <atomic>

#include "EngineCallbacks.h"
#include "HostSim.h"
#include "support/EngineModule.h"
#include "uPlBasFld.h"

using namespace std::chrono_literals;

namespace {

TEngineModule& Engine() {
    static TEngineModule module(CORVALEN_BIN_DIR "/PLTn5250.so");
    return module;
}

hostsim::Bytes ScreenRecord(uint8_t n) {
    hostsim::Bytes r = {0x00,
                        0x00,
                        0x12,
                        0xA0,
                        0x00,
                        0x00,
                        0x04,
                        0x00,
                        0x00,
                        0x03,
                        0x04,
                        0x11,
                        0x00,
                        0x08,
                        0x11,
                        0x02,
                        0x05,
                        0xC1,
                        static_cast<uint8_t>(0xF0 + n % 10),
                        0x11,
                        0x05,
                        0x0A,
                        0x1D,
                        0x40,
                        0x00,
                        0x24,
                        0x00,
                        0x08};
    r[1] = static_cast<uint8_t>(r.size());
    return r;
}

TEST(InterfaceStress, SixtyFourSessionsCloseFromBothSidesAtOnce) {
    constexpr int kSessions = 64;
    hostsim::THostSim host;
    std::atomic<bool> closing{false};
    std::vector<std::unique_ptr<hostsim::TSimConnection>> conns(kSessions);
    std::vector<TEventLog> events(kSessions);
    std::vector<int32_t> handles(kSessions);
    const std::string connStr = "127.0.0.1;PORT=" + std::to_string(host.Port());
    for (int i = 0; i < kSessions; ++i) {
        handles[i] = Engine().Connect(connStr.c_str(), events[i].UserData(), &TEventLog::Callback);
        ASSERT_GT(handles[i], 0);
        conns[i] = host.Accept();
        ASSERT_TRUE(conns[i]);
    }
    // Each host sends a screen every 50 ms: busy, but below what the
    // reader takes for a runaway host.
    std::vector<std::thread> hosts;
    for (int i = 0; i < kSessions; ++i)
        hosts.emplace_back([&, i] {
            for (uint8_t n = 0; !closing; ++n) {
                conns[i]->SendRecord(ScreenRecord(n));
                std::this_thread::sleep_for(50ms);
            }
            conns[i]->Close();
        });
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([&, t] {
            std::vector<uint8_t> buffer(8192);
            while (!closing) {
                for (int i = t; i < kSessions; i += 4) {
                    const int32_t n = Engine().GetScreen(handles[i], buffer.data(), 8192);
                    if (n <= 0) continue;
                    THostFields list;
                    TMemoryStream s(
                        std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
                    list.LoadFromStream(s);
                    for (auto& f : list.Fields)
                        if (f->GetAttr().Has(attUnProtected)) {
                            f->Data = "X";
                            f->SetAttr({attUnProtected, attModified});
                        }
                    list.CurPos = 1;
                    TMemoryStream out;
                    list.SaveToStream(out);
                    Engine().SendToScreen(handles[i], "@E", out.data(),
                                          static_cast<int32_t>(out.size()));
                }
            }
        });
    std::this_thread::sleep_for(1500ms);
    closing = true;
    for (int i = 0; i < kSessions; ++i)
        Engine().Disconnect(handles[i]);
    for (auto& t : callers)
        t.join();
    for (auto& t : hosts)
        t.join();
    for (int i = 0; i < kSessions; ++i) {
        ASSERT_TRUE(events[i].WaitFor(2)) << "session " << i;
        EXPECT_EQ(events[i].Count(2), 1) << "session " << i;
        EXPECT_EQ(events[i].Entries().back().event, 2) << "nothing after the disconnection";
    }
}

} // namespace
