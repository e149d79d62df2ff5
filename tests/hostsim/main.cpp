// hostsim: a TN5250 host (or, with --demo-3270, a TN3270 one) on 127.0.0.1
// for the demo and for trying a client by hand. Serves every client that
// connects, each on its own thread with its own session, until SIGTERM or
// SIGINT.
//
//   hostsim [--port N] [--replay FILE | --demo | --demo-from FILE | --demo-3270]
//           [--max-delay MS] [--step-timeout MS]
//
// Without a mode it negotiates, sends one sign-on screen and shows every
// record the client sends; with --replay it plays the host's side of a
// recorded session. --demo serves a sign-on screen and a menu and answers
// every ENTER; --demo-from does the same with the screens of a recorded
// session. --demo-3270 serves a 3270 log-on screen and a ready screen the
// same way. It prints "PORT=<n>" on standard output once it listens.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "Demo3270.h"
#include "DemoSession.h"
#include "HostSim.h"
#include "SimServer.h"

using namespace hostsim;

namespace {

struct TOptions {
    uint16_t port = 0;
    std::string replayFile;
    bool demo = false;
    bool demo3270 = false;
    std::string demoFrom; // a recorded session whose screens the demo shows
    milliseconds maxDelay{200};
    // A person types at the other end, so a step may wait a long time.
    milliseconds stepTimeout{600'000};
};

// One write per line, so that lines of several threads never mix.
void Log(const std::string& text) {
    std::cerr << "hostsim: " + text + "\n" << std::flush;
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

bool ParseArgs(int argc, char** argv, TOptions& options) {
    auto number = [](const char* text, long max) -> std::optional<long> {
        char* end = nullptr;
        long value = std::strtol(text, &end, 10);
        if (*text == '\0' || *end != '\0' || value < 0 || value > max) return std::nullopt;
        return value;
    };
    int modes = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--demo") {
            options.demo = true;
            ++modes;
            continue;
        }
        if (arg == "--demo-3270") {
            options.demo3270 = true;
            ++modes;
            continue;
        }
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (arg == "--port") {
            auto n = number(value, 65535);
            if (!n) return false;
            options.port = static_cast<uint16_t>(*n);
        } else if (arg == "--replay") {
            options.replayFile = value;
            ++modes;
        } else if (arg == "--demo-from") {
            options.demo = true;
            options.demoFrom = value;
            ++modes;
        } else if (arg == "--max-delay" || arg == "--step-timeout") {
            auto n = number(value, 86'400'000);
            if (!n) return false;
            (arg == "--max-delay" ? options.maxDelay : options.stepTimeout) = milliseconds(*n);
        } else {
            return false;
        }
    }
    return modes <= 1;
}

// Shows what the client sends until it goes away or we stop.
void ShowClientRecords(TSimConnection& conn, const std::function<bool()>& stopping,
                       const TSimServer::TLog& log) {
    while (!stopping()) {
        Bytes record;
        if (conn.ReadRecord(record, milliseconds(200)))
            log("client record: " + Hex(record));
        else if (conn.WaitClientClosed(milliseconds(0)))
            break;
    }
}

// Serves one client; runs on that client's own thread.
void Serve(TSimConnection& conn, const std::function<bool()>& stopping, const TSimServer::TLog& log,
           const TOptions& options, const std::vector<TTraceStep>& steps,
           const std::vector<Bytes>& demoScreens) {
    if (options.demo3270) {
        ServeDemo3270(conn, stopping, log);
        return;
    }
    if (options.demo) {
        ServeDemo(conn, demoScreens, stopping, log);
        return;
    }
    if (!options.replayFile.empty()) {
        TReplayResult result = Replay(conn, steps, options.stepTimeout, options.maxDelay);
        if (!result.completed) {
            log("replay stopped: " + result.error);
            return;
        }
        log("replay completed");
    } else {
        if (!conn.Negotiate()) {
            log("the client did not complete the negotiation");
            return;
        }
        log("terminal type " + conn.TerminalType());
        conn.SendRecord(SignOnScreen());
    }
    ShowClientRecords(conn, stopping, log);
}

// The file's text, or none when it cannot be read.
std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (!ParseArgs(argc, argv, options)) {
        std::cerr << "usage: hostsim [--port N] [--replay FILE | --demo | --demo-from FILE |"
                     " --demo-3270] [--max-delay MS] [--step-timeout MS]\n";
        return 2;
    }
    std::vector<TTraceStep> steps;
    const std::string& traceFile = options.demo ? options.demoFrom : options.replayFile;
    if (!traceFile.empty()) {
        const auto text = ReadFile(traceFile);
        if (!text) {
            Log("cannot read " + traceFile);
            return 2;
        }
        try {
            steps = ParseTrace(*text);
        } catch (const std::exception& e) {
            Log(traceFile + ": " + e.what());
            return 2;
        }
    }
    std::vector<Bytes> demoScreens;
    if (options.demo) {
        demoScreens = traceFile.empty() ? std::vector<Bytes>{SignOnScreen(), MenuScreen()}
                                        : ScreensOfTrace(steps);
        if (demoScreens.empty()) {
            Log(traceFile + ": the recorded session shows no screen");
            return 2;
        }
        Log("demo with " + std::to_string(demoScreens.size()) + " screens");
    }

    // Signals are blocked in every thread (all started after this); the
    // main thread waits for them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::unique_ptr<THostSim> host;
    try {
        host = std::make_unique<THostSim>(options.demo3270 ? TProtocol::TN3270 : TProtocol::TN5250,
                                          options.port);
    } catch (const std::exception& e) {
        Log(e.what());
        return 1;
    }
    std::cout << "PORT=" << host->Port() << std::endl;

    // Every client is served on a thread of its own until a signal comes.
    TSimServer server(
        *host,
        [&](TSimConnection& conn, const std::function<bool()>& stopping,
            const TSimServer::TLog& log) {
            Serve(conn, stopping, log, options, steps, demoScreens);
        },
        Log);
    int sig = 0;
    sigwait(&signals, &sig);
    Log("stopping");
    server.Stop();
    return 0;
}
