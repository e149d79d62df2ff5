// Many sessions of one engine module at once: hosts send screens while
// callers read them and answer with typed input, then everything closes
// from both sides at the same moment. Every session must report its
// disconnection exactly once and nothing after it. Run under
// ThreadSanitizer too.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "HostSim.h"
#include "support/EngineCallbacks.h"
#include "support/EngineModule.h"
#include "support/HandleCalls.h"
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
    // The stress runs a while; where every session must see a screen, on
    // until each has.
    std::this_thread::sleep_for(1500ms);
    if (EverySessionSawAScreen)
        for (auto& e : events)
            e.WaitFor(4, 1, 30s);
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

// Aborts the test program when a round does not end in time: a call that
// hangs would otherwise hold the run for ever.
class TWatchdog {
public:
    TWatchdog(std::chrono::milliseconds limit, const char* what)
        : thread_([this, limit, what] {
              std::unique_lock lock(mutex_);
              if (!changed_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "hung: %s\n", what);
                  std::abort();
              }
          }) {}
    ~TWatchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    std::thread thread_;
};

// Starts the callers together, as near the same moment as threads allow.
struct TStartLine {
    explicit TStartLine(int callers) : waiting(callers) {}
    void Arrive() {
        --waiting;
        while (waiting.load() > 0)
            std::this_thread::yield();
    }
    std::atomic<int> waiting;
};

// Sessions of one engine module whose handles are used from several threads
// while they close.
struct TReleaseRace {
    TReleaseRace(TEngineModule& engine, hostsim::Bytes screen,
                 hostsim::TProtocol protocol = hostsim::TProtocol::TN5250)
        : Engine(engine), Screen(std::move(screen)), Protocol(protocol),
          Negotiate(protocol == hostsim::TProtocol::TN3270) {}

    TEngineModule& Engine;
    // A screen the host sends first.
    hostsim::Bytes Screen;
    hostsim::TProtocol Protocol;
    // Whether each host connection negotiates first.
    bool Negotiate;

    static constexpr const char* kInvalidHandle = "Invalid Handle passed as parameter";

    // A session on the host with the host's side of it; the handle is 0 when
    // it failed (the test has failed then).
    int32_t Open(hostsim::THostSim& host, TEventLog& events,
                 std::unique_ptr<hostsim::TSimConnection>& conn) const {
        const std::string connStr = "127.0.0.1;PORT=" + std::to_string(host.Port());
        const int32_t handle =
            Engine.Connect(connStr.c_str(), events.UserData(), &TEventLog::Callback);
        EXPECT_GT(handle, 0) << Engine.LastErrMsg();
        if (handle <= 0) return 0;
        conn = host.Accept();
        EXPECT_TRUE(conn);
        if (!conn || (Negotiate && !conn->Negotiate())) {
            ADD_FAILURE() << "no connection or no negotiation";
            return 0;
        }
        return handle;
    }

    // Two callers disconnect one handle at the same moment, round after
    // round: one closes the session and waits for its reader, the other
    // finds the handle no longer open and returns at once; the session
    // reports its disconnection once.
    void TwoDisconnectsAtOnce(int rounds) const {
        hostsim::THostSim host(Protocol);
        for (int round = 0; round < rounds; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            TEventLog events;
            std::unique_ptr<hostsim::TSimConnection> conn;
            const int32_t handle = Open(host, events, conn);
            ASSERT_GT(handle, 0);
            int32_t results[2] = {};
            std::string texts[2];
            {
                TWatchdog watchdog(std::chrono::seconds(20), "two Disconnects of one handle");
                TStartLine start(2);
                auto disconnect = [&](int i) {
                    start.Arrive();
                    results[i] = Engine.Disconnect(handle);
                    texts[i] = Engine.LastErrMsg();
                };
                std::thread first(disconnect, 0), second(disconnect, 1);
                first.join();
                second.join();
            }
            const int closer = results[0] == 0 ? 0 : 1;
            EXPECT_EQ(results[closer], 0);
            EXPECT_EQ(results[1 - closer], -1) << "both closed the session";
            EXPECT_EQ(texts[1 - closer], kInvalidHandle);
            EXPECT_EQ(events.Count(2), 1);
            EXPECT_EQ(events.Entries().back().event, 2) << "nothing after the disconnection";
        }
    }

