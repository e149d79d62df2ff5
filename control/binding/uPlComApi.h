// The control's binding to one engine module and one session in it: loads the
// module, binds the engine interface by name, opens the session, turns the
// engine's notifications into events, fetches the screen as a field list and
// sends the user's input fields with an attention key.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "ModuleLoader.h"
#include "PLEngineApi.h"
#include "uPlBasFld.h"

class TPLComApi;

// A failure of the binding, with the text also kept in its LastError.
class EComApiError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One event of the binding. Assigned on the user-interface thread; fired on
// whichever thread the engine reports from, so both sides take the lock.
// Any thread.
template <typename... Args> class TComApiEvent {
public:
    using THandler = std::function<void(Args...)>;

    TComApiEvent& operator=(THandler handler) {
        std::lock_guard lock(handlerMutex_);
        handler_ = std::move(handler);
        return *this;
    }
    explicit operator bool() const {
        std::lock_guard lock(handlerMutex_);
        return static_cast<bool>(handler_);
    }
    // The handler runs outside the lock, so that it may replace itself.
    void operator()(Args... args) const {
        THandler handler;
        {
            std::lock_guard lock(handlerMutex_);
            handler = handler_;
        }
        if (handler) handler(args...);
    }

private:
    mutable std::mutex handlerMutex_;
    THandler handler_;
};

using TComApiNotifyEvent = TComApiEvent<TPLComApi&>;
using TComApiCustomCommandEvent = TComApiEvent<TPLComApi&, const std::string&>;

// A field list that shows fields owned by another list and never frees them:
// callers never Clear() it, only ClearLists(). User-interface thread.
class TBorrowedFields : public THostFields {
public:
    TBorrowedFields() = default;
    ~TBorrowedFields() { ClearLists(); }
    TBorrowedFields(const TBorrowedFields&) = delete;
    TBorrowedFields& operator=(const TBorrowedFields&) = delete;
};

// The entry points of an engine module, null where not bound.
struct TEngineEntryPoints {
    TConnectFn Connect = nullptr;
    TSetParamsFn SetParams = nullptr;
    TDisconnectFn Disconnect = nullptr;
    TGetScreenFn GetScreen = nullptr;
    TGetScreenFn GetScreenEx = nullptr;
    TSendToScreenFn SendToScreen = nullptr;
    TSendSystemRequestFn SendSystemRequest = nullptr;
    TLastResultFn LastResult = nullptr;
    TLastErrMsgFn LastErrMsg = nullptr;
    TGetCustomCmdFn GetCusotmCmd = nullptr;
};

// User-interface thread, except DoEvent (and the events it fires), which runs
// on whichever thread the engine calls back from.
class TPLComApi {
public:
    static constexpr int32_t kScreenBufferSize = 8192;
    // A screen whose stream fills the buffer is asked for again with a buffer
    // twice as large, up to this size.
    static constexpr int32_t kMaxScreenBufferSize = 1 << 20;
    static constexpr int32_t kCustomCommandSize = 255;
    static constexpr std::chrono::milliseconds kDisconnectWait{10000};

    TPLComApi();
    virtual ~TPLComApi();
    TPLComApi(const TPLComApi&) = delete;
    TPLComApi& operator=(const TPLComApi&) = delete;

    void SetModulePath(const std::string& path) { modulePath_ = path; }
    const std::string& ModulePath() const { return modulePath_; }
    void SetConnectParams(const std::string& params);
    std::string ConnectParams() const;

    // Opens the session. True only when it waited and the session is open.
    // With AsyncConnect the module's blocking Connect runs on a thread of its
    // own: this returns false at once and the outcome arrives as OnConnected
    // or OnConnectError (and OnDisconnected). Throws EComApiError when the
    // module cannot be loaded or bound, and in waiting mode when the session
    // does not open.
    bool Connect();
    // Gives up an attempt still under way (nothing of it reaches this binding
    // any more, and a session it opens late is closed at once), then closes
    // the session the engine holds for this binding and waits, up to
    // kDisconnectWait, until it is reported closed.
    void Disconnect();
    // An asynchronous attempt has not yet had its outcome.
    bool Connecting() const;
    // Fetches the current screen into ScreenFields and InputFields.
    void RefreshScreen();
    // Sends InputFields with the attention key; true when the module accepted it.
    bool SendAid(const std::string& aidName);
    // False when the module has no SendSystemRequest.
    bool SendSystemRequest(const std::string& text);
    // The module's SendToScreen for this session, its result unchanged.
    virtual int32_t SendRaw(const char* aid, const void* data, int32_t size);
    // The custom command the module holds; empty when it has no GetCusotmCmd.
    std::string GetCustomCommand();
    virtual void DoCustomCommand(const std::string& command);
    // Handles one session event; always answers true.
    virtual bool DoEvent(uint8_t event);

