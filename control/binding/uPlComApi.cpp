#include "uPlComApi.h"

#include <algorithm>
#include <string_view>
#include <system_error>
#include <thread>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace {

// A binding as the engines' callbacks reach it. The user data handed to an
// engine is an id into this table, never the binding's address, so that a
// late callback for a binding already freed finds nothing. Any thread.
struct TBindingLink {
    // Held while the binding handles an event and while it is revoked, so
    // that a binding is never freed under a callback that is running.
    // Re-entrant: an engine may report an event inside a call that a handler
    // made on the same thread.
    std::recursive_mutex linkMutex;
    TPLComApi* api = nullptr;
};

class TLiveBindings {
public:
    intptr_t Add(TPLComApi* api) {
        auto link = std::make_shared<TBindingLink>();
        link->api = api;
        std::lock_guard lock(tableMutex_);
        const intptr_t id = ++lastId_; // never reused
        links_.emplace(id, std::move(link));
        return id;
    }
    // Waits for a callback of the binding that is still running.
    void Remove(intptr_t id) {
        std::shared_ptr<TBindingLink> link;
        {
            std::lock_guard lock(tableMutex_);
            auto it = links_.find(id);
            if (it == links_.end()) return;
            link = std::move(it->second);
            links_.erase(it);
        }
        std::lock_guard lock(link->linkMutex);
        link->api = nullptr;
    }
    std::shared_ptr<TBindingLink> Find(intptr_t id) {
        std::lock_guard lock(tableMutex_);
        auto it = links_.find(id);
        return it == links_.end() ? nullptr : it->second;
    }

private:
    std::mutex tableMutex_;
    std::unordered_map<intptr_t, std::shared_ptr<TBindingLink>> links_;
    intptr_t lastId_ = 0;
};

TLiveBindings& LiveBindings() {
    // Never destroyed: an engine's thread may still call back while the
    // process exits.
    static auto* table = new TLiveBindings;
    return *table;
}

// The texts of the binding carry one "%s".
std::string WithText(std::string_view format, const std::string& text) {
    std::string out(format);
    const size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, text);
    return out;
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiUpper(x) == AsciiUpper(y);
           });
}

// Everything that a failed or missing fetch would otherwise leave behind:
// fields, cursor, window and the message field.
void ClearScreenList(THostFields& list) {
    list.Clear();
    list.TermModel = 0;
    list.CurPos = 0;
    list.WinTop = list.WinLeft = list.WinBottom = list.WinRight = 0;
    list.WindowMode = 0;
    *list.MessageField = THostBasicField();
}

} // namespace

// --- TConnectState ---

void TPLComApi::TConnectState::SetConnected(bool connected) {
    std::lock_guard lock(stateMutex_);
    connected_ = connected;
    signalled_ = true;
    stateChanged_.notify_all();
}

bool TPLComApi::TConnectState::Connected() const {
    std::lock_guard lock(stateMutex_);
    return connected_;
}

void TPLComApi::TConnectState::ResetSignal() {
    std::lock_guard lock(stateMutex_);
    signalled_ = false;
}

bool TPLComApi::TConnectState::WaitSignal(std::chrono::milliseconds timeout) {
    std::unique_lock lock(stateMutex_);
    if (!stateChanged_.wait_for(lock, timeout, [this] { return signalled_; })) return false;
    signalled_ = false;
    return true;
}

bool TPLComApi::TConnectState::WaitDisconnected(std::chrono::milliseconds timeout) {
    std::unique_lock lock(stateMutex_);
    return stateChanged_.wait_for(lock, timeout, [this] { return !connected_; });
}

int32_t TPLComApi::TConnectState::Session() const {
    std::lock_guard lock(stateMutex_);
    return session_;
}

void TPLComApi::TConnectState::BeginSession() {
    std::lock_guard lock(stateMutex_);
    session_ = 0;
    sessionEnded_ = false;
}

void TPLComApi::TConnectState::SetSession(int32_t session) {
    std::lock_guard lock(stateMutex_);
    // A session may end on its reader thread before its Connect returns.
    session_ = session > 0 && !sessionEnded_ ? session : 0;
}

