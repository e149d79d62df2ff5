#include "uEmuFormLogic.h"

#include <algorithm>
#include <exception>

#include "ModuleLoader.h"
#include "uPlComApi.h"

namespace {

// Enables tbConnect and miConnect again however the click ends.
class TConnectButtonsGuard {
public:
    explicit TConnectButtonsGuard(TEmuFormUi& ui) : ui_(ui) { ui_.SetConnectEnabled(false); }
    ~TConnectButtonsGuard() { ui_.SetConnectEnabled(true); }
    TConnectButtonsGuard(const TConnectButtonsGuard&) = delete;
    TConnectButtonsGuard& operator=(const TConnectButtonsGuard&) = delete;

private:
    TEmuFormUi& ui_;
};

// A failure before the binding's Connect: shown in a message box rather
// than on the status bar.
class EConnectAttempt : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace

// --- TComApiBinding ---

TComApiBinding::TComApiBinding() : api_(std::make_unique<TPLComApi>()) {}

TComApiBinding::~TComApiBinding() = default;

void TComApiBinding::SetModulePath(const std::string& path) {
    api_->SetModulePath(path);
}

void TComApiBinding::SetConnectParams(const std::string& params) {
    api_->SetConnectParams(params);
}

void TComApiBinding::SetEvents(TEmuBindingEvents events) {
    auto wrap = [this](TEmuBindingEvent handler) -> TComApiNotifyEvent::THandler {
        if (!handler) return nullptr;
        return [this, handler = std::move(handler)](TPLComApi&) { handler(*this); };
    };
    api_->OnConnected = wrap(std::move(events.Connected));
    api_->OnConnectError = wrap(std::move(events.ConnectError));
    api_->OnDisconnected = wrap(std::move(events.Disconnected));
    api_->OnKbdLocked = wrap(std::move(events.KbdLocked));
    api_->OnKbdUnlocked = wrap(std::move(events.KbdUnlocked));
}

void TComApiBinding::Connect() {
    api_->Connect();
}

void TComApiBinding::Disconnect() {
    api_->Disconnect();
}

bool TComApiBinding::Connected() const {
    return api_->Connected();
}

bool TComApiBinding::Connecting() const {
    return api_->Connecting();
}

std::string TComApiBinding::LastError() const {
    return api_->LastError();
}

// --- TRegistryFormStore ---

TConnTypeList TRegistryFormStore::ReadConnTypes() {
    return ::ReadConnTypes();
}

TConnList TRegistryFormStore::ReadConnections() {
    return ::ReadConnections();
}

bool TRegistryFormStore::WriteConnections(const TConnList& list) {
    return ::WriteConnections(list);
}

bool TRegistryFormStore::WriteCurrentProfile(const std::string& name) {
    return ::WriteCurrentProfile(name);
}

// --- TEmuFormLogic ---

TEmuFormLogic::TEmuFormLogic(TEmuFormUi& ui, TEmuFormStore& store, TBindingFactory newBinding,
                             std::string programFolder)
    : ui_(ui), store_(store), newBinding_(std::move(newBinding)),
      programFolder_(std::move(programFolder)) {}

TEmuFormLogic::~TEmuFormLogic() {
    FormDestroy();
}

void TEmuFormLogic::FormCreate() {
    ui_.SetPanelText(spLine, kOffline);
    ui_.SetPanelText(spInhibit, "");
    ui_.SetPanelText(spInsert, "");
    try {
        ui_.LoadLayout();
        connTypes_ = store_.ReadConnTypes();
        connections_ = store_.ReadConnections();
        ui_.SetConnMenu(ConnectionNames());
        if (!connections_.empty()) SetCurrentConnection(connections_.front().get());
        TProfileState profiles = ui_.LoadProfiles();
        profiles_ = std::move(profiles.Profiles);
        currentProfile_ = std::move(profiles.CurrentProfile);
    } catch (const std::exception& e) {
        // The form stays, with what was loaded before the failing step.
        ui_.ShowError(e.what());
    }
}

void TEmuFormLogic::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    if (binding_) {
        ui_.AttachView(nullptr);
        // Freeing the binding ends a live session, whose report must not
        // reach a form that is going away.
        binding_->SetEvents({});
        binding_.reset();
    }
    currentConn_ = nullptr;
    connections_.clear();
    connTypes_.clear();
    profiles_.clear();
}

void TEmuFormLogic::SetCurrentConnection(TConnParm* conn) {
    currentConn_ = conn;
    ui_.SetCaption(conn ? std::string(kEmulatorCaption) + " - " + conn->Name : kEmulatorCaption);
}

void TEmuFormLogic::ConnectClick() {
    // Pressed while an attempt runs, Connect gives it up, as it ends a session.
    ConnectOrDisconnect(state_ == TEmuFormState::Connecting);
}

