#include "TLogg.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>

#include "ModuleLoader.h"
#include "trace.h"

std::recursive_mutex& LogWriterLock() {
    // Never destroyed: reader threads may still log while the process exits.
    static auto* lock = new std::recursive_mutex;
    return *lock;
}

namespace {
uint16_t Level16(int level) {
    return static_cast<uint16_t>(level);
}
} // namespace

// --- CLogg ---

CLogg::~CLogg() {
    std::lock_guard lock(LogWriterLock());
    if (handle_ != 0) Log32CloseLog(handle_);
}

int32_t CLogg::Handle() const {
    std::lock_guard lock(LogWriterLock());
    return handle_;
}

std::string CLogg::FileName() const {
    std::lock_guard lock(LogWriterLock());
    return fileName_;
}

int CLogg::Level() const {
    std::lock_guard lock(LogWriterLock());
    return level_;
}

bool CLogg::Opened() const {
    std::lock_guard lock(LogWriterLock());
    return opened_;
}

void CLogg::OpenIfNeeded() {
    std::lock_guard lock(LogWriterLock());
    if (opened_) return;
    Log32SetLogLevel(Level16(level_));
    handle_ = Log32OpenLog(fileName_);
    opened_ = true;
}

void CLogg::SetFileName(const std::string& name) {
    std::lock_guard lock(LogWriterLock());
    fileName_ = name;
    if (!opened_) return;
    Log32SetLogLevel(Level16(level_));
    if (handle_ != 0) Log32CloseLog(handle_);
    handle_ = Log32OpenLog(name);
}

void CLogg::SetLevel(int level) {
    std::lock_guard lock(LogWriterLock());
    const int old = level_;
    level_ = level;
    Log32SetLogLevel(Level16(level));
    if (!opened_) return;
    WriteLine(1, "Cambio de Nivel de Level");
    WriteLine(1, "Level anterior: " + std::to_string(old));
    WriteLine(1, "Level nuevo   : " + std::to_string(level));
}

void CLogg::Rewind() {
    std::lock_guard lock(LogWriterLock());
    OpenIfNeeded();
    Log32RewindLog(handle_);
}

void CLogg::Dump(int level, const std::string& title, int width, const void* data, int len,
                 int block) {
    std::lock_guard lock(LogWriterLock());
    OpenIfNeeded();
    // log32 takes 16-bit lengths; a longer block is dumped up to that.
    const uint16_t len16 = len <= 0 ? 0 : len > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(len);
    Log32SetLogLevel(Level16(level_));
    Log32DumpLog(handle_, Level16(level), title, Level16(width), len16 ? data : nullptr, len16,
                 Level16(block));
}

void CLogg::WriteRaw(int level, const std::string& text) {
    std::lock_guard lock(LogWriterLock());
    OpenIfNeeded();
    Log32SetLogLevel(Level16(level_));
    Log32MsgLog(handle_, Level16(level), text);
}

void CLogg::WriteLine(int level, const std::string& text) {
    std::lock_guard lock(LogWriterLock());
    OpenIfNeeded();
    Log32SetLogLevel(Level16(level_));
    std::lock_guard message(Log32MessageLock());
    Log32MsgLog(handle_, Level16(level), text + "\r\n");
}

// --- CFechaLogg ---

TLogDate LocalToday() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return {tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900};
}

std::unique_ptr<CFechaLogg> CFechaLogg::Create(int level, const std::string& dir,
                                               const std::string& base, const std::string& ext,
                                               TLogClock clock) {
    struct stat st {};
    if (dir.empty() || stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
    std::unique_ptr<CFechaLogg> logger(new CFechaLogg(dir, base, ext, std::move(clock)));
    std::lock_guard lock(LogWriterLock());
    // The level is stored without the level-change lines: nothing is open yet.
    logger->level_ = level;
    logger->date_ = logger->clock_();
    logger->fileName_ = logger->DatedName(logger->date_);
    return logger;
}

CFechaLogg::CFechaLogg(const std::string& dir, const std::string& base, const std::string& ext,
                       TLogClock clock)
    : dir_(dir), base_(base), ext_(ext.substr(0, 255)), clock_(std::move(clock)) {}

std::string CFechaLogg::DatedName(const TLogDate& date) const {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d%02d%02d", date.Day % 100, date.Month % 100,
                  date.Year % 100);
    return JoinPath(dir_, base_ + digits + "." + ext_);
}

void CFechaLogg::CheckDate() {
    std::lock_guard lock(LogWriterLock());
    TLogDate today = clock_();
    if (today == date_) return;
    date_ = today;
    SetFileName(DatedName(today));
}

void CFechaLogg::Rewind() {
    std::lock_guard lock(LogWriterLock());
    CheckDate();
    CLogg::Rewind();
}

void CFechaLogg::Dump(int level, const std::string& title, int width, const void* data, int len,
                      int block) {
    std::lock_guard lock(LogWriterLock());
    CheckDate();
    CLogg::Dump(level, title, width, data, len, block);
}

void CFechaLogg::WriteRaw(int level, const std::string& text) {
    std::lock_guard lock(LogWriterLock());
    CheckDate();
    CLogg::WriteRaw(level, text);
}

void CFechaLogg::WriteLine(int level, const std::string& text) {
    std::lock_guard lock(LogWriterLock());
    CheckDate();
    CLogg::WriteLine(level, text);
}
