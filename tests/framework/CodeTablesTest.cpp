// Code-conversion tables: the built-in pair and table files that replace it.
#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>

#include "support/TempDir.h"
#include "uCodeTables.h"
#include "uPlTnConsts.h"

namespace {

TEST(BuiltinTables, LocalToHostExamples) {
    const auto t = TCodeTables::Builtin();
    struct {
        uint8_t local, host;
    } cases[] = {{0x20, 0x40}, {0x41, 0xC1}, {0x61, 0x81}, {0x30, 0xF0}, {0x5B, 0x4A},
                 {0x5D, 0x5A}, {0x21, 0x4F}, {0x7C, 0xBB}, {0x5E, 0x5F}, {0xA2, 0xB0},
                 {0xAC, 0xBA}, {0xF1, 0x6A}, {0xA6, 0x6A}, {0xB6, 0x1E}, {0x00, 0x00}};
    for (auto c : cases)
        EXPECT_EQ(t.LocalToHost[c.local], c.host) << std::hex << int(c.local);
}

TEST(BuiltinTables, NinetyTwoCodesAreNotConvertibleAndTheRestAreDistinct) {
    const auto t = TCodeTables::Builtin();
    std::set<uint8_t> hosts;
    int zeros = 0;
    for (int i = 1; i < 256; ++i) {
        if (t.LocalToHost[i] == 0)
            ++zeros;
        else
            hosts.insert(t.LocalToHost[i]);
    }
    EXPECT_EQ(zeros, 92);
    EXPECT_EQ(hosts.size(), 162u) << "163 codes, only n-tilde and broken bar share 0x6A";
    for (int c :
         {0x01, 0x1F, 0x7F, 0xA1, 0xA9, 0xB5, 0xB9, 0xBF, 0xD0, 0xD7, 0xDF, 0xF0, 0xF7, 0xFE})
        EXPECT_EQ(t.LocalToHost[c], 0) << std::hex << c;
}

TEST(BuiltinTables, HostToLocalInvertsWithItsFourAdditions) {
    const auto t = TCodeTables::Builtin();
    EXPECT_EQ(t.HostToLocal[0x49], 0xF1);
    EXPECT_EQ(t.HostToLocal[0x6A], 0xF1);
    EXPECT_EQ(t.HostToLocal[0x1C], 0x20);
    EXPECT_EQ(t.HostToLocal[0x1E], 0xB6);
    EXPECT_EQ(t.HostToLocal[0x00], 0x00);
    for (int i = 1; i < 256; ++i) {
        uint8_t h = t.LocalToHost[i];
        if (h == 0 || h == 0x6A) continue;
        EXPECT_EQ(t.HostToLocal[h], i) << std::hex << i;
    }
    EXPECT_EQ(t.HostToLocal[0xFF], 0x00) << "unmapped host code";
}

class TableFile : public ::testing::Test {
protected:
    TTempDir dir;
    TCodeTables Load(const std::string& name, TTableSource expect) {
        TCodeTables t;
        EXPECT_EQ(LoadCodeTables(name, t), expect) << name;
        return t;
    }
};

TEST_F(TableFile, EmptyOrMissingNameGivesTheBuiltinTables) {
    const auto builtin = TCodeTables::Builtin();
    for (std::string name : {std::string(), dir.file("missing.tbl"), dir.path()}) {
        auto t = Load(name, TTableSource::Builtin);
        EXPECT_EQ(t.LocalToHost, builtin.LocalToHost);
        EXPECT_EQ(t.HostToLocal, builtin.HostToLocal);
    }
}

TEST_F(TableFile, IdentityFileGivesIdentityTables) {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    dir.write("id.tbl", bytes);
    auto t = Load(dir.file("id.tbl"), TTableSource::File);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(t.LocalToHost[i], i);
        EXPECT_EQ(t.HostToLocal[i], i);
    }
}

TEST_F(TableFile, ShortFileLeavesTheRestAsIdentity) {
    dir.write("short.tbl", std::string("\x00\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8\xC9", 10));
    auto t = Load(dir.file("short.tbl"), TTableSource::File);
    for (int i = 1; i <= 9; ++i)
        EXPECT_EQ(t.LocalToHost[i], 0xC0 + i);
    for (int i = 10; i < 256; ++i)
        EXPECT_EQ(t.LocalToHost[i], i) << i;
    EXPECT_EQ(t.HostToLocal[0xC1], 0xC1) << "local 0xC1 is higher than local 1";
}

TEST_F(TableFile, WhenTwoLocalCodesShareAHostCodeTheHigherWins) {
    auto bytes = std::string(reinterpret_cast<const char*>(kBuiltinLocalToHost.data()), 256);
    bytes[0x41] = '\xC1';
    bytes[0x61] = '\xC1';
    dir.write("shared.tbl", bytes);
    auto t = Load(dir.file("shared.tbl"), TTableSource::File);
    EXPECT_EQ(t.HostToLocal[0xC1], 0x61);
    EXPECT_EQ(t.LocalToHost[0x41], 0xC1);
}

TEST_F(TableFile, FileOverridesTheBuiltinMapping) {
    auto bytes = std::string(reinterpret_cast<const char*>(kBuiltinLocalToHost.data()), 256);
    bytes['#'] = '\x4A'; // a national variant: '#' where '[' was
    dir.write("nat.tbl", bytes);
    auto t = Load(dir.file("nat.tbl"), TTableSource::File);
    EXPECT_EQ(t.LocalToHost['#'], 0x4A);
    EXPECT_EQ(t.HostToLocal[0x4A], '[') << "'[' (0x5B) is the higher local code for 0x4A";
    EXPECT_EQ(t.LocalToHost['A'], 0xC1);
}

TEST_F(TableFile, HostCodesNoLocalCodeReachesKeepTheirBuiltinMeaning) {
    // Every local code goes to 0x40: only 0x40 is reached by the file.
    dir.write("blank.tbl", std::string(256, '\x40'));
    auto t = Load(dir.file("blank.tbl"), TTableSource::File);
    EXPECT_EQ(t.HostToLocal[0x40], 255);
    EXPECT_EQ(t.HostToLocal[0xC1], 'A') << "not left over from an earlier load";
}

TEST_F(TableFile, UnreadableFileGivesIdentityAndStartsAfreshEachTime) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    dir.write("locked.tbl", std::string(256, '\x40'));
    chmod(dir.file("locked.tbl").c_str(), 0);
    auto t = Load(dir.file("locked.tbl"), TTableSource::OpenFailed);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(t.LocalToHost[i], i);
        EXPECT_EQ(t.HostToLocal[i], i);
    }
}

} // namespace
