// The engine binding against stand-in engine modules: loading and binding,
// both connect modes, events from other threads, the close, screens and sends.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "BindingEvents.h"
#include "FakeEngineControl.h"
#include "support/TempDir.h"
#include "uPLIntfLogg.h"
#include "uPlComApi.h"
#include "uPlComComun.h"

using namespace std::chrono_literals;

namespace {

std::vector<uint8_t> StreamOf(THostFields& list) {
    TMemoryStream stream;
    list.SaveToStream(stream);
    return std::vector<uint8_t>(stream.data(), stream.data() + stream.size());
}

std::unique_ptr<THostBasicField> Field(uint8_t row, uint8_t col, int16_t len, TFieldAttribute attr,
                                       const std::string& data) {
    auto f = std::make_unique<THostBasicField>();
    f->Row = row;
    f->Col = col;
    f->Len = len;
    f->Pos = static_cast<int16_t>((row - 1) * 80 + col);
    f->SetAttr(attr);
    f->Data = data;
    return f;
}

// A title, an input field and a monocase input field.
std::vector<uint8_t> SignOnScreen(const std::string& message = "", int16_t cursor = 0) {
    THostFields list;
    list.TermModel = 3179;
    list.CurPos = cursor;
    list.MessageField->Len = 80;
    list.MessageField->Data = message;
    list.Add(Field(1, 30, 12, {attProtected}, "Sign On"));
    list.Add(Field(6, 53, 10, {attUnProtected}, "user"));
    list.Add(Field(7, 53, 10, {attUnProtected, attMonoCase}, "secret"));
    return StreamOf(list);
}

class Binding : public ::testing::Test {
protected:
    explicit Binding(const std::string& module = "FakeEngine") : fake(module) {}

    // A binding in waiting mode, so that Connect returns with the outcome,
    // unless the test is about the asynchronous one.
    std::unique_ptr<TPLComApi> MakeApi(const std::string& modulePath, bool async = false) {
        auto api = std::make_unique<TPLComApi>();
        api->SetModulePath(modulePath);
        api->SetConnectParams(kParams);
        api->AsyncConnect = async;
        recorder.Attach(*api);
        return api;
    }
    // A binding whose session is open.
    std::unique_ptr<TPLComApi> Connected() {
        auto api = MakeApi(fake.Path());
        api->Connect();
        EXPECT_TRUE(api->Connected());
        recorder.Clear();
        return api;
    }
    // The error text a failing Connect raised.
    static std::string ConnectError(TPLComApi& api) {
        try {
            api.Connect();
        } catch (const EComApiError& e) {
            return e.what();
        }
        ADD_FAILURE() << "Connect did not fail";
        return {};
    }

