#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Registry.h"
#include "RegistryHive.h"
#include "support/TempDir.h"

namespace {

const std::string kMainKey = "\\SOFTWARE\\Keldware\\Pallisor\\Corvalen";

// Every test gets hives of its own in a fresh folder.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("CORVALEN_REGISTRY_DIR", dir_.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("CORVALEN_REGISTRY_DIR"); }

    static std::string ErrorOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const ERegistryException& e) {
            return e.what();
        }
        return "<no error>";
    }

    TTempDir dir_;
};

TEST(RegistryPathTest, HiveFileFollowsTheEnvironment) {
    const struct {
        const char *shared, *xdg, *home, *hklm;
        TRootKey root;
        const char* expected;
    } cases[] = {
        {"/r", "/x", "/h", "/m", TRootKey::CurrentUser, "/r/hkcu.reg"},
        {"/r", "/x", "/h", "/m", TRootKey::LocalMachine, "/r/hklm.reg"},
        {"", "/x", "/h", "/m", TRootKey::CurrentUser, "/x/Keldware/hkcu.reg"},
        {"", "", "/h", "", TRootKey::CurrentUser, "/h/.config/Keldware/hkcu.reg"},
        {"", "relative", "/h", "", TRootKey::CurrentUser, "/h/.config/Keldware/hkcu.reg"},
        {"", "/x", "/h", "/m", TRootKey::LocalMachine, "/m/hklm.reg"},
        {"", "/x", "/h", "", TRootKey::LocalMachine, "/etc/Keldware/hklm.reg"},
    };
    const char* names[] = {"CORVALEN_REGISTRY_DIR", "XDG_CONFIG_HOME", "HOME", "CORVALEN_HKLM_DIR"};
    std::vector<std::pair<std::string, bool>> saved;
    for (const char* n : names) {
        const char* v = std::getenv(n);
        saved.emplace_back(v ? v : "", v != nullptr);
    }
    for (const auto& c : cases) {
        const char* values[] = {c.shared, c.xdg, c.home, c.hklm};
        for (int i = 0; i < 4; ++i)
            ::setenv(names[i], values[i], 1);
        EXPECT_EQ(HiveFilePath(c.root), c.expected) << c.shared << " " << c.xdg << " " << c.hklm;
    }
    for (int i = 0; i < 4; ++i) {
        if (saved[i].second)
            ::setenv(names[i], saved[i].first.c_str(), 1);
        else
            ::unsetenv(names[i]);
    }
}

TEST_F(RegistryTest, TypedValuesSurviveTheFileUnchanged) {
    const std::string awkward = std::string("Caf\xE9 \"quoted\" back\\slash\nline\0nul", 34);
    const std::vector<uint8_t> bytes = {0x00, 0xFF, 0x2C, 0x0A, 0x5D};
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kMainKey, true));
        reg.WriteString("Text", awkward);
        reg.WriteString("Empty", "");
        reg.WriteInteger("Negative", -2);
        reg.WriteBool("On", true);
        reg.WriteBinaryData("Bytes", bytes);
        reg.WriteBinaryData("None", {});
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kMainKey, false));
    EXPECT_EQ(reg.ReadString("Text"), awkward);
    EXPECT_EQ(reg.GetDataType("Empty"), TRegDataType::String);
    EXPECT_EQ(reg.ReadInteger("Negative"), -2);
    EXPECT_EQ(reg.ReadInteger("On"), 1);
    EXPECT_EQ(reg.ReadBinaryData("Bytes"), bytes);
    EXPECT_TRUE(reg.ReadBinaryData("None").empty());
    EXPECT_EQ(reg.GetDataType("Missing"), TRegDataType::None);
}

