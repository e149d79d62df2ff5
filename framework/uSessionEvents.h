// The events a session reports to its owner, passed as one byte.
#pragma once

#include <cstdint>

enum TSessionEvent : uint8_t {
    ceSessionConnected = 0,
    ceSessionConnectedFail = 1,
    ceSessionDisconnected = 2,
    ceSessionDisconnectedFail = 3,
    ceScreenChanged = 4,
    ceKbdLocked = 5,
    ceKbdUnlocked = 6,
    ceIsAlive = 7,
};
