// The registry the control keeps its settings in: two hives in files of our
// own, HKEY_CURRENT_USER in $XDG_CONFIG_HOME/Keldware/hkcu.reg (default
// ~/.config) and HKEY_LOCAL_MACHINE in $CORVALEN_HKLM_DIR (default
// /etc/Keldware), both under $CORVALEN_REGISTRY_DIR when it is set. Keys
// and value names keep their case and compare without it; values are typed.
// Every write re-reads the hive, changes it and replaces the file
// atomically under a file lock; a hive that cannot be written is read-only.
// Hives, their lock files and the folders made for them are owner-only.
// User-interface thread (any thread, one object per thread).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

enum class TRootKey { CurrentUser, LocalMachine };
enum class TRegDataType { None, String, Integer, Binary };

// A failed registry operation, with the system's own texts: "Failed to set
// data for '%s'", "Invalid data type for '%s'".
class ERegistryException : public std::runtime_error {
public:
    explicit ERegistryException(const std::string& message) : std::runtime_error(message) {}
};

// The file a hive lives in, by the environment as above.
std::string HiveFilePath(TRootKey root);

class TRegistry {
public:
    explicit TRegistry(TRootKey root = TRootKey::CurrentUser);
    virtual ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    TRootKey RootKey() const { return root_; }
    void SetRootKey(TRootKey root);

    // Opens a key ("\SOFTWARE\Keldware\..." or without the leading "\"),
    // creating it when asked; false when it does not exist or cannot be
    // created (a read-only hive).
    bool OpenKey(const std::string& path, bool canCreate);
    bool OpenKeyReadOnly(const std::string& path);
    void CloseKey();
    bool HasCurrentKey() const;
    std::string CurrentPath() const;

    bool KeyExists(const std::string& path);
    bool DeleteKey(const std::string& path);
    // Names of the open key's subkeys and values, as stored.
    std::vector<std::string> GetKeyNames();
    std::vector<std::string> GetValueNames();
    bool ValueExists(const std::string& name);
    TRegDataType GetDataType(const std::string& name);
    bool DeleteValue(const std::string& name);

    // Reads raise "Invalid data type for '%s'" for a missing value or one of
    // another type (a missing string reads as empty).
    std::string ReadString(const std::string& name);
    int32_t ReadInteger(const std::string& name);
    bool ReadBool(const std::string& name); // any integer but 0 is true
    std::vector<uint8_t> ReadBinaryData(const std::string& name);

    // Writes raise "Failed to set data for '%s'" when the hive cannot be
    // written or could not be read back after the write (a name, or the
    // file, beyond its bound), the file being left as it was; and "The
    // settings file '<hive file>' is damaged; it is left as it is and
    // nothing was saved to it." when it is damaged. OpenKey asked to create
    // a key returns false for the same causes.
    void WriteString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, int32_t value);
    void WriteBool(const std::string& name, bool value);
    void WriteBinaryData(const std::string& name, const std::vector<uint8_t>& value);

    // True when the hive file could not be read whole (damaged): it is then
    // read-only, so it is never overwritten blindly.
    bool HiveDamaged() const;
    bool HiveReadOnly() const;

private:
    struct TImpl;
    TRootKey root_;
    std::unique_ptr<TImpl> impl_;
};

// Reads that fall back to a default when reading fails for any reason.
class TRegistryEx : public TRegistry {
public:
    using TRegistry::TRegistry;
    bool ReadBoolDef(const std::string& name, bool def, bool writeDefault);
    int32_t ReadIntegerDef(const std::string& name, int32_t def, bool writeDefault);
};