TEST_F(RegistryTest, NamesKeepTheirCaseAndCompareWithoutIt) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kMainKey, true));
        reg.WriteBool("StatusBar", false);
        reg.WriteInteger("STATUSBAR", 7); // the same value
        reg.WriteString("\xC9t\xE9", "upper");
        reg.WriteString("\xE9t\xE9", "lower"); // not ASCII: another name
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("software\\KELDWARE\\pallisor\\corvalen", false));
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\Keldware\\Pallisor\\Corvalen");
    EXPECT_EQ(reg.ReadInteger("Statusbar"), 7);
    EXPECT_EQ(reg.GetValueNames(),
              (std::vector<std::string>{"StatusBar", "\xC9t\xE9", "\xE9t\xE9"}));
    EXPECT_EQ(reg.ReadString("\xE9t\xE9"), "lower");
}

TEST_F(RegistryTest, SubkeysListInCreationOrderAndAreNotCreatedTwice) {
    TRegistry reg(TRootKey::LocalMachine);
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Keldware\\Pallisor\\ConnTypes\\Mine", true));
    for (const char* type : {"Virtual", "tn5250", "TN5250", "HTTP"}) {
        ASSERT_TRUE(
            reg.OpenKey(std::string("\\SOFTWARE\\Keldware\\Pallisor\\ConnTypes\\") + type, true));
        reg.CloseKey();
    }
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Keldware\\Pallisor\\ConnTypes", false));
    EXPECT_EQ(reg.GetKeyNames(), (std::vector<std::string>{"Mine", "Virtual", "tn5250", "HTTP"}));
    // A relative path opens below the open key.
    ASSERT_TRUE(reg.OpenKey("Virtual", false));
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\Keldware\\Pallisor\\ConnTypes\\Virtual");
    EXPECT_FALSE(reg.OpenKey("Missing", false));
    EXPECT_FALSE(reg.OpenKey("\\A\\\\B", true)); // an empty key name
    // The other hive is another file.
    TRegistry user;
    EXPECT_FALSE(user.KeyExists("\\SOFTWARE\\Keldware\\Pallisor\\ConnTypes"));
}

TEST_F(RegistryTest, MissingOrMistypedReadsRaiseTheSystemsText) {
    TRegistry reg;
    EXPECT_EQ(ErrorOf([&] { reg.WriteInteger("Left", 1); }), "Failed to set data for 'Left'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Left"); }), "Invalid data type for 'Left'");
    ASSERT_TRUE(reg.OpenKey(kMainKey, true));
    reg.WriteString("Text", "x");
    reg.WriteInteger("Number", 3);
    EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Text"); }), "Invalid data type for 'Text'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadBool("Text"); }), "Invalid data type for 'Text'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadString("Number"); }), "Invalid data type for 'Number'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadBinaryData("Number"); }), "Invalid data type for 'Number'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadBinaryData("Gone"); }), "Invalid data type for 'Gone'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Gone"); }), "Invalid data type for 'Gone'");
    EXPECT_EQ(reg.ReadString("Gone"), "");
}

TEST_F(RegistryTest, DefaultingReadsWriteOnlyWhenAsked) {
    TRegistryEx reg;
    EXPECT_EQ(reg.ReadIntegerDef("Left", 5, false), 5); // no key open
    // The default cannot be written without a key: that failure is not hidden.
    EXPECT_EQ(ErrorOf([&] { reg.ReadBoolDef("Menu", true, true); }),
              "Failed to set data for 'Menu'");
    ASSERT_TRUE(reg.OpenKey(kMainKey, true));
    reg.WriteString("Menu", "yes");
    reg.WriteInteger("Toolbar", 2);
    EXPECT_TRUE(reg.ReadBoolDef("Menu", true, false));
    EXPECT_EQ(reg.GetDataType("Menu"), TRegDataType::String);
    EXPECT_TRUE(reg.ReadBoolDef("Toolbar", false, false));
    EXPECT_EQ(reg.ReadIntegerDef("Top", 40, false), 40);
    EXPECT_FALSE(reg.ValueExists("Top"));
    EXPECT_FALSE(reg.ReadBoolDef("KeyPadV", false, true));
    EXPECT_EQ(reg.GetDataType("KeyPadV"), TRegDataType::Integer);
    EXPECT_EQ(reg.ReadIntegerDef("KeyPadT", -9, true), -9);
    EXPECT_EQ(reg.ReadInteger("KeyPadT"), -9);
}