    static constexpr const char* kParams = "10.1.1.1;PORT=2323";
    TFakeEngine fake;
    TRecorder recorder;
};

// --- loading and binding ---

TEST_F(Binding, ModuleInAFolderThatIsNotThereIsFoundByItsFileName) {
    // The file name (".dll" read as ".so") goes through the library search,
    // which looks in the program's run path, the modules' folder.
    auto api = MakeApi("/nonexistent-corvalen-folder/FakeEngine.dll");
    EXPECT_TRUE(api->Connect());
    EXPECT_EQ(api->ModuleHandle(), fake.Module()) << "the same module, not another copy";
    EXPECT_EQ(recorder.Events(), TEvents{"connected"});
}

TEST_F(Binding, MissingModuleIsReportedAndFiresErrorAndDisconnected) {
    auto api = MakeApi("/nonexistent-corvalen-folder/NoSuchEngine.dll");
    const std::string text =
        "Can't load connection module: /nonexistent-corvalen-folder/NoSuchEngine.dll";
    EXPECT_EQ(ConnectError(*api), text);
    EXPECT_EQ(api->LastError(), text);
    EXPECT_FALSE(api->Connected());
    EXPECT_EQ(recorder.Events(), (TEvents{"connect-error", "disconnected"}));
}

TEST_F(Binding, RequiredExportsAreRefusedWhenMissingOptionalOnesAreNot) {
    struct Case {
        const char* module;
        bool accepted;
    } cases[] = {
        {"FakeEngineNoSetParams", false},
        {"FakeEngineNoLastResult", false},
        {"FakeEngineMinimal", true},
    };
    for (const auto& c : cases) {
        TFakeEngine variant(c.module);
        recorder.Clear();
        auto api = MakeApi(variant.Path());
        if (c.accepted) {
            EXPECT_NO_THROW(api->Connect()) << c.module;
            EXPECT_TRUE(api->Connected()) << c.module;
            EXPECT_FALSE(api->SendSystemRequest("x")) << "not exported: " << c.module;
            EXPECT_EQ(api->GetCustomCommand(), "") << c.module;
        } else {
            const std::string text = "Invalid connection module: " + variant.Path();
            EXPECT_EQ(ConnectError(*api), text) << c.module;
            EXPECT_EQ(api->LastError(), text) << c.module;
            EXPECT_EQ(recorder.Events(), (TEvents{"connect-error", "disconnected"})) << c.module;
        }
    }
}

// --- connecting ---

TEST_F(Binding, ConnectFailingWithoutLastErrMsgRaisesCantConnect) {
    TFakeEngine minimal("FakeEngineMinimal");
    minimal.SetConnect(0, -1);
    auto api = MakeApi(minimal.Path());
    const std::string text = std::string("Can't connect with server: ") + kParams;
    EXPECT_EQ(ConnectError(*api), text);
    EXPECT_EQ(api->LastError(), text);
    EXPECT_EQ(api->Session(), 0);
}

TEST_F(Binding, FailureNotificationTextIsKeptAsTheLastError) {
    fake.SetConnect(-1, PL_SESSION_CONNECTED_FAIL, "Connection refused");
    auto api = MakeApi(fake.Path());
    EXPECT_EQ(ConnectError(*api), "Connection refused");
    EXPECT_EQ(api->LastError(), "Connection refused");
    EXPECT_EQ(recorder.Events(), (TEvents{"connect-error", "disconnected"}));
    EXPECT_EQ(fake.DisconnectCalls(), 0) << "no session to close";
}

TEST_F(Binding, NullLastErrMsgReadsAsAnEmptyText) {
    TFakeEngine nullError("FakeEngineNullError");
    nullError.SetConnect(-1, PL_SESSION_CONNECTED_FAIL);
    auto api = MakeApi(nullError.Path());
    EXPECT_EQ(ConnectError(*api), "");
    EXPECT_EQ(api->LastError(), "");
}

TEST_F(Binding, WaitingConnectReturnsTrueOnceTheSessionIsOpen) {
    auto api = MakeApi(fake.Path());
    fake.SetConnect(4, -1);
    fake.RaiseEventAfter(PL_SESSION_CONNECTED, 100);
    EXPECT_TRUE(api->Connect());
    EXPECT_EQ(api->Session(), 4);
}

TEST_F(Binding, WaitingConnectTimesOutAndClosesTheSessionTheEngineHolds) {
    fake.SetConnect(3, -1);
    fake.SetDisconnect(TFakeEngine::kSilent);
    auto api = MakeApi(fake.Path());
    api->ConnectTimeout = 1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ConnectError(*api), std::string("Timeout trying to connect with server: ") + kParams);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "no 10-second wait for a close";
    EXPECT_EQ(fake.DisconnectCalls(), 1) << "the engine's session is not left open";
    EXPECT_EQ(api->Session(), 0);
}

TEST_F(Binding, WaitingConnectIsNotEndedByTheOutcomeOfTheLastSession) {
    auto api = Connected();
    api->Disconnect();
    fake.SetConnect(2, -1);
    fake.RaiseEventAfter(PL_SESSION_CONNECTED, 200);
    EXPECT_TRUE(api->Connect());
}

TEST_F(Binding, ConnectAgainClosesTheSessionStillHeld) {
    auto api = Connected();
    api->Connect();
    EXPECT_EQ(fake.DisconnectCalls(), 1);
    EXPECT_TRUE(api->Connected());
}

// --- connecting off the caller's thread ---