void TPLComApi::TConnectState::EndSession() {
    std::lock_guard lock(stateMutex_);
    session_ = 0;
    sessionEnded_ = true;
}

void TPLComApi::TConnectState::BeginAttempt() {
    std::lock_guard lock(stateMutex_);
    attempting_ = true;
    reports_ = {};
}

bool TPLComApi::TConnectState::Attempting() const {
    std::lock_guard lock(stateMutex_);
    return attempting_;
}

bool TPLComApi::TConnectState::NoteAttemptEvent(uint8_t event) {
    std::lock_guard lock(stateMutex_);
    if (!attempting_) return false;
    if (event == PL_SESSION_CONNECTED) {
        reports_.Connected = true;
    } else if (event == PL_SESSION_CONNECTED_FAIL || event == PL_SESSION_DISCONNECTED) {
        reports_.Connected = false;
        reports_.Ended = true;
        reports_.Failed = reports_.Failed || event == PL_SESSION_CONNECTED_FAIL;
    }
    return true;
}

TPLComApi::TConnectState::TAttemptReports TPLComApi::TConnectState::EndAttempt() {
    std::lock_guard lock(stateMutex_);
    attempting_ = false;
    return reports_;
}

// --- TPLComApi ---

TPLComApi::TPLComApi() : linkId_(LiveBindings().Add(this)) {}

TPLComApi::~TPLComApi() {
    InputFields.ClearLists();
    ScreenFields.Clear();
    Disconnect();
    LiveBindings().Remove(linkId_);
    // The module stays loaded: its threads may still run.
}

void TPLComApi::SetConnectParams(const std::string& params) {
    std::lock_guard lock(textMutex_);
    connectParams_ = params;
}

std::string TPLComApi::ConnectParams() const {
    std::lock_guard lock(textMutex_);
    return connectParams_;
}

std::string TPLComApi::LastError() const {
    std::lock_guard lock(textMutex_);
    return lastError_;
}

void TPLComApi::SetLastError(const std::string& text) {
    std::lock_guard lock(textMutex_);
    lastError_ = text;
}

void TPLComApi::SetLastErrorIfEmpty(const std::string& text) {
    std::lock_guard lock(textMutex_);
    if (lastError_.empty()) lastError_ = text;
}

std::string TPLComApi::WithConnectParams(const char* format) const {
    return WithText(format, ConnectParams());
}

bool TPLComApi::Connected() const {
    return state_.Connected();
}

bool TPLComApi::Connecting() const {
    return state_.Attempting();
}

int32_t TPLComApi::Session() const {
    return state_.Session();
}

std::string TPLComApi::ModuleErrorText() const {
    const TLastErrMsgFn lastErrMsg = lastErrMsg_.load();
    if (!lastErrMsg) return {};
    const char* text = lastErrMsg();
    return text ? std::string(text) : std::string();
}

void TPLComApi::ReleaseModule() {
    if (!moduleHandle_) return;
    lastErrMsg_.store(nullptr);
    entry_ = {};
    UnloadModule(moduleHandle_); // drops the reference; the code stays mapped
    moduleHandle_ = nullptr;
}

void TPLComApi::LoadModuleAndBind() {
    TModuleHandle module = LoadModule(modulePath_);
    if (!module) module = LoadModule(FileNameOf(modulePath_));
    if (!module) throw EComApiError(WithText("Can't load connection module: %s", modulePath_));
    moduleHandle_ = module;

    TEngineEntryPoints e;
    auto bind = [&](auto& fn, const char* name, bool required) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(ModuleSymbol(module, name));
        if (!fn && required)
            throw EComApiError(WithText("Invalid connection module: %s", modulePath_));
    };
    bind(e.Connect, "Connect", true);
    bind(e.SetParams, "SetParams", true);
    bind(e.Disconnect, "Disconnect", true);
    bind(e.GetScreen, "GetScreen", true);
    bind(e.GetScreenEx, "GetScreenEx", false);
    bind(e.SendToScreen, "SendToScreen", true);
    bind(e.SendSystemRequest, "SendSystemRequest", false);
    bind(e.LastResult, "LastResult", true);
    bind(e.LastErrMsg, "LastErrMsg", false);
    bind(e.GetCusotmCmd, "GetCusotmCmd", false); // the export's name as modules spell it
    if (!e.GetScreenEx) e.GetScreenEx = e.GetScreen;
    entry_ = e;
    lastErrMsg_.store(e.LastErrMsg);
}