TEST_F(RegistryTest, DeletingKeysAndValuesReachesTheFile) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kMainKey + "\\Screen Profiles\\Blue", true));
        ASSERT_TRUE(reg.OpenKey(kMainKey, false));
        reg.WriteInteger("Left", 1);
        reg.WriteInteger("Top", 2);
        EXPECT_TRUE(reg.DeleteValue("LEFT"));
        EXPECT_FALSE(reg.DeleteValue("Left"));
        EXPECT_TRUE(reg.DeleteKey("Screen Profiles"));
        EXPECT_FALSE(reg.DeleteKey("Screen Profiles"));
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kMainKey, false));
    EXPECT_EQ(reg.GetValueNames(), std::vector<std::string>{"Top"});
    EXPECT_TRUE(reg.GetKeyNames().empty());
    // A key deleted by another writer takes no more values.
    TRegistry other;
    EXPECT_TRUE(other.DeleteKey(kMainKey));
    EXPECT_EQ(ErrorOf([&] { reg.WriteInteger("Top", 3); }), "Failed to set data for 'Top'");
    EXPECT_FALSE(reg.KeyExists(kMainKey));
}

TEST_F(RegistryTest, WritersInTwoProcessesLoseNoValue) {
    constexpr int kEach = 200;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            int failures = 0;
            try {
                TRegistry reg;
                if (!reg.OpenKey(kMainKey, true)) ::_exit(2);
                for (int i = 0; i < kEach; ++i)
                    reg.WriteInteger(std::string(1, char('A' + c)) + std::to_string(i), i);
            } catch (...) {
                ++failures;
            }
            ::_exit(failures ? 1 : 0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kMainKey, false));
    EXPECT_EQ(reg.GetValueNames().size(), 2u * kEach);
    for (int i = 0; i < kEach; ++i) {
        EXPECT_EQ(reg.ReadInteger("A" + std::to_string(i)), i);
        EXPECT_EQ(reg.ReadInteger("b" + std::to_string(i)), i);
    }
    // The temporary files were all renamed into place.
    EXPECT_EQ(dir_.names(), (std::vector<std::string>{"hkcu.reg", "hkcu.reg.lock"}));
}

TEST_F(RegistryTest, HivesLockFilesAndNewFoldersAreTheOwnersOnly) {
    // Hives hold hosts and user names; a usual umask would let every local
    // user read what was created for all.
    ::setenv("CORVALEN_REGISTRY_DIR", dir_.file("new/hives").c_str(), 1);
    const mode_t mask = ::umask(022);
    bool written = false;
    {
        TRegistry reg;
        written = reg.OpenKey(kMainKey, true);
        // The machine's hive holds what every user reads.
        TRegistry machine(TRootKey::LocalMachine);
        written = written && machine.OpenKey(kMainKey, true);
    }
    ::umask(mask);
    ASSERT_TRUE(written);
    const auto modeOf = [&](const std::string& name) {
        struct stat st {};
        return ::stat(dir_.file(name).c_str(), &st) == 0 ? st.st_mode & 0777 : 0777u;
    };
    EXPECT_EQ(modeOf("new"), 0700u);
    EXPECT_EQ(modeOf("new/hives"), 0700u);
    EXPECT_EQ(modeOf("new/hives/hkcu.reg"), 0600u);
    EXPECT_EQ(modeOf("new/hives/hkcu.reg.lock"), 0600u);
    EXPECT_EQ(modeOf("new/hives/hklm.reg"), 0644u);
}

