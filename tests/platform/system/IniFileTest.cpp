#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "IniFile.h"

namespace {

constexpr std::string_view kDefault = "<default>";

// Written by hand: a byte-order mark, mixed case, blanks, quotes, comments, a
// key before any section, a repeated key and section, CR LF and LF line ends.
constexpr std::string_view kSettings = "\xEF\xBB\xBF[Display]\r\n"
                                       "Font = Courier New \r\n"
                                       "  Size=10\r\n"
                                       "Quoted=\"  padded  \"\r\n"
                                       "Single='x'\r\n"
                                       "Twice=\"\"x\"\"\r\n"
                                       "Mismatched=\"x'\r\n"
                                       "Empty=\r\n"
                                       "Equals=a=b\r\n"
                                       "Font=Second\r\n"
                                       "   ; Commented=yes\r\n"
                                       "NoEquals\r\n"
                                       "[Unclosed\r\n"
                                       "Inside=open\r\n"
                                       "[display]\r\n"
                                       "Size=12\r\n"
                                       "Extra=only here\r\n"
                                       "[ Spaced Name ] ; remark\n"
                                       "Key=lf\n"
                                       "Latin=Caf\xE9\n"
                                       "Tail=no line end";

TEST(IniFileTest, ReadStringFollowsSettingsFileRules) {
    const struct {
        const char* fault;
        std::string_view section, key, expected;
    } cases[] = {
        {"blanks around the value are kept", "Display", "Font", "Courier New"},
        {"a byte-order mark or case hides the first section", "DISPLAY", "fONT", "Courier New"},
        {"a later section of the same name overrides the first", "display", "size", "10"},
        {"a later section of the same name is searched", "Display", "Extra", kDefault},
        {"quotes are not taken off", "Display", "Quoted", "  padded  "},
        {"single quotes are not taken off", "Display", "Single", "x"},
        {"more than one pair of quotes is taken off", "Display", "Twice", "\"x\""},
        {"quotes that do not match are taken off", "Display", "Mismatched", "\"x'"},
        {"an empty value reads as missing", "Display", "Empty", ""},
        {"the value is cut at a second '='", "Display", "Equals", "a=b"},
        {"a comment line is read as a key", "Display", "Commented", kDefault},
        {"a line without '=' is read as a key", "Display", "NoEquals", kDefault},
        {"a header without ']' ends the section before it", "Display", "Inside", "open"},
        {"blanks or a remark after the section name are kept", "spaced name", "Key", "lf"},
        {"8-bit text is altered", "Spaced Name", "LATIN", "Caf\xE9"},
        {"the last line without a line end is lost", "Spaced Name", "Tail", "no line end"},
        {"a missing key does not give the default", "Display", "Missing", kDefault},
        {"a missing section does not give the default", "Missing", "Font", kDefault},
    };
    const TIniFile ini = TIniFile::FromText(kSettings);
    for (const auto& c : cases) {
        EXPECT_EQ(ini.ReadString(c.section, c.key, kDefault), c.expected) << c.fault;
    }
    EXPECT_TRUE(ini.SectionExists("SPACED NAME"));
    EXPECT_FALSE(ini.SectionExists("Unclosed"));
    EXPECT_EQ(TIniFile::FromText("Orphan=1\n[A]\n").ReadString("", "Orphan", kDefault), kDefault)
        << "a key before any section was found";
}

TEST(IniFileTest, ReadIntegerTakesOnlyWholeDecimalOrHexWithin32Bits) {
    constexpr int32_t d = -777;
    const struct {
        std::string_view text;
        int32_t expected;
    } cases[] = {
        {"42", 42},
        {"-17", -17},
        {"+8", 8},
        {"007", 7},
        {" 5 ", 5},
        {"\"7\"", 7},
        {"0x1A", 26},
        {"0X1a", 26},
        {"$1A", 26},
        {"$FFFFFFFF", -1},
        {"0x000000001", 1},
        {"0x100000000", d},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", d},
        {"-2147483649", d},
        {"99999999999999999999999", d},
        {"0x", d},
        {"$", d},
        {"", d},
        {"-", d},
        {"12abc", d},
        {"1 2", d},
        {"0xG1", d},
        {"-0x1", d},
        {"--1", d},
        {"1.5", d},
    };
    for (const auto& c : cases) {
        const std::string text = "[N]\nv=" + std::string(c.text) + "\n";
        EXPECT_EQ(TIniFile::FromText(text).ReadInteger("N", "v", d), c.expected) << c.text;
    }
    EXPECT_EQ(TIniFile::FromText("[N]\n").ReadInteger("N", "v", d), d) << "missing key";
}

class IniFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/corvalen-ini-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Write(const std::string& bytes) {
        std::ofstream(dir_ + "/Settings.ini", std::ios::binary) << bytes;
        return dir_ + "/Settings.ini";
    }
    std::string dir_;
};

TEST_F(IniFileOnDisk, FileWithCrLfReadsLikeText) {
    const TIniFile ini(Write("[Engine]\r\nLogLevel=3\r\nName= x \r\n"));
    EXPECT_EQ(ini.ReadInteger("engine", "loglevel", 0), 3);
    EXPECT_EQ(ini.ReadString("Engine", "Name", kDefault), "x");
}

TEST_F(IniFileOnDisk, MissingFileFolderOrFifoReadsAsEmptyWithoutBlocking) {
    const std::string fifo = dir_ + "/fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {dir_ + "/absent.ini", dir_, fifo, std::string()}) {
        EXPECT_EQ(TIniFile(path).ReadInteger("Engine", "LogLevel", 9), 9) << path;
    }
}

TEST_F(IniFileOnDisk, HugeFileIsReadOnlyUpToTheBound) {
    std::string bytes = "[Early]\nk=1\n";
    while (bytes.size() < (size_t{1} << 20) + 4096)
        bytes += "; " + std::string(1000, '-') + "\n";
    const TIniFile ini(Write(bytes + "[Late]\nk=2\n"));
    EXPECT_EQ(ini.ReadInteger("Early", "k", 0), 1);
    EXPECT_FALSE(ini.SectionExists("Late")) << "read past the 1 MiB bound";
}

} // namespace
