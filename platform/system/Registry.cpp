#include "Registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <optional>

#include "RegistryHive.h"
#include "TempFiles.h"

namespace {

constexpr size_t kReadChunk = 64 * 1024;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string HomeFolder() {
    std::string home = Env("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

struct TLoadedHive {
    std::unique_ptr<THiveKey> root;
    bool damaged = false;
};

// A missing hive (or a missing folder) is an empty one; a hive that cannot be
// read whole is damaged, so that what it holds is never overwritten.
TLoadedHive LoadHive(const std::string& path) {
    TLoadedHive out;
    // O_NONBLOCK so that a FIFO at the path cannot hang the caller in open().
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        out.damaged = errno != ENOENT && errno != ENOTDIR;
        out.root = std::make_unique<THiveKey>("");
        return out;
    }
    std::string text;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    // Room for the file as it stands, so that a large hive is not copied as it grows.
    if (ok && st.st_size > 0)
        text.reserve(std::min(static_cast<size_t>(st.st_size), kMaxHiveBytes) + 1);
    // One byte beyond the bound tells a file that is too large from one that fits.
    while (ok && text.size() <= kMaxHiveBytes) {
        const size_t had = text.size();
        text.resize(std::min(had + kReadChunk, kMaxHiveBytes + 1));
        const ssize_t n = ::read(fd, text.data() + had, text.size() - had);
        text.resize(had + (n > 0 ? static_cast<size_t>(n) : 0));
        if (n > 0 || (n < 0 && errno == EINTR)) continue;
        ok = n == 0;
        break;
    }
    ::close(fd);
    if (!ok) {
        out.damaged = true;
        out.root = std::make_unique<THiveKey>("");
        return out;
    }
    // Start-up goes on with what a damaged hive held before the damage.
    THiveParseResult parsed = ParseHive(text);
    out.root = std::move(parsed.root);
    out.damaged = !parsed.error.empty();
    return out;
}

// The modes a hive's files and the folders made for it get (less the
// umask): the user's hive holds hosts and user names and is the owner's
// only; the machine's holds what every user of the machine reads.
struct THiveModes {
    mode_t file, folder;
};
constexpr THiveModes kUserHive{0600, 0700}, kMachineHive{0644, 0755};

bool MakeFolders(const std::string& folder, mode_t mode) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    if (errno != ENOENT) return false;
    const std::string parent = FolderOf(folder);
    if (parent != folder && !MakeFolders(parent, mode)) return false;
    return ::mkdir(folder.c_str(), mode) == 0 || errno == EEXIST;
}

// Whether a write could succeed, judged without writing: the nearest folder
// that exists must be a writable folder, and an existing hive file writable.
bool LooksWritable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && ::access(path.c_str(), W_OK) != 0) return false;
    std::string folder = FolderOf(path);
    for (;;) {
        if (::stat(folder.c_str(), &st) == 0)
            return S_ISDIR(st.st_mode) && ::access(folder.c_str(), W_OK) == 0;
        if (errno != ENOENT) return false;
        const std::string parent = FolderOf(folder);
        if (parent == folder) return false;
        folder = parent;
    }
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

class TFd {
public:
    explicit TFd(int fd) : fd_(fd) {}
    ~TFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// Key names of a path: one leading '\' (from the root) and one trailing '\'
// are allowed; an empty or invalid name in between is not.
std::optional<std::vector<std::string>> SplitKeyPath(std::string_view path, bool& absolute) {
    absolute = !path.empty() && path.front() == '\\';
    if (absolute) path.remove_prefix(1);
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    std::vector<std::string> names;
    if (path.empty()) return names;
    size_t start = 0;
    for (;;) {
        const size_t sep = path.find('\\', start);
        const std::string_view name =
            path.substr(start, sep == std::string_view::npos ? sep : sep - start);
        if (!ValidHiveKeyName(name) || names.size() >= kMaxHiveDepth) return std::nullopt;
        names.emplace_back(name);
        if (sep == std::string_view::npos) break;
        start = sep + 1;
    }
    return names;
}

template <typename Key> Key* FindPath(Key* root, const std::vector<std::string>& names) {
    Key* key = root;
    for (const std::string& name : names) {
        if (!key) break;
        key = key->FindKey(name);
    }
    return key;
}

[[noreturn]] void FailType(const std::string& name) {
    throw ERegistryException("Invalid data type for '" + name + "'");
}

} // namespace

std::string HiveFilePath(TRootKey root) {
    const char* file = root == TRootKey::CurrentUser ? "hkcu.reg" : "hklm.reg";
    const std::string shared = Env("CORVALEN_REGISTRY_DIR");
    if (!shared.empty()) return shared + "/" + file;
    if (root == TRootKey::LocalMachine) {
        const std::string dir = Env("CORVALEN_HKLM_DIR");
        return (dir.empty() ? std::string("/etc/Keldware") : dir) + "/" + file;
    }
    // A relative XDG_CONFIG_HOME is to be ignored, as the base-directory rules say.
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') config = HomeFolder() + "/.config";
    return config + "/Keldware/" + file;
}

