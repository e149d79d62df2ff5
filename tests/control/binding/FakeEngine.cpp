// A stand-in engine module for the binding's tests: the engine interface with
// answers the test sets through the extra "Fake..." exports. Built several
// times, each build leaving out exports by its compile definitions:
//   FAKE_NO_SET_PARAMS, FAKE_NO_LAST_RESULT  a required export missing
//   FAKE_MINIMAL   no GetScreenEx, SendSystemRequest, LastErrMsg, GetCusotmCmd
//   FAKE_NULL_ERROR  LastErrMsg returns a null pointer
// Engine calls run on the caller's thread; FakeRaiseEvent and
// FakeRaiseEventAfter call back from a thread of their own.
#define PL_ENGINE_MODULE
#include "PLEngineApi.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

enum TDisconnectMode : int32_t {
    kNotifyInline = 0,    // reports the close inside Disconnect, as the engines do
    kSilent = 1,          // reports nothing
    kClosedBeforeCall = 2 // the host closed on another thread just before; the
                          // handle is gone, so the call fails without a report
};

struct TFakeState {
    std::mutex stateMutex;
    int32_t connectResult = 1;
    int32_t connectEvent = PL_SESSION_CONNECTED; // -1: none inside Connect
    std::string connectError;
    int32_t disconnectMode = kNotifyInline;
    int32_t disconnectCalls = 0;
    std::vector<uint8_t> screen;
    bool overstate = false; // GetScreen claims more than the buffer it was given
    bool screenResultSet = false;
    int32_t screenResult = 0;
    int32_t screenCalls = 0;
    int32_t largestBuffer = 0;
    std::string customCommand;
    int32_t sendResult = 0;
    std::string lastAid;
    std::vector<uint8_t> lastFields;
    std::string lastSysReq;
    intptr_t userData = 0;
    TSessionCallback callback = nullptr;
    std::vector<std::thread> later;
    // Connect blocks while held, as against a host that does not answer.
    std::condition_variable holdChanged;
    bool holdConnect = false;
    int32_t connectsWaiting = 0;
};

TFakeState& State() {
    // Never destroyed: a late thread may still be running at exit.
    static auto* state = new TFakeState;
    return *state;
}

thread_local std::string tLastError;

bool Notify(uint8_t event) {
    TSessionCallback callback;
    intptr_t userData;
    {
        std::lock_guard lock(State().stateMutex);
        callback = State().callback;
        userData = State().userData;
    }
    return callback ? callback(userData, event) : false;
}

bool NotifyFromThread(uint8_t event, const std::string& text) {
    bool answer = false;
    std::thread([&] {
        tLastError = text;
        answer = Notify(event);
    }).join();
    return answer;
}

void JoinLater() {
    std::vector<std::thread> later;
    {
        std::lock_guard lock(State().stateMutex);
        later.swap(State().later);
    }
    for (auto& t : later)
        t.join();
}

} // namespace

