// The whole receive path of each engine, from the socket to the host-field
// list: a host on loopback floods a session with 24 x 80 screens of about 70
// fields, and the session's own reader thread receives them, parses the
// telnet stream, interprets each record and rebuilds the field list at each
// record end. Beside it, the least a client can do with the same bytes: read
// them from the socket and nothing else.
//
//   bench_receive_path                      the Google Benchmark runs
//   bench_receive_path --once FLOOD SCREENS one flood and nothing else, for
//                                           bench/callgrind-per-screen
//
// FLOOD is 3270, 5250 (an engine's session) or read3270, read5250 (the bare
// read of the bytes that engine's flood sends).
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "uPLTn3270.h"
#include "uPLTn5250.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t IAC = 255, EOR = 239, WILL = 251, DO = 253;
constexpr uint8_t kBinary = 0, kEndOfRecord = 25;

// Distinct screens the host cycles through, sent a batch at a time.
constexpr int kVariants = 8;

// --- The host's screens ---

void AppendText(Bytes& r, const TPLTnStream& s, std::string_view text) {
    for (char c : text)
        r.push_back(s.ToEbcdic(static_cast<uint8_t>(c)));
}

std::string Padded(std::string text, size_t width) {
    text.resize(width, ' ');
    return text;
}

// The rows of an inquiry screen: a label, the value the host filled in
// and a description, 20 rows of them.
std::string Label(int row) {
    static const char* kLabels[] = {"Customer number", "Name", "Street", "City", "Postal code"};
    return Padded(std::string(kLabels[row % 5]) + " . . . . . :", 24);
}
std::string Value(int row, int variant) {
    return Padded("V" + std::to_string(variant) + "-" + std::to_string(1000 + row * 37), 12);
}
const char* const kFunctionKeys[] = {"F3=Exit", "F4=Prompt", "F5=Refresh", "F12=Cancel"};
std::string Description(int row) {
    return "Description of line " + std::to_string(row) + " as the host shows it";
}

// Erase/Write: a title, 20 rows of label, input field and comment, the
// function keys and a message; every field placed with SBA and opened with SF.
Bytes Screen3270(const TPLTn3270stream& s, int variant) {
    Bytes r = {0xF5, 0xC3};
    auto at = [&r](int row, int col) {
        uint8_t a[2];
        TPLTn3270stream::EncodeBufferAddress(row * 80 + col, a);
        r.insert(r.end(), {0x11, a[0], a[1]});
    };
    auto field = [&r](uint8_t attribute) { r.insert(r.end(), {0x1D, attribute}); };
    at(0, 0);
    field(0xE8);
    AppendText(r, s, "ORDER ENTRY  Screen " + std::to_string(variant));
    at(0, 60);
    field(0x60);
    AppendText(r, s, "SYSTEM01  12:00:00");
    for (int row = 0; row < 20; ++row) {
        at(row + 2, 0);
        field(0x60);
        AppendText(r, s, Label(row));
        field(0x40);
        AppendText(r, s, Value(row, variant));
        field(0x60);
        AppendText(r, s, Description(row));
    }
    for (int key = 0; key < 4; ++key) {
        at(22, key * 14);
        field(0x60);
        AppendText(r, s, kFunctionKeys[key]);
    }
    at(23, 0);
    field(0xE8);
    AppendText(r, s, "Type changes, press Enter.");
    at(2, 26);
    r.push_back(0x13); // the cursor in the first input field
    return r;
}