struct TRegistry::TImpl {
    std::string path;
    THiveModes modes = kUserHive;
    std::unique_ptr<THiveKey> hive; // as last read or written
    bool damaged = false;
    bool writeFailed = false;
    bool keyOpen = false;
    std::vector<std::string> current; // the open key's names as stored

    void Reload() {
        TLoadedHive loaded = LoadHive(path);
        hive = std::move(loaded.root);
        damaged = loaded.damaged;
    }

    std::optional<std::vector<std::string>> Resolve(const std::string& keyPath) const {
        bool absolute = false;
        auto names = SplitKeyPath(keyPath, absolute);
        if (!names || absolute || !keyOpen) return names;
        std::vector<std::string> full = current;
        full.insert(full.end(), names->begin(), names->end());
        if (full.size() > kMaxHiveDepth) return std::nullopt;
        return full;
    }

    const THiveKey* CurrentKey() const {
        return keyOpen ? FindPath<const THiveKey>(hive.get(), current) : nullptr;
    }

    // Re-reads the hive under the lock, applies the change and replaces the
    // file; false when the hive cannot be written or the change refuses.
    bool Modify(const std::function<bool(THiveKey&)>& change) {
        const bool ok = ModifyLocked(change);
        if (!ok && !damaged && !LooksWritable(path)) writeFailed = true;
        return ok;
    }

    bool ModifyLocked(const std::function<bool(THiveKey&)>& change) {
        const std::string folder = FolderOf(path);
        if (!MakeFolders(folder, modes.folder)) return false;
        // A hive file marked read-only stays as it is, though rename could replace it.
        if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) return false;
        const TFd lock(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, modes.file));
        if (lock.get() < 0) return false;
        int rc;
        while ((rc = ::flock(lock.get(), LOCK_EX)) != 0 && errno == EINTR) {}
        if (rc != 0) return false;

        // Every writer writes its temporary under the lock, so one found
        // now whose writer is gone was left by a writer that was killed.
        RemoveStaleTemporaries(path);

        TLoadedHive loaded = LoadHive(path);
        damaged = loaded.damaged;
        if (damaged) {
            hive = std::move(loaded.root);
            return false;
        }
        if (!change(*loaded.root)) {
            hive = std::move(loaded.root);
            return false;
        }
        // A change the reader would refuse is never written: the hive would
        // be damaged, and read-only, from the next start on.
        const THiveWriteResult hiveText = WriteHive(*loaded.root);
        if (!hiveText.error.empty()) return false;
        const std::string& text = hiveText.text;

        std::string temp;
        TFd out(CreateTemporary(path, temp));
        if (out.get() < 0) return false;
        // An existing hive keeps its permissions; a new one gets its hive's
        // mode (the temporary was created owner-only).
        struct stat st {};
        const mode_t mode =
            ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : modes.file & ~CurrentUmask();
        const bool modeKept = ::fchmod(out.get(), mode) == 0;
        const bool written = modeKept && WriteAll(out.get(), text) && ::fsync(out.get()) == 0 &&
                             ::close(out.release()) == 0 &&
                             ::rename(temp.c_str(), path.c_str()) == 0;
        if (!written) {
            ::unlink(temp.c_str());
            return false;
        }
        // The rename itself lasts only once the folder is on disk.
        const TFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() >= 0) ::fsync(dir.get());
        hive = std::move(loaded.root);
        return true;
    }

    bool SetValue(THiveValue value) {
        if (!keyOpen) return false;
        const std::vector<std::string> names = current;
        return Modify([&](THiveKey& root) {
            THiveKey* key = FindPath(&root, names);
            if (!key) return false;
            key->SetValue(std::move(value));
            return true;
        });
    }

    const THiveValue* Value(const std::string& name) const {
        const THiveKey* key = CurrentKey();
        return key ? key->FindValue(name) : nullptr;
    }

    // A damaged hive is left as it is: the user is told which file to mend.
    [[noreturn]] void FailSet(const std::string& name) const {
        if (damaged)
            throw ERegistryException("The settings file '" + path +
                                     "' is damaged; it is left as it is and nothing was saved "
                                     "to it.");
        throw ERegistryException("Failed to set data for '" + name + "'");
    }
};

TRegistry::TRegistry(TRootKey root) : root_(root), impl_(std::make_unique<TImpl>()) {
    impl_->path = HiveFilePath(root);
    impl_->modes = root == TRootKey::LocalMachine ? kMachineHive : kUserHive;
    impl_->Reload();
}

TRegistry::~TRegistry() = default;

void TRegistry::SetRootKey(TRootKey root) {
    root_ = root;
    auto fresh = std::make_unique<TImpl>();
    fresh->path = HiveFilePath(root);
    fresh->modes = root == TRootKey::LocalMachine ? kMachineHive : kUserHive;
    fresh->Reload();
    impl_ = std::move(fresh);
}

