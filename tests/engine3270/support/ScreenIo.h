// Screens through the engine interface as the control handles them: fetched
// with GetScreen into an 8192-byte buffer and loaded as a field list, and
// input fields written as the field-list stream that SendToScreen reads.
// Caller's thread.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Engine3270Module.h"
#include "EventRecorder.h"
#include "uPlBasFld.h"

namespace screenio {

// The current screen; nullopt when GetScreen fails or its stream does not load.
std::optional<THostFields> Fetch(int32_t handle, int32_t bufSize = 8192);

const THostBasicField* FieldAt(const THostFields& list, int row, int col);

// The field that holds a 1-based row and column.
const THostBasicField* FieldOver(const THostFields& list, int row, int col);

// One line per field, for failure messages.
std::string Describe(const THostFields& list);

// An input field as the control sends it back: at the given 1-based position
// with its length and text, and the modified flag when `modified`.
struct TInput {
    int pos;
    int len;
    std::string data;
    bool modified = true;
};

// The field-list stream of the inputs with the cursor given 0-based; the
// stream carries it plus 1, as the control sends it.
std::vector<uint8_t> InputStream(int cursor, const std::vector<TInput>& fields);

// SendToScreen with that stream.
int32_t Send(int32_t handle, const char* aid, int cursor, const std::vector<TInput>& fields = {});

// Fetches the screen at every change until `ready` holds for it; the last
// screen fetched is left in `screen`. False at the time-out.
bool WaitForScreen(int32_t handle, TEventRecorder& events,
                   const std::function<bool(const THostFields&)>& ready, THostFields& screen,
                   std::chrono::milliseconds timeout = std::chrono::seconds(30));

} // namespace screenio
