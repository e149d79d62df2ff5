#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "Log32Module.h"

namespace {

using Lines = std::vector<std::string>;

TEST_F(Log32Test, LevelFiltersPerCallingThread) {
    const int32_t h = Open("level.log");
    ASSERT_GT(h, 0);
    const uint8_t byte = 0;
    log_.SetLogLevel(0);
    log_.MsgLog(h, 0, "level 0 is off\r\n");
    log_.DumpLog(h, 0, "level 0 is off", 16, &byte, 1, 0);
    log_.SetLogLevel(2);
    log_.MsgLog(h, 0, "zero\r\n");
    log_.MsgLog(h, 2, "two\r\n");
    log_.MsgLog(h, 3, "three is above\r\n");
    log_.DumpLog(h, 3, "three is above", 16, &byte, 1, 0);
    // A thread that never set a level logs nothing, and one that sets its own
    // does not change this thread's.
    std::thread([&] { log_.MsgLog(h, 1, "other thread\r\n"); }).join();
    std::thread([&] { log_.SetLogLevel(0); }).join();
    log_.MsgLog(h, 1, "still on\r\n");
    log_.CloseLog(h);
    EXPECT_EQ(Unstamped(ReadLines("level.log")), (Lines{"zero", "two", "still on"}));
}

TEST_F(Log32Test, TimestampOnlyAtTheStartOfEachLine) {
    const int32_t h = Open("stamps.log");
    ASSERT_GT(h, 0);
    log_.SetLogLevel(1);
    for (const char* text : {"a", "b\r\n", "c\r\nd\r\n", "e"})
        log_.MsgLog(h, 1, text);
    log_.CloseLog(h);
    EXPECT_EQ(Unstamped(ReadLines("stamps.log")), (Lines{"ab", "c", "d", "e"}));
}

TEST_F(Log32Test, DumpLayoutMatchesTheEnginesFormat) {
    const int32_t h = Open("dump.log");
    ASSERT_GT(h, 0);
    log_.SetLogLevel(1);
    log_.MsgLog(h, 1, "open line");
    const std::string data("AB\x00\x7F"
                           "0123456789",
                           14);
    log_.DumpLog(h, 1, "Received", 4, data.data(), static_cast<uint16_t>(data.size()), 8);
    log_.CloseLog(h);

    // The open line is ended first; offsets in hex, the short last line padded
    // so the text column lines up, a blank line after the 8-byte block.
    const Lines lines = ReadLines("dump.log");
    ASSERT_EQ(lines.size(), 7u) << Contents("dump.log");
    EXPECT_EQ(Unstamped(Lines(lines.begin(), lines.begin() + 2)), (Lines{"open line", "Received"}));
    EXPECT_EQ(Lines(lines.begin() + 2, lines.end()),
              (Lines{"  0000: 41 42 00 7F |AB..|", "  0004: 30 31 32 33 |0123|", "",
                     "  0008: 34 35 36 37 |4567|", "  000C: 38 39       |89|"}));
    EXPECT_TRUE(Contents("dump.log").ends_with("|89|\r\n"));
}

// A dump line reduced to its offset and its text column.
std::string Shape(const std::string& line) {
    const size_t bar = line.find('|');
    if (line.size() < 6 || bar == std::string::npos) return line;
    return line.substr(2, 4) + line.substr(bar, line.size() - bar - 1);
}

std::string Letters(size_t from, size_t count) {
    std::string s;
    for (size_t i = from; i < from + count; ++i)
        s += static_cast<char>('A' + i % 26);
    return s;
}

TEST_F(Log32Test, DumpWidthAndBlocksSplitTheBytesAsAsked) {
    const struct {
        const char* fault;
        uint16_t width, block, len;
        Lines shape; // per line: offset and text column; "" for a blank line
    } cases[] = {
        {"width 0 is not 16", 0, 0, 20, {"0000|" + Letters(0, 16), "0010|QRST"}},
        {"width is not capped at 64",
         100,
         0,
         70,
         {"0000|" + Letters(0, 64), "0040|" + Letters(64, 6)}},
        {"a line crosses a block",
         16,
         10,
         24,
         {"0000|ABCDEFGHIJ", "", "000A|KLMNOPQRST", "", "0014|UVWX"}},
        {"no blank line after the last block", 4, 4, 8, {"0000|ABCD", "", "0004|EFGH", ""}},
        {"no bytes still write lines", 16, 0, 0, {}},
    };
    for (const auto& c : cases) {
        const int32_t h = Open("shape.log");
        ASSERT_GT(h, 0);
        log_.SetLogLevel(1);
        log_.RewindLog(h);
        log_.DumpLog(h, 1, "t", c.width, Letters(0, c.len).data(), c.len, c.block);
        log_.CloseLog(h);
        const Lines lines = ReadLines("shape.log");
        ASSERT_FALSE(lines.empty()) << c.fault;
        Lines shape;
        for (size_t i = 1; i < lines.size(); ++i)
            shape.push_back(Shape(lines[i]));
        EXPECT_EQ(shape, c.shape) << c.fault;
    }
}

TEST_F(Log32Test, OpenAppendsAndRewindEmptiesWhileLoggingGoesOn) {
    std::ofstream(PathOf("old.log"), std::ios::binary) << "yesterday\r\n";
    const int32_t h = Open("old.log");
    ASSERT_GT(h, 0);
    log_.SetLogLevel(1);
    log_.MsgLog(h, 1, "today, unfinished");
    EXPECT_TRUE(Contents("old.log").starts_with("yesterday\r\n"));
    log_.RewindLog(h);
    EXPECT_EQ(Contents("old.log"), "");
    log_.MsgLog(h, 1, "after\r\n");
    log_.CloseLog(h);
    EXPECT_EQ(Unstamped(ReadLines("old.log")), (Lines{"after"})) << "line start not reset";
}

TEST_F(Log32Test, NewLogFilesAreReadableByTheirOwnerOnly) {
    // Logs hold screens and host data; a usual umask would let every local
    // user read a file created for all.
    const mode_t mask = ::umask(022);
    const int32_t h = Open("private.log");
    ::umask(mask);
    ASSERT_GT(h, 0);
    log_.CloseLog(h);
    struct stat st {};
    ASSERT_EQ(::stat(PathOf("private.log").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(Log32Test, AFullFileStopsWithOneLineUntilTheDayChanges) {
    // A file written today up to 1000 bytes short of the day's 64 MiB (a
    // sparse file: no disk is spent on it).
    constexpr off_t kLimit = off_t{64} << 20, kStart = kLimit - 1000;
    {
        const int fd = ::open(PathOf("full.log").c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "\r\n", 2, kStart - 2), 2);
        ::close(fd);
    }
    // What was written after the start, as lines.
    auto tail = [&] {
        std::ifstream in(PathOf("full.log"), std::ios::binary);
        in.seekg(kStart);
        const std::string text(std::istreambuf_iterator<char>(in), {});
        Lines lines;
        for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(text.substr(at, end - at));
        return lines;
    };
    const std::string stopped =
        "Logging stopped for today: the file reached its daily limit of 67108864 bytes";
    log_.SetLogLevel(1);
    const std::string junk = std::string(98, 'x') + "\r\n"; // 113 bytes with its stamp
    const uint8_t bytes[4] = {1, 2, 3, 4};
    int32_t h = Open("full.log");
    ASSERT_GT(h, 0);
    for (int i = 0; i < 20; ++i)
        log_.MsgLog(h, 1, junk.c_str());
    log_.DumpLog(h, 1, "dump", 16, bytes, 4, 0);
    log_.CloseLog(h);
    // The ninth line takes the file past its limit; nothing follows the last line.
    Lines lines = Unstamped(tail());
    ASSERT_EQ(lines.size(), 10u) << "the file grew past its daily limit";
    EXPECT_EQ(lines.back(), stopped);

    // A writer that opens the file again the same day adds nothing.
    h = Open("full.log");
    log_.MsgLog(h, 1, "same day\r\n");
    log_.CloseLog(h);
    EXPECT_EQ(tail().size(), 10u);

    // Written last on an earlier day, the same file takes a new day's lines.
    const timespec twoDaysAgo[2] = {{std::time(nullptr) - 2 * 86400, 0},
                                    {std::time(nullptr) - 2 * 86400, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, PathOf("full.log").c_str(), twoDaysAgo, 0), 0);
    h = Open("full.log");
    log_.MsgLog(h, 1, "next day\r\n");
    log_.CloseLog(h);
    lines = Unstamped(tail());
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[9], stopped);
    EXPECT_EQ(lines[10], "next day");
}

TEST_F(Log32Test, BadHandlesAndArgumentsDoNothing) {
    EXPECT_EQ(log_.OpenLog(dir_.c_str()), 0) << "a folder";
    EXPECT_EQ(Open("missing/x.log"), 0) << "a missing folder";
    EXPECT_EQ(log_.OpenLog(nullptr), 0);

    const int32_t a = Open("a.log"), b = Open("b.log");
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    log_.CloseLog(a);
    const int32_t c = Open("c.log");
    EXPECT_EQ(c, a) << "a freed slot was not reused";
    log_.CloseLog(b);

    log_.SetLogLevel(1);
    const uint8_t byte = 0;
    for (int32_t bad : {b, 0, -1, c + 1000, INT32_MAX, INT32_MIN}) {
        log_.MsgLog(bad, 1, "x\r\n");
        log_.DumpLog(bad, 1, "x", 16, &byte, 1, 0);
        log_.RewindLog(bad);
        log_.CloseLog(bad);
    }
    EXPECT_EQ(Contents("b.log"), "") << "a closed handle wrote";
    log_.MsgLog(c, 1, nullptr);
    log_.DumpLog(c, 1, nullptr, 16, nullptr, 100, 0); // a length with no data
    log_.MsgLog(c, 1, "still open\r\n");
    log_.CloseLog(c);
    EXPECT_EQ(Unstamped(ReadLines("c.log")), (Lines{"", "still open"}));
}

} // namespace