TEST_F(Binding, AsynchronousConnectReturnsWhileTheEngineConnectsAndReportsOnceTheHandleIsIn) {
    fake.HoldConnect(true);
    fake.SetConnect(5, PL_SESSION_CONNECTED);
    auto api = MakeApi(fake.Path(), true);
    std::atomic<int32_t> sessionWhenReported{-1};
    api->OnConnected = [&](TPLComApi& sender) { sessionWhenReported = sender.Session(); };
    EXPECT_FALSE(api->Connect());
    ASSERT_TRUE(fake.WaitConnectsHeld(1)) << "the engine's Connect runs on another thread";
    EXPECT_TRUE(api->Connecting());
    EXPECT_FALSE(api->Connected());

    fake.HoldConnect(false);
    for (int i = 0; i < 500 && sessionWhenReported < 0; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(sessionWhenReported, 5) << "the first screen is fetched with the session's handle";
    EXPECT_TRUE(api->Connected());
    EXPECT_FALSE(api->Connecting());
}

TEST_F(Binding, AsynchronousConnectFailureCarriesTheTextOfTheThreadThatConnected) {
    // The engine's last error text is per thread: read anywhere else, it
    // would be empty. Reported inside Connect or only returned, the failure
    // fires its events once.
    for (int32_t event : {int32_t(PL_SESSION_CONNECTED_FAIL), int32_t(-1)}) {
        recorder.Clear();
        fake.SetConnect(-1, event, "Socket error: Connection timed out (110), on API 'connect'");
        auto api = MakeApi(fake.Path(), true);
        EXPECT_FALSE(api->Connect());
        ASSERT_TRUE(recorder.WaitFor("disconnected")) << event;
        api->Disconnect();
        EXPECT_EQ(api->LastError(), "Socket error: Connection timed out (110), on API 'connect'");
        EXPECT_EQ(recorder.Events(), (TEvents{"connect-error", "disconnected"})) << event;
        EXPECT_FALSE(api->Connected());
    }
}

TEST_F(Binding, AttemptGivenUpLeavesNothingBehindAndItsLateSessionIsClosed) {
    enum TGiveUp { kDisconnect, kFree, kConnectAgain };
    for (TGiveUp way : {kDisconnect, kFree, kConnectAgain}) {
        fake.Reset();
        recorder.Clear();
        // A new attempt's session closed by the engine must report to nobody;
        // the stand-in reports a close to its last caller, which here is
        // the new attempt.
        if (way == kConnectAgain) fake.SetDisconnect(TFakeEngine::kSilent);
        fake.HoldConnect(true);
        auto api = MakeApi(fake.Path(), true);
        api->Connect();
        ASSERT_TRUE(fake.WaitConnectsHeld(1));
        if (way == kDisconnect) api->Disconnect();
        if (way == kFree) api.reset();
        if (way == kConnectAgain) {
            api->Connect();
            ASSERT_TRUE(fake.WaitConnectsHeld(2));
        }
        fake.HoldConnect(false);

        for (int i = 0; i < 500 && fake.DisconnectCalls() == 0; ++i)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(fake.DisconnectCalls(), 1) << "the session opened late is closed: " << way;
        if (way == kConnectAgain) {
            ASSERT_TRUE(recorder.WaitFor("connected"));
            EXPECT_TRUE(api->Connected());
        }
        const TEvents expected = way == kConnectAgain ? TEvents{"connected"} : TEvents{};
        EXPECT_EQ(recorder.Events(), expected) << "nothing of the attempt given up: " << way;
        if (api) {
            EXPECT_EQ(api->Connected(), way == kConnectAgain) << way;
        }
    }
}

// --- events ---

TEST_F(Binding, EventsFromAnotherThreadReachTheHandlersAndAreAnsweredTrue) {
    auto api = Connected();
    const uint8_t events[] = {PL_SCREEN_CHANGED, PL_KBD_LOCKED,
                              PL_KBD_UNLOCKED,   PL_SESSION_DISCONNECTED_FAIL,
                              PL_IS_ALIVE,       200};
    for (uint8_t event : events)
        EXPECT_TRUE(fake.RaiseEvent(event)) << int(event);
    EXPECT_EQ(recorder.Events(), (TEvents{"screen", "locked", "unlocked"}));
    EXPECT_TRUE(api->Connected());
}

TEST_F(Binding, CloseOnTheReaderThreadEndsTheSessionWithItsText) {
    auto api = Connected();
    fake.RaiseEvent(PL_SESSION_DISCONNECTED, "Host closed the connection");
    EXPECT_EQ(api->LastError(), "Host closed the connection");
    EXPECT_FALSE(api->Connected());
    EXPECT_EQ(api->Session(), 0);
    api->Disconnect();
    EXPECT_EQ(fake.DisconnectCalls(), 0) << "the engine holds no session any more";
    EXPECT_EQ(recorder.Events(), TEvents{"disconnected"});
}

TEST_F(Binding, LastErrorIsReadWhileAnotherThreadReplacesIt) {
    auto api = Connected();
    const std::string a(100, 'a'), b(3000, 'b');
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 100; ++i)
            fake.RaiseEvent(PL_SESSION_DISCONNECTED, (i % 2 ? a : b).c_str());
        done = true;
    });
    int reads = 0;
    while (!done) {
        const std::string text = api->LastError();
        EXPECT_TRUE(text.empty() || text == a || text == b);
        ++reads;
    }
    writer.join();
    EXPECT_GT(reads, 0);
}

TEST_F(Binding, LateCallbackForAFreedBindingIsDropped) {
    auto api = Connected();
    api.reset();
    recorder.Clear();
    EXPECT_TRUE(fake.RaiseEvent(PL_SCREEN_CHANGED));
    EXPECT_TRUE(fake.RaiseEvent(PL_SESSION_DISCONNECTED));
    EXPECT_TRUE(recorder.Events().empty());
}

