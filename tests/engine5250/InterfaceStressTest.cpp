// Many 5250 sessions at once: hosts send screens while the caller reads and
// writes them, then everything closes from both sides at the same moment.
#include <gtest/gtest.h>

#include "support/InterfaceStress.h"

using namespace std::chrono_literals;

namespace {

// A sign-on-like screen: a counter digit and one input field.
hostsim::Bytes ScreenRecord(uint8_t n) {
    hostsim::Bytes r = {0x00, 0x00, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0x03,
                        0x04, 0x11, 0x00, 0x08, 0x11, 0x02, 0x05, 0xC1, 0xF0, 0x11,
                        0x05, 0x0A, 0x1D, 0x40, 0x00, 0x24, 0x00, 0x08};
    r[1] = static_cast<uint8_t>(r.size());
    r[18] = static_cast<uint8_t>(0xF0 + n % 10);
    return r;
}

TEST(InterfaceStress, SixtyFourSessionsCloseFromBothSidesAtOnce) {
    static TEngineModule engine(CORVALEN_BIN_DIR "/PLTn5250.so");
    TInterfaceStress stress(engine, ScreenRecord);
    stress.Sessions = 64;
    stress.HostInterval = 50ms;
    stress.CursorPos = 1;
    stress.Run();
}

TEST(InterfaceStress, TwoDisconnectsOfOneHandleCloseItOnceAndNeitherWaitsForEver) {
    static TEngineModule engine(CORVALEN_BIN_DIR "/PLTn5250.so");
    TReleaseRace(engine, ScreenRecord(1)).TwoDisconnectsAtOnce(200);
}

TEST(InterfaceStress, CallsRacingTheCloseReturnPromptlyAndSayTheHandleIsGone) {
    static TEngineModule engine(CORVALEN_BIN_DIR "/PLTn5250.so");
    TReleaseRace(engine, ScreenRecord(1)).CallsRacingTheClose(40);
}

TEST(InterfaceStress, CallsOnAHandleBeingOpenedLeaveItsConnectAlone) {
    static TEngineModule engine(CORVALEN_BIN_DIR "/PLTn5250.so");
    TReleaseRace(engine, ScreenRecord(1)).CallsOnAHandleBeingOpened(300);
}

} // namespace
