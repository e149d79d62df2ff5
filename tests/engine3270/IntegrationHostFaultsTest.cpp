// Hosts that misbehave: records longer than the engine's buffers, buffer
// addresses off the screen, overlong subnegotiations, data before binary
// mode and a runaway stream. The session must stay inside its buffers (the
// AddressSanitizer build checks that) and go on, or end cleanly.
#include <gtest/gtest.h>

#include <future>

#include "support/HandleCalls.h"
#include "support/ScreenIo.h"
#include "support/SimSession.h"
#include "support/Stream3270.h"

using namespace std::chrono_literals;
using namespace s3270;

namespace {

// A screen that shows the session still works after the fault.
const Bytes kGoodScreen =
    TWriteRecord(kEraseWrite, 0xC3).Sba(1, 1).Sf(kAttrProtected).Text("ALIVE");

bool ShowsAlive(const THostFields& l) {
    const THostBasicField* f = screenio::FieldAt(l, 1, 2);
    return f && f->Data == "ALIVE";
}

TEST(HostFaults3270, MalformedRecordsStayInsideTheScreenAndTheSessionGoesOn) {
    const struct {
        const char* fault;
        Bytes record;
    } cases[] = {
        {"record longer than a receive block", Cat({{kWrite, 0x00}, Bytes(10000, Host("Z")[0])})},
        {"14-bit address far past the screen",
         Cat({{kWrite, 0x00, 0x11, 0x3F, 0xFF}, Host("FAR")})},
        {"12-bit address past the screen", Cat({{kWrite, 0x00, 0x11, 0x7F, 0x7F}, Host("FAR")})},
        {"repeat to an address past the screen",
         Cat({{kWrite, 0x00, 0x11, 0x40, 0x40, 0x3C, 0x3F, 0xFF}, Host("R")})},
        {"erase unprotected to an address past the screen",
         {kWrite, 0x00, 0x11, 0x5D, 0x7F, 0x12, 0x3F, 0xFF}},
        {"start field past the screen", {kWrite, 0x00, 0x11, 0x3F, 0xF0, 0x1D, 0x60, 0x13}},
        {"cursor past the screen", {kEraseWrite, 0x00, 0x11, 0x3F, 0xF0, 0x13}},
        {"orders cut short at the record end", {kWrite, 0x00, 0x11, 0x40}},
        {"field extended cut short", {kWrite, 0x00, 0x29, 0x05, 0x42}},
        {"repeat cut short", {kWrite, 0x00, 0x3C, 0x40, 0x40, 0x08}},
        {"outbound 3270 data longer than a reply buffer",
         Cat({{0xF3, 0x10, 0x06, 0x40, 0x00, 0xF1, 0x00}, Bytes(0x1000, Host("O")[0])})},
        {"write without its control character", {kWrite}},
        {"empty record", {}},
    };
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        s.conn->SendRecord(c.record);
        s.conn->SendRecord(kGoodScreen);
        THostFields screen;
        ASSERT_TRUE(screenio::WaitForScreen(s.handle, s.events, ShowsAlive, screen))
            << screenio::Describe(screen);
        EXPECT_EQ(s.events.Count(PL_SESSION_DISCONNECTED), 0);
        // Clear it again, so that the next case's screen is its own.
        s.conn->SendRecord(TWriteRecord(kEraseWrite, 0xC3));
        ASSERT_TRUE(screenio::WaitForScreen(
            s.handle, s.events, [](const THostFields& l) { return !ShowsAlive(l); }, screen));
    }
}

