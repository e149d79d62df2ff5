// The emulator form without its widgets: the stored connections, the
// connection types and the screen profiles it holds, the binding of the
// connection in use, and the way the form goes from offline to connecting,
// online and back. It reaches the widgets, the registry and the binding only
// through the small interfaces below, so that it runs without a display.
// User-interface thread, except the binding's event handlers, which run on
// whichever thread the engine reports from and only post messages.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "uConnList.h"
#include "uConnParm.h"
#include "uEmuSettings.h"
#include "uScreenProfiles.h"

class TPLComApi;

inline constexpr char kEmulatorCaption[] = "Corvalen Terminal Emulator";
inline constexpr char kInvalidConnectionParameters[] = "Invalid connection parameters";
inline constexpr char kOnline[] = "ONLINE";
inline constexpr char kOffline[] = "OFFLINE";
inline constexpr char kSystemWait[] = "X-SYSTEM";
inline constexpr char kWait[] = "X-WAIT";
inline constexpr char kInsert[] = "INSERT";
inline constexpr char kConnectCaption[] = "&Connect";
inline constexpr char kDisconnectCaption[] = "&Disconnect";
// An error text from the HTTP module also goes to a message box.
inline constexpr char kHttpErrorMark[] = "HTTP/";

// The status bar's five panels.
enum TStatusPanel : int {
    spLine = 0,    // "OFFLINE" or "ONLINE"
    spInhibit = 1, // the view's input-inhibit reason, "X-SYSTEM" or "X-WAIT"
    spInsert = 2,  // "INSERT" in insert mode
    spCursor = 3,  // row and column of the cursor
    spError = 4,   // the last connection error
};
inline constexpr int kStatusPanelCount = 5;

// The messages the form posts to itself from the binding's events.
enum class TEmuMessage { Connected, Disconnected, HostReady, HostBusy };

class TEmuBinding;
using TEmuBindingEvent = std::function<void(TEmuBinding& sender)>;

// The five events the form hands a binding before each Connect.
struct TEmuBindingEvents {
    TEmuBindingEvent Connected;
    TEmuBindingEvent ConnectError;
    TEmuBindingEvent Disconnected;
    TEmuBindingEvent KbdLocked;
    TEmuBindingEvent KbdUnlocked;
};

// The engine binding as the form drives it. User-interface thread, except
// the events, which fire on the engine's threads.
class TEmuBinding {
public:
    virtual ~TEmuBinding() = default;
    virtual void SetModulePath(const std::string& path) = 0;
    virtual void SetConnectParams(const std::string& params) = 0;
    // Replaces every event; empty handlers clear them.
    virtual void SetEvents(TEmuBindingEvents events) = 0;
    // Starts the session; the outcome arrives as an event. Throws a
    // std::exception with the error text when the attempt fails at once.
    virtual void Connect() = 0;
    // Closes the session and waits for the engine to report it closed.
    virtual void Disconnect() = 0;
    virtual bool Connected() const = 0;
    // An attempt started by Connect has not had its outcome yet.
    virtual bool Connecting() const { return false; }
    virtual std::string LastError() const = 0;
    // The binding a view attaches to; null for one that has none.
    virtual TPLComApi* ComApi() { return nullptr; }
};

// The binding over an engine module (TPLComApi). Its destruction ends a live
// session.
class TComApiBinding : public TEmuBinding {
public:
    TComApiBinding();
    ~TComApiBinding() override;
    void SetModulePath(const std::string& path) override;
    void SetConnectParams(const std::string& params) override;
    void SetEvents(TEmuBindingEvents events) override;
    void Connect() override;
    void Disconnect() override;
    bool Connected() const override;
    bool Connecting() const override;
    std::string LastError() const override;
    TPLComApi* ComApi() override { return api_.get(); }

private:
    std::unique_ptr<TPLComApi> api_;
};

using TBindingFactory = std::function<std::unique_ptr<TEmuBinding>()>;

// What the form keeps in the registry beside the window layout.
class TEmuFormStore {
public:
    virtual ~TEmuFormStore() = default;
    virtual TConnTypeList ReadConnTypes() = 0;
    virtual TConnList ReadConnections() = 0;
    // False when the list could not be written.
    virtual bool WriteConnections(const TConnList& list) = 0;
    virtual bool WriteCurrentProfile(const std::string& name) = 0;
};

// The store in the registry (uEmuSettings).
class TRegistryFormStore : public TEmuFormStore {
public:
    TConnTypeList ReadConnTypes() override;
    TConnList ReadConnections() override;
    bool WriteConnections(const TConnList& list) override;
    bool WriteCurrentProfile(const std::string& name) override;
};

// What the form's logic asks of its widgets. User-interface thread, except
// Post, which any thread calls.
class TEmuFormUi {
public:
    virtual ~TEmuFormUi() = default;

    virtual void SetCaption(const std::string& caption) = 0;
    virtual std::string PanelText(int panel) const = 0;
    virtual void SetPanelText(int panel, const std::string& text) = 0;
    virtual void RepaintStatusBar() = 0;
    // tbConnect and miConnect together.
    virtual void SetConnectEnabled(bool enabled) = 0;
    // tbConnect shown pressed; repainted at once.
    virtual void SetConnectDown(bool down) = 0;
    virtual void SetConnectCaption(const std::string& caption) = 0; // miConnect
    // tbConnProp and the Settings menu's "&Connections" together.
    virtual void SetConnPropEnabled(bool enabled) = 0;
    // pmConn: one item per name, in order.
    virtual void SetConnMenu(const std::vector<std::string>& names) = 0;
    // An error the user must see, and a text shown as it is.
    virtual void ShowError(const std::string& text) = 0;
    virtual void ShowMessage(const std::string& text) = 0;