// WRITE TO DISPLAY after CLEAR UNIT, the same screen in 5250 terms: text
// placed with SBA behind an attribute byte, input fields opened with SF,
// then READ MDT FIELDS.
Bytes Screen5250(const TPLTn5250stream& s, int variant) {
    Bytes r = {0, 0, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, op5250::PutGet};
    r.insert(r.end(), {0x04, 0x40, 0x04, 0x11, 0x00, 0x18});
    r.insert(r.end(), {0x01, 0x07, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00});
    auto at = [&r](int row, int col) {
        r.insert(r.end(), {0x11, static_cast<uint8_t>(row), static_cast<uint8_t>(col)});
    };
    at(1, 2);
    r.push_back(0x22);
    AppendText(r, s, "ORDER ENTRY  Screen " + std::to_string(variant));
    r.push_back(0x20);
    at(1, 60);
    AppendText(r, s, "SYSTEM01  12:00:00");
    for (int row = 0; row < 20; ++row) {
        const auto line = static_cast<uint8_t>(row + 3);
        at(line, 1);
        r.push_back(0x20);
        AppendText(r, s, Label(row));
        at(line, 27);
        r.insert(r.end(), {0x1D, 0x40, 0x00, 0x24, 0x00, 12});
        AppendText(r, s, Value(row, variant));
        // The field's end attribute, after its 12 cells, leads the description.
        at(line, 41);
        AppendText(r, s, Description(row));
    }
    for (int key = 0; key < 4; ++key) {
        at(23, 2 + key * 14);
        r.push_back(0x20);
        AppendText(r, s, kFunctionKeys[key]);
    }
    at(24, 2);
    r.push_back(0x22);
    AppendText(r, s, "Type changes, press Enter.");
    r.push_back(0x20);
    r.insert(r.end(), {0x04, 0x52, 0x00, 0x00});
    r[0] = static_cast<uint8_t>(r.size() >> 8);
    r[1] = static_cast<uint8_t>(r.size());
    return r;
}

// A record as it goes on the wire: 0xFF doubled, IAC EOR after it.
void AppendFramed(Bytes& wire, const Bytes& record) {
    for (uint8_t b : record) {
        wire.push_back(b);
        if (b == IAC) wire.push_back(IAC);
    }
    wire.insert(wire.end(), {IAC, EOR});
}

// What the host sends: kVariants framed screens in one block, and the
// opening that puts the session in binary record mode.
struct TFloodBytes {
    Bytes opening = {IAC, DO, kEndOfRecord, IAC, WILL, kEndOfRecord,
                     IAC, DO, kBinary,      IAC, WILL, kBinary};
    Bytes batch;
    std::vector<Bytes> screens; // one framed screen each
};

template <class TStream>
TFloodBytes FloodBytes(const TStream& stream, Bytes (*screen)(const TStream&, int)) {
    TFloodBytes f;
    for (int v = 0; v < kVariants; ++v) {
        Bytes one;
        AppendFramed(one, screen(stream, v));
        f.batch.insert(f.batch.end(), one.begin(), one.end());
        f.screens.push_back(std::move(one));
    }
    return f;
}

const TFloodBytes& Flood3270() {
    static const TFloodBytes bytes = [] {
        TPLTn3270stream stream(0, 24, 80);
        return FloodBytes<TPLTn3270stream>(stream, Screen3270);
    }();
    return bytes;
}

const TFloodBytes& Flood5250() {
    static const TFloodBytes bytes = [] {
        TPLTn5250stream stream(0, 24, 80);
        return FloodBytes<TPLTn5250stream>(stream, Screen5250);
    }();
    return bytes;
}

// --- The host on loopback ---

void SendAll(int fd, const Bytes& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) throw std::runtime_error("the host's send failed");
        sent += static_cast<size_t>(n);
    }
}

// Listens on an ephemeral port of 127.0.0.1 for one client.
class TLoopbackHost {
public:
    TLoopbackHost() {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
            listen(listener_, 1) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("no loopback listener");
        port_ = ntohs(a.sin_port);
    }
    ~TLoopbackHost() {
        if (client_ >= 0) close(client_);
        close(listener_);
    }
    TLoopbackHost(const TLoopbackHost&) = delete;
    TLoopbackHost& operator=(const TLoopbackHost&) = delete;

    uint16_t Port() const { return port_; }
    void Accept() {
        client_ = accept(listener_, nullptr, nullptr);
        if (client_ < 0) throw std::runtime_error("no client");
    }
    // The opening, then `screens` screens, then the end of the host's data.
    // The socket stays open: what the client answered stays unread, and a
    // close would reset the connection under the client's last reads.
    void Flood(const TFloodBytes& bytes, int screens) {
        SendAll(client_, bytes.opening);
        int left = screens;
        for (; left >= kVariants; left -= kVariants)
            SendAll(client_, bytes.batch);
        for (int v = 0; v < left; ++v)
            SendAll(client_, bytes.screens[static_cast<size_t>(v)]);
        shutdown(client_, SHUT_WR);
    }

private:
    int listener_ = -1;
    int client_ = -1;
    uint16_t port_ = 0;
};

