#include "TempFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

constexpr std::string_view kTempInfix = ".tmp.";
constexpr size_t kRandomLength = 6; // mkstemp's XXXXXX
constexpr size_t kMaxPidDigits = 10;
// The status file is a few hundred bytes on any kernel; read no more than this.
constexpr size_t kMaxStatusBytes = 16 * 1024;
constexpr mode_t kUnknownUmask = 077;

struct TSplitPath {
    std::string folder; // "." for a bare name
    std::string name;
};

TSplitPath Split(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// The writer's pid of a temporary of name: "<name>.tmp.<pid>.<random>" and
// nothing else; none for any other file name.
std::optional<pid_t> WriterOf(std::string_view entry, std::string_view name) {
    if (!entry.starts_with(name)) return std::nullopt;
    entry.remove_prefix(name.size());
    if (!entry.starts_with(kTempInfix)) return std::nullopt;
    entry.remove_prefix(kTempInfix.size());
    const size_t dot = entry.find('.');
    if (dot == 0 || dot == std::string_view::npos || dot > kMaxPidDigits) return std::nullopt;
    const std::string_view random = entry.substr(dot + 1);
    if (random.size() != kRandomLength) return std::nullopt;
    for (const char c : random)
        if (!std::isalnum(static_cast<unsigned char>(c))) return std::nullopt;
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(entry.data(), entry.data() + dot, pid);
    if (error != std::errc() || end != entry.data() + dot || pid <= 0) return std::nullopt;
    return pid;
}

// Only "no such process" counts as gone: a process of another user answers
// EPERM and is alive.
bool ProcessGone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

std::optional<std::string> ReadStatus() {
    const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text(kMaxStatusBytes, '\0');
    size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    text.resize(got);
    return text;
}

// The octal value of the "Umask:" line of a status text.
std::optional<mode_t> UmaskIn(std::string_view status) {
    constexpr std::string_view kKey = "\nUmask:";
    const size_t at = status.find(kKey);
    if (at == std::string_view::npos) return std::nullopt;
    std::string_view value = status.substr(at + kKey.size());
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    unsigned mask = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), mask, 8);
    if (error != std::errc() || end == value.data() || mask > 0777) return std::nullopt;
    return static_cast<mode_t>(mask);
}

} // namespace

int CreateTemporary(const std::string& prefix, std::string& path) {
    path = prefix + std::string(kTempInfix) + std::to_string(::getpid()) + "." +
           std::string(kRandomLength, 'X');
    // mkstemp creates the file 0600 less the umask.
    return ::mkostemp(path.data(), O_CLOEXEC);
}

void RemoveStaleTemporaries(const std::string& prefix) {
    const TSplitPath split = Split(prefix);
    DIR* dir = ::opendir(split.folder.c_str());
    if (!dir) return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::optional<pid_t> writer = WriterOf(entry->d_name, split.name);
        if (!writer || !ProcessGone(*writer)) continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

mode_t CurrentUmask() {
    const std::optional<std::string> status = ReadStatus();
    const std::optional<mode_t> mask = status ? UmaskIn(*status) : std::nullopt;
    return mask.value_or(kUnknownUmask);
}
