// The logging library the engines bind at run time: message lines and hex
// dumps appended to files the engines open by name, filtered by a level,
// each file bounded a day. Any thread; one lock guards the handle table and
// every write.
#include "log32api.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// A host that sends junk at a high log level writes tens of megabytes a
// minute; this keeps a day's file far above any real session's log and far
// below a full disk.
constexpr uint64_t kDailyLimit = uint64_t{64} << 20;

struct TLogFile {
    int fd = -1; // -1: a free slot
    // Whether the next byte written through this handle begins a line.
    bool atLineStart = true;
    // The local day (yyyymmdd) this handle counts for, and the file's size
    // when that day began for it: what lies beyond is the day's.
    int day = 0;
    off_t dayStart = 0;
};

struct TLogState {
    std::mutex filesLock;        // guards files and each write to them
    std::vector<TLogFile> files; // handle h is files[h - 1]
};

TLogState& State() {
    // Never destroyed: the engines' reader threads may still log while the
    // process exits, after static destructors have run.
    static TLogState* const state = new TLogState;
    return *state;
}

// Two engines in one process each set their level before every call, under
// their own locks; a level per thread keeps them from seeing each other's.
thread_local uint16_t tConfiguredLevel = 0;

constexpr size_t kDefaultDumpWidth = 16;
constexpr size_t kMaxDumpWidth = 64;
constexpr const char* kLineEnd = "\r\n"; // the engines end their lines so

bool Wanted(uint16_t level) {
    return tConfiguredLevel > 0 && level <= tConfiguredLevel;
}

TLogFile* Find(TLogState& state, int32_t handle) {
    if (handle <= 0 || static_cast<size_t>(handle) > state.files.size()) return nullptr;
    TLogFile& file = state.files[static_cast<size_t>(handle) - 1];
    return file.fd >= 0 ? &file : nullptr;
}

// yyyymmdd of a time by the local clock.
int LocalDay(time_t when) {
    tm local{};
    ::localtime_r(&when, &local);
    return (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}

// "HH:MM:SS.mmm " by the local clock.
std::string Timestamp() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    char text[32];
    const int n =
        std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d ", local.tm_hour, local.tm_min,
                      local.tm_sec, static_cast<int>(now.tv_nsec / 1000000));
    return n > 0 ? std::string(text, std::min(static_cast<size_t>(n), sizeof text - 1)) : "";
}

// Writes the whole text, looped only for the rare short write.
void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
}

// At open: a file last written on an earlier day holds none of today's
// bytes; one written today is counted whole, since an earlier writer may have
// filled it already.
void StartDay(TLogFile& file) {
    file.day = LocalDay(::time(nullptr));
    struct stat st {};
    if (::fstat(file.fd, &st) == 0 && LocalDay(st.st_mtim.tv_sec) != file.day)
        file.dayStart = st.st_size;
}

// The bytes the file has taken today; 0 when it cannot tell. When the day
// changes while the file is open, the new day starts at its present end.
uint64_t BytesToday(TLogFile& file) {
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) return 0;
    const int today = LocalDay(::time(nullptr));
    if (today != file.day) {
        file.day = today;
        file.dayStart = st.st_size;
    }
    // Emptied since (rewound): what is in it now is all today's.
    if (st.st_size < file.dayStart) file.dayStart = 0;
    return static_cast<uint64_t>(st.st_size - file.dayStart);
}

std::string StoppedLine(uint64_t limit) {
    return Timestamp() + "Logging stopped for today: the file reached its daily limit of " +
           std::to_string(limit) + " bytes" + kLineEnd;
}

// One write() for the whole text, so that what one call logs never
// interleaves with another's. The write that takes the day's bytes to the
// limit is followed by a line saying so, and a full file takes nothing more
// that day.
void Write(TLogFile& file, std::string text) {
    if (text.empty()) return;
    const uint64_t today = BytesToday(file);
    if (today >= kDailyLimit) return;
    bool atLineStart = text.back() == '\n';
    if (today + text.size() >= kDailyLimit) {
        if (!atLineStart) text += kLineEnd;
        text += StoppedLine(kDailyLimit);
        atLineStart = true;
    }
    WriteAll(file.fd, text);
    file.atLineStart = atLineStart;
}