extern "C" {

// --- the engine interface ---

int32_t Connect(const char*, intptr_t userData, TSessionCallback callback) {
    int32_t result, event;
    {
        std::unique_lock lock(State().stateMutex);
        TFakeState& s = State();
        ++s.connectsWaiting;
        s.holdChanged.notify_all();
        // At most as long as an engine waits for a host, so that a caller
        // that waits in the call fails its test rather than hangs it.
        s.holdChanged.wait_for(lock, std::chrono::seconds(10), [&] { return !s.holdConnect; });
        --s.connectsWaiting;
        s.userData = userData;
        s.callback = callback;
        result = s.connectResult;
        event = s.connectEvent;
        tLastError = s.connectError;
    }
    // The outcome goes to this caller, whoever connected meanwhile.
    if (event >= 0 && callback) callback(userData, static_cast<uint8_t>(event));
    return result;
}

#ifndef FAKE_NO_SET_PARAMS
int32_t SetParams(int32_t, const char*) {
    return 0;
}
#endif

int32_t Disconnect(int32_t) {
    int32_t mode;
    {
        std::lock_guard lock(State().stateMutex);
        mode = State().disconnectMode;
    }
    if (mode == kNotifyInline) Notify(PL_SESSION_DISCONNECTED);
    if (mode == kClosedBeforeCall) NotifyFromThread(PL_SESSION_DISCONNECTED, "");
    // Counted once the call is over, its report included: a test on another
    // thread that sees the count sees all the call did.
    std::lock_guard lock(State().stateMutex);
    ++State().disconnectCalls;
    return mode == kClosedBeforeCall ? -1 : 0;
}

int32_t GetScreen(int32_t, void* buffer, int32_t bufSize) {
    std::lock_guard lock(State().stateMutex);
    TFakeState& s = State();
    ++s.screenCalls;
    s.largestBuffer = std::max(s.largestBuffer, bufSize);
    if (s.screenResultSet) return s.screenResult;
    const auto size = static_cast<int32_t>(s.screen.size());
    const int32_t n = std::min(size, bufSize);
    if (n > 0) std::memcpy(buffer, s.screen.data(), static_cast<size_t>(n));
    return s.overstate && bufSize < INT32_MAX ? bufSize + 1 : n;
}

#ifndef FAKE_MINIMAL
int32_t GetScreenEx(int32_t handle, void* buffer, int32_t bufSize) {
    return GetScreen(handle, buffer, bufSize);
}
#endif

int32_t SendToScreen(int32_t, const char* aid, const void* fields, int32_t fieldsSize) {
    std::lock_guard lock(State().stateMutex);
    State().lastAid = aid ? aid : "";
    const auto* bytes = static_cast<const uint8_t*>(fields);
    State().lastFields.assign(bytes, bytes + std::max(fieldsSize, 0));
    return State().sendResult;
}

#ifndef FAKE_NO_LAST_RESULT
int32_t LastResult(int32_t) {
    return 0;
}
#endif

#ifndef FAKE_MINIMAL
const char* LastErrMsg(void) {
#ifdef FAKE_NULL_ERROR
    return nullptr;
#else
    return tLastError.c_str();
#endif
}

int32_t SendSystemRequest(int32_t, const char* text) {
    std::lock_guard lock(State().stateMutex);
    State().lastSysReq = text ? text : "";
    return 0;
}

PL_ENGINE_EXPORT uint8_t GetCusotmCmd(int32_t, char* buffer, int32_t bufSize) {
    std::lock_guard lock(State().stateMutex);
    const std::string& text = State().customCommand;
    const size_t n = std::min(
        {text.size(), static_cast<size_t>(std::max(bufSize, 0)), static_cast<size_t>(255)});
    std::memcpy(buffer, text.data(), n);
    return static_cast<uint8_t>(n);
}
#endif

// --- test controls ---

PL_ENGINE_EXPORT void FakeReset(void) {
    JoinLater();
    std::lock_guard lock(State().stateMutex);
    TFakeState& s = State();
    s.holdConnect = false;
    s.holdChanged.notify_all();
    s.connectResult = 1;
    s.connectEvent = PL_SESSION_CONNECTED;
    s.connectError.clear();
    s.disconnectMode = kNotifyInline;
    s.disconnectCalls = 0;
    s.screen.clear();
    s.overstate = false;
    s.screenResultSet = false;
    s.screenCalls = 0;
    s.largestBuffer = 0;
    s.customCommand.clear();
    s.sendResult = 0;
    s.lastAid.clear();
    s.lastFields.clear();
    s.lastSysReq.clear();
    s.userData = 0;
    s.callback = nullptr;
}

// Connect returns result after reporting event (-1: none) with errorText as
// the caller thread's last error.
PL_ENGINE_EXPORT void FakeSetConnect(int32_t result, int32_t event, const char* errorText) {
    std::lock_guard lock(State().stateMutex);
    State().connectResult = result;
    State().connectEvent = event;
    State().connectError = errorText ? errorText : "";
}

// While held, every Connect waits (up to 10 s); releasing lets them all go on.
PL_ENGINE_EXPORT void FakeHoldConnect(bool hold) {
    std::lock_guard lock(State().stateMutex);
    State().holdConnect = hold;
    State().holdChanged.notify_all();
}

// Waits up to timeoutMs until n calls of Connect are held; false otherwise.
PL_ENGINE_EXPORT bool FakeWaitConnectsHeld(int32_t n, int32_t timeoutMs) {
    std::unique_lock lock(State().stateMutex);
    TFakeState& s = State();
    return s.holdChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return s.connectsWaiting >= n; });
}