void TEmuFormLogic::ConnectOrDisconnect(bool giveUpAttempt) {
    if (destroyed_ || (!currentConn_ && !giveUpAttempt)) return;
    TConnectButtonsGuard buttons(ui_);
    try {
        if (giveUpAttempt) {
            GiveUpAttempt();
        } else if (!binding_ || !binding_->Connected()) {
            Connect();
        } else {
            binding_->Disconnect();
            // The window goes offline when the disconnected message arrives.
            FreeBinding();
        }
    } catch (const std::exception& e) {
        // An attempt still under way goes with the binding (another stored
        // connection that could not be started): the message panel no
        // longer tells of it.
        if (state_ == TEmuFormState::Connecting) ui_.SetPanelText(spError, "");
        RestoreAfterFailedAttempt();
        ui_.ShowError(e.what());
    }
}

void TEmuFormLogic::Connect() {
    ui_.SetConnectDown(true);
    ui_.SetConnPropEnabled(false);
    // File's first item gives up the attempt, as it ends a session.
    ui_.SetConnectCaption(kDisconnectCaption);
    ui_.SetPanelText(spLine, kOffline);
    ui_.RepaintStatusBar();

    // A binding left by a session the host ended is used again.
    if (!binding_) binding_ = newBinding_();
    const TConnType* type = FindConnType(connTypes_, currentConn_->ConnType);
    if (!type) throw EConnectAttempt(kInvalidConnectionParameters);
    const std::string params = ConnectionString(*type, currentConn_->Param, programFolder_);
    binding_->SetModulePath(type->Module);
    binding_->SetConnectParams(params);
    binding_->SetEvents(Events());

    // The attempt runs while the window goes on; the message panel says so
    // until the outcome arrives.
    ui_.SetPanelText(spError, ConnectingText(params));
    state_ = TEmuFormState::Connecting;
    try {
        binding_->Connect();
    } catch (const std::exception& e) {
        ui_.SetPanelText(spError, e.what());
        RestoreAfterFailedAttempt();
    }
}

void TEmuFormLogic::GiveUpAttempt() {
    // The binding lets the attempt go: nothing of it reaches the form any
    // more, and a session it opens late is closed. An attempt given up
    // reports nothing, so the window goes offline here, not on a message.
    if (binding_) binding_->Disconnect();
    ui_.SetPanelText(spLine, kOffline);
    ui_.SetPanelText(spError, "");
    RestoreAfterFailedAttempt();
}

void TEmuFormLogic::RestoreAfterFailedAttempt() {
    ui_.SetConnPropEnabled(true);
    ui_.SetConnectEnabled(true);
    ui_.SetConnectCaption(kConnectCaption);
    ui_.SetConnectDown(false);
    FreeBinding();
    state_ = TEmuFormState::Offline;
}

void TEmuFormLogic::FreeBinding() {
    if (!binding_) return;
    // A view is never left on a binding that is gone.
    ui_.AttachView(nullptr);
    binding_.reset();
}

TEmuBindingEvents TEmuFormLogic::Events() {
    // These run on the engine's threads: they read the binding that
    // reported (never binding_, which the user-interface thread may be
    // replacing) and only post; the state changes when the message is handled.
    TEmuBindingEvents events;
    events.Connected = [this](TEmuBinding&) { ui_.Post(TEmuMessage::Connected, {}); };
    events.ConnectError = [this](TEmuBinding& sender) { SetLastErrorText(sender.LastError()); };
    events.Disconnected = [this](TEmuBinding& sender) {
        ui_.Post(TEmuMessage::Disconnected, sender.LastError());
    };
    events.KbdLocked = [this](TEmuBinding&) { ui_.Post(TEmuMessage::HostBusy, {}); };
    events.KbdUnlocked = [this](TEmuBinding&) { ui_.Post(TEmuMessage::HostReady, {}); };
    return events;
}

void TEmuFormLogic::ConnMenuClick(size_t index) {
    if (index >= connections_.size() || destroyed_) return;
    SetCurrentConnection(connections_[index].get());
    ui_.SetConnectDown(true);
    if (binding_ && binding_->Connected()) {
        binding_->Disconnect();
        FreeBinding();
    }
    // An attempt still under way is given up by the binding's next Connect.
    ConnectOrDisconnect(false);
}

void TEmuFormLogic::ConnPropClick() {
    std::vector<const TConnType*> types;
    types.reserve(connTypes_.size());
    for (const auto& type : connTypes_)
        types.push_back(type.get());
    const TConnListResult result = ui_.RunConnList(currentConn_, connections_, types);
    if (!result.Accepted) return;
    // OK replaced the records: the old current one is gone, and an emptied
    // list is stored as well as any other.
    SetCurrentConnection(result.Current);
    SaveConnections();
}

void TEmuFormLogic::ScreenPropClick() {
    std::string result = currentProfile_;
    ui_.RunScreenProps(currentProfile_, profiles_, result);
    if (result == currentProfile_) return;
    currentProfile_ = result;
    store_.WriteCurrentProfile(currentProfile_);
}