// --- The two clients ---

// What a session reported while the host flooded it.
struct TFloodResult {
    int records = 0;
    int fields = 0; // in the list of the last screen
};

// An engine's session connected to the host, its reader thread receiving
// as in the product but for the pause before each receive: the bench
// measures work, not waiting.
template <class TSession> TFloodResult FloodSession(const TFloodBytes& bytes, int screens) {
    TLoopbackHost host;
    auto session = std::make_shared<TSession>(1);
    session->Host = "127.0.0.1";
    session->Port = std::to_string(host.Port());
    session->Timing.DataPauseMillis = 0;
    std::mutex mutex;
    std::condition_variable ended;
    bool disconnected = false;
    int records = 0;
    session->OnBinaryRecord = [&records](TPLTelnet&) { ++records; }; // reader thread
    session->OnSessionEvent = [&](TPLTelnet&, TSessionEvent e) {
        if (e == ceSessionDisconnected) {
            std::lock_guard lock(mutex);
            disconnected = true;
            ended.notify_all();
        }
        return true;
    };
    session->Connect();
    host.Accept();
    host.Flood(bytes, screens);
    {
        std::unique_lock lock(mutex);
        ended.wait(lock, [&] { return disconnected; });
    }
    session->JoinReader();
    std::lock_guard lock(session->SessionLock);
    return {records, session->HostFields.Count()};
}

// Reads everything the host sends, as the reader thread waits and receives,
// and does nothing with it.
TFloodResult FloodBareRead(const TFloodBytes& bytes, int screens) {
    TLoopbackHost host;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(host.Port());
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        throw std::runtime_error("no connection");
    host.Accept();
    size_t received = 0;
    std::thread reader([fd, &received] {
        std::vector<uint8_t> buffer(TPLTelnet::kBufferSize);
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 10000) <= 0) break;
            const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
            if (n <= 0) break;
            received += static_cast<size_t>(n);
        }
    });
    host.Flood(bytes, screens);
    reader.join();
    close(fd);
    const size_t expected =
        bytes.opening.size() + static_cast<size_t>(screens / kVariants) * bytes.batch.size();
    if (received < expected) throw std::runtime_error("the bare read lost bytes");
    return {screens, 0};
}

TFloodResult RunFlood(std::string_view flood, int screens) {
    if (flood == "3270") return FloodSession<TPLTn3270>(Flood3270(), screens);
    if (flood == "5250") return FloodSession<TPLTn5250>(Flood5250(), screens);
    if (flood == "read3270") return FloodBareRead(Flood3270(), screens);
    if (flood == "read5250") return FloodBareRead(Flood5250(), screens);
    throw std::invalid_argument("unknown flood");
}

// --- The benchmarks ---

constexpr int kScreensPerRun = 1000;

void Flood(benchmark::State& state, const char* flood) {
    TFloodResult result;
    for (auto _ : state) {
        result = RunFlood(flood, kScreensPerRun);
        if (result.records != kScreensPerRun) state.SkipWithError("screens lost");
    }
    state.SetItemsProcessed(state.iterations() * kScreensPerRun);
    state.counters["fields"] = result.fields;
}

void BM_Receive3270(benchmark::State& state) {
    Flood(state, "3270");
}
BENCHMARK(BM_Receive3270)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_BareRead3270(benchmark::State& state) {
    Flood(state, "read3270");
}
BENCHMARK(BM_BareRead3270)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Receive5250(benchmark::State& state) {
    Flood(state, "5250");
}
BENCHMARK(BM_Receive5250)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_BareRead5250(benchmark::State& state) {
    Flood(state, "read5250");
}
BENCHMARK(BM_BareRead5250)->UseRealTime()->Unit(benchmark::kMillisecond);

// --once FLOOD SCREENS: one flood, its screens and fields on standard output.
int RunOnce(const char* flood, const char* screensText) {
    const int screens = std::atoi(screensText);
    if (screens <= 0) {
        std::fprintf(stderr, "SCREENS must be a positive number\n");
        return 2;
    }
    try {
        const TFloodResult result = RunFlood(flood, screens);
        std::printf("%s: %d screens, %d fields in the last list\n", flood, result.records,
                    result.fields);
        return result.records == screens ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string_view(argv[1]) == "--once") return RunOnce(argv[2], argv[3]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