PL_ENGINE_EXPORT void FakeSetDisconnect(int32_t mode) {
    std::lock_guard lock(State().stateMutex);
    State().disconnectMode = mode;
}

PL_ENGINE_EXPORT int32_t FakeDisconnectCalls(void) {
    std::lock_guard lock(State().stateMutex);
    return State().disconnectCalls;
}

// Reports the event from another thread whose last error is errorText, and
// waits for the callback; its answer (false without a callback).
PL_ENGINE_EXPORT bool FakeRaiseEvent(uint8_t event, const char* errorText) {
    return NotifyFromThread(event, errorText ? errorText : "");
}

// The same after a delay, without waiting; FakeJoin waits for it.
PL_ENGINE_EXPORT void FakeRaiseEventAfter(uint8_t event, int32_t delayMs, const char* errorText) {
    std::string text = errorText ? errorText : "";
    std::thread t([event, delayMs, text] {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        tLastError = text;
        Notify(event);
    });
    std::lock_guard lock(State().stateMutex);
    State().later.push_back(std::move(t));
}

PL_ENGINE_EXPORT void FakeJoin(void) {
    JoinLater();
}

PL_ENGINE_EXPORT intptr_t FakeUserData(void) {
    std::lock_guard lock(State().stateMutex);
    return State().userData;
}

// The field-list stream GetScreen hands out, cut to the caller's buffer;
// overstate: the count it returns is one more than the buffer holds.
PL_ENGINE_EXPORT void FakeSetScreen(const void* bytes, int32_t size, bool overstate) {
    std::lock_guard lock(State().stateMutex);
    const auto* b = static_cast<const uint8_t*>(bytes);
    State().screen.assign(b, b + std::max(size, 0));
    State().overstate = overstate;
    State().screenResultSet = false;
}

// GetScreen returns result and writes nothing.
PL_ENGINE_EXPORT void FakeSetScreenResult(int32_t result) {
    std::lock_guard lock(State().stateMutex);
    State().screenResultSet = true;
    State().screenResult = result;
}

PL_ENGINE_EXPORT int32_t FakeLargestScreenBuffer(void) {
    std::lock_guard lock(State().stateMutex);
    return State().largestBuffer;
}

PL_ENGINE_EXPORT int32_t FakeScreenCalls(void) {
    std::lock_guard lock(State().stateMutex);
    return State().screenCalls;
}

PL_ENGINE_EXPORT void FakeSetCustomCommand(const char* text) {
    std::lock_guard lock(State().stateMutex);
    State().customCommand = text ? text : "";
}

PL_ENGINE_EXPORT void FakeSetSendResult(int32_t result) {
    std::lock_guard lock(State().stateMutex);
    State().sendResult = result;
}

// Copies the last SendToScreen: its mnemonic into aid (NUL-terminated), its
// stream into fields; the stream's full size.
PL_ENGINE_EXPORT int32_t FakeLastSend(char* aid, int32_t aidSize, void* fields,
                                      int32_t fieldsSize) {
    std::lock_guard lock(State().stateMutex);
    const TFakeState& s = State();
    if (aid && aidSize > 0) {
        const size_t n = std::min(s.lastAid.size(), static_cast<size_t>(aidSize - 1));
        std::memcpy(aid, s.lastAid.data(), n);
        aid[n] = 0;
    }
    const size_t n = std::min(s.lastFields.size(), static_cast<size_t>(std::max(fieldsSize, 0)));
    if (fields && n > 0) std::memcpy(fields, s.lastFields.data(), n);
    return static_cast<int32_t>(s.lastFields.size());
}

PL_ENGINE_EXPORT int32_t FakeLastSysReq(char* text, int32_t size) {
    std::lock_guard lock(State().stateMutex);
    const std::string& s = State().lastSysReq;
    if (text && size > 0) {
        const size_t n = std::min(s.size(), static_cast<size_t>(size - 1));
        std::memcpy(text, s.data(), n);
        text[n] = 0;
    }
    return static_cast<int32_t>(s.size());
}

} // extern "C"
