// Logging while another thread replaces the writers, as "DBG=" does.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "support/TempDir.h"
#include "trace.h"
#include "uPLIntfLogg.h"

namespace {

TEST(LoggingThreads, WritersReplacedWhileReaderThreadsLog) {
    TTempDir dir;
    std::filesystem::create_symlink(CORVALEN_BIN_DIR "/log32.so", dir.file("log32.so"));
    dir.write(kSettingsFileName, "[Tn5250]\nLogLevel=9\n");
    InitEngineLogs("Tn5250", dir.path());
    std::atomic<bool> stop{false};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&, t] {
            const uint8_t block[64] = {};
            for (int i = 0; !stop; ++i) {
                WriteLog(6,
                         Format("%.4d : TThSocketRead: recibidos %d bytes (ver dump)", t + 1, i));
                WriteDump(6, "DATA STREAM RECIBIDO DESDE HOST (EBCDIC): 64 BYTES", kDumpWidth,
                          block, 64, kDumpBlock);
            }
        });
    }
    for (int i = 0; i < 200; ++i)
        SetupLogs(i % 3 == 0 ? 0 : 1 + i % 9);
    stop = true;
    for (auto& t : readers)
        t.join();
    SetupLogs(9);
    WriteLog(1, "last line");
    DoneEngineLogs();
    SetLog32Api({});
    bool found = false;
    for (auto& name : dir.names())
        if (name.ends_with(".SYS")) found = dir.read(name).find("last line") != std::string::npos;
    EXPECT_TRUE(found);
}

} // namespace
