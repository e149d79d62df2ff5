#include "uVirtualTemplate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "ByteReader.h"
#include "PLError.h"

namespace {

bool Shown(uint8_t b) {
    return b >= 0x20 && b != 0x7F && !(b >= 0x80 && b <= 0x9F);
}

std::string Describe(const char* what, const std::string& path, int error) {
    return std::string(what) + ": " + path + " (" + std::strerror(error) + ")";
}

// Closes the descriptor on every way out.
struct TFd {
    int fd;
    ~TFd() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

TVirtualScreen ParseVirtualTemplate(std::span<const uint8_t> bytes) {
    TVirtualScreen screen;
    for (auto& row : screen)
        row.assign(kTemplateCols, ' ');
    TByteReader reader(bytes.first(std::min(bytes.size(), kTemplateMaxBytes)));
    size_t row = 0, col = 0;
    while (!reader.atEnd() && row < kTemplateRows) {
        const uint8_t b = reader.byte();
        if (b == '\n') {
            ++row;
            col = 0;
            continue;
        }
        // CR LF ends a line like LF; a CR anywhere else is a control character.
        if (b == '\r' && !reader.atEnd() && reader.peek() == '\n') continue;
        if (col < kTemplateCols) screen[row][col++] = Shown(b) ? static_cast<char>(b) : ' ';
    }
    return screen;
}

TVirtualScreen LoadVirtualTemplate(const std::string& path) {
    if (path.empty()) throw EPLError("No template file given");
    // Non-blocking, so that a FIFO named as the template cannot hang the
    // caller in open(); only regular files are read.
    TFd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
    if (file.fd < 0) throw EPLError(Describe("Can't open template file", path, errno));
    struct stat st {};
    if (::fstat(file.fd, &st) != 0)
        throw EPLError(Describe("Can't read template file", path, errno));
    if (!S_ISREG(st.st_mode)) throw EPLError("Template is not a regular file: " + path);

    std::vector<uint8_t> bytes(kTemplateMaxBytes);
    size_t have = 0;
    while (have < bytes.size()) {
        const ssize_t n = ::read(file.fd, bytes.data() + have, bytes.size() - have);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EPLError(Describe("Can't read template file", path, errno));
        if (n == 0) break;
        have += static_cast<size_t>(n);
    }
    return ParseVirtualTemplate(std::span<const uint8_t>(bytes.data(), have));
}
