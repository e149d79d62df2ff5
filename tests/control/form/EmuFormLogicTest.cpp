// The emulator form's behaviour without widgets: start-up, connecting and
// disconnecting, the messages the binding's events post, the status panels,
// and the connection list kept most recent first.
#include <gtest/gtest.h>

#include <thread>

#include "EmuFormFakes.h"
#include "uPlComApi.h"

namespace {

TConnParm Conn(const std::string& name, const std::string& type, const std::string& param) {
    TConnParm c;
    c.Name = name;
    c.ConnType = type;
    c.Param = param;
    return c;
}

class EmuFormLogic : public ::testing::Test {
protected:
    EmuFormLogic() {
        store_.Types = {{"Virtual", "PLVirtual.so"}, {"TN5250", "PLTN5250.so"}};
        store_.Stored = {Conn("Alpha", "TN5250", "alpha.example"),
                         Conn("Beta", "TN5250", "beta.example;PORT=2323")};
    }

    TEmuFormLogic& Start() {
        logic_ = std::make_unique<TEmuFormLogic>(
            ui_, store_, [this] { return std::make_unique<TFakeBinding>(log_, ui_); },
            "/opt/corvalen/bin");
        logic_->FormCreate();
        return *logic_;
    }
    TFakeBinding& Binding() {
        auto* binding = dynamic_cast<TFakeBinding*>(logic_->ComApi());
        if (!binding) throw std::runtime_error("no binding");
        return *binding;
    }
    // Handles the posted messages in order, as the event loop would.
    void Deliver() {
        for (const auto& [message, text] : ui_.TakePosted())
            logic_->Dispatch(message, text);
    }
    TEmuFormLogic& Online(size_t menuIndex = 0) {
        Start();
        log_.ReportInline = true;
        logic_->ConnMenuClick(menuIndex);
        Deliver();
        return *logic_;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& c : logic_->Connections())
            names.push_back(c->Name);
        return names;
    }

    TFakeFormUi ui_;
    TFakeFormStore store_;
    TBindingLog log_;
    std::unique_ptr<TEmuFormLogic> logic_;
};

// --- start-up ---

TEST_F(EmuFormLogic, StartUpMakesTheFirstStoredConnectionCurrent) {
    auto& logic = Start();
    EXPECT_EQ(ui_.LayoutLoads, 1);
    EXPECT_EQ(logic.ConnTypes().size(), 2u);
    ASSERT_NE(logic.CurrentConn(), nullptr);
    EXPECT_EQ(logic.CurrentConn()->Name, "Alpha");
    EXPECT_EQ(ui_.Caption, "Corvalen Terminal Emulator - Alpha");
    EXPECT_EQ(ui_.ConnMenu, (std::vector<std::string>{"Alpha", "Beta"}));
    EXPECT_EQ(ui_.Panels[spLine], "OFFLINE");
    EXPECT_EQ(logic.State(), TEmuFormState::Offline);
}

TEST_F(EmuFormLogic, WithNoStoredConnectionConnectDoesNothing) {
    store_.Stored.clear();
    auto& logic = Start();
    logic.ConnectClick();
    EXPECT_EQ(ui_.Caption, "Corvalen Terminal Emulator");
    EXPECT_EQ(log_.Created, 0);
    EXPECT_TRUE(ui_.ConnectEnabled);
    EXPECT_FALSE(ui_.ConnectDown);
}

TEST_F(EmuFormLogic, StartUpErrorEndsAtItsStepAndIsShown) {
    store_.FailReadingConnections = true;
    ui_.StoredProfiles.Profiles = {"Default"};
    auto& logic = Start();
    EXPECT_EQ(ui_.Errors, std::vector<std::string>{"Stream read error"});
    EXPECT_EQ(logic.ConnTypes().size(), 2u); // loaded before the failing step
    EXPECT_EQ(ui_.ProfileLoads, 0);          // the step after it never ran
    EXPECT_EQ(logic.CurrentConn(), nullptr);
}

// --- rules ---

