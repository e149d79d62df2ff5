// The calls of an engine module that take a session handle, each with
// arguments that are otherwise good, for tests that go through them all.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "HostSim.h"
#include "support/EngineModule.h"
#include "uMemoryStream.h"
#include "uPlBasFld.h"

struct THandleCall {
    std::string name;
    std::function<int32_t(int32_t handle)> run;
    // Whether the call only reads or changes the screen (it never sends).
    bool screenOnly = false;
};

inline std::vector<THandleCall> HandleCalls(TEngineModule& engine) {
    auto screen = [](TGetScreenFn get) {
        return [get](int32_t h) {
            std::vector<uint8_t> buffer(8192);
            return get(h, buffer.data(), 8192);
        };
    };
    // Enter with no field typed and the cursor home.
    auto enter = std::make_shared<TMemoryStream>();
    THostFields none;
    none.CurPos = 1;
    none.SaveToStream(*enter);
    std::vector<THandleCall> calls = {
        {"GetScreen", screen(engine.GetScreen), true},
        {"GetScreenEx", screen(engine.GetScreenEx), true},
        {"SetParams", [&engine](int32_t h) { return engine.SetParams(h, "TBL="); }, true},
        {"SendToScreen",
         [&engine, enter](int32_t h) {
             return engine.SendToScreen(h, "@E", enter->data(),
                                        static_cast<int32_t>(enter->size()));
         }},
        {"LastResult", [&engine](int32_t h) { return engine.LastResult(h); }},
        {"Disconnect", [&engine](int32_t h) { return engine.Disconnect(h); }},
    };
    if (engine.SendSystemRequest)
        calls.push_back({"SendSystemRequest",
                         [&engine](int32_t h) { return engine.SendSystemRequest(h, "1"); }});
    return calls;
}

// Every call that only reads or changes the screen returns with a result
// while the reader is blocked sending to a host that stopped reading: the
// host finds it blocked after each call as before (a call that waited on the
// send would return only once the send gave up).
inline void ExpectPromptScreenCalls(TEngineModule& engine, int32_t handle,
                                    const hostsim::TSimConnection& host) {
    for (const auto& call : HandleCalls(engine)) {
        if (!call.screenOnly) continue;
        EXPECT_GE(call.run(handle), 0) << call.name << ": " << engine.LastErrMsg();
        EXPECT_TRUE(host.StillStalled()) << call.name << " waited on the send";
    }
}

// Every call with a handle that is not open (200, never opened, and one that
// was closed) gives -1 and "Invalid Handle passed as parameter", never a text
// left from an earlier call: a call on the live handle sets another first.
inline void ExpectNotOpen(TEngineModule& engine, int32_t live, int32_t closed) {
    char buffer[16];
    for (const auto& call : HandleCalls(engine))
        for (int32_t h : {200, closed}) {
            SCOPED_TRACE(call.name + " with handle " + std::to_string(h));
            EXPECT_EQ(engine.GetScreen(live, buffer, 0), -1);
            EXPECT_EQ(call.run(h), -1);
            EXPECT_STREQ(engine.LastErrMsg(), "Invalid Handle passed as parameter");
        }
}
