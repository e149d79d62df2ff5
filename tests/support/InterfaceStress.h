// Many sessions of one engine module at once: hosts send screens while
// callers read them and answer with typed input, then everything closes
// from both sides at the same moment. Every session must report its
// disconnection exactly once and nothing after it. Run under
// ThreadSanitizer too.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "HostSim.h"
#include "support/EngineCallbacks.h"
#include "support/EngineModule.h"
#include "uMemoryStream.h"
#include "uPlBasFld.h"

struct TInterfaceStress {
    TInterfaceStress(TEngineModule& engine, std::function<hostsim::Bytes(uint8_t n)> screen)
        : Engine(engine), Screen(std::move(screen)) {}

    TEngineModule& Engine;
    hostsim::TProtocol Protocol = hostsim::TProtocol::TN5250;
    int Sessions = 32;
    // Busy, but below what the reader takes for a runaway host.
    std::chrono::milliseconds HostInterval{50};
    // The n-th screen a host sends; it holds at least one input field.
    std::function<hostsim::Bytes(uint8_t n)> Screen;
    // The cursor position sent back with the typed input.
    int CursorPos = 1;
    // The attention keys the callers press, one per session in turn.
    std::vector<std::string> Aids{"@E"};
    // Whether each host connection negotiates before it sends screens.
    bool Negotiate = false;
    // Whether every session must have reported a screen.
    bool EverySessionSawAScreen = false;

    void Run() const;
};

inline void TInterfaceStress::Run() const {
    using namespace std::chrono_literals;
    hostsim::THostSim host(Protocol);
    std::atomic<bool> closing{false};
    std::vector<std::unique_ptr<hostsim::TSimConnection>> conns(Sessions);
    std::vector<TEventLog> events(Sessions);
    std::vector<int32_t> handles(Sessions);
    const std::string connStr = "127.0.0.1;PORT=" + std::to_string(host.Port());
    for (int i = 0; i < Sessions; ++i) {
        handles[i] = Engine.Connect(connStr.c_str(), events[i].UserData(), &TEventLog::Callback);
        ASSERT_GT(handles[i], 0) << Engine.LastErrMsg();
        conns[i] = host.Accept();
        ASSERT_TRUE(conns[i]);
        if (Negotiate) {
            ASSERT_TRUE(conns[i]->Negotiate());
        }
    }
    std::vector<std::thread> hosts;
    for (int i = 0; i < Sessions; ++i)
        hosts.emplace_back([&, i] {
            for (uint8_t n = 0; !closing; ++n) {
                conns[i]->SendRecord(Screen(n));
                std::this_thread::sleep_for(HostInterval);
            }
            conns[i]->Close();
        });
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([&, t] {
            std::vector<uint8_t> buffer(8192);
            while (!closing) {
                for (int i = t; i < Sessions; i += 4) {
                    const int32_t n = Engine.GetScreen(handles[i], buffer.data(), 8192);
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
                    list.CurPos = CursorPos;
                    TMemoryStream out;
                    list.SaveToStream(out);
                    const std::string& aid = Aids[static_cast<size_t>(i) % Aids.size()];
                    Engine.SendToScreen(handles[i], aid.c_str(), out.data(),
                                        static_cast<int32_t>(out.size()));
                }
            }
        });
    std::this_thread::sleep_for(1500ms);
    closing = true;
    for (int i = 0; i < Sessions; ++i)
        Engine.Disconnect(handles[i]);
    for (auto& t : callers)
        t.join();
    for (auto& t : hosts)
        t.join();
    for (int i = 0; i < Sessions; ++i) {
        ASSERT_TRUE(events[i].WaitFor(2)) << "session " << i;
        EXPECT_EQ(events[i].Count(2), 1) << "session " << i;
        EXPECT_EQ(events[i].Entries().back().event, 2) << "nothing after the disconnection";
        if (EverySessionSawAScreen) {
            EXPECT_GT(events[i].Count(4), 0) << "session " << i << " saw a screen";
        }
    }
}
