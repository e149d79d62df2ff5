// The 5250 engine as the control uses it: host fields of a dense screen,
// the memory of many open sessions, and the round trip from SendToScreen to
// the screen-changed callback.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <thread>

#include "HostSim.h"
#include "support/EngineModule.h"
#include "uPLTn5250.h"

using namespace std::chrono;

namespace {

TEngineModule& Engine() {
    static TEngineModule module(CORVALEN_BIN_DIR "/PLTn5250.so");
    return module;
}

long ResidentKiB() {
    std::ifstream in("/proc/self/statm");
    long size = 0, resident = 0;
    in >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Counts screen changes per session.
struct TScreenWaiter {
    std::mutex mutex;
    std::condition_variable changed;
    int screens = 0;
    static bool Callback(intptr_t user, uint8_t event) {
        auto* w = reinterpret_cast<TScreenWaiter*>(user);
        if (event == 4) {
            std::lock_guard lock(w->mutex);
            ++w->screens;
            w->changed.notify_all();
        }
        return true;
    }
    bool WaitBeyond(int count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, seconds(5), [&] { return screens > count; });
    }
    int Screens() {
        std::lock_guard lock(mutex);
        return screens;
    }
};

hostsim::Bytes Screen() {
    hostsim::Bytes r = {0x00, 0x00, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0x03,
                        0x04, 0x11, 0x00, 0x08, 0x11, 0x01, 0x20, 0xE2, 0xC9, 0xC7,
                        0xD5, 0x11, 0x06, 0x34, 0x1D, 0x40, 0x00, 0x24, 0x00, 0x0A};
    r[1] = static_cast<uint8_t>(r.size());
    return r;
}

void BM_HostFieldsOfADenseScreen(benchmark::State& state) {
    auto session = std::make_shared<TPLTn5250>(1);
    TPLTn5250display& d = *session->Stream5250()->Display5250();
    for (int row = 1; row <= 24; ++row)
        for (int k = 0; k < 4 && row * 4 + k < 4 * 25; ++k) {
            auto rec = std::make_unique<TFieldFormatRec>(16);
            rec->Row = static_cast<uint8_t>(row);
            rec->Col = static_cast<uint8_t>(k * 20 + 4);
            rec->Attribute = 0x24;
            rec->FFW1 = k % 2 ? 0x40 : 0x00;
            d.AddField(std::move(rec));
            for (int c = 0; c < 10; ++c)
                d.Chars[(row - 1) * 80 + k * 20 + 3 + c] = 'A' + c;
        }
    for (auto _ : state) {
        session->GenHostFields();
        TMemoryStream s;
        session->HostFields.SaveToStream(s);
        benchmark::DoNotOptimize(s.data());
    }
    state.counters["fields"] = static_cast<double>(session->HostFields.Fields.size());
}
BENCHMARK(BM_HostFieldsOfADenseScreen)->Unit(benchmark::kMicrosecond);

void BM_Connect255Sessions(benchmark::State& state) {
    for (auto _ : state) {
        hostsim::THostSim host;
        const std::string conn = "127.0.0.1;PORT=" + std::to_string(host.Port());
        std::vector<std::unique_ptr<hostsim::TSimConnection>> sims;
        TScreenWaiter waiter;
        const long before = ResidentKiB();
        std::vector<int32_t> handles;
        const auto start = steady_clock::now();
        for (int i = 0; i < 255; ++i) {
            handles.push_back(Engine().Connect(conn.c_str(), reinterpret_cast<intptr_t>(&waiter),
                                               &TScreenWaiter::Callback));
            sims.push_back(host.Accept());
        }
        const auto elapsed = duration<double>(steady_clock::now() - start).count();
        for (auto& s : sims)
            s->SendRecord(Screen());
        while (waiter.Screens() < 255)
            std::this_thread::sleep_for(milliseconds(5));
        const long after = ResidentKiB();
        int connected = 0;
        for (int32_t h : handles)
            connected += h > 0;
        state.counters["connected"] = connected;
        state.counters["KiB_per_session"] = static_cast<double>(after - before) / 255.0;
        state.counters["connect_ms_total"] = elapsed * 1000;
        for (int32_t h : handles)
            Engine().Disconnect(h);
    }
}
BENCHMARK(BM_Connect255Sessions)->Iterations(1)->Unit(benchmark::kMillisecond);

// Each session's host answers every reply with a new screen; the caller
// measures SendToScreen to the screen-changed callback.
void BM_RoundTrip(benchmark::State& state) {
    const int sessions = static_cast<int>(state.range(0));
    constexpr int kRounds = 40;
    std::vector<double> latencies;
    for (auto _ : state) {
        hostsim::THostSim host;
        const std::string conn = "127.0.0.1;PORT=" + std::to_string(host.Port());
        std::vector<std::unique_ptr<hostsim::TSimConnection>> sims;
        std::vector<std::unique_ptr<TScreenWaiter>> waiters;
        std::vector<int32_t> handles;
        for (int i = 0; i < sessions; ++i) {
            waiters.push_back(std::make_unique<TScreenWaiter>());
            handles.push_back(Engine().Connect(conn.c_str(),
                                               reinterpret_cast<intptr_t>(waiters.back().get()),
                                               &TScreenWaiter::Callback));
            sims.push_back(host.Accept());
        }
        std::vector<std::thread> echo;
        for (auto& sim : sims)
            echo.emplace_back([s = sim.get()] {
                s->SendRecord(Screen());
                hostsim::Bytes record;
                while (s->ReadRecord(record, seconds(5)))
                    s->SendRecord(Screen());
            });
        std::mutex latencyLock;
        std::vector<std::thread> callers;
        for (int i = 0; i < sessions; ++i)
            callers.emplace_back([&, i] {
                TScreenWaiter& w = *waiters[static_cast<size_t>(i)];
                w.WaitBeyond(0);
                THostFields input;
                input.CurPos = 1;
                TMemoryStream stream;
                input.SaveToStream(stream);
                std::vector<double> mine;
                for (int r = 0; r < kRounds; ++r) {
                    const int before = w.Screens();
                    const auto t0 = steady_clock::now();
                    Engine().SendToScreen(handles[static_cast<size_t>(i)], "@E", stream.data(),
                                          static_cast<int32_t>(stream.size()));
                    if (!w.WaitBeyond(before)) break;
                    mine.push_back(duration<double, std::milli>(steady_clock::now() - t0).count());
                }
                std::lock_guard lock(latencyLock);
                latencies.insert(latencies.end(), mine.begin(), mine.end());
            });
        for (auto& t : callers)
            t.join();
        for (int32_t h : handles)
            Engine().Disconnect(h);
        for (auto& s : sims)
            s->Close();
        for (auto& t : echo)
            t.join();
    }
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty()) {
        state.counters["median_ms"] = latencies[latencies.size() / 2];
        state.counters["p99_ms"] = latencies[latencies.size() * 99 / 100];
        state.counters["round_trips"] = static_cast<double>(latencies.size());
    }
}
BENCHMARK(BM_RoundTrip)->Arg(1)->Arg(255)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