bool TPLComApi::Connect() {
    // An attempt still under way is given up, and a session still held from
    // an earlier Connect is closed, so that the engine does not keep it open
    // with nobody to report to.
    Disconnect();
    ReleaseModule();
    SetLastError("");

    try {
        LoadModuleAndBind();
    } catch (const EComApiError& e) {
        SetLastError(e.what());
        DoEvent(PL_SESSION_CONNECTED_FAIL);
        state_.SetConnected(false);
        Disconnect();
        throw;
    }

    try {
        state_.BeginSession();
        // An outcome of an earlier session must not end this wait.
        state_.ResetSignal();
        const std::string params = ConnectParams();
        if (AsyncConnect) {
            StartAttempt(params);
            return false;
        }
        const int32_t session = entry_.Connect(params.c_str(), linkId_, &EngineCallback);
        if (session <= 0) {
            throw EComApiError(lastErrMsg_.load()
                                   ? ModuleErrorText()
                                   : WithConnectParams("Can't connect with server: %s"));
        }
        state_.SetSession(session);

        const bool signalled = state_.WaitSignal(std::chrono::seconds(std::max(ConnectTimeout, 0)));
        if (!signalled && !state_.Connected())
            throw EComApiError(WithConnectParams("Timeout trying to connect with server: %s"));
        if (!state_.Connected()) {
            throw EComApiError(lastErrMsg_.load()
                                   ? ModuleErrorText()
                                   : WithConnectParams("Error in conection with server: %s"));
        }
        return true;
    } catch (const EComApiError& e) {
        // The text the failure notification stored, if any, stays.
        SetLastErrorIfEmpty(e.what());
        state_.SetConnected(false);
        Disconnect();
        throw;
    }
}

void TPLComApi::StartAttempt(const std::string& params) {
    // The engine's Connect blocks until the host answers or its own time
    // limit passes; the user-interface thread must not wait for it. The
    // thread holds copies only: it reaches the binding solely through the
    // link, and finds nothing there once the attempt was given up.
    const TEngineEntryPoints entry = entry_;
    const intptr_t link = linkId_;
    const std::string unconnected = WithConnectParams("Can't connect with server: %s");
    state_.BeginAttempt();
    try {
        std::thread([entry, params, link, unconnected] {
            try {
                const int32_t session = entry.Connect(params.c_str(), link, &EngineCallback);
                // The failure's text is the calling thread's: read it here.
                std::string errorText;
                if (session <= 0) {
                    const char* text = entry.LastErrMsg ? entry.LastErrMsg() : nullptr;
                    errorText = entry.LastErrMsg ? std::string(text ? text : "") : unconnected;
                }
                bool taken = false;
                if (auto binding = LiveBindings().Find(link)) {
                    std::lock_guard lock(binding->linkMutex);
                    if (binding->api) {
                        binding->api->AttemptReturned(session, errorText);
                        taken = true;
                    }
                }
                // Given up while it ran: nobody holds this session; close it.
                if (!taken && session > 0) entry.Disconnect(session);
            } catch (...) {
                // Nothing escapes the thread; the handlers only post.
            }
        }).detach();
    } catch (const std::system_error& e) {
        state_.EndAttempt();
        throw EComApiError(e.what());
    }
}

