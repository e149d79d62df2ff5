#include "uCodeTables.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "uPlTnConsts.h"

TCodeTables TCodeTables::Builtin() {
    TCodeTables t;
    t.LocalToHost = kBuiltinLocalToHost;
    t.HostToLocal = kBuiltinHostToLocal;
    return t;
}

TCodeTables TCodeTables::FromTableFile(std::span<const uint8_t> bytes) {
    TCodeTables t;
    for (int i = 0; i < 256; ++i)
        t.LocalToHost[i] = static_cast<uint8_t>(i);
    for (size_t i = 0; i < bytes.size() && i < 256; ++i)
        t.LocalToHost[i] = bytes[i];
    // Host codes that no local code reaches keep their built-in meaning, so
    // the result never depends on a table loaded before. Where two local
    // codes share a host code, the higher one wins.
    t.HostToLocal = kBuiltinHostToLocal;
    for (int i = 1; i < 256; ++i)
        t.HostToLocal[t.LocalToHost[i]] = static_cast<uint8_t>(i);
    t.LocalToHost[0] = 0;
    t.HostToLocal[0] = 0;
    return t;
}

TTableSource LoadCodeTables(const std::string& fileName, TCodeTables& tables) {
    struct stat st {};
    // Only a regular file counts as a table file; a folder or a device name
    // is no file, as a missing one.
    if (fileName.empty() || stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        tables = TCodeTables::Builtin();
        return TTableSource::Builtin;
    }
    int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        tables = TCodeTables::FromTableFile({});
        return TTableSource::OpenFailed;
    }
    uint8_t bytes[256];
    size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t n = read(fd, bytes + got, sizeof bytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    tables = TCodeTables::FromTableFile(std::span<const uint8_t>(bytes, got));
    return TTableSource::File;
}
