#include "uPLIntfLogg.h"

#include <atomic>
#include <cstdio>
#include <memory>

#include "IniFile.h"
#include "ModuleLoader.h"
#include "TLogg.h"
#include "trace.h"

namespace {
// Guarded by LogWriterLock(), so that "DBG=" from any thread can replace the
// writers while reader threads log.
std::unique_ptr<CFechaLogg>& MsgLogger() {
    static auto* p = new std::unique_ptr<CFechaLogg>;
    return *p;
}
std::unique_ptr<CFechaLogg>& DumpLogger() {
    static auto* p = new std::unique_ptr<CFechaLogg>;
    return *p;
}
struct TLogSettings {
    std::string folder; // the module's folder
    std::string base;   // "Tn5250", "Tn3270"
    int level = 0;
};
TLogSettings& Settings() {
    static auto* s = new TLogSettings;
    return *s;
}
// The highest level a message writer takes, 0 without one: LogWanted is asked
// several times for every screen, and must not wait for the writers' lock.
std::atomic<int> gWantedLevel{0};
} // namespace

void WriteLog(int level, const std::string& text) {
    std::lock_guard lock(LogWriterLock());
    if (auto& logger = MsgLogger()) logger->WriteLine(level, text);
}

void WriteDump(int level, const std::string& title, int width, const void* data, int len,
               int block) {
    std::lock_guard lock(LogWriterLock());
    if (auto& logger = DumpLogger()) logger->Dump(level, title, width, data, len, block);
}

void SetupLogs(int level) {
    std::lock_guard lock(LogWriterLock());
    auto& settings = Settings();
    gWantedLevel.store(0);
    MsgLogger().reset();
    DumpLogger().reset();
    if (level <= 0) {
        settings.level = 0;
        return;
    }
    settings.level = level;
    const std::string base = settings.base + "_";
    MsgLogger() = CFechaLogg::Create(level, settings.folder, base, "SYS");
    DumpLogger() = CFechaLogg::Create(level, settings.folder, base, "DMP");
    if (MsgLogger()) gWantedLevel.store(level);
}

int LogLevel() {
    std::lock_guard lock(LogWriterLock());
    return Settings().level;
}

bool LogWanted(int level) {
    const int wanted = gWantedLevel.load(std::memory_order_relaxed);
    return wanted > 0 && level <= wanted;
}

void InitEngineLogs(const std::string& baseName, const std::string& moduleFolder) {
    BindLog32(moduleFolder);
    ConfigureEngineLogs(baseName, moduleFolder);
}

void ConfigureEngineLogs(const std::string& baseName, const std::string& moduleFolder) {
    const int level =
        TIniFile(JoinPath(moduleFolder, kSettingsFileName)).ReadInteger(baseName, "LogLevel", 0);
    {
        std::lock_guard lock(LogWriterLock());
        Settings().folder = moduleFolder;
        Settings().base = baseName;
    }
    SetupLogs(level);
}

void DoneEngineLogs() {
    SetupLogs(0);
    std::lock_guard lock(LogWriterLock());
    Settings().folder.clear();
    Settings().base.clear();
}

std::string FormatV(const char* fmt, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[512];
    int n = std::vsnprintf(small, sizeof small, fmt, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, fmt, args);
    return out;
}

std::string Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string out = FormatV(fmt, args);
    va_end(args);
    return out;
}
