// Recorded sessions: reading the flow format and playing the host's side.
#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "HostSim.h"
#include "TelnetUnits.h"

namespace hostsim {

using std::chrono::steady_clock;

namespace {

// A step's "{...}" may go on over the next lines; a recorded step never
// needs more than a few, so a missing '}' does not swallow the whole file.
constexpr size_t kMaxStepLines = 16;
// An hour: longer than any recorded pause, short of an overflow.
constexpr long kMaxDelayMillis = 3'600'000;

[[noreturn]] void Fail(size_t line, const std::string& what) {
    throw std::runtime_error("trace line " + std::to_string(line) + ": " + what);
}

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

Bytes ParseHex(std::string_view hex, size_t line) {
    if (hex.empty()) Fail(line, "data is empty");
    if (hex.size() % 2 != 0) Fail(line, "data has an odd number of hex digits");
    Bytes out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0)
            Fail(line, "data holds '" + std::string(hex.substr(hi < 0 ? i : i + 1, 1)) +
                           "', which is not a hex digit");
        out.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return out;
}

int ParseDelay(std::string_view text, size_t line) {
    if (text.empty() || text.size() > 7 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        Fail(line, "delayMillis must be a number of milliseconds, not '" + std::string(text) + "'");
    long value = std::stol(std::string(text));
    if (value > kMaxDelayMillis) Fail(line, "delayMillis is longer than an hour");
    return static_cast<int>(value);
}

// The inside of "{data: HEX, delayMillis: N}".
void ParseBody(std::string_view body, size_t line, TTraceStep& step) {
    bool haveData = false, haveDelay = false;
    while (!body.empty()) {
        size_t comma = body.find(',');
        std::string_view item = Trim(body.substr(0, comma));
        body = comma == std::string_view::npos ? std::string_view() : body.substr(comma + 1);
        size_t colon = item.find(':');
        if (colon == std::string_view::npos)
            Fail(line, "expected 'key: value', found '" + std::string(item) + "'");
        std::string_view key = Trim(item.substr(0, colon)), value = Trim(item.substr(colon + 1));
        if (key == "data" && !haveData) {
            step.data = ParseHex(value, line);
            haveData = true;
        } else if (key == "delayMillis" && !haveDelay) {
            step.delayMillis = ParseDelay(value, line);
            haveDelay = true;
        } else {
            Fail(line, "unexpected key '" + std::string(key) + "'");
        }
    }
    if (!haveData) Fail(line, "step without data");
}

} // namespace

std::vector<TTraceStep> ParseTrace(const std::string& text) {
    std::vector<std::string_view> lines;
    for (std::string_view rest = text; !rest.empty();) {
        size_t end = rest.find('\n');
        lines.push_back(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }

    std::vector<TTraceStep> steps;
    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t lineNo = i + 1;
        std::string_view line = Trim(lines[i]);
        if (line.empty() || line.front() == '#') continue;

        constexpr std::string_view kServer = "- !server", kClient = "- !client";
        TTraceStep step;
        if (line.starts_with(kServer))
            step.fromServer = true;
        else if (!line.starts_with(kClient))
            Fail(lineNo, "expected '- !server {...}' or '- !client {...}'");
        line = Trim(line.substr(kServer.size()));
        if (!line.starts_with('{')) Fail(lineNo, "expected '{' after the step's kind");

        std::string body(line.substr(1));
        size_t last = i;
        while (body.find('}') == std::string::npos) {
            if (++last >= lines.size() || last - i >= kMaxStepLines)
                Fail(lineNo, "step without its closing '}'");
            body += ' ';
            body += Trim(lines[last]);
        }
        size_t close = body.find('}');
        std::string_view after = Trim(std::string_view(body).substr(close + 1));
        if (!after.empty() && after.front() != '#')
            Fail(lineNo, "unexpected text after '}': '" + std::string(after) + "'");
        ParseBody(std::string_view(body).substr(0, close), lineNo, step);
        steps.push_back(std::move(step));
        i = last;
    }
    return steps;
}

TReplayResult Replay(TSimConnection& conn, const std::vector<TTraceStep>& steps,
                     milliseconds stepTimeout, milliseconds maxDelay) {
    TReplayResult result;
    // Units are counted over everything the client sends from here on, so a
    // client that answers two requests at once is ahead, not out of step.
    TTelnetSplitter splitter;
    std::vector<TTelnetUnit> units;
    size_t fed = conn.Captured().size();
    auto feed = [&] {
        Bytes all = conn.Captured();
        if (all.size() > fed) splitter.Feed(all.data() + fed, all.size() - fed, units);
        fed = std::max(fed, all.size());
    };

    size_t target = 0;
    for (size_t i = 0; i < steps.size();) {
        if (steps[i].fromServer) {
            if (conn.ClientClosed()) {
                result.error = "step " + std::to_string(i + 1) +
                               ": the client closed the connection before the host's data";
                return result;
            }
            std::this_thread::sleep_for(std::min(milliseconds(steps[i].delayMillis), maxDelay));
            conn.SendRaw(steps[i].data);
            ++i;
            continue;
        }

        // Consecutive client steps are one answer: the recording split it
        // wherever the client's writes happened to fall.
        const size_t first = i;
        Bytes merged;
        for (; i < steps.size() && !steps[i].fromServer; ++i)
            merged.insert(merged.end(), steps[i].data.begin(), steps[i].data.end());
        const size_t expected = SplitTelnetUnits(merged).size();
        const size_t groupStart = target;
        target += expected;

        const auto deadline = steady_clock::now() + stepTimeout;
        bool ended = false;
        for (;;) {
            feed();
            if (units.size() >= target) break;
            const size_t got = units.size() > groupStart ? units.size() - groupStart : 0;
            const std::string progress = " after " + std::to_string(got) + " of " +
                                         std::to_string(expected) + " telnet units";
            if (conn.ClientClosed() || ended) {
                result.error =
                    "step " + std::to_string(first + 1) + ": the connection closed" + progress;
                return result;
            }
            const auto now = steady_clock::now();
            if (now >= deadline) {
                result.error = "step " + std::to_string(first + 1) + ": timed out" + progress;
                return result;
            }
            // Before the deadline, a failed wait means the connection ended.
            if (!conn.WaitForBytes(fed + 1, std::chrono::ceil<milliseconds>(deadline - now)))
                ended = steady_clock::now() < deadline;
        }
        Bytes sent;
        for (size_t u = groupStart; u < target; ++u)
            sent.insert(sent.end(), units[u].raw.begin(), units[u].raw.end());
        result.clientSteps.push_back(std::move(sent));
    }
    result.completed = true;
    return result;
}

} // namespace hostsim
