// Many 3270 sessions at once through the module's exports: hosts send
// screens while callers read and answer them, then everything closes from
// both sides at the same moment. Run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include "support/Engine3270Module.h"
#include "support/InterfaceStress.h"

using namespace std::chrono_literals;

namespace {

// Title, an input field on row 2, the cursor in it; never a 0xFF byte.
hostsim::Bytes ScreenRecord(uint8_t n) {
    hostsim::Bytes r = {0xF5, 0xC3, 0x11, 0x40, 0x40, 0x1D, 0x60, 0xE3, 0xC9, 0xE3, 0xD3, 0xC5,
                        0xF0, 0x11, 0xC1, 0x50, 0x1D, 0x40, 0x13, 0x11, 0xC1, 0x60, 0x1D, 0x60};
    r[12] = static_cast<uint8_t>(0xF0 + n % 10);
    return r;
}

TEST(SessionStress, SessionsReadAndAnsweredWhileTheHostWritesCloseFromBothSides) {
    static TEngine3270Module engine(CORVALEN_BIN_DIR "/PLTn3270.so");
    TInterfaceStress stress(engine, ScreenRecord);
    stress.Protocol = hostsim::TProtocol::TN3270;
    stress.Sessions = 32;
    stress.HostInterval = 40ms;
    stress.CursorPos = 82;
    stress.Aids = {"@y", "@E"};
    stress.Negotiate = true;
    stress.EverySessionSawAScreen = true;
    stress.Run();
}

TEST(SessionStress, TwoDisconnectsOfOneHandleCloseItOnceAndNeitherWaitsForEver) {
    TReleaseRace(Engine3270(), ScreenRecord(1), hostsim::TProtocol::TN3270)
        .TwoDisconnectsAtOnce(200);
}

TEST(SessionStress, CallsRacingTheCloseReturnPromptlyAndSayTheHandleIsGone) {
    TReleaseRace(Engine3270(), ScreenRecord(1), hostsim::TProtocol::TN3270).CallsRacingTheClose(40);
}

} // namespace