void TEmuFormLogic::Dispatch(TEmuMessage message, const std::string& text) {
    if (destroyed_) return;
    switch (message) {
    case TEmuMessage::Connected:
    case TEmuMessage::Disconnected:
        // The outcome of an attempt given up for a new one, posted before
        // it was given up: the new attempt's own outcome is still to come.
        if (binding_ && binding_->Connecting()) return;
        if (message == TEmuMessage::Connected)
            WMConnected();
        else
            WMDisconnected(text);
        break;
    case TEmuMessage::HostReady:
        WMHostReady();
        break;
    case TEmuMessage::HostBusy:
        WMHostBusy();
        break;
    }
}

void TEmuFormLogic::WMConnected() {
    // A report of a binding freed since it posted has nothing to attach.
    if (!binding_) return;
    ui_.SetConnPropEnabled(false);
    ui_.SetConnectCaption(kDisconnectCaption);
    ui_.SetConnectEnabled(true);
    ui_.SetConnectDown(true);

    ui_.AttachView(binding_.get());
    ui_.SetHostBusy(false);
    ui_.SetPanelText(spLine, kOnline);
    ui_.SetPanelText(spInhibit, ui_.InhibitReason());
    ui_.SetPanelText(spError, "");
    InsertModeChanged();
    ui_.FocusView();
    state_ = TEmuFormState::Online;
    MoveCurrentToFront();
}

void TEmuFormLogic::WMDisconnected(const std::string& errorText) {
    SetLastErrorText(errorText);
    ui_.SetConnPropEnabled(true);
    ui_.SetConnectEnabled(true);
    ui_.SetConnectCaption(kConnectCaption);
    ui_.SetConnectDown(false);

    ui_.SetHostBusy(false);
    ui_.SetPanelText(spLine, kOffline);
    ui_.SetPanelText(spInhibit, ui_.InhibitReason());
    ui_.SetPanelText(spError, errorText);
    if (errorText.find(kHttpErrorMark) != std::string::npos) ui_.ShowMessage(errorText);

    ui_.ClearScreen();
    // The binding stays for the next attempt.
    ui_.AttachView(nullptr);
    state_ = TEmuFormState::OfflineAfterSession;
}

void TEmuFormLogic::WMHostBusy() {
    // The first report after ready shows the system wait; a further one
    // before the host is ready shows the plain wait.
    const bool ready = ui_.PanelText(spInhibit) == ui_.InhibitReason();
    ui_.SetPanelText(spInhibit, ready ? kSystemWait : kWait);
    ui_.SetHostBusy(true);
}

void TEmuFormLogic::WMHostReady() {
    ui_.SetPanelText(spInhibit, ui_.InhibitReason());
    ui_.SetHostBusy(false);
}

void TEmuFormLogic::InhibitChanged() {
    ui_.SetPanelText(spInhibit, ui_.InhibitReason());
}

void TEmuFormLogic::InsertModeChanged() {
    ui_.SetPanelText(spInsert, ui_.InsertMode() ? kInsert : "");
}

void TEmuFormLogic::CursorMoved(int address) {
    ui_.SetPanelText(spCursor, CursorText(address));
}

void TEmuFormLogic::MoveCurrentToFront() {
    if (!currentConn_ || connections_.empty() || connections_.front().get() == currentConn_) return;
    auto it = std::find_if(connections_.begin(), connections_.end(),
                           [this](const auto& conn) { return conn.get() == currentConn_; });
    // Every current connection is one of the list; one that is not cannot
    // be placed in it.
    if (it == connections_.end()) return;
    std::rotate(connections_.begin(), it, std::next(it));
    SaveConnections();
}

void TEmuFormLogic::SaveConnections() {
    // The menu follows the list even when the registry refuses it.
    ui_.SetConnMenu(ConnectionNames());
    store_.WriteConnections(connections_);
}

std::vector<std::string> TEmuFormLogic::ConnectionNames() const {
    std::vector<std::string> names;
    names.reserve(connections_.size());
    for (const auto& conn : connections_)
        names.push_back(conn->Name);
    return names;
}

std::string TEmuFormLogic::LastErrorText() const {
    std::lock_guard lock(lastErrorMutex_);
    return lastErrorText_;
}

void TEmuFormLogic::SetLastErrorText(const std::string& text) {
    std::lock_guard lock(lastErrorMutex_);
    lastErrorText_ = text;
}

const TConnType* TEmuFormLogic::FindConnType(const TConnTypeList& types, const std::string& name) {
    const TConnType* found = nullptr;
    for (const auto& type : types)
        if (type->Name == name) found = type.get();
    return found;
}

std::string TEmuFormLogic::ConnectionString(const TConnType& type, const std::string& param,
                                            const std::string& programFolder) {
    if (type.Name != "Virtual" || param.find('/') != std::string::npos || programFolder.empty())
        return param;
    return JoinPath(programFolder, param);
}

std::string TEmuFormLogic::ConnectingText(const std::string& connectionString) {
    return "Connecting to " + connectionString.substr(0, connectionString.find(';')) + "...";
}

std::string TEmuFormLogic::CursorText(int address) {
    return std::to_string(address / 80 + 1) + "," + std::to_string(address % 80 + 1);
}

std::string TEmuFormLogic::AidNameOfButton(const std::string& buttonName) {
    if (buttonName.size() <= 2) return {};
    return buttonName.substr(2, 8);
}