TEST(HostFaults3270, WriteThatFailsPartWayShowsWhatItWroteAndRestoresTheKeyboard) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    s.conn->SendRecord(kGoodScreen);
    THostFields screen;
    ASSERT_TRUE(screenio::WaitForScreen(s.handle, s.events, ShowsAlive, screen));
    ASSERT_EQ(screenio::Send(s.handle, "@E", 0), 0);
    Bytes reply;
    ASSERT_TRUE(s.conn->ReadRecord(reply));
    const int unlocked = s.events.Count(PL_KBD_UNLOCKED);
    // A new screen with an input field, then an address past the screen.
    s.conn->SendRecord(TWriteRecord(kEraseWrite, 0xC3)
                           .Sba(2, 1)
                           .Sf(kAttrProtected)
                           .Text("NEW")
                           .Sba(3, 10)
                           .Sf(kAttrInputModified)
                           .Text("SHOWN")
                           .Sba(3, 20)
                           .Sf(kAttrSkip)
                           .Raw({0x11, 0x7F, 0x7F}));
    auto shown = [](const THostFields& l) {
        const THostBasicField* f = screenio::FieldAt(l, 2, 2);
        return f && f->Data == "NEW";
    };
    ASSERT_TRUE(screenio::WaitForScreen(s.handle, s.events, shown, screen))
        << screenio::Describe(screen);
    EXPECT_TRUE(s.events.WaitFor(PL_KBD_UNLOCKED, unlocked + 1)) << "the keyboard stayed locked";
    ASSERT_EQ(screenio::Send(s.handle, "@E", 0), 0);
    ASSERT_TRUE(s.conn->ReadRecord(reply));
    EXPECT_EQ(reply, Cat({{0x7D}, Address(0), {0x11}, Address(Cell(3, 11)), Host("SHOWN")}))
        << "Enter answers the screen the user sees";
}

TEST(HostFaults3270, LongRecordsArriveWholeAndOverlongOnesAreDroppedWhole) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    // Sixteen kilobytes of orders before the text and the cursor.
    TWriteRecord busy(kEraseWrite, 0xC3);
    for (int i = 0; i < 4000; ++i)
        busy.Sba(1, 1).Text("A");
    s.conn->SendRecord(busy.Sba(24, 1).Text("TAIL").Sba(24, 10).Ic());
    auto tail = [](const THostFields& l) {
        const THostBasicField* f = screenio::FieldAt(l, 24, 1);
        return f && f->Data == "TAIL";
    };
    THostFields screen;
    ASSERT_TRUE(screenio::WaitForScreen(s.handle, s.events, tail, screen))
        << screenio::Describe(screen);
    EXPECT_EQ(screen.CurPos, Cell(24, 10));

    s.conn->SendRecord(Cat({TWriteRecord(kWrite, 0xC3).Sba(12, 1), Bytes(270'000, Host("Z")[0])}));
    s.conn->SendRecord(TWriteRecord(kWrite, 0xC3).Sba(1, 1).Sf(kAttrProtected).Text("ALIVE"));
    ASSERT_TRUE(screenio::WaitForScreen(s.handle, s.events, ShowsAlive, screen))
        << screenio::Describe(screen);
    EXPECT_TRUE(tail(screen));
    const THostBasicField* row12 = screenio::FieldOver(screen, 12, 1);
    ASSERT_NE(row12, nullptr);
    EXPECT_EQ(row12->Data, "") << "nothing of the overlong record ran";
    EXPECT_EQ(s.events.Count(PL_SESSION_DISCONNECTED), 0);
}

// Read Buffer commands until the engine, whose replies the host no longer
// reads, stops reading too: its reader is then blocked in a send.
bool StallTheReader(TSimSession& s) {
    return s.conn->StallClient({0xF2, 0xFF, 0xEF});
}

TEST(HostFaults3270, HostThatStopsReadingCannotHoldUpDisconnect) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    s.conn->SendRecord(kGoodScreen);
    ASSERT_TRUE(StallTheReader(s));
    // A Disconnect that waited on the blocked reader would go on only once
    // the send gave up, and the session would end with the send's error.
    EXPECT_EQ(Engine3270().Disconnect(s.handle), 0);
    EXPECT_EQ(s.events.Count(PL_SESSION_DISCONNECTED), 1);
    EXPECT_EQ(s.events.Entries().back().errorText, "")
        << "a close asked for is no error; Disconnect waited on the blocked reader";
    s.handle = -1;
}

TEST(HostFaults3270, StalledReplyHoldsUpNoCallThatOnlyLooksAtTheScreen) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    s.conn->SendRecord(kGoodScreen);
    THostFields screen;
    ASSERT_TRUE(screenio::WaitForScreen(s.handle, s.events, ShowsAlive, screen));
    ASSERT_TRUE(StallTheReader(s));
    ExpectPromptScreenCalls(Engine3270(), s.handle, *s.conn);
    // CLEAR waits for the replies made before it; Disconnect cuts them off,
    // and CLEAR's with them. It empties the screen once its reply is made.
    const int changes = s.events.Count(PL_SCREEN_CHANGED);
    auto clear = std::async(std::launch::async, [&] {
        const int32_t result = screenio::Send(s.handle, "@C", 0);
        return std::make_pair(result, std::string(Engine3270().LastErrMsg()));
    });
    ASSERT_TRUE(s.events.WaitFor(PL_SCREEN_CHANGED, changes + 1)) << "CLEAR made no reply";
    EXPECT_TRUE(s.conn->StillStalled()) << "the replies went out, or their send gave up";
    EXPECT_EQ(Engine3270().Disconnect(s.handle), 0);
    const auto [result, text] = clear.get();
    EXPECT_EQ(result, -1) << "it passed the replies";
    EXPECT_EQ(text.find("timed out"), std::string::npos) << "the close left it waiting: " << text;
    s.handle = -1;
}

TEST(HostFaults3270, HostThatStopsReadingEndsTheSessionWithTheSocketsText) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    ASSERT_TRUE(StallTheReader(s));
    ASSERT_TRUE(s.events.WaitFor(PL_SESSION_DISCONNECTED, 1, 20s)) << "the send never gave up";
    const std::string text = s.events.Entries().back().errorText;
    EXPECT_NE(text.find("Connection timed out"), std::string::npos) << text;
    EXPECT_TRUE(s.WaitReleased());
    char buffer[64];
    EXPECT_EQ(Engine3270().GetScreen(s.handle, buffer, sizeof buffer), -1);
    EXPECT_EQ(Engine3270().LastErrMsg(), text);
    s.handle = -1;
}