// --- disconnecting ---

TEST_F(Binding, CloseReportedFromAnotherThreadDuringDisconnectEndsTheWait) {
    auto api = Connected();
    fake.SetDisconnect(TFakeEngine::kClosedBeforeCall);
    const auto start = std::chrono::steady_clock::now();
    api->Disconnect();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "a 10-second wait for a close";
    EXPECT_FALSE(api->Connected());
    EXPECT_EQ(recorder.Events(), TEvents{"disconnected"});
}

TEST_F(Binding, FreeingAConnectedBindingClosesItsSession) {
    auto api = Connected();
    api.reset();
    EXPECT_EQ(fake.DisconnectCalls(), 1);
    EXPECT_EQ(recorder.Events(), TEvents{"disconnected"});
}

// --- screens ---

TEST_F(Binding, RefreshLoadsTheScreenAndBorrowsItsUnprotectedFields) {
    auto api = Connected();
    fake.SetScreen(SignOnScreen("", 452));
    api->RefreshScreen();
    ASSERT_EQ(api->ScreenFields.Count(), 3);
    EXPECT_EQ(api->ScreenFields.CurPos, 452);
    ASSERT_EQ(api->InputFields.Count(), 2);
    EXPECT_EQ(api->InputFields.GetField(0), api->ScreenFields.GetField(1));
    EXPECT_EQ(api->InputFields.GetField(1), api->ScreenFields.GetField(2));
    api->RefreshScreen(); // the borrowed fields are let go, not freed twice
    EXPECT_EQ(api->InputFields.Count(), 2);
}

TEST_F(Binding, DenseScreenIsFetchedWholeThroughALargerBuffer) {
    THostFields dense;
    for (int i = 0; i < 3000; ++i)
        dense.Add(Field(static_cast<uint8_t>(i / 80 + 1), static_cast<uint8_t>(i % 80 + 1), 1,
                        {attProtected}, "X"));
    const auto bytes = StreamOf(dense);
    ASSERT_GT(bytes.size(), 2u * TPLComApi::kScreenBufferSize);
    auto api = Connected();
    fake.SetScreen(bytes);
    api->RefreshScreen();
    EXPECT_EQ(api->ScreenFields.Count(), 3000);
    EXPECT_GT(fake.LargestScreenBuffer(), static_cast<int32_t>(bytes.size()));
}

TEST_F(Binding, CountBeyondTheBufferIsNotTrusted) {
    auto api = Connected();
    fake.SetScreen(SignOnScreen(), /*overstate=*/true);
    api->RefreshScreen(); // reads only what each buffer holds
    EXPECT_EQ(api->ScreenFields.Count(), 3);
    EXPECT_EQ(fake.LargestScreenBuffer(), TPLComApi::kMaxScreenBufferSize);
}

TEST_F(Binding, FailedFetchLeavesNothingOfTheLastScreen) {
    const auto good = SignOnScreen("CPF1120 User not known", 452);
    struct Case {
        const char* name;
        int32_t result; // used when bytes is empty
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"no screen", -1, {}},
        {"empty screen", 0, {}},
        {"stream cut short", 0, std::vector<uint8_t>(good.begin(), good.end() - 8)},
        {"not a stream", 0, {0x07, 0x01, 0x02}},
    };
    auto api = Connected();
    for (const auto& c : cases) {
        fake.SetScreen(good);
        api->RefreshScreen();
        ASSERT_EQ(api->ScreenFields.MessageField->Data, "CPF1120 User not known");
        if (c.bytes.empty())
            fake.SetScreenResult(c.result);
        else
            fake.SetScreen(c.bytes);
        api->RefreshScreen();
        EXPECT_EQ(api->ScreenFields.Count(), 0) << c.name;
        EXPECT_EQ(api->InputFields.Count(), 0) << c.name;
        EXPECT_EQ(api->ScreenFields.CurPos, 0) << c.name;
        EXPECT_EQ(api->ScreenFields.MessageField->Data, "") << c.name << ": no stale message";
    }
}

TEST_F(Binding, CustomCommandResultFiresOnCustomCommandWithTheText) {
    auto api = Connected();
    fake.SetScreen(SignOnScreen());
    api->RefreshScreen();
    fake.SetScreenResult(-2);
    fake.SetCustomCommand("RUN MACRO1");
    api->RefreshScreen();
    EXPECT_EQ(recorder.Events(), TEvents{"custom:RUN MACRO1"});
    EXPECT_EQ(api->ScreenFields.Count(), 0);
    EXPECT_EQ(api->InputFields.Count(), 0);
}