TEST_F(RegistryTest, WriteRemovesTheTemporariesOfDeadWritersOnly) {
    // A writer killed mid-write leaves its temporary behind; one whose
    // writer still runs may yet be renamed over the hive.
    const pid_t dead = ::fork();
    ASSERT_GE(dead, 0);
    if (dead == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
    const std::string deadTemp = "hkcu.reg.tmp." + std::to_string(dead) + ".Ab12Cd";
    const std::string liveTemp = "hkcu.reg.tmp." + std::to_string(::getppid()) + ".Ab12Cd";
    dir_.write(deadTemp, "[Half\\Written]\n");
    dir_.write(liveTemp, "[Being\\Written]\n");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kMainKey, true));
    EXPECT_EQ(dir_.names(), (std::vector<std::string>{"hkcu.reg", "hkcu.reg.lock", liveTemp}));
}

TEST_F(RegistryTest, DamagedHiveIsReportedReadAndNeverOverwritten) {
    const std::string text = "[SOFTWARE\\Keldware]\n\"Kept\"=dword:00000010\n"
                             "\"Broken\"=dword:zz\n[SOFTWARE\\Later]\n";
    dir_.write("hkcu.reg", text);
    TRegistry reg;
    EXPECT_TRUE(reg.HiveDamaged());
    EXPECT_TRUE(reg.HiveReadOnly());
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Keldware", true));
    EXPECT_EQ(reg.ReadInteger("Kept"), 16);
    // The user is told which file to mend, not only that a value was not set.
    EXPECT_EQ(ErrorOf([&] { reg.WriteInteger("Kept", 1); }),
              "The settings file '" + dir_.file("hkcu.reg") +
                  "' is damaged; it is left as it is and nothing was saved to it.");
    EXPECT_FALSE(reg.OpenKey("\\SOFTWARE\\New", true));
    EXPECT_FALSE(reg.DeleteKey("\\SOFTWARE"));
    EXPECT_EQ(dir_.read("hkcu.reg"), text);
    // The other hive is not touched by the damage.
    TRegistry machine(TRootKey::LocalMachine);
    EXPECT_FALSE(machine.HiveDamaged());
    EXPECT_TRUE(machine.OpenKey("\\SOFTWARE", true));
}

TEST_F(RegistryTest, HiveThatCannotBeWrittenIsReadOnly) {
    // Root may write any folder, so the folder is made unreachable: its
    // parent is a regular file.
    dir_.write("file", "x");
    ::setenv("CORVALEN_REGISTRY_DIR", dir_.file("file/hives").c_str(), 1);
    TRegistry reg;
    EXPECT_FALSE(reg.HiveDamaged());
    EXPECT_TRUE(reg.HiveReadOnly());
    EXPECT_FALSE(reg.OpenKey(kMainKey, true));
    EXPECT_TRUE(reg.OpenKey("\\", false)); // the root always exists
    EXPECT_EQ(ErrorOf([&] { reg.WriteString("Module", "x"); }), "Failed to set data for 'Module'");
    EXPECT_TRUE(reg.GetKeyNames().empty());
}

