// The template reader of the "Virtual" module: hand-written text files of any
// shape become exactly 24 rows of 80 shown characters.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>

#include "PLError.h"
#include "support/TempDir.h"
#include "uVirtualTemplate.h"

namespace {

std::string Row(const std::string& text) {
    std::string row = text;
    row.resize(kTemplateCols, ' ');
    return row;
}

TVirtualScreen Parse(const std::string& bytes) {
    return ParseVirtualTemplate(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

struct TCase {
    const char* fault;
    std::string bytes;
    std::map<size_t, std::string> rows; // every other row is blank
};

TEST(VirtualTemplate, TextBecomesTwentyFourRowsOfEighty) {
    const std::string eighty(80, 'x');
    std::string lines25;
    std::map<size_t, std::string> first24;
    for (size_t i = 0; i < 25; ++i) {
        lines25 += "L" + std::to_string(i + 1) + "\n";
        if (i < 24) first24[i] = "L" + std::to_string(i + 1);
    }
    const TCase cases[] = {
        {"empty file gives a blank screen", "", {}},
        {"lines fill rows in order, blank lines stay blank",
         "one\n\nthree\n",
         {{0, "one"}, {2, "three"}}},
        {"last line without a line end still counts", "a\nb", {{0, "a"}, {1, "b"}}},
        {"CR LF ends a line like LF", "a\r\nb\r\n", {{0, "a"}, {1, "b"}}},
        {"a lone CR is a blank, not a line end", "a\rb\n", {{0, "a b"}}},
        {"a long line is cut at 80 and does not wrap",
         eighty + "yz\nnext",
         {{0, eighty}, {1, "next"}}},
        {"lines past the 24th are ignored", lines25, first24},
        {"Latin-1 letters are kept as they are",
         "caf\xE9 \xFC\xDF\xA0!",
         {{0, "caf\xE9 \xFC\xDF\xA0!"}}},
        {"control characters, DEL and C1 bytes show as blanks",
         std::string("a\0b\tc\x1B"
                     "d\x7F"
                     "e\x85"
                     "f\x9F"
                     "g",
                     14),
         {{0, "a b c d e f g"}}},
    };
    for (const auto& c : cases) {
        const TVirtualScreen screen = Parse(c.bytes);
        for (size_t r = 0; r < kTemplateRows; ++r) {
            const auto it = c.rows.find(r);
            const std::string want = it == c.rows.end() ? "" : it->second;
            EXPECT_EQ(screen[r], Row(want)) << c.fault << ", row " << r + 1;
        }
    }
}

TEST(VirtualTemplate, BytesPastTheCapAreNotRead) {
    std::string bytes(kTemplateMaxBytes - 1, 'a');
    bytes += "\nbeyond";
    const TVirtualScreen screen = Parse(bytes);
    EXPECT_EQ(screen[0], std::string(80, 'a'));
    EXPECT_EQ(screen[1], Row("")) << "text after the cap must not reach the screen";
}

TEST(VirtualTemplate, FileThatCannotBeReadFailsWithItsPath) {
    TTempDir dir;
    dir.write("screen.txt", "Hello\n");
    EXPECT_EQ(LoadVirtualTemplate(dir.file("screen.txt"))[0], Row("Hello"));

    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        std::string text;
    } failures[] = {
        {dir.file("missing.txt"), "Can't open template file: " + dir.file("missing.txt")},
        {dir.path(), "Template is not a regular file: " + dir.path()},
        // Must not block in open() waiting for a writer.
        {fifo, "Template is not a regular file: " + fifo},
        {"", "No template file given"},
    };
    for (const auto& f : failures) {
        try {
            LoadVirtualTemplate(f.path);
            ADD_FAILURE() << f.path << " loaded";
        } catch (const EPLError& e) {
            EXPECT_TRUE(std::string(e.what()).starts_with(f.text)) << e.what();
        }
    }
}

} // namespace