bool TRegistry::OpenKey(const std::string& path, bool canCreate) {
    const auto names = impl_->Resolve(path);
    if (!names) return false;
    impl_->Reload();
    const THiveKey* key = FindPath<const THiveKey>(impl_->hive.get(), *names);
    if (!key && canCreate) {
        impl_->Modify([&](THiveKey& root) {
            THiveKey* k = &root;
            for (const std::string& name : *names)
                k = &k->AddKey(name);
            return true;
        });
        key = FindPath<const THiveKey>(impl_->hive.get(), *names);
    }
    if (!key) return false;
    // Keep the names as stored, whatever case the caller used.
    std::vector<std::string> stored;
    const THiveKey* k = impl_->hive.get();
    for (const std::string& name : *names) {
        k = k->FindKey(name);
        stored.push_back(k->Name());
    }
    impl_->current = std::move(stored);
    impl_->keyOpen = true;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& path) {
    return OpenKey(path, false);
}

void TRegistry::CloseKey() {
    impl_->keyOpen = false;
    impl_->current.clear();
}

bool TRegistry::HasCurrentKey() const {
    return impl_->keyOpen;
}

std::string TRegistry::CurrentPath() const {
    std::string out;
    for (const std::string& name : impl_->current) {
        if (!out.empty()) out += '\\';
        out += name;
    }
    return out;
}

bool TRegistry::KeyExists(const std::string& path) {
    const auto names = impl_->Resolve(path);
    if (!names) return false;
    impl_->Reload();
    return FindPath<const THiveKey>(impl_->hive.get(), *names) != nullptr;
}

bool TRegistry::DeleteKey(const std::string& path) {
    const auto names = impl_->Resolve(path);
    if (!names || names->empty()) return false;
    return impl_->Modify([&](THiveKey& root) {
        std::vector<std::string> parentNames(names->begin(), names->end() - 1);
        THiveKey* parent = FindPath(&root, parentNames);
        return parent && parent->RemoveKey(names->back());
    });
}

std::vector<std::string> TRegistry::GetKeyNames() {
    std::vector<std::string> out;
    if (const THiveKey* key = impl_->CurrentKey()) {
        for (const auto& sub : key->Keys())
            out.push_back(sub->Name());
    }
    return out;
}

std::vector<std::string> TRegistry::GetValueNames() {
    std::vector<std::string> out;
    if (const THiveKey* key = impl_->CurrentKey()) {
        for (const THiveValue& v : key->Values())
            out.push_back(v.name);
    }
    return out;
}

bool TRegistry::ValueExists(const std::string& name) {
    return impl_->Value(name) != nullptr;
}

TRegDataType TRegistry::GetDataType(const std::string& name) {
    const THiveValue* v = impl_->Value(name);
    return v ? v->type : TRegDataType::None;
}

bool TRegistry::DeleteValue(const std::string& name) {
    if (!impl_->keyOpen) return false;
    const std::vector<std::string> names = impl_->current;
    return impl_->Modify([&](THiveKey& root) {
        THiveKey* key = FindPath(&root, names);
        return key && key->RemoveValue(name);
    });
}

std::string TRegistry::ReadString(const std::string& name) {
    const THiveValue* v = impl_->Value(name);
    if (!v) return {};
    if (v->type != TRegDataType::String) FailType(name);
    return v->text;
}

int32_t TRegistry::ReadInteger(const std::string& name) {
    const THiveValue* v = impl_->Value(name);
    if (!v || v->type != TRegDataType::Integer) FailType(name);
    return v->integer;
}

bool TRegistry::ReadBool(const std::string& name) {
    return ReadInteger(name) != 0;
}

std::vector<uint8_t> TRegistry::ReadBinaryData(const std::string& name) {
    const THiveValue* v = impl_->Value(name);
    if (!v || v->type != TRegDataType::Binary) FailType(name);
    return v->binary;
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    THiveValue v;
    v.name = name;
    v.type = TRegDataType::String;
    v.text = value;
    if (!impl_->SetValue(std::move(v))) impl_->FailSet(name);
}

void TRegistry::WriteInteger(const std::string& name, int32_t value) {
    THiveValue v;
    v.name = name;
    v.type = TRegDataType::Integer;
    v.integer = value;
    if (!impl_->SetValue(std::move(v))) impl_->FailSet(name);
}

void TRegistry::WriteBool(const std::string& name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

void TRegistry::WriteBinaryData(const std::string& name, const std::vector<uint8_t>& value) {
    THiveValue v;
    v.name = name;
    v.type = TRegDataType::Binary;
    v.binary = value;
    if (!impl_->SetValue(std::move(v))) impl_->FailSet(name);
}

bool TRegistry::HiveDamaged() const {
    return impl_->damaged;
}

bool TRegistry::HiveReadOnly() const {
    return impl_->damaged || impl_->writeFailed || !LooksWritable(impl_->path);
}

bool TRegistryEx::ReadBoolDef(const std::string& name, bool def, bool writeDefault) {
    try {
        return ReadBool(name);
    } catch (const ERegistryException&) {}
    if (writeDefault) WriteBool(name, def);
    return def;
}

int32_t TRegistryEx::ReadIntegerDef(const std::string& name, int32_t def, bool writeDefault) {
    try {
        return ReadInteger(name);
    } catch (const ERegistryException&) {}
    if (writeDefault) WriteInteger(name, def);
    return def;
}