TEST(HostFaults3270, BusySessionKeepsGoing) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    // Round trips back to back: a screen, Enter once it shows, the next screen.
    for (int i = 0; i < 300; ++i) {
        const int shown = s.events.Count(PL_SCREEN_CHANGED);
        s.conn->SendRecord(TWriteRecord(kEraseWrite, 0xC3).Sba(1, 1).Text(std::to_string(i)));
        ASSERT_TRUE(s.events.WaitFor(PL_SCREEN_CHANGED, shown + 2)) << i;
        ASSERT_EQ(screenio::Send(s.handle, "@E", 0), 0) << Engine3270().LastErrMsg();
        Bytes reply;
        ASSERT_TRUE(s.conn->ReadRecord(reply)) << i;
    }
    EXPECT_EQ(s.events.Count(PL_SESSION_DISCONNECTED), 0);
}

TEST(HostFaults3270, OverlongSubnegotiationIsSurvived) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    s.conn->SendLongSubnegotiation(5000);
    s.conn->SendRecord(kGoodScreen);
    THostFields screen;
    EXPECT_TRUE(screenio::WaitForScreen(s.handle, s.events, ShowsAlive, screen));
}

TEST(HostFaults3270, DataBeforeBinaryModeIsSurvived) {
    TSimSession s;
    ASSERT_GT(s.handle, 0);
    // A host that writes text before the negotiation, as one that turns the
    // client away does.
    s.conn->SendRaw(Cat({Host("HOST NOT AVAILABLE"), {0xFF, 0xEF}}));
    ASSERT_TRUE(s.Negotiate());
    s.conn->SendRecord(kGoodScreen);
    THostFields screen;
    EXPECT_TRUE(screenio::WaitForScreen(s.handle, s.events, ShowsAlive, screen))
        << screenio::Describe(screen);
}

TEST(HostFaults3270, RunawayHostIsCutOffWithOneDisconnection) {
    TSimSession s;
    ASSERT_TRUE(s.Negotiate());
    std::jthread flood([&] { s.conn->Flood(100'000, 1024); });
    ASSERT_TRUE(s.events.WaitFor(PL_SESSION_DISCONNECTED, 1, 10s)) << "the stream ran on";
    const auto last = s.events.Entries().back();
    EXPECT_NE(last.thread, std::this_thread::get_id());
    const std::string text =
        "The host sent more than 4 MiB without ending a record; the session was closed";
    EXPECT_EQ(last.errorText, text);
    EXPECT_TRUE(s.WaitReleased());
    EXPECT_TRUE(s.conn->WaitClientClosed());
    flood.join();
    EXPECT_EQ(s.events.Count(PL_SESSION_DISCONNECTED), 1);
    char buffer[64];
    EXPECT_EQ(Engine3270().GetScreen(s.handle, buffer, sizeof buffer), -1);
    EXPECT_EQ(Engine3270().LastErrMsg(), text) << "the caller's next call learns why";
    s.handle = -1;
}

} // namespace