void TPLComApi::AttemptReturned(int32_t session, const std::string& errorText) {
    // The outcome's events fire only now, once the attempt is over, so that
    // whoever handles them finds the binding no longer connecting.
    const TConnectState::TAttemptReports reports = state_.EndAttempt();
    if (session <= 0 || reports.Failed) {
        if (session <= 0) SetLastErrorIfEmpty(errorText);
        state_.SetConnected(false);
        state_.EndSession();
        OnConnectError(*this);
        OnDisconnected(*this);
        return;
    }
    if (reports.Ended) {
        // Opened and closed again before its Connect returned.
        state_.SetConnected(false);
        state_.EndSession();
        OnDisconnected(*this);
        return;
    }
    state_.SetSession(session); // none when it has closed already
    // The session counts as open once its handle is in as well, so that the
    // first screen is fetched with it.
    if (reports.Connected && state_.Session() > 0) {
        state_.SetConnected(true);
        OnConnected(*this);
    }
}

void TPLComApi::GiveUpAttempt() {
    auto link = LiveBindings().Find(linkId_);
    if (!link) return;
    {
        // While the link is held no event or return of the attempt runs.
        std::lock_guard lock(link->linkMutex);
        if (!state_.Attempting()) return;
        state_.EndAttempt();
        link->api = nullptr;
    }
    LiveBindings().Remove(linkId_);
    linkId_ = LiveBindings().Add(this);
    state_.SetConnected(false);
    state_.EndSession();
}

void TPLComApi::Disconnect() {
    GiveUpAttempt();
    // Whenever the engine holds a session for this binding, connected or not
    // yet: a session left open would report to nobody.
    const int32_t session = state_.Session();
    if (session <= 0 || !moduleHandle_ || !entry_.Disconnect) return;
    entry_.Disconnect(session);
    // The engine reports the close inside its Disconnect. Waiting for the
    // state rather than for a signal means that a close the host made just
    // before the call costs no wait.
    state_.WaitDisconnected(kDisconnectWait);
    state_.SetConnected(false);
    state_.EndSession();
}

bool TPLComApi::DoEvent(uint8_t event) {
    switch (event) {
    case PL_SESSION_CONNECTED:
        SetLastError("");
        // During an asynchronous attempt the report waits for the handle.
        if (state_.NoteAttemptEvent(event)) break;
        state_.SetConnected(true);
        OnConnected(*this);
        break;
    case PL_SESSION_CONNECTED_FAIL:
        // The text is this thread's: read it here, even when the events
        // wait for the attempt's return.
        if (lastErrMsg_.load())
            SetLastError(ModuleErrorText());
        else
            SetLastErrorIfEmpty(WithConnectParams("Error in conection with server: %s"));
        if (state_.NoteAttemptEvent(event)) break;
        state_.SetConnected(false);
        state_.EndSession();
        OnConnectError(*this);
        OnDisconnected(*this);
        break;
    case PL_SESSION_DISCONNECTED:
        if (lastErrMsg_.load()) SetLastError(ModuleErrorText());
        if (state_.NoteAttemptEvent(event)) break;
        state_.SetConnected(false);
        state_.EndSession();
        OnDisconnected(*this);
        break;
    case PL_SCREEN_CHANGED:
        OnScreenChanged(*this);
        break;
    case PL_KBD_LOCKED:
        OnKbdLocked(*this);
        break;
    case PL_KBD_UNLOCKED:
        OnKbdUnlocked(*this);
        break;
    default: // disconnect failed, is-alive and unknown codes change nothing
        break;
    }
    // Never false: an is-alive question must not end the session.
    return true;
}

void TPLComApi::RefreshScreen() {
    InputFields.ClearLists();
    ClearScreenList(ScreenFields);
    if (!entry_.GetScreen) return;

    int32_t size = kScreenBufferSize;
    std::vector<uint8_t> buffer(static_cast<size_t>(size));
    int32_t count = 0;
    for (;;) {
        count = entry_.GetScreen(state_.Session(), buffer.data(), size);
        if (count == -2) {
            DoCustomCommand(GetCustomCommand());
            return;
        }
        if (count <= 0) return;
        // The module's count is not trusted past the buffer it was given.
        count = std::min(count, size);
        // A stream that fills the buffer may have been cut: ask again with
        // room to spare, so that dense screens arrive whole.
        if (count < size || size >= kMaxScreenBufferSize) break;
        size *= 2;
        buffer.resize(static_cast<size_t>(size));
    }

    try {
        TMemoryStream stream(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(count)));
        ScreenFields.LoadFromStream(stream);
    } catch (const std::exception&) {
        ClearScreenList(ScreenFields);
        return;
    }
    // Room first, so that handing a borrowed field over cannot fail half-way.
    InputFields.Fields.reserve(ScreenFields.Fields.size());
    for (auto& field : ScreenFields.Fields) {
        if (field->GetAttr().Has(attUnProtected))
            InputFields.Add(std::unique_ptr<THostBasicField>(field.get())); // borrowed
    }
}