    // Calls with a handle while its session closes, by Disconnect on another
    // thread (even rounds) or by the host (odd rounds): each returns with its
    // result, or with -1 and a text that says the handle is not open (a
    // record the close cut off gives the socket's text; never the text of a
    // time limit that ran out). Once the disconnection is reported every call
    // says so.
    void CallsRacingTheClose(int rounds) const {
        hostsim::THostSim host(Protocol);
        std::vector<THandleCall> calls = HandleCalls(Engine);
        std::erase_if(calls, [](const THandleCall& c) { return c.name == "Disconnect"; });
        for (int round = 0; round < rounds; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            TEventLog events;
            std::unique_ptr<hostsim::TSimConnection> conn;
            const int32_t handle = Open(host, events, conn);
            ASSERT_GT(handle, 0);
            conn->SendRecord(Screen);
            ASSERT_TRUE(events.WaitFor(4));
            std::vector<std::string> faults(calls.size());
            {
                TWatchdog watchdog(std::chrono::seconds(30), "calls racing the close");
                TStartLine start(static_cast<int>(calls.size()) + 1);
                std::vector<std::thread> callers;
                for (size_t c = 0; c < calls.size(); ++c)
                    callers.emplace_back([&, c] {
                        start.Arrive();
                        for (;;) {
                            // A text of its own before each call, which the
                            // call must replace when it fails.
                            std::vector<uint8_t> none;
                            Engine.GetScreen(handle, none.data(), 0);
                            const bool reported = events.Count(2) > 0;
                            const int32_t result = calls[c].run(handle);
                            const std::string text = Engine.LastErrMsg();
                            // Not open any more, or a session that an error
                            // ended (its record cut off, or the host gone).
                            if (result == -1 && text.find("timed out") == std::string::npos &&
                                (text == kInvalidHandle || text.rfind("Socket error", 0) == 0))
                                return;
                            if (result == -1) {
                                faults[c] = "-1 with the text \"" + text + "\"";
                                return;
                            }
                            if (reported) {
                                faults[c] = "a result after the disconnection was reported";
                                return;
                            }
                        }
                    });
                start.Arrive();
                if (round % 2 == 0)
                    EXPECT_EQ(Engine.Disconnect(handle), 0);
                else
                    conn->Close();
                for (auto& t : callers)
                    t.join();
            }
            for (size_t c = 0; c < calls.size(); ++c)
                EXPECT_EQ(faults[c], "") << calls[c].name;
            ASSERT_TRUE(events.WaitFor(2));
            EXPECT_EQ(events.Count(2), 1);
            EXPECT_EQ(events.Entries().back().event, 2) << "nothing after the disconnection";
        }
    }

    // Calls with the handle that a Connect on another thread is being given:
    // until that Connect has returned the handle is not open, so each call
    // returns -1 with its text and leaves the session alone; once it has
    // returned, the calls may close the session as any caller may.
    void CallsOnAHandleBeingOpened(int rounds) const {
        hostsim::THostSim host(Protocol);
        const std::string connStr = "127.0.0.1;PORT=" + std::to_string(host.Port());
        // The guesser may be closing a session when its round ends, so every
        // round's log lives until the guesser has stopped.
        std::vector<std::unique_ptr<TEventLog>> logs;
        std::atomic<bool> done{false};
        std::atomic<int> misreported{0};
        std::thread guesser([&] {
            std::vector<uint8_t> buffer(8192);
            // A session the guesser closes is released a moment after its
            // Connect's caller has been told, so the next Connect may be
            // given the handle after it.
            for (int32_t guess = 1; !done; guess = 3 - guess) {
                Engine.GetScreen(guess, buffer.data(), static_cast<int32_t>(buffer.size()));
                if (Engine.Disconnect(guess) == -1 &&
                    std::string(Engine.LastErrMsg()) != kInvalidHandle)
                    ++misreported;
            }
        });
        for (int round = 0; round < rounds; ++round) {
            TEventLog& events = *logs.emplace_back(std::make_unique<TEventLog>());
            const int32_t handle =
                Engine.Connect(connStr.c_str(), events.UserData(), &TEventLog::Callback);
            if (handle <= 0) {
                ADD_FAILURE() << Engine.LastErrMsg();
                break;
            }
            auto conn = host.Accept();
            Engine.Disconnect(handle);
            if (!events.WaitFor(2)) {
                ADD_FAILURE() << "no disconnection in round " << round;
                break;
            }
        }
        done = true;
        guesser.join();
        for (auto& events : logs)
            EXPECT_EQ(events->Count(2), 1);
        EXPECT_EQ(misreported.load(), 0);
    }
};