TEST(EmuFormRules, TheLastTypeOfTheNameWinsAndNamesAreCaseSensitive) {
    TConnTypeList types;
    for (auto [name, module] : {std::pair{"TN5250", "first.so"}, std::pair{"TN5250", "second.so"},
                                std::pair{"tn3270", "lower.so"}}) {
        types.push_back(std::make_unique<TConnType>(TConnType{name, module, 0}));
    }
    ASSERT_NE(TEmuFormLogic::FindConnType(types, "TN5250"), nullptr);
    EXPECT_EQ(TEmuFormLogic::FindConnType(types, "TN5250")->Module, "second.so");
    EXPECT_EQ(TEmuFormLogic::FindConnType(types, "TN3270"), nullptr);
    EXPECT_EQ(TEmuFormLogic::FindConnType(types, "tn5250"), nullptr);
}

TEST(EmuFormRules, VirtualTemplateByBareNameIsLookedForBesideTheProgram) {
    const struct {
        const char* type;
        const char* param;
        const char* folder;
        const char* expected;
    } cases[] = {
        {"Virtual", "signon.txt", "/opt/app/bin", "/opt/app/bin/signon.txt"},
        {"Virtual", "signon.txt", "/opt/app/bin/", "/opt/app/bin/signon.txt"},
        {"Virtual", "screens/signon.txt", "/opt/app/bin", "screens/signon.txt"},
        {"Virtual", "/srv/signon.txt", "/opt/app/bin", "/srv/signon.txt"},
        // A backslash is no path separator here: the name is still bare.
        {"Virtual", "a\\b.txt", "/opt/app/bin", "/opt/app/bin/a\\b.txt"},
        {"virtual", "signon.txt", "/opt/app/bin", "signon.txt"},
        {"TN5250", "host.example", "/opt/app/bin", "host.example"},
    };
    for (const auto& c : cases) {
        const TConnType type{c.type, "module.so", 0};
        EXPECT_EQ(TEmuFormLogic::ConnectionString(type, c.param, c.folder), c.expected)
            << c.type << " " << c.param;
    }
}

TEST(EmuFormRules, CursorTextIsOneBasedRowAndColumn) {
    const std::pair<int, const char*> cases[] = {
        {0, "1,1"}, {79, "1,80"}, {80, "2,1"}, {1919, "24,80"}};
    for (const auto& [address, text] : cases)
        EXPECT_EQ(TEmuFormLogic::CursorText(address), text) << address;
}

TEST(EmuFormRules, KeypadButtonsSendTheKeyOfTheirName) {
    const std::pair<const char*, const char*> cases[] = {
        {"tbSYSREQ", "SYSREQ"},
        {"tbPF01", "PF01"},
        {"tbPF12", "PF12"},
        {"tbENTER", "ENTER"},
        {"tbPA1", "PA1"},
        {"tbCLEAR", "CLEAR"},
        {"tbABCDEFGHIJ", "ABCDEFGH"}, // at most 8 characters
        {"tb", ""},
    };
    for (const auto& [button, key] : cases)
        EXPECT_EQ(TEmuFormLogic::AidNameOfButton(button), key) << button;
    // What the binding makes of the names it is handed.
    EXPECT_EQ(AidNameToMnemonic("PF01"), "@1");
    EXPECT_EQ(AidNameToMnemonic("SYSREQ"), "@A@H");
}

// --- connecting ---

TEST_F(EmuFormLogic, ConnectStartsTheCurrentConnectionAndGoesOnlineOnItsMessage) {
    auto& logic = Start();
    logic.ConnectClick();
    EXPECT_EQ(logic.State(), TEmuFormState::Connecting);
    EXPECT_EQ(log_.ModulePath, "PLTN5250.so");
    EXPECT_EQ(log_.Params, "alpha.example");
    EXPECT_TRUE(ui_.ConnectDown);
    EXPECT_FALSE(ui_.ConnPropEnabled);
    EXPECT_TRUE(ui_.ConnectEnabled);
    EXPECT_EQ(ui_.Attached, nullptr) << "attached only once online";

    ui_.HostBusy = true;
    ui_.Inhibit = "X-CLOCK";
    Binding().ReportConnected();
    Deliver();
    EXPECT_EQ(logic.State(), TEmuFormState::Online);
    EXPECT_EQ(ui_.Panels[spLine], "ONLINE");
    EXPECT_EQ(ui_.Panels[spInhibit], "X-CLOCK");
    EXPECT_EQ(ui_.Attached, logic.ComApi());
    EXPECT_EQ(ui_.ConnectCaption, "&Disconnect");
    EXPECT_FALSE(ui_.HostBusy);
    EXPECT_EQ(ui_.Focused, 1);
    EXPECT_EQ(store_.ConnectionWrites, 0) << "already first: neither reordered nor stored";
}

