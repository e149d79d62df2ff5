// What the exported interfaces of the engines share: the object behind each
// session handle, the table of handles, opening a session for a caller,
// the bridge from a session's events to the caller's callback, and closing
// a session. Each engine names its own session class and the few texts in
// which the engines differ. Caller's thread, except DoSessionEvent, which
// runs on whichever thread the session reports from.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "PLEngineApi.h"
#include "uEngineCalls.h"
#include "uHandleTable.h"
#include "uLastError.h"
#include "uPLIntfLogg.h"
#include "uPLTelnet.h"
#include "uSessionEvents.h"

// The log lines and texts in which the engines differ.
struct TEngineTexts {
    const char* HandleAssigned;          // log line with the handle number
    const char* NoHandlesError;          // last error text when no slot is free
    const char* HandleReleased;          // log line with the handle number
    std::span<const char* const> Events; // event names by number
};

// One open session: the object behind a handle. The session's own lock,
// which the reader thread holds while it processes a block from the host,
// keeps the display and the field list apart from the caller's calls; no
// send happens under it.
template <typename TSession> struct TEngineObject {
    explicit TEngineObject(int handle)
        : Handle(handle), Engine(std::make_shared<TSession>(handle)) {}
    // A session still open when its object goes is closed first; its
    // disconnection no longer finds the object, so the handle is not
    // released twice.
    ~TEngineObject() {
        try {
            if (Engine->Connected() && !Engine->Closing()) Engine->CloseSession();
        } catch (...) {}
    }
    TEngineObject(const TEngineObject&) = delete;
    TEngineObject& operator=(const TEngineObject&) = delete;

    const int Handle;
    const std::shared_ptr<TSession> Engine;
    intptr_t UserData = 0;
    TSessionCallback Callback = nullptr;
    std::atomic<int32_t> LastResult{0};
    // Set once Connect has opened the session: until then the handle is
    // not open to any other call, which would meet a session being set up.
    std::atomic<bool> Opened{false};
    // Set by the Disconnect that closes the session; any other finds the
    // handle no longer open.
    std::atomic<bool> DisconnectAsked{false};
    TSessionLock& Lock() { return Engine->SessionLock; }
};