// A write the hive could not read back would leave it damaged for every
// later start: one past each bound the reader keeps, a write fails as any
// other and the file stays as it was; at the bound it is kept and reads back.
TEST_F(RegistryTest, WritesBeyondWhatTheHiveReadsBackAreRefused) {
    const std::string over(kMaxValueNameLength + 1, 'o');
    std::string deepest; // kMaxHiveDepth keys below the root
    for (size_t i = 0; i < kMaxHiveDepth; ++i)
        deepest += "\\d";
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kMainKey, true));
        reg.WriteString("Keep", "kept");
        const std::string before = dir_.read("hkcu.reg");
        const struct {
            const char* bound;
            std::function<void()> write;
        } refused[] = {
            {"binary value name", [&] { reg.WriteBinaryData(over, {1}); }},
            {"string value name", [&] { reg.WriteString(over, "x"); }},
            {"integer value name", [&] { reg.WriteInteger(over, 1); }},
        };
        for (const auto& c : refused) {
            EXPECT_EQ(ErrorOf(c.write), "Failed to set data for '" + over + "'") << c.bound;
            EXPECT_TRUE(dir_.read("hkcu.reg") == before) << c.bound;
        }
        EXPECT_FALSE(reg.OpenKey(kMainKey + "\\" + std::string(kMaxKeyNameLength + 1, 'k'), true));
        EXPECT_FALSE(reg.OpenKey(deepest + "\\d", true));
        EXPECT_TRUE(dir_.read("hkcu.reg") == before);
        EXPECT_FALSE(reg.HiveReadOnly());

        reg.WriteBinaryData(std::string(kMaxValueNameLength, 'b'), {1});
        reg.WriteString(std::string(kMaxValueNameLength, 's'), "x");
        reg.WriteInteger(std::string(kMaxValueNameLength, 'i'), 1);
        ASSERT_TRUE(reg.OpenKey(kMainKey + "\\" + std::string(kMaxKeyNameLength, 'k'), true));
        ASSERT_TRUE(reg.OpenKey(deepest, true));
    }
    TRegistry reg;
    EXPECT_FALSE(reg.HiveDamaged());
    EXPECT_TRUE(reg.KeyExists(kMainKey + "\\" + std::string(kMaxKeyNameLength, 'k')));
    EXPECT_TRUE(reg.KeyExists(deepest));
    ASSERT_TRUE(reg.OpenKey(kMainKey, false));
    EXPECT_EQ(reg.ReadString("Keep"), "kept");
    EXPECT_EQ(reg.ReadBinaryData(std::string(kMaxValueNameLength, 'b')), std::vector<uint8_t>{1});
    EXPECT_EQ(reg.ReadString(std::string(kMaxValueNameLength, 's')), "x");
    EXPECT_EQ(reg.ReadInteger(std::string(kMaxValueNameLength, 'i')), 1);
}

// Every value, key and byte adds to the file, which the reader takes up to
// its bound: the write that would pass it fails, whatever grows the file.
TEST_F(RegistryTest, HiveGrowsNoFurtherThanTheFileItIsReadFrom) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kMainKey, true));
    reg.WriteString("Keep", "kept");
    reg.WriteString("Fill", "");
    const std::string before = dir_.read("hkcu.reg");
    const size_t room = kMaxHiveBytes - before.size();
    // Binary data is written three characters a byte.
    EXPECT_EQ(ErrorOf([&] { reg.WriteBinaryData("Big", std::vector<uint8_t>(6 << 20, 0xAB)); }),
              "Failed to set data for 'Big'");
    EXPECT_EQ(ErrorOf([&] { reg.WriteString("Fill", std::string(room + 1, 'f')); }),
              "Failed to set data for 'Fill'");
    EXPECT_TRUE(dir_.read("hkcu.reg") == before);
    EXPECT_FALSE(reg.HiveReadOnly());

    reg.WriteString("Fill", std::string(room, 'f'));
    const std::string full = dir_.read("hkcu.reg");
    EXPECT_EQ(full.size(), kMaxHiveBytes);

    TRegistry next;
    EXPECT_FALSE(next.HiveDamaged());
    ASSERT_TRUE(next.OpenKey(kMainKey, false));
    EXPECT_EQ(next.ReadString("Keep"), "kept");
    EXPECT_EQ(next.ReadString("Fill").size(), room);
    EXPECT_FALSE(next.OpenKey("New", true));
    EXPECT_TRUE(dir_.read("hkcu.reg") == full);
}

TEST_F(RegistryTest, HandMadeHiveThatWouldOutgrowItsBoundWhenRewrittenIsLeftAsItIs) {
    // One header of long names at the deepest depth is written back with a
    // header for each key on its path: some 33 MiB from 128 KiB.
    std::string path;
    for (size_t i = 0; i < kMaxHiveDepth; ++i)
        path += (i ? "\\" : "") + std::string(kMaxKeyNameLength, 'k');
    const std::string text = "[" + path + "]\n[Main]\n";
    dir_.write("hkcu.reg", text);
    TRegistry reg;
    ASSERT_FALSE(reg.HiveDamaged());
    ASSERT_TRUE(reg.OpenKey("\\Main", false));
    EXPECT_EQ(ErrorOf([&] { reg.WriteInteger("Left", 1); }), "Failed to set data for 'Left'");
    EXPECT_TRUE(dir_.read("hkcu.reg") == text);
    EXPECT_TRUE(reg.KeyExists("\\" + path));
}

