// Interpreting host records: what each screen the host sends costs the
// reader thread before the session rebuilds its field list.
#include <benchmark/benchmark.h>

#include <string_view>
#include <vector>

#include "uPLTn5250stream.h"

namespace {

using Bytes = std::vector<uint8_t>;

class TRecordBuilder {
public:
    explicit TRecordBuilder(const TPLTn5250stream& stream) : stream_(stream) {
        bytes_.assign({0, 0, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, op5250::PutGet});
    }
    TRecordBuilder& Raw(std::initializer_list<uint8_t> b) {
        bytes_.insert(bytes_.end(), b);
        return *this;
    }
    TRecordBuilder& Text(std::string_view text) {
        for (char c : text)
            bytes_.push_back(stream_.ToEbcdic(static_cast<uint8_t>(c)));
        return *this;
    }
    TRecordBuilder& At(uint8_t row, uint8_t col) { return Raw({0x11, row, col}); }
    TRecordBuilder& Field(uint8_t ffw1, uint8_t attr, uint16_t length) {
        return Raw({0x1D, ffw1, 0x00, attr, static_cast<uint8_t>(length >> 8),
                    static_cast<uint8_t>(length)});
    }
    Bytes Done() {
        bytes_[0] = static_cast<uint8_t>(bytes_.size() >> 8);
        bytes_[1] = static_cast<uint8_t>(bytes_.size());
        return bytes_;
    }

private:
    const TPLTn5250stream& stream_;
    Bytes bytes_;
};

// A sign-on screen: a title, three lines of system facts, five prompts with
// their input fields (the second non-display), a notice on the last row.
Bytes SignOnScreen(const TPLTn5250stream& s) {
    TRecordBuilder r(s);
    r.Raw({0x04, 0x40, 0x04, 0x11, 0x00, 0x18});
    r.Raw({0x01, 0x07, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00});
    r.At(1, 36).Raw({0x22}).Text("Sign On").Raw({0x20});
    const char* facts[] = {"System  . . . . . :   SYSTEM01", "Subsystem . . . . :   QINTER",
                           "Display . . . . . :   DSP01"};
    for (int i = 0; i < 3; ++i)
        r.At(static_cast<uint8_t>(2 + i), 48).Raw({0x20}).Text(facts[i]);
    const char* prompts[] = {
        "User  . . . . . . . . . . . . . .", "Password  . . . . . . . . . . . .",
        "Program/procedure . . . . . . . .", "Menu  . . . . . . . . . . . . . .",
        "Current library . . . . . . . . ."};
    for (int i = 0; i < 5; ++i) {
        const auto row = static_cast<uint8_t>(6 + i);
        r.At(row, 16).Raw({0x20}).Text(prompts[i]);
        r.At(row, 52).Field(0x40, i == 1 ? 0x27 : 0x24, 10);
        r.Raw({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20});
    }
    r.At(24, 40).Raw({0x22}).Text("(C) COPYRIGHT 1980, 2013.").Raw({0x20});
    r.Raw({0x04, 0x52, 0x00, 0x00});
    return r.Done();
}

// A busy entry screen: 100 fields, five on each of 20 rows, each placed with
// SBA, opened with SF and filled with text.
Bytes DenseScreen(const TPLTn5250stream& s) {
    TRecordBuilder r(s);
    r.Raw({0x04, 0x40, 0x04, 0x11, 0x00, 0x18});
    for (int i = 0; i < 100; ++i) {
        const auto row = static_cast<uint8_t>(2 + i / 5);
        const auto col = static_cast<uint8_t>(1 + i % 5 * 16);
        r.At(row, col).Field(i % 2 ? 0x40 : 0x41, 0x24, 12).Text("FIELD TEXT  ");
    }
    r.Raw({0x04, 0x52, 0x00, 0x00});
    return r.Done();
}

void Interpret(benchmark::State& state, Bytes (*build)(const TPLTn5250stream&)) {
    TPLTn5250stream stream(1, 24, 80);
    stream.OnSend = [](const uint8_t*, size_t) {};
    const Bytes record = build(stream);
    for (auto _ : state) {
        stream.AddData(record.data(), record.size());
        stream.ProcessRecord();
        benchmark::DoNotOptimize(stream.Display()->Chars.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * record.size()));
    state.counters["record_bytes"] = static_cast<double>(record.size());
    state.counters["fields"] = stream.Display5250()->FieldCount();
}

void BM_SignOnScreen(benchmark::State& state) {
    Interpret(state, SignOnScreen);
}
BENCHMARK(BM_SignOnScreen);

void BM_DenseScreen100Fields(benchmark::State& state) {
    Interpret(state, DenseScreen);
}
BENCHMARK(BM_DenseScreen100Fields);

} // namespace

BENCHMARK_MAIN();
