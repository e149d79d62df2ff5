#include "uCodeTableModel.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "TempFiles.h"
#include "uCodeTables.h"

namespace {

// Reads up to 256 bytes over the identity; false on any read error, so a
// name that opens but cannot be read (a folder) counts as not loaded.
bool ReadTableFile(const std::string& name, std::array<uint8_t, 256>& out) {
    for (int i = 0; i < 256; ++i)
        out[i] = static_cast<uint8_t>(i);
    int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    size_t got = 0;
    bool ok = true;
    while (got < out.size()) {
        ssize_t n = read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    return ok;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The file a name stands for: a symbolic link (or a chain of them) is
// followed to the file it points to, which may not exist yet.
std::string FollowLinks(std::string name) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = readlink(name.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size()) break;
        target.resize(static_cast<size_t>(n));
        const auto slash = name.rfind('/');
        name = target.front() == '/' || slash == std::string::npos
                   ? target
                   : name.substr(0, slash + 1) + target;
    }
    return name;
}

// The table goes to a temporary file beside the file the name stands for
// (through any symbolic link), which replaces that file only once all 256
// bytes are on disk: a failed save leaves the old file as it was. An
// existing file keeps its permissions; a new one gets the usual ones.
// Temporaries that killed writers left beside it go first.
bool WriteTableFile(const std::string& name, const std::array<uint8_t, 256>& table) {
    const std::string target = FollowLinks(name);
    auto slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty()) return false;
    const std::string prefix = (slash == std::string::npos ? std::string() : dir) + "." + base;
    RemoveStaleTemporaries(prefix);
    std::string tmp;
    int fd = CreateTemporary(prefix, tmp);
    if (fd < 0) return false;
    mode_t mode;
    struct stat st;
    if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        mode = st.st_mode & 07777;
    else
        mode = 0666 & ~CurrentUmask();
    bool ok = fchmod(fd, mode) == 0;
    ok = ok && WriteAll(fd, table.data(), table.size());
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) unlink(tmp.c_str());
    return ok;
}

TFileDialogOptions OpenOptions() {
    TFileDialogOptions o;
    o.Filter = "Conversion Tables (*.*)";
    o.DefaultExt = "TBL";
    return o;
}

TFileDialogOptions SaveOptions() {
    TFileDialogOptions o;
    o.Filter = "Archivos de tablas (*.tbl);;Todos los archivos (*.*)";
    o.DefaultExt = "TBL";
    return o;
}

} // namespace

std::string HexByte(uint8_t value) {
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", value);
    return buf;
}

TCodeTableModel::TCodeTableModel(TDialogs& dialogs) : dialogs_(dialogs) {
    LoadDefaultTable();
}

std::string TCodeTableModel::Cell(int row, int col) const {
    static const char* const titles[ColCount] = {"SYMBOL", "ascii", "ebcdic"};
    if (row < 0 || row >= RowCount || col < 0 || col >= ColCount) return {};
    if (row == 0) return titles[col];
    auto code = static_cast<uint8_t>(row - 1);
    switch (col) {
    case 0:
        return std::string(3, ' ') + static_cast<char>(code);
    case 1:
        return HexByte(code);
    default:
        return HexByte(table_[code]);
    }
}

void TCodeTableModel::LoadDefaultTable() {
    table_ = TCodeTables::Builtin().LocalToHost;
    fileName_ = DefaultName;
    fromFile_ = false;
}

bool TCodeTableModel::LoadTableFile(const std::string& name) {
    std::array<uint8_t, 256> bytes;
    if (!ReadTableFile(name, bytes)) {
        dialogs_.MessageBox("File " + name + " not found.\r\n\r\nEditing default convertion table.",
                            TMsgKind::Error, TMsgButtons::Ok);
        LoadDefaultTable();
        return false;
    }
    table_ = bytes;
    fileName_ = name;
    fromFile_ = true;
    return true;
}

bool TCodeTableModel::SaveTableFile(const std::string& name) {
    if (!WriteTableFile(name, table_)) {
        dialogs_.MessageBox("Error written file " + name + ".", TMsgKind::Error, TMsgButtons::Ok);
        return false;
    }
    fileName_ = name;
    fromFile_ = true;
    return true;
}

void TCodeTableModel::Open() {
    std::string name;
    if (dialogs_.OpenFileName(OpenOptions(), name)) LoadTableFile(name);
}

void TCodeTableModel::Save() {
    if (fromFile_)
        SaveTableFile(fileName_);
    else
        SaveAs();
}

void TCodeTableModel::SaveAs() {
    std::string name = fromFile_ ? fileName_ : std::string();
    if (dialogs_.SaveFileName(SaveOptions(), name)) SaveTableFile(name);
}

bool TCodeTableModel::EditEntry(int row, const TAskEntry& ask) {
    if (row < 1 || row >= RowCount) return false;
    int current = row - 1;
    uint8_t oldValue = table_[current];
    auto answer = ask(oldValue);
    if (!answer || *answer == oldValue) return false;
    uint8_t newValue = *answer;
    table_[current] = newValue;
    // Host code 0 marks a local code without conversion and may stand on any
    // number of rows.
    if (newValue == 0) return true;
    for (int i = 0; i < 256; ++i) {
        if (i != current && table_[i] == newValue) {
            table_[i] = oldValue;
            break;
        }
    }
    return true;
}