// --- sending ---

TEST(BindingAid, AttentionKeyNamesBecomeMnemonics) {
    struct Case {
        const char* name;
        const char* mnemonic;
    } cases[] = {
        // clang-format off
        {"Enter", "@E"}, {"sysreq", "@A@H"}, {"page-down", "@v"}, {"PAGE-RIGHT", "@A@R"},
        {"AUTO-ENTER", "@A@R"}, {"TRIGGER-AUTO-ENTER", "@A@F"},
        {"PF01", "@1"}, {"pf9", "@9"}, {"PF10", "@a"}, {"pf12", "@c"}, {"PF24", "@o"},
        {"PA1", "@x"}, {"pa3", "@z"},
        // passed on unchanged
        {"PF25", "PF25"}, {"PF0", "PF0"}, {"PA4", "PA4"}, {"PF+1", "PF+1"}, {"PF 1", "PF 1"},
        {"PF1x", "PF1x"}, {"PF", "PF"}, {"PF99999999999999999999", "PF99999999999999999999"},
        {"HELP", "HELP"}, {"", ""},
        // clang-format on
    };
    for (const auto& c : cases)
        EXPECT_EQ(AidNameToMnemonic(c.name), c.mnemonic) << c.name;
}

TEST_F(Binding, RejectedSendFiresLockedThenUnlockedAndReturnsFalse) {
    auto api = Connected();
    fake.SetSendResult(-1);
    EXPECT_FALSE(api->SendAid("ENTER"));
    EXPECT_EQ(recorder.Events(), (TEvents{"locked", "unlocked"}));
}

TEST_F(Binding, AcceptedSendCarriesTheMnemonicCursorAndMonocaseFieldsInCapitals) {
    auto api = Connected();
    fake.SetScreen(SignOnScreen());
    api->RefreshScreen();
    ASSERT_EQ(api->InputFields.Count(), 2);
    api->InputFields.GetField(0)->Data = "qsecofr";
    api->InputFields.GetField(0)->SetAttr({attUnProtected, attModified});
    api->InputFields.GetField(1)->Data = "pwd";
    api->InputFields.CurPos = 453;
    EXPECT_TRUE(api->SendAid("pf3"));
    EXPECT_EQ(recorder.Events(), TEvents{"locked"});
    EXPECT_EQ(fake.LastAid(), "@3");

    const auto bytes = fake.LastFields();
    TMemoryStream stream(bytes);
    THostFields sent;
    sent.LoadFromStream(stream);
    EXPECT_EQ(sent.CurPos, 453);
    ASSERT_EQ(sent.Count(), 2);
    EXPECT_EQ(sent.GetField(0)->Data, "qsecofr");
    EXPECT_TRUE(sent.GetField(0)->GetAttr().Has(attModified));
    EXPECT_EQ(sent.GetField(1)->Data, "PWD");
}

// --- module paths ---

TEST(BindingModulePath, TypesNameTheirModulesBesideTheControl) {
    TTempDir dir;
    const std::string folder = dir.path() + "/";
    struct Case {
        const char* type;
        const char* withoutSettings;
        const char* withSettings;
    } cases[] = {
        {"tn5250", "PLTN5250.dll", "Mine5250.dll"},
        {"TN3270", "PLTN3270.dll", "/opt/engines/PLTn3270.so"},
        {"virtual", "PLVirtual.dll", "PLVirtual.dll"},
        {"HTTP", "PLHTTP.dll", "PLHTTP.dll"},
        {"SNA", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ModulePathIn(folder, c.type), folder + c.withoutSettings) << c.type;

    dir.write(kSettingsFileName, "[tn5250]\nModule=Mine5250.dll\n"
                                 "[TN3270]\nmodule = /opt/engines/PLTn3270.so\n"
                                 "[SNA]\nModule=PLSna.dll\n");
    for (const auto& c : cases) {
        const std::string expected =
            c.withSettings[0] == '/' ? std::string(c.withSettings) : folder + c.withSettings;
        EXPECT_EQ(ModulePathIn(folder, c.type), expected) << c.type;
    }
}

TEST(BindingModulePath, ControlFolderIsTheFolderOfTheControlsOwnModule) {
    // Here the binding is linked into the test program, which lies in the
    // modules' folder, where no settings file is kept.
    const std::string folder = ControlFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::equivalent(folder, CORVALEN_BIN_DIR));
    std::string path;
    GetModulePath("tn5250", path);
    EXPECT_EQ(path, folder + "PLTN5250.dll");
}

} // namespace