    // The terminal view.
    virtual std::string InhibitReason() = 0;
    virtual bool InsertMode() = 0;
    virtual void SetHostBusy(bool busy) = 0;
    // Null detaches the view.
    virtual void AttachView(TEmuBinding* binding) = 0;
    virtual void ClearScreen() = 0;
    // Failing to take the focus is no error.
    virtual void FocusView() = 0;

    // Start-up steps that work on the widgets; either may throw.
    virtual void LoadLayout() = 0;
    virtual TProfileState LoadProfiles() = 0;

    // The connection list dialog, run modally.
    virtual TConnListResult RunConnList(const TConnParm* current, TConnList& connections,
                                        const std::vector<const TConnType*>& types) = 0;
    // The screen properties dialog, run modally; result: the profile in use after it.
    virtual void RunScreenProps(const std::string& profile, std::vector<std::string>& profiles,
                                std::string& result) = 0;

    // Any thread: queues a message for the user-interface thread, where it
    // comes back through TEmuFormLogic::Dispatch with its text.
    virtual void Post(TEmuMessage message, const std::string& text) = 0;
};

enum class TEmuFormState {
    Offline,             // after start-up, or after a failed attempt
    Connecting,          // between Connect and the connected or disconnected message
    Online,              // after the connected message
    OfflineAfterSession, // after the disconnected message
};

class TEmuFormLogic {
public:
    TEmuFormLogic(TEmuFormUi& ui, TEmuFormStore& store, TBindingFactory newBinding,
                  std::string programFolder);
    ~TEmuFormLogic();
    TEmuFormLogic(const TEmuFormLogic&) = delete;
    TEmuFormLogic& operator=(const TEmuFormLogic&) = delete;

    // Start-up: the status panels, then the layout, the connection types,
    // the stored connections and the profiles, in that order. An error ends
    // it at that step and is shown.
    void FormCreate();
    // Detaches the view, frees the binding (ending a live session) and the
    // lists. Runs once; later calls do nothing.
    void FormDestroy();

    // Null leaves no connection current.
    void SetCurrentConnection(TConnParm* conn);
    // tbConnect and miConnect: connect, or disconnect a live session, or
    // give up an attempt under way.
    void ConnectClick();
    // A pmConn item: that connection, connected anew.
    void ConnMenuClick(size_t index);
    void ConnPropClick();
    void ScreenPropClick();

    // The posted messages, handled on the user-interface thread.
    void Dispatch(TEmuMessage message, const std::string& text);
    void WMConnected();
    void WMDisconnected(const std::string& errorText);
    void WMHostBusy();
    void WMHostReady();

    // The view's notifications.
    void InhibitChanged();
    void InsertModeChanged();
    void CursorMoved(int address);

    TEmuFormState State() const { return state_; }
    TEmuBinding* ComApi() const { return binding_.get(); }
    const TConnTypeList& ConnTypes() const { return connTypes_; }
    const TConnList& Connections() const { return connections_; }
    TConnParm* CurrentConn() const { return currentConn_; }
    const std::string& CurrentProfile() const { return currentProfile_; }
    const std::vector<std::string>& Profiles() const { return profiles_; }
    std::string LastErrorText() const;

    // The type of a connection: the last of that name (case-sensitive); null for none.
    static const TConnType* FindConnType(const TConnTypeList& types, const std::string& name);
    // The string handed to the module: a "Virtual" template given by bare
    // name is looked for in the program's folder.
    static std::string ConnectionString(const TConnType& type, const std::string& param,
                                        const std::string& programFolder);
    // The status text while a connection is attempted: the host, without the
    // parameter items that follow it.
    static std::string ConnectingText(const std::string& connectionString);
    // "row,column", 1-based, of a 0-based cursor address.
    static std::string CursorText(int address);
    // The attention key a keypad button sends: its name from the third
    // character on, at most 8 characters ("tbPF01" sends "PF01").
    static std::string AidNameOfButton(const std::string& buttonName);

private:
    TEmuBindingEvents Events();
    void SetLastErrorText(const std::string& text);
    void ConnectOrDisconnect(bool giveUpAttempt);
    void Connect();
    void GiveUpAttempt();
    void RestoreAfterFailedAttempt();
    void FreeBinding();
    void MoveCurrentToFront();
    void SaveConnections();
    std::vector<std::string> ConnectionNames() const;

    TEmuFormUi& ui_;
    TEmuFormStore& store_;
    TBindingFactory newBinding_;
    std::string programFolder_;

    std::unique_ptr<TEmuBinding> binding_;
    TConnTypeList connTypes_;
    TConnList connections_;
    TConnParm* currentConn_ = nullptr; // one of connections_, or null
    std::string currentProfile_;
    std::vector<std::string> profiles_;
    TEmuFormState state_ = TEmuFormState::Offline;
    bool destroyed_ = false;

    // Written by a binding event on the engine's thread.
    mutable std::mutex lastErrorMutex_;
    std::string lastErrorText_;
};
