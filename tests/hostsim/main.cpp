// hostsim: a TN5250 host on 127.0.0.1 for the demo and for trying a client by
// hand. Serves one connection at a time until SIGTERM or SIGINT.
//
//   hostsim [--port N] [--replay FILE] [--max-delay MS] [--step-timeout MS]
//
// Without --replay it negotiates, sends one sign-on screen and shows every
// record the client sends; with --replay it plays the host's side of a
// recorded session. It prints "PORT=<n>" on standard output once it listens.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "HostSim.h"

using namespace hostsim;

namespace {

struct TOptions {
    uint16_t port = 0;
    std::string replayFile;
    milliseconds maxDelay{200};
    // A person types at the other end, so a step may wait a long time.
    milliseconds stepTimeout{600'000};
};

void Log(const std::string& text) {
    std::cerr << "hostsim: " << text << std::endl;
}

std::string Hex(const Bytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// Text in the host's code page (EBCDIC 037) for the letters, digits and
// marks the built-in screen uses.
Bytes Ebcdic(std::string_view text) {
    Bytes out;
    for (char c : text) {
        if (c >= 'A' && c <= 'I')
            out.push_back(static_cast<uint8_t>(0xC1 + c - 'A'));
        else if (c >= 'J' && c <= 'R')
            out.push_back(static_cast<uint8_t>(0xD1 + c - 'J'));
        else if (c >= 'S' && c <= 'Z')
            out.push_back(static_cast<uint8_t>(0xE2 + c - 'S'));
        else if (c >= 'a' && c <= 'i')
            out.push_back(static_cast<uint8_t>(0x81 + c - 'a'));
        else if (c >= 'j' && c <= 'r')
            out.push_back(static_cast<uint8_t>(0x91 + c - 'j'));
        else if (c >= 's' && c <= 'z')
            out.push_back(static_cast<uint8_t>(0xA2 + c - 's'));
        else if (c >= '0' && c <= '9')
            out.push_back(static_cast<uint8_t>(0xF0 + c - '0'));
        else if (c == '.')
            out.push_back(0x4B);
        else if (c == ':')
            out.push_back(0x7A);
        else
            out.push_back(0x40);
    }
    return out;
}

// A sign-on screen: a title, "User" and "Password" with an input field each
// (the second one not shown), the cursor in the first, and a read request.
Bytes SignOnScreen() {
    Bytes r = {0x00, 0x00, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0x03, // header, Put/Get
               0x04, 0x40,                                                 // clear unit
               0x04, 0x11, 0x00, 0x18};                                    // write to display
    auto text = [&](uint8_t row, uint8_t col, uint8_t attribute, std::string_view s) {
        r.insert(r.end(), {0x11, row, col, attribute}); // set buffer address, attribute
        Bytes e = Ebcdic(s);
        r.insert(r.end(), e.begin(), e.end());
        r.push_back(0x20); // back to normal
    };
    auto field = [&](uint8_t row, uint8_t col, uint8_t attribute, uint8_t length) {
        // Start of field: format word, attribute, length; then its blank content.
        r.insert(r.end(), {0x11, row, col, 0x1D, 0x40, 0x00, attribute, 0x00, length});
        r.insert(r.end(), length, 0x00);
    };
    text(1, 30, 0x22, "Sign On");
    text(3, 48, 0x20, "Host simulator");
    text(6, 17, 0x20, "User  . . . . . . . . .");
    field(6, 52, 0x24, 10);
    text(7, 17, 0x20, "Password  . . . . . . .");
    field(7, 52, 0x27, 10);
    r.insert(r.end(), {0x13, 6, 53});            // insert cursor
    r.insert(r.end(), {0x04, 0x52, 0x00, 0x00}); // read modified fields
    r[0] = static_cast<uint8_t>(r.size() >> 8);
    r[1] = static_cast<uint8_t>(r.size());
    return r;
}

bool ParseArgs(int argc, char** argv, TOptions& options) {
    auto number = [](const char* text, long max) -> std::optional<long> {
        char* end = nullptr;
        long value = std::strtol(text, &end, 10);
        if (*text == '\0' || *end != '\0' || value < 0 || value > max) return std::nullopt;
        return value;
    };
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (arg == "--port") {
            auto n = number(value, 65535);
            if (!n) return false;
            options.port = static_cast<uint16_t>(*n);
        } else if (arg == "--replay") {
            options.replayFile = value;
        } else if (arg == "--max-delay" || arg == "--step-timeout") {
            auto n = number(value, 86'400'000);
            if (!n) return false;
            (arg == "--max-delay" ? options.maxDelay : options.stepTimeout) = milliseconds(*n);
        } else {
            return false;
        }
    }
    return true;
}

std::atomic<bool> stopping{false};
std::mutex activeMutex;
TSimConnection* active = nullptr; // the connection being served, under activeMutex

// Shows what the client sends until it goes away or we stop.
void ShowClientRecords(TSimConnection& conn) {
    while (!stopping) {
        Bytes record;
        if (conn.ReadRecord(record, milliseconds(200)))
            Log("client record: " + Hex(record));
        else if (conn.WaitClientClosed(milliseconds(0)))
            break;
    }
}

void Serve(TSimConnection& conn, const TOptions& options, const std::vector<TTraceStep>& steps) {
    if (!options.replayFile.empty()) {
        TReplayResult result = Replay(conn, steps, options.stepTimeout, options.maxDelay);
        if (!result.completed) {
            Log("replay stopped: " + result.error);
            return;
        }
        Log("replay completed");
    } else {
        if (!conn.Negotiate()) {
            Log("the client did not complete the negotiation");
            return;
        }
        Log("terminal type " + conn.TerminalType());
        conn.SendRecord(SignOnScreen());
    }
    ShowClientRecords(conn);
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (!ParseArgs(argc, argv, options)) {
        std::cerr << "usage: hostsim [--port N] [--replay FILE] [--max-delay MS]"
                     " [--step-timeout MS]\n";
        return 2;
    }
    std::vector<TTraceStep> steps;
    if (!options.replayFile.empty()) {
        std::ifstream file(options.replayFile, std::ios::binary);
        if (!file) {
            Log("cannot read " + options.replayFile);
            return 2;
        }
        std::ostringstream text;
        text << file.rdbuf();
        try {
            steps = ParseTrace(text.str());
        } catch (const std::exception& e) {
            Log(options.replayFile + ": " + e.what());
            return 2;
        }
    }

    // Signals go to one thread that waits for them; every other thread
    // (started after this) has them blocked.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::unique_ptr<THostSim> host;
    try {
        host = std::make_unique<THostSim>(TProtocol::TN5250, options.port);
    } catch (const std::exception& e) {
        Log(e.what());
        return 1;
    }
    std::cout << "PORT=" << host->Port() << std::endl;

    std::thread signalWaiter([&] {
        int sig = 0;
        sigwait(&signals, &sig);
        stopping = true;
        std::lock_guard lock(activeMutex);
        if (active) active->Close(); // ends the waits of the connection being served
    });

    while (!stopping) {
        std::unique_ptr<TSimConnection> conn = host->Accept(milliseconds(200));
        if (!conn) continue;
        {
            std::lock_guard lock(activeMutex);
            active = conn.get();
        }
        // A signal between Accept and here found no connection to close.
        if (stopping) conn->Close();
        Log("client connected");
        Serve(*conn, options, steps);
        {
            std::lock_guard lock(activeMutex);
            active = nullptr;
        }
        conn.reset();
        Log("connection closed");
    }
    signalWaiter.join();
    return 0;
}