// Lines of up to width bytes: "  0010: 41 42 ... |AB..|", the hex column
// padded so that the text column stays aligned on a short last line. A line
// never runs across a block boundary, and each full block is followed by a
// blank line.
void AppendDump(std::string& out, const uint8_t* data, size_t len, size_t width, size_t block) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    size_t offset = 0;
    while (offset < len) {
        size_t count = std::min(width, len - offset);
        if (block > 0) count = std::min(count, block - offset % block);
        char head[24];
        const int n = std::snprintf(head, sizeof head, "  %04zX: ", offset);
        if (n > 0) out.append(head, std::min(static_cast<size_t>(n), sizeof head - 1));
        for (size_t i = 0; i < width; ++i) {
            if (i < count) {
                const uint8_t b = data[offset + i];
                out += kHex[b >> 4];
                out += kHex[b & 0x0F];
                out += ' ';
            } else {
                out += "   ";
            }
        }
        out += '|';
        for (size_t i = 0; i < count; ++i) {
            const uint8_t b = data[offset + i];
            out += b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.';
        }
        out += '|';
        out += kLineEnd;
        offset += count;
        if (block > 0 && offset % block == 0) out += kLineEnd;
    }
}

} // namespace

extern "C" {

LOG32_EXPORT void SetLogLevel(uint16_t level) {
    tConfiguredLevel = level;
}

LOG32_EXPORT int32_t OpenLog(const char* fileName) {
    if (!fileName || !*fileName) return 0;
    // Owner-only: logs hold screens and host data.
    const int fd = ::open(fileName, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return 0;
    try {
        TLogState& state = State();
        std::lock_guard guard(state.filesLock);
        auto slot = std::find_if(state.files.begin(), state.files.end(),
                                 [](const TLogFile& f) { return f.fd < 0; });
        if (slot == state.files.end()) {
            state.files.push_back(TLogFile{});
            slot = state.files.end() - 1;
        }
        *slot = TLogFile{};
        slot->fd = fd;
        StartDay(*slot);
        return static_cast<int32_t>(slot - state.files.begin()) + 1;
    } catch (...) {
        ::close(fd);
        return 0;
    }
}

LOG32_EXPORT void CloseLog(int32_t handle) {
    try {
        TLogState& state = State();
        std::lock_guard guard(state.filesLock);
        if (TLogFile* file = Find(state, handle)) {
            ::close(file->fd);
            *file = TLogFile{};
        }
    } catch (...) {}
}

LOG32_EXPORT void RewindLog(int32_t handle) {
    try {
        TLogState& state = State();
        std::lock_guard guard(state.filesLock);
        if (TLogFile* file = Find(state, handle)) {
            // The file is open for appending, so the next write lands at the new end.
            if (::ftruncate(file->fd, 0) == 0) file->atLineStart = true;
        }
    } catch (...) {}
}

LOG32_EXPORT void DumpLog(int32_t handle, uint16_t level, const char* title, uint16_t width,
                          const void* data, uint16_t len, uint16_t block) {
    if (!Wanted(level)) return;
    try {
        const size_t lineWidth =
            width == 0 ? kDefaultDumpWidth : std::min<size_t>(width, kMaxDumpWidth);
        const size_t byteCount = data ? len : 0;
        TLogState& state = State();
        std::lock_guard guard(state.filesLock);
        TLogFile* file = Find(state, handle);
        if (!file) return;
        std::string out;
        // A dump is a block of its own lines: end a message left open first.
        if (!file->atLineStart) out += kLineEnd;
        out += Timestamp();
        out += title ? title : "";
        out += kLineEnd;
        AppendDump(out, static_cast<const uint8_t*>(data), byteCount, lineWidth, block);
        Write(*file, std::move(out));
    } catch (...) {}
}

LOG32_EXPORT void MsgLog(int32_t handle, uint16_t level, const char* text) {
    if (!Wanted(level) || !text || !*text) return;
    try {
        TLogState& state = State();
        std::lock_guard guard(state.filesLock);
        TLogFile* file = Find(state, handle);
        if (!file) return;
        const std::string stamp = Timestamp();
        std::string out;
        bool atLineStart = file->atLineStart;
        for (const char* p = text; *p; ++p) {
            if (atLineStart) out += stamp;
            out += *p;
            atLineStart = *p == '\n';
        }
        Write(*file, std::move(out));
    } catch (...) {}
}

} // extern "C"

// The exports must match the types the engines bind them as.
static_assert(std::is_same_v<decltype(&SetLogLevel), TSetLogLevel>);
static_assert(std::is_same_v<decltype(&OpenLog), TOpenLog>);
static_assert(std::is_same_v<decltype(&CloseLog), TCloseLog>);
static_assert(std::is_same_v<decltype(&RewindLog), TRewindLog>);
static_assert(std::is_same_v<decltype(&DumpLog), TDumpLog>);
static_assert(std::is_same_v<decltype(&MsgLog), TMsgLog>);