TEST(RegistryHiveTest, DamagedTextIsRefused) {
    const struct {
        const char* fault;
        std::string_view text;
    } cases[] = {
        {"a value before any key is placed somewhere", "\"A\"=dword:1\n"},
        {"a key named twice is merged", "[A]\n[a]\n"},
        {"a value named twice is kept", "[A]\n\"v\"=dword:1\n\"V\"=dword:2\n"},
        {"a ninth hex digit is dropped", "[A]\n\"v\"=dword:123456789\n"},
        {"an empty dword is read as 0", "[A]\n\"v\"=dword:\n"},
        {"an empty key name is accepted", "[A\\\\B]\n"},
        {"an unknown escape is accepted", "[A]\n\"v\"=sz:\"\\n\"\n"},
        {"a short \\x escape reads past the line", "[A]\n\"v\"=sz:\"\\x4\n"},
        {"an unterminated string is accepted", "[A]\n\"v\"=sz:\"abc\n"},
        {"text after a value is ignored", "[A]\n\"v\"=hex:01,02 x\n"},
        {"a trailing comma in binary is accepted", "[A]\n\"v\"=hex:01,\n"},
        {"a short %XX escape reads past the header", "[A%4]\n"},
        {"an unknown type is read", "[A]\n\"v\"=qword:1\n"},
        {"an unclosed header is accepted", "[A\n"},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(ParseHive(c.text).error.empty()) << c.fault;
    std::string deep;
    for (size_t i = 0; i <= kMaxHiveDepth; ++i)
        deep += i ? "\\k" : "k";
    EXPECT_FALSE(ParseHive("[" + deep + "]\n").error.empty()) << "depth is unbounded";
}

TEST(RegistryHiveTest, WrittenHiveParsesToTheSameTree) {
    const std::string_view text = "; by hand\r\n"
                                  "[Child\\Grand]\r\n"
                                  "  \"\"=sz:\"default\"  \r\n"
                                  "[]\n\"atRoot\"=hex:\n"
                                  "[Child]\n\"n\"=dword:FFFFFFFF\n"
                                  "[Odd %25 %5b%5D %22 \xE9]\n" // raw 8-bit is refused...
        ;
    EXPECT_FALSE(ParseHive(text).error.empty());
    const std::string_view clean = "; by hand\r\n"
                                   "[Child\\Grand]\r\n"
                                   "  \"\"=sz:\"default\"  \r\n"
                                   "[]\n\"atRoot\"=hex:\n"
                                   "[Child]\n\"n\"=dword:FFFFFFFF\n"
                                   "[Odd %25 %5b%5D %22 %e9]\n\"s\"=sz:\"\\x00\\\\\\\"\"\n";
    const THiveParseResult first = ParseHive(clean);
    ASSERT_EQ(first.error, "");
    const THiveKey* odd = first.root->FindKey("odd % [] \" \xC9");
    EXPECT_EQ(odd, nullptr) << "non-ASCII letters compare without case";
    odd = first.root->FindKey("ODD % [] \" \xE9");
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->FindValue("s")->text, std::string("\0\\\"", 3));
    EXPECT_EQ(first.root->FindKey("child")->FindValue("N")->integer, -1);
    const THiveParseResult second = ParseHive(WriteHive(*first.root).text);
    ASSERT_EQ(second.error, "");
    EXPECT_TRUE(SameHive(*first.root, *second.root));
    EXPECT_EQ(second.root->Keys().front()->Name(), "Child");
}

} // namespace
