// A telnet session over a stand-in engine: its stream records every record it
// is handed, and the session records every event with the thread it came on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "PLError.h"
#include "support/NullStream.h"
#include "uLastError.h"
#include "uPLTelnet.h"

namespace telnettest {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// Records each record; a record that begins with 0xEE fails, one that begins
// with 0x5A sets the status text to its remaining bytes. Byte i of a record
// is written into cell i, which is hidden when the byte is 'S'.
class TRecordingStream : public TNullStream {
public:
    using TNullStream::TNullStream;
    bool HiddenCell(int cell) const override {
        return cell >= 0 && static_cast<size_t>(cell) < hidden_.size() && hidden_[cell];
    }
    void ProcessData() override {
        Bytes record(Record().begin(), Record().end());
        hidden_.assign(record.size(), false);
        for (size_t i = 0; i < record.size() && i < 1920; ++i) {
            NoteWritten(Record().data() + i, 1, static_cast<int>(i), 1);
            hidden_[i] = record[i] == 'S';
        }
        {
            std::lock_guard lock(mutex_);
            records_.push_back(record);
            changed_.notify_all();
        }
        if (!record.empty() && record[0] == 0xEE) throw EPLError("bad record");
        if (!record.empty() && record[0] == 0x5A)
            StatusText.assign(record.begin() + 1, record.end());
        if (!record.empty()) Display()->Changed = true;
        TPLTnStream::ProcessData();
    }
    std::vector<Bytes> Records() {
        std::lock_guard lock(mutex_);
        return records_;
    }
    bool WaitForRecords(size_t n, std::chrono::milliseconds timeout = 30000ms) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return records_.size() >= n; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Bytes> records_;
    std::vector<bool> hidden_;
};

struct TEventRecord {
    TSessionEvent event;
    std::thread::id thread;
    std::string lastError; // the last error text of the raising thread
};

class TTestSession : public TPLTelnet {
public:
    explicit TTestSession(int id = 1) : TPLTelnet(id) {
        Host = "127.0.0.1";
        OnSessionEvent = [this](TPLTelnet&, TSessionEvent e) {
            std::lock_guard lock(mutex_);
            events_.push_back({e, std::this_thread::get_id(), LastErrorText()});
            changed_.notify_all();
            return e == ceIsAlive ? aliveAnswer.load() : true;
        };
    }
    void SetModel(int model) override {
        TPLTelnet::SetModel(model);
        auto stream = std::make_unique<TRecordingStream>(SessionId, Rows(), Cols());
        stream->SetDisplay(std::make_unique<TPLTndisplay>(SessionId, Rows(), Cols()));
        stream->Display()->OnStatusChange = [this](TPLTndisplay&) { StatusChange(); };
        SetStream(std::move(stream));
    }
    void GenHostFields() override { ++fieldRebuilds; }
    bool CheckAlive() override {
        {
            std::lock_guard lock(mutex_);
            aliveChecks.push_back(std::chrono::steady_clock::now());
            changed_.notify_all();
        }
        return TPLTelnet::CheckAlive() && RaiseEvent(ceIsAlive);
    }
    void Connect(uint16_t port) {
        Port = std::to_string(port);
        TPLTelnet::Connect();
    }
    TRecordingStream& Recorder() { return *static_cast<TRecordingStream*>(Stream()); }

    std::vector<TEventRecord> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    int Count(TSessionEvent e) {
        std::lock_guard lock(mutex_);
        int n = 0;
        for (auto& r : events_)
            n += r.event == e;
        return n;
    }
    bool WaitFor(TSessionEvent e, int times = 1, std::chrono::milliseconds timeout = 30000ms) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] {
            int n = 0;
            for (auto& r : events_)
                n += r.event == e;
            return n >= times;
        });
    }

    std::atomic<bool> aliveAnswer{true};
    std::atomic<int> fieldRebuilds{0};
    std::vector<std::chrono::steady_clock::time_point> aliveChecks; // under mutex_

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TEventRecord> events_;
};

inline std::shared_ptr<TTestSession> MakeSession(int id = 1) {
    auto s = std::make_shared<TTestSession>(id);
    s->SetModel(2);
    s->Timing.DataPauseMillis = 0;
    return s;
}

} // namespace telnettest
