// Saving and loading the field list of a dense screen: what every screen
// change costs on both sides of the engine interface.
#include <benchmark/benchmark.h>

#include "uPlBasFld.h"

namespace {

THostFields DenseScreen() {
    THostFields list;
    list.TermModel = 3179;
    for (int i = 0; i < 100; ++i) {
        auto f = std::make_unique<THostBasicField>();
        f->Row = static_cast<uint8_t>(i / 4 + 1);
        f->Col = static_cast<uint8_t>(i % 4 * 20 + 1);
        f->Len = 18;
        f->Pos = static_cast<int16_t>((f->Row - 1) * 80 + f->Col);
        f->Data = "FIELD TEXT " + std::to_string(i);
        f->SetAttr({i % 2 ? attProtected : attUnProtected});
        list.Add(std::move(f));
    }
    return list;
}

void BM_SaveDenseScreen(benchmark::State& state) {
    THostFields list = DenseScreen();
    size_t bytes = 0;
    for (auto _ : state) {
        TMemoryStream s;
        list.SaveToStream(s);
        bytes += s.size();
        benchmark::DoNotOptimize(s.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_SaveDenseScreen);

void BM_LoadDenseScreen(benchmark::State& state) {
    THostFields list = DenseScreen();
    TMemoryStream s;
    list.SaveToStream(s);
    for (auto _ : state) {
        THostFields back;
        s.setPosition(0);
        back.LoadFromStream(s);
        benchmark::DoNotOptimize(back.Count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.size()));
}
BENCHMARK(BM_LoadDenseScreen);

} // namespace

BENCHMARK_MAIN();