    bool Connected() const;
    // The engine's handle of the session, above 0 while it holds one.
    int32_t Session() const;
    std::string LastError() const;
    TModuleHandle ModuleHandle() const { return moduleHandle_; }

    int ConnectTimeout = 120; // seconds a waiting Connect waits for the outcome
    bool AsyncConnect = true;
    std::string ConnectionType;

    // Every field of the last screen fetched.
    THostFields ScreenFields;
    // The unprotected fields of ScreenFields, in screen order.
    TBorrowedFields InputFields;

    // Handlers run on the thread the engine reports from (see DoEvent); they
    // record state and post messages, and never free the binding.
    TComApiNotifyEvent OnKbdUnlocked;
    TComApiNotifyEvent OnDisconnected;
    TComApiNotifyEvent OnScreenChanged;
    TComApiNotifyEvent OnConnectError;
    TComApiNotifyEvent OnConnected;
    TComApiNotifyEvent OnKbdLocked;
    TComApiCustomCommandEvent OnCustomCommand;

private:
    // The connected state, the session handle and the connect event: an
    // auto-reset signal raised each time the state is set; and the outcome
    // of an asynchronous attempt as its events and its return bring it in.
    // Any thread.
    class TConnectState {
    public:
        // What an asynchronous attempt brought before its Connect returned.
        struct TAttemptReports {
            bool Connected = false; // reported open, and not closed since
            bool Ended = false;     // a failure or a close was reported
            bool Failed = false;    // the failure to connect was reported
        };
        void SetConnected(bool connected);
        bool Connected() const;
        void ResetSignal();
        // Waits for a signal and consumes it; false on time-out.
        bool WaitSignal(std::chrono::milliseconds timeout);
        // Waits until the session is not connected; false on time-out.
        bool WaitDisconnected(std::chrono::milliseconds timeout);
        int32_t Session() const;
        // Before the module's Connect: no session, none ended yet.
        void BeginSession();
        // The handle the module's Connect gave; kept only when the session
        // has not already ended on another thread.
        void SetSession(int32_t session);
        void EndSession();
        void BeginAttempt();
        bool Attempting() const;
        // Notes an event of the attempt under way; false when none is.
        bool NoteAttemptEvent(uint8_t event);
        // The attempt is over: what it reported.
        TAttemptReports EndAttempt();

    private:
        mutable std::mutex stateMutex_;
        std::condition_variable stateChanged_;
        bool connected_ = false;
        bool signalled_ = false;
        int32_t session_ = 0;
        bool sessionEnded_ = false;
        bool attempting_ = false;
        TAttemptReports reports_;
    };

    // Starts the module's Connect on a thread of its own.
    void StartAttempt(const std::string& params);
    // The attempt's thread, its Connect returned: the handle, or the failure
    // with the text read on that thread. Runs while the binding's link is held.
    void AttemptReturned(int32_t session, const std::string& errorText);
    void GiveUpAttempt();
    void ReleaseModule();
    void LoadModuleAndBind();
    std::string ModuleErrorText() const;
    void SetLastError(const std::string& text);
    void SetLastErrorIfEmpty(const std::string& text);
    std::string WithConnectParams(const char* format) const;

    // The user data the engine hands back: the link of this binding's
    // current session, replaced when an attempt is given up so that the
    // attempt's late events find nothing. User-interface thread.
    intptr_t linkId_;
    TConnectState state_;
    TModuleHandle moduleHandle_ = nullptr;
    TEngineEntryPoints entry_;
    // Read on the engine's threads while a later Connect may rebind it.
    std::atomic<TLastErrMsgFn> lastErrMsg_{nullptr};
    std::string modulePath_;

    mutable std::mutex textMutex_; // guards lastError_ and connectParams_
    std::string lastError_;
    std::string connectParams_;
};

// The callback handed to every module's Connect: the user data names a live
// binding, whose DoEvent answers; a binding already freed is not called.
bool EngineCallback(intptr_t userData, uint8_t event);

// An attention-key name ("ENTER", "PF1", ...) to its mnemonic ("@E", "@1",
// ...); any other name is returned unchanged.
std::string AidNameToMnemonic(const std::string& aidName);