template <typename TSession> class TEngineSessions {
public:
    using TObject = TEngineObject<TSession>;
    using TTable = THandleTable<TObject>;
    // Applies a "KEY=value;..." text to a session; may throw.
    using TApplyParams = std::function<void(TObject&, const std::string&)>;

    explicit TEngineSessions(const TEngineTexts& texts) : texts_(texts) {}

    TTable& Handles() { return table_; }

    // The object of an open handle; null, with the text of NotOpen, for any
    // other. A session whose Connect has not returned is not open yet; one
    // whose close has begun is no longer open, though its handle is released
    // only once the disconnection has reached the caller.
    std::shared_ptr<TObject> Lookup(int32_t handle) {
        auto object = LookupHandle(table_, handle);
        if (object && (!object->Opened.load() || object->Engine->Closing())) {
            NotOpen(*object);
            return nullptr;
        }
        return object;
    }

    // -1, with why the session ended (when an error ended it) or "Invalid
    // Handle passed as parameter" as the calling thread's last error text.
    static int32_t NotOpen(const TObject& object) {
        const std::string reason = object.Engine->EndErrorText();
        return FailWith(reason.empty() ? kInvalidHandle : reason);
    }

    // Runs body (TSession&) -> int32_t under the session's lock. The records
    // it makes go out once the lock is let go, after those made before them,
    // so that a host that stopped reading holds up no call that only looks
    // at the screen. A record that could not go out makes a result of 0 into
    // -1, with the socket's text (of the failure that ended the connection,
    // when one did).
    template <typename F> static int32_t SendingCall(TObject& object, F&& body) {
        TSession& session = *object.Engine;
        int32_t result;
        uint64_t before, last;
        {
            std::lock_guard lock(object.Lock());
            before = session.LastQueued();
            result = body(session);
            last = session.LastQueued();
        }
        if (result == 0 && last != before && !session.WentOut(last)) {
            const std::string reason = session.EndErrorText();
            return FailWith(reason.empty() ? session.LastSendErrorText() : reason);
        }
        return result;
    }

    // Opens a session on a free handle: the host is the text before the
    // first ";", and the whole text goes to applyParams when it holds one.
    int32_t Connect(const char* connStr, intptr_t userData, TSessionCallback callback,
                    const TApplyParams& applyParams) {
        WriteLog(1, "<--- Pedido de conexion ");
        if (!connStr) return FailWith("Invalid ConnStr passed as parameter");
        WriteLog(1, "<--- Buscando handle disponible");
        const int handle = table_.Acquire([](int h) { return std::make_shared<TObject>(h); });
        if (handle < 0) {
            WriteLog(1, "<--- No hay handles disponibles");
            return FailWith(texts_.NoHandlesError);
        }
        WriteLog(1, Format(texts_.HandleAssigned, handle));
        auto object = table_.Get(handle);
        object->UserData = userData;
        object->Callback = callback;
        object->LastResult = 0;
        try {
            const std::string text = connStr;
            const size_t semi = text.find(';');
            if (semi != std::string::npos) {
                WriteLog(1, Format("%.4d : Seteo de parametros: %s", handle, text.c_str()));
                applyParams(*object, text);
            }
            TSession& session = *object->Engine;
            session.Host = text.substr(0, semi);
            std::weak_ptr<TObject> weak = object;
            session.OnSessionEvent = [this, weak](TPLTelnet&, TSessionEvent event) {
                auto self = weak.lock();
                return self ? DoSessionEvent(self, event) : false;
            };
            session.Connect();
            object->Opened.store(true);
            SetLastErrorText("");
        } catch (const std::exception& e) {
            WriteLog(1, Format("%.4d : ERROR: %s", handle, e.what()));
            SetLastErrorText(e.what());
            if (callback) callback(userData, ceSessionConnectedFail);
            object->Engine->OnSessionEvent = nullptr;
            ReleaseHandle(*object);
            return -1;
        }
        return handle;
    }

    // The caller's input fields go into the display and the attention key's
    // reply goes out (SendingCall); then the log line doneText (with the
    // handle). The result is SetAid's.
    static int32_t SendScreenInput(TObject& object, const char* aid, const void* fields,
                                   int32_t fieldsSize, const char* doneText) {
        return SendingCall(object, [&](TSession& session) {
            session.PutScreenInput(std::span<const uint8_t>(static_cast<const uint8_t*>(fields),
                                                            static_cast<size_t>(fieldsSize)));
            const int32_t result = session.SetAid(aid);
            WriteLog(3, Format(doneText, object.Handle));
            return result;
        });
    }

    // Closes a session and waits until its reader has ended, so that no
    // event reaches the caller after the return. Of two Disconnects of one
    // handle at once, the second finds the handle no longer open and
    // returns at once; the reader is waited for once. A session whose
    // reader is closing it (the host closed, an error) is no longer open
    // either: the call waits for the reader and returns -1.
    int32_t Disconnect(int32_t handle) {
        auto object = LookupHandle(table_, handle);
        if (!TTable::InRange(handle)) return -1;
        WriteLog(1, Format("%.4d : Pedido de desconexion", handle));
        if (!object) return -1;
        if (!object->Opened.load()) return NotOpen(*object);
        if (object->DisconnectAsked.exchange(true)) return NotOpen(*object);
        // The socket goes down before the lock is asked for, so that a
        // record on its way to a host that stopped reading gives up at once.
        const bool closing = object->Engine->ClaimClose();
        if (closing) {
            std::lock_guard lock(object->Lock());
            WriteLog(3, Format("%.4d : Finalizando conexion con host...", handle));
            object->Engine->FinishClose();
            WriteLog(3, Format("%.4d : Desconexion con host realizada", handle));
        }
        // Outside the lock, which the reader may need to finish its block.
        object->Engine->JoinReader();
        return closing ? 0 : NotOpen(*object);
    }

    // The slot keeps the reason an error ended the session, for the caller
    // that uses the handle next.
    void ReleaseHandle(const TObject& object) {
        WriteLog(1, Format(texts_.HandleReleased, object.Handle));
        table_.Release(object.Handle, &object, object.Engine->EndErrorText());
    }

    // The bridge from a session's events to the caller's callback. The slot
    // is emptied once the disconnection has reached the callback; the object
    // itself lives on while a call or the closing still holds it.
    bool DoSessionEvent(const std::shared_ptr<TObject>& object, TSessionEvent event) {
        const char* name = static_cast<size_t>(event) < texts_.Events.size() ? texts_.Events[event]
                                                                             : "Evento desconocido";
        WriteLog(1, Format("<--- Notificacion \"%s\" a Handle: %d", name, object->Handle));
        bool answer = true;
        if (object->Callback) answer = object->Callback(object->UserData, event);
        if (event == ceSessionDisconnected) ReleaseHandle(*object);
        return answer;
    }

private:
    const TEngineTexts& texts_;
    TTable table_;
};
