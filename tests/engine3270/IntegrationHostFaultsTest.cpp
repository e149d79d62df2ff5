// Hosts that misbehave: records longer than the engine's buffers, buffer
// addresses off the screen, overlong subnegotiations, data before binary
// mode and a runaway stream. The session must stay inside its buffers (the
// AddressSanitizer build checks that) and go on, or end cleanly.
#include <gtest/gtest.h>

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
        {"record longer than the record buffer", Cat({{kWrite, 0x00}, Bytes(10000, Host("Z")[0])})},
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
    std::jthread flood([&] { s.conn->Flood(200'000, 16); });
    ASSERT_TRUE(s.events.WaitFor(PL_SESSION_DISCONNECTED, 1, 10s)) << "the stream ran on";
    EXPECT_NE(s.events.Entries().back().thread, std::this_thread::get_id());
    EXPECT_TRUE(s.WaitReleased());
    EXPECT_TRUE(s.conn->WaitClientClosed());
    flood.join();
    EXPECT_EQ(s.events.Count(PL_SESSION_DISCONNECTED), 1);
    s.handle = -1;
}

} // namespace
