// The 3270 engine's work per screen: interpreting a full Erase/Write screen
// on the reader thread, building the host-field list from it, and building
// the Read Modified reply when the user presses ENTER.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "uPLTn3270.h"

namespace {

using Bytes = std::vector<uint8_t>;

void AddAddress(Bytes& r, int address) {
    uint8_t a[2];
    TPLTn3270stream::EncodeBufferAddress(address, a);
    r.insert(r.end(), {0x11, a[0], a[1]});
}

void AddText(Bytes& r, const TPLTn3270stream& s, const std::string& text) {
    for (char c : text)
        r.push_back(s.ToEbcdic(static_cast<uint8_t>(c)));
}

// Every row: a protected label, an input field with text, a protected
// comment to the row's end; 72 fields and every cell written.
Bytes FullScreen(const TPLTn3270stream& s) {
    Bytes r = {0xF5, 0xC3};
    for (int row = 0; row < 24; ++row) {
        AddAddress(r, row * 80);
        r.insert(r.end(), {0x1D, 0x60});
        AddText(r, s, "Label of the row . . . . . . ");
        r.insert(r.end(), {0x1D, 0x40});
        AddText(r, s, "input text    here ");
        r.insert(r.end(), {0x1D, 0xE8});
        AddText(r, s, "comment up to the row end..");
    }
    AddAddress(r, 31);
    r.push_back(0x13);
    return r;
}

void Interpret(TPLTn3270stream& s, const Bytes& record) {
    s.AddData(record.data(), record.size());
    s.ProcessRecord();
}

void BM_EraseWriteFullScreen(benchmark::State& state) {
    TPLTn3270stream stream(1, 24, 80);
    const Bytes record = FullScreen(stream);
    for (auto _ : state) {
        Interpret(stream, record);
        benchmark::DoNotOptimize(stream.Display()->Chars.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * record.size()));
    state.counters["record_bytes"] = static_cast<double>(record.size());
}
BENCHMARK(BM_EraseWriteFullScreen);

void BM_GenHostFields(benchmark::State& state) {
    auto session = std::make_shared<TPLTn3270>(1);
    Interpret(*session->Stream3270(), FullScreen(*session->Stream3270()));
    for (auto _ : state) {
        session->GenHostFields();
        benchmark::DoNotOptimize(session->HostFields.Fields.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["fields"] = session->HostFields.Count();
}
BENCHMARK(BM_GenHostFields);

void BM_ReadModifiedReply(benchmark::State& state) {
    TPLTn3270stream stream(1, 24, 80);
    size_t replyBytes = 0;
    stream.OnSend = [&replyBytes](const uint8_t*, size_t n) { replyBytes = n; };
    Interpret(stream, FullScreen(stream));
    TPLTn3270display& d = *stream.Display3270();
    for (int row = 0; row < 24; ++row)
        d.PutString(row * 80 + 31, 19, "typed by the user");
    stream.PendingAid = aid3270::Enter;
    for (auto _ : state) {
        stream.SendModifiedFields();
        benchmark::DoNotOptimize(replyBytes);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["reply_bytes"] = static_cast<double>(replyBytes);
}
BENCHMARK(BM_ReadModifiedReply);

} // namespace

BENCHMARK_MAIN();