bool TPLComApi::SendAid(const std::string& aidName) {
    const std::string mnemonic = AidNameToMnemonic(aidName);
    for (auto& field : InputFields.Fields) {
        if (field->GetAttr().Has(attMonoCase))
            std::transform(field->Data.begin(), field->Data.end(), field->Data.begin(), AsciiUpper);
    }
    TMemoryStream stream;
    InputFields.SaveToStream(stream);
    DoEvent(PL_KBD_LOCKED);
    const int32_t result =
        SendRaw(mnemonic.c_str(), stream.data(), static_cast<int32_t>(stream.size()));
    if (result != 0) DoEvent(PL_KBD_UNLOCKED);
    return result == 0;
}

bool TPLComApi::SendSystemRequest(const std::string& text) {
    if (!entry_.SendSystemRequest) return false;
    return entry_.SendSystemRequest(state_.Session(), text.c_str()) == 0;
}

int32_t TPLComApi::SendRaw(const char* aid, const void* data, int32_t size) {
    if (!entry_.SendToScreen) return -1;
    return entry_.SendToScreen(state_.Session(), aid, data, size);
}

std::string TPLComApi::GetCustomCommand() {
    if (!entry_.GetCusotmCmd) return {};
    char buffer[kCustomCommandSize + 1] = {};
    const uint8_t length = entry_.GetCusotmCmd(state_.Session(), buffer, kCustomCommandSize);
    return std::string(buffer, std::min<size_t>(length, kCustomCommandSize));
}

void TPLComApi::DoCustomCommand(const std::string& command) {
    OnCustomCommand(*this, command);
}

bool EngineCallback(intptr_t userData, uint8_t event) {
    // Called from an engine's C code: nothing may escape.
    try {
        auto link = LiveBindings().Find(userData);
        if (!link) return true;
        std::lock_guard lock(link->linkMutex);
        return link->api ? link->api->DoEvent(event) : true;
    } catch (...) {
        return true;
    }
}

std::string AidNameToMnemonic(const std::string& aidName) {
    static constexpr struct {
        const char* name;
        const char* mnemonic;
    } kNamed[] = {
        {"ENTER", "@E"},        {"SYSREQ", "@A@H"},
        {"ATTN", "@A@Q"},       {"CLEAR", "@C"},
        {"PAGE-UP", "@u"},      {"PAGE-DOWN", "@v"},
        {"PAGE-LEFT", "@A@L"},  {"PAGE-RIGHT", "@A@R"},
        {"AUTO-ENTER", "@A@R"}, {"TRIGGER-AUTO-ENTER", "@A@F"},
    };
    for (const auto& k : kNamed)
        if (SameText(aidName, k.name)) return k.mnemonic;

    // "PF" and "PA" followed by decimal digits and nothing else.
    if (aidName.size() < 3) return aidName;
    const std::string_view prefix = std::string_view(aidName).substr(0, 2);
    const bool pf = SameText(prefix, "PF");
    if (!pf && !SameText(prefix, "PA")) return aidName;
    int number = 0;
    for (char c : std::string_view(aidName).substr(2)) {
        if (c < '0' || c > '9') return aidName;
        number = std::min(number * 10 + (c - '0'), 1000); // past any key; no overflow
    }
    static constexpr std::string_view kPfKeys = "123456789abcdefghijklmno";
    static constexpr std::string_view kPaKeys = "xyz";
    const std::string_view keys = pf ? kPfKeys : kPaKeys;
    if (number < 1 || number > static_cast<int>(keys.size())) return aidName;
    return std::string("@") + keys[static_cast<size_t>(number - 1)];
}
