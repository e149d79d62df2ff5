// Stand-ins for what the emulator form's logic drives: its widgets, the
// registry and the engine binding. They record what was asked of them, and
// the binding reports its events when the test says so.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "uEmuFormLogic.h"

class TFakeFormUi : public TEmuFormUi {
public:
    std::string Caption = kEmulatorCaption;
    std::string Panels[kStatusPanelCount];
    bool ConnectEnabled = true;
    bool ConnectDown = false;
    std::string ConnectCaption = kConnectCaption;
    bool ConnPropEnabled = true;
    std::vector<std::string> ConnMenu;
    int ConnMenuBuilds = 0;
    std::vector<std::string> Errors;
    std::vector<std::string> Messages;
    std::string Inhibit;
    bool Insert = false;
    bool HostBusy = false;
    TEmuBinding* Attached = nullptr;
    int ClearScreens = 0;
    int Focused = 0;
    int LayoutLoads = 0;
    int ProfileLoads = 0;
    TProfileState StoredProfiles;
    std::function<TConnListResult(const TConnParm*, TConnList&)> ConnListDialog;
    std::function<void(std::string& result)> ScreenPropsDialog;

    void SetCaption(const std::string& caption) override { Caption = caption; }
    std::string PanelText(int panel) const override { return Panels[panel]; }
    void SetPanelText(int panel, const std::string& text) override { Panels[panel] = text; }
    void RepaintStatusBar() override {}
    void SetConnectEnabled(bool enabled) override { ConnectEnabled = enabled; }
    void SetConnectDown(bool down) override { ConnectDown = down; }
    void SetConnectCaption(const std::string& caption) override { ConnectCaption = caption; }
    void SetConnPropEnabled(bool enabled) override { ConnPropEnabled = enabled; }
    void SetConnMenu(const std::vector<std::string>& names) override {
        ConnMenu = names;
        ++ConnMenuBuilds;
    }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    std::string InhibitReason() override { return Inhibit; }
    bool InsertMode() override { return Insert; }
    void SetHostBusy(bool busy) override { HostBusy = busy; }
    void AttachView(TEmuBinding* binding) override { Attached = binding; }
    void ClearScreen() override { ++ClearScreens; }
    void FocusView() override { ++Focused; }
    void LoadLayout() override { ++LayoutLoads; }
    TProfileState LoadProfiles() override {
        ++ProfileLoads;
        return StoredProfiles;
    }
    TConnListResult RunConnList(const TConnParm* current, TConnList& connections,
                                const std::vector<const TConnType*>&) override {
        return ConnListDialog ? ConnListDialog(current, connections) : TConnListResult{};
    }
    void RunScreenProps(const std::string&, std::vector<std::string>&,
                        std::string& result) override {
        if (ScreenPropsDialog) ScreenPropsDialog(result);
    }

    // Any thread, as the engine's callbacks post.
    void Post(TEmuMessage message, const std::string& text) override {
        std::lock_guard lock(postedMutex_);
        posted_.emplace_back(message, text);
    }
    std::deque<std::pair<TEmuMessage, std::string>> TakePosted() {
        std::lock_guard lock(postedMutex_);
        return std::exchange(posted_, {});
    }

private:
    std::mutex postedMutex_;
    std::deque<std::pair<TEmuMessage, std::string>> posted_;
};

class TFakeFormStore : public TEmuFormStore {
public:
    std::vector<std::pair<std::string, std::string>> Types; // name, module
    std::vector<TConnParm> Stored;
    bool WriteSucceeds = true;
    bool FailReadingConnections = false;
    int ConnectionWrites = 0;
    std::vector<std::string> WrittenNames;
    std::vector<std::string> ProfileWrites;

    TConnTypeList ReadConnTypes() override {
        TConnTypeList list;
        for (const auto& [name, module] : Types) {
            auto type = std::make_unique<TConnType>();
            type->Name = name;
            type->Module = module;
            type->Index = static_cast<int32_t>(list.size());
            list.push_back(std::move(type));
        }
        return list;
    }
    TConnList ReadConnections() override {
        if (FailReadingConnections) throw std::runtime_error("Stream read error");
        TConnList list;
        for (const TConnParm& conn : Stored)
            list.push_back(std::make_unique<TConnParm>(conn));
        return list;
    }
    bool WriteConnections(const TConnList& list) override {
        ++ConnectionWrites;
        WrittenNames.clear();
        for (const auto& conn : list)
            WrittenNames.push_back(conn->Name);
        return WriteSucceeds;
    }
    bool WriteCurrentProfile(const std::string& name) override {
        ProfileWrites.push_back(name);
        return true;
    }
};

// What every fake binding of a test did, kept past the bindings' lives.
struct TBindingLog {
    int Created = 0;
    int Destroyed = 0;
    int Connects = 0;
    int Disconnects = 0;
    std::string ModulePath;
    std::string Params;
    std::string ConnectError;  // Connect throws with it when set
    bool ReportInline = false; // Connect reports connected before it returns
    std::vector<std::string> Calls;
    bool EventsSetWhenFreed = false;
    bool AttachedWhenFreed = false;
};

class TFakeBinding : public TEmuBinding {
public:
    TFakeBinding(TBindingLog& log, TFakeFormUi& ui) : log_(log), ui_(ui) {
        ++log_.Created;
        log_.Calls.push_back("create");
    }
    ~TFakeBinding() override {
        ++log_.Destroyed;
        log_.Calls.push_back("free");
        log_.EventsSetWhenFreed = static_cast<bool>(events_.Disconnected);
        log_.AttachedWhenFreed = ui_.Attached == this;
    }

    void SetModulePath(const std::string& path) override { log_.ModulePath = path; }
    void SetConnectParams(const std::string& params) override { log_.Params = params; }
    void SetEvents(TEmuBindingEvents events) override { events_ = std::move(events); }
    void Connect() override {
        ++log_.Connects;
        log_.Calls.push_back("connect " + log_.Params);
        if (!log_.ConnectError.empty()) {
            SetLastError(log_.ConnectError);
            throw std::runtime_error(log_.ConnectError);
        }
        connecting_ = true;
        if (log_.ReportInline) ReportConnected();
    }
    // Gives up an attempt under way, which then reports nothing; reports
    // the close of a session inside the call, as the engines do.
    void Disconnect() override {
        ++log_.Disconnects;
        log_.Calls.push_back("disconnect");
        connecting_ = false;
        if (connected_.exchange(false)) Fire(events_.Disconnected);
    }
    bool Connected() const override { return connected_; }
    bool Connecting() const override { return connecting_; }
    std::string LastError() const override {
        std::lock_guard lock(errorMutex_);
        return lastError_;
    }

    // The engine's reports; any thread.
    void ReportConnected() {
        connecting_ = false;
        connected_ = true;
        Fire(events_.Connected);
    }
    void ReportEnded(const std::string& error) {
        SetLastError(error);
        connecting_ = false;
        connected_ = false;
        Fire(events_.Disconnected);
    }
    void ReportBusy() { Fire(events_.KbdLocked); }
    void ReportReady() { Fire(events_.KbdUnlocked); }

private:
    void Fire(const TEmuBindingEvent& event) {
        if (event) event(*this);
    }
    void SetLastError(const std::string& text) {
        std::lock_guard lock(errorMutex_);
        lastError_ = text;
    }

    TBindingLog& log_;
    TFakeFormUi& ui_;
    TEmuBindingEvents events_;
    std::atomic<bool> connected_{false};
    std::atomic<bool> connecting_{false};
    mutable std::mutex errorMutex_;
    std::string lastError_;
};