TEST_F(EmuFormLogic, BusyThenBusyThenReady) {
    Online();
    ui_.Inhibit = "";
    logic_->InhibitChanged();
    const struct {
        void (TFakeBinding::*report)();
        const char* panel;
        bool busy;
    } steps[] = {{&TFakeBinding::ReportBusy, "X-SYSTEM", true},
                 {&TFakeBinding::ReportBusy, "X-WAIT", true},
                 {&TFakeBinding::ReportReady, "", false}};
    for (const auto& step : steps) {
        (Binding().*step.report)();
        Deliver();
        EXPECT_EQ(ui_.Panels[spInhibit], step.panel);
        EXPECT_EQ(ui_.HostBusy, step.busy);
    }
}

TEST_F(EmuFormLogic, ConnectingAnotherThanTheFirstMovesItToTheFront) {
    store_.WriteSucceeds = false; // the menu follows the list all the same
    Online(1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Beta", "Alpha"}));
    EXPECT_EQ(store_.ConnectionWrites, 1);
    EXPECT_EQ(store_.WrittenNames, (std::vector<std::string>{"Beta", "Alpha"}));
    EXPECT_EQ(ui_.ConnMenu, (std::vector<std::string>{"Beta", "Alpha"}));
    EXPECT_EQ(logic_->CurrentConn()->Name, "Beta");
}

TEST_F(EmuFormLogic, FailedConnectShowsItsErrorAndFreesTheBinding) {
    auto& logic = Start();
    log_.ConnectError = "Can't load connection module: PLTN5250.so";
    logic.ConnectClick();
    EXPECT_EQ(ui_.Panels[spError], log_.ConnectError);
    EXPECT_TRUE(ui_.ConnPropEnabled);
    EXPECT_TRUE(ui_.ConnectEnabled);
    EXPECT_FALSE(ui_.ConnectDown);
    EXPECT_EQ(logic.ComApi(), nullptr);
    EXPECT_EQ(log_.Destroyed, 1);
    EXPECT_TRUE(ui_.Errors.empty()) << "shown on the status bar, not in a box";
    EXPECT_EQ(logic.State(), TEmuFormState::Offline);
}

TEST_F(EmuFormLogic, InvalidConnectionParametersRestoresTheButtons) {
    store_.Stored = {Conn("Gamma", "tn5250", "gamma.example"), // no type of that case
                     Conn("Alpha", "TN5250", "alpha.example")};
    auto& logic = Start();
    logic.ConnectClick();
    EXPECT_EQ(ui_.Errors, std::vector<std::string>{"Invalid connection parameters"});
    EXPECT_FALSE(ui_.ConnectDown);
    EXPECT_TRUE(ui_.ConnectEnabled);
    EXPECT_TRUE(ui_.ConnPropEnabled);
    EXPECT_EQ(logic.ComApi(), nullptr);
    EXPECT_EQ(log_.Connects, 0);
    EXPECT_EQ(log_.Created, log_.Destroyed);

    // Chosen while another connection is being attempted: that attempt goes
    // with its binding, and the message panel no longer tells of it.
    logic.ConnMenuClick(1);
    ASSERT_EQ(logic.State(), TEmuFormState::Connecting);
    logic.ConnMenuClick(0);
    EXPECT_EQ(ui_.Errors.size(), 2u);
    EXPECT_EQ(logic.State(), TEmuFormState::Offline);
    EXPECT_EQ(logic.ComApi(), nullptr);
    EXPECT_EQ(log_.Created, log_.Destroyed);
    EXPECT_FALSE(ui_.ConnectDown);
    EXPECT_EQ(ui_.ConnectCaption, "&Connect");
    EXPECT_EQ(ui_.Panels[spLine], "OFFLINE");
    EXPECT_EQ(ui_.Panels[spError], "") << "no longer connecting";
}

TEST_F(EmuFormLogic, ChoosingAConnectionWhileOnlineDisconnectsFirst) {
    Online(0);
    logic_->ConnMenuClick(1);
    EXPECT_EQ(log_.Calls,
              (std::vector<std::string>{"create", "connect alpha.example", "disconnect", "free",
                                        "create", "connect beta.example;PORT=2323"}));
    EXPECT_FALSE(log_.AttachedWhenFreed) << "the view is detached before its binding goes";
    Deliver();
    EXPECT_EQ(logic_->State(), TEmuFormState::Online);
    EXPECT_EQ(ui_.Attached, logic_->ComApi());
    EXPECT_EQ(ui_.Caption, "Corvalen Terminal Emulator - Beta");
}

TEST_F(EmuFormLogic, ConnectPressedWhileAnAttemptRunsGivesItUpAndGoesOfflineAtOnce) {
    auto& logic = Start();
    const auto offline = [&] {
        EXPECT_EQ(logic.State(), TEmuFormState::Offline);
        EXPECT_FALSE(ui_.ConnectDown);
        EXPECT_TRUE(ui_.ConnectEnabled);
        EXPECT_TRUE(ui_.ConnPropEnabled);
        EXPECT_EQ(ui_.ConnectCaption, "&Connect");
        EXPECT_EQ(ui_.Panels[spLine], "OFFLINE");
        EXPECT_EQ(ui_.Panels[spError], "") << "no longer connecting";
        EXPECT_EQ(ui_.Attached, nullptr);
        EXPECT_EQ(logic.ComApi(), nullptr);
        EXPECT_EQ(log_.Created, log_.Destroyed);
    };
    logic.ConnectClick();
    ASSERT_EQ(logic.State(), TEmuFormState::Connecting);
    EXPECT_EQ(ui_.ConnectCaption, "&Disconnect") << "File's first item gives the attempt up";
    logic.ConnectClick();
    EXPECT_EQ(log_.Calls,
              (std::vector<std::string>{"create", "connect alpha.example", "disconnect", "free"}))
        << "no second attempt; the first given up";
    offline();

    // Pressed again, Connect starts afresh. Its outcome is posted just as
    // the user gives it up, and brings nothing back.
    logic.ConnectClick();
    EXPECT_EQ(log_.Connects, 2);
    Binding().ReportConnected();
    logic.ConnectClick();
    EXPECT_EQ(log_.Connects, 2);
    offline();
    Deliver();
    EXPECT_NE(logic.State(), TEmuFormState::Online);
    EXPECT_EQ(ui_.Panels[spLine], "OFFLINE");
    EXPECT_EQ(ui_.Attached, nullptr);
}

TEST_F(EmuFormLogic, UserDisconnectFreesTheBindingAndGoesOfflineOnItsMessage) {
    Online();
    logic_->ConnectClick();
    EXPECT_EQ(log_.Disconnects, 1);
    EXPECT_EQ(logic_->ComApi(), nullptr);
    EXPECT_FALSE(log_.AttachedWhenFreed);
    Deliver();
    EXPECT_EQ(ui_.Panels[spLine], "OFFLINE");
    EXPECT_EQ(ui_.ConnectCaption, "&Connect");
    EXPECT_FALSE(ui_.ConnectDown);
    EXPECT_TRUE(ui_.ConnPropEnabled);
    EXPECT_EQ(logic_->State(), TEmuFormState::OfflineAfterSession);
}

TEST_F(EmuFormLogic, SessionTheHostEndsKeepsTheBindingForTheNextConnect) {
    Online();
    Binding().ReportBusy();
    Deliver();
    ASSERT_TRUE(ui_.HostBusy);
    Binding().ReportEnded("Connection closed by host");
    Deliver();
    EXPECT_EQ(ui_.Panels[spLine], "OFFLINE");
    EXPECT_EQ(ui_.Panels[spError], "Connection closed by host");
    EXPECT_EQ(ui_.Attached, nullptr);
    EXPECT_EQ(ui_.ClearScreens, 1);
    EXPECT_FALSE(ui_.HostBusy) << "a stale busy state would block RESET in the next session";
    EXPECT_NE(logic_->ComApi(), nullptr);
    EXPECT_TRUE(ui_.Messages.empty());

    logic_->ConnectClick();
    EXPECT_EQ(log_.Created, 1);
    EXPECT_EQ(log_.Connects, 2);
    Deliver();
    EXPECT_EQ(ui_.Panels[spLine], "ONLINE");
}

TEST_F(EmuFormLogic, DisconnectionCarriesTheReportingBindingsErrorText) {
    Online();
    TFakeBinding& binding = Binding();
    // The engine's reader thread reports; the form reads nothing of its own
    // binding there.
    std::thread reader([&] { binding.ReportEnded("HTTP/1.1 503 Service Unavailable"); });
    reader.join();
    EXPECT_EQ(logic_->LastErrorText(), "") << "set when the message is handled";
    Deliver();
    EXPECT_EQ(logic_->LastErrorText(), "HTTP/1.1 503 Service Unavailable");
    EXPECT_EQ(ui_.Panels[spError], "HTTP/1.1 503 Service Unavailable");
    EXPECT_EQ(ui_.Messages, std::vector<std::string>{"HTTP/1.1 503 Service Unavailable"});
}

// --- dialogs ---

TEST_F(EmuFormLogic, ConnectionListOkMakesItsResultCurrentAndCancelChangesNothing) {
    auto& logic = Start();
    ui_.ConnListDialog = [](const TConnParm*, TConnList&) { return TConnListResult{}; };
    logic.ConnPropClick();
    EXPECT_EQ(store_.ConnectionWrites, 0);

    ui_.ConnListDialog = [](const TConnParm*, TConnList& list) {
        list.push_back(std::make_unique<TConnParm>(Conn("Delta", "Virtual", "delta.txt")));
        return TConnListResult{true, list.back().get()};
    };
    logic.ConnPropClick();
    EXPECT_EQ(logic.CurrentConn()->Name, "Delta");
    EXPECT_EQ(ui_.ConnMenu, (std::vector<std::string>{"Alpha", "Beta", "Delta"}));
    logic.ConnectClick();
    EXPECT_EQ(log_.ModulePath, "PLVirtual.so");
    EXPECT_EQ(log_.Params, "/opt/corvalen/bin/delta.txt");
}

TEST_F(EmuFormLogic, ConnectionListEmptiedOnOkIsStoredAndLeavesNoCurrent) {
    auto& logic = Start();
    ui_.ConnListDialog = [](const TConnParm*, TConnList& list) {
        list.clear();
        return TConnListResult{true, nullptr};
    };
    logic.ConnPropClick();
    EXPECT_EQ(logic.CurrentConn(), nullptr) << "the old current record is gone";
    EXPECT_EQ(ui_.Caption, "Corvalen Terminal Emulator");
    EXPECT_EQ(store_.ConnectionWrites, 1);
    EXPECT_TRUE(store_.WrittenNames.empty());
    EXPECT_TRUE(ui_.ConnMenu.empty());
    logic.ConnectClick();
    EXPECT_EQ(log_.Created, 0);
}

TEST_F(EmuFormLogic, ScreenPropertiesStoreOnlyAnotherProfileName) {
    ui_.StoredProfiles = {{"Default", "Green"}, "Default"};
    auto& logic = Start();
    for (const char* chosen : {"Default", "default", "default", "Green"}) {
        ui_.ScreenPropsDialog = [chosen](std::string& result) { result = chosen; };
        logic.ScreenPropClick();
    }
    EXPECT_EQ(store_.ProfileWrites, (std::vector<std::string>{"default", "Green"}));
    EXPECT_EQ(logic.CurrentProfile(), "Green");
}

// --- the end ---

TEST_F(EmuFormLogic, DestroyDetachesAndSilencesTheBindingBeforeFreeingIt) {
    Online();
    logic_->FormDestroy();
    EXPECT_EQ(log_.Destroyed, 1);
    EXPECT_FALSE(log_.EventsSetWhenFreed) << "a late report would reach a form going away";
    EXPECT_FALSE(log_.AttachedWhenFreed);
    EXPECT_TRUE(logic_->Connections().empty());
    logic_->FormDestroy();
    logic_.reset();
    EXPECT_EQ(log_.Destroyed, 1);
}

} // namespace
