// An engine's log at level 9 going into the recording log32 stand-in, for
// the life of the object. Caller's thread.
#pragma once

#include <string>
#include <vector>

#include "framework/Log32Fake.h"
#include "support/TempDir.h"
#include "uPLIntfLogg.h"

class TLogCapture {
public:
    // engine names the settings section and the log files.
    explicit TLogCapture(const std::string& engine = "Tn5250") {
        dir_.write(kSettingsFileName, "[" + engine + "]\nLogLevel=9\n");
        ConfigureEngineLogs(engine, dir_.path());
    }
    ~TLogCapture() { DoneEngineLogs(); }

    // Every message written, as "level text" without the line end.
    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const std::string& call : log32fake::Calls()) {
            if (call.rfind("MsgLog ", 0) != 0) continue;
            std::string rest = call.substr(call.find(' ', 7) + 1); // past the handle
            if (rest.size() >= 2 && rest.compare(rest.size() - 2, 2, "\r\n") == 0)
                rest.resize(rest.size() - 2);
            out.push_back(rest);
        }
        return out;
    }
    bool Logged(const std::string& levelAndText) const {
        for (const std::string& m : Messages())
            if (m == levelAndText) return true;
        return false;
    }

private:
    TTempDir dir_;
    log32fake::TInstalled fake_;
};
