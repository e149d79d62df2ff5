// The 3270 engine module loaded the way the control loads it. It exports the
// engine interface without the system-request call.
#pragma once

#include "support/EngineModule.h"

using TEngine3270Module = TEngineModule;

// The module of this build, loaded once per test program (and never unloaded,
// as the control never unloads an engine whose threads may still run).
inline TEngine3270Module& Engine3270() {
    static TEngine3270Module module(CORVALEN_BIN_DIR "/PLTn3270.so");
    return module;
}
