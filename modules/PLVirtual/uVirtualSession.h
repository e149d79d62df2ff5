// One open "Virtual" session: the template's screen as a field list, served
// again for every attention key, and the caller's callback. Caller's thread:
// every call of the engine interface; there is no reader thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "PLEngineApi.h"
#include "uPlBasFld.h"
#include "uVirtualTemplate.h"

// One protected field per row that is not blank: column 1, 80 long, the
// row's text without its trailing blanks. TermModel 3179, cursor 0.
void BuildTemplateFields(const TVirtualScreen& screen, THostFields& fields);

class TVirtualSession {
public:
    TVirtualSession(int handle, intptr_t userData, TSessionCallback callback)
        : Handle(handle), userData_(userData), callback_(callback) {}

    const int Handle;

    // Reads the template; throws EPLError with the reason when it cannot.
    void Open(const std::string& templatePath);
    // The connected notification and the first screen.
    void ReportOpened();
    // The field-list stream cut to the buffer; -1 once closed.
    int32_t WriteScreen(void* buffer, int32_t bufSize);
    // An attention key: the same screen again, and the keyboard unlocked;
    // -1 once closed.
    int32_t Answer();
    // Reports the disconnection the first time; false when already closed.
    bool Close();

private:
    bool Notify(uint8_t event);

    // Held for the whole of every call, with the notifications it raises;
    // re-entrant for a callback that calls in on the same thread.
    std::recursive_mutex lock_;
    const intptr_t userData_;
    const TSessionCallback callback_;
    THostFields fields_;  // guarded by lock_
    bool closed_ = false; // guarded by lock_
};
