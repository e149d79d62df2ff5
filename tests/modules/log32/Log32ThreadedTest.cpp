#include <cstdint>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "Log32Module.h"

namespace {

TEST_F(Log32Test, MessagesFromManyThreadsNeverInterleaveWithinALine) {
    constexpr int kThreads = 8;
    constexpr int kMessages = 2000;
    const int32_t h = log_.OpenLog(PathOf("shared.log").c_str());
    ASSERT_GT(h, 0);

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, h, t] {
            log_.SetLogLevel(1);
            // A long line of one letter per thread shows any torn write.
            const std::string body(200, static_cast<char>('a' + t));
            for (int n = 0; n < kMessages; ++n) {
                const std::string text =
                    "T" + std::to_string(t) + " N" + std::to_string(n) + " " + body + "\r\n";
                log_.MsgLog(h, 1, text.c_str());
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    log_.CloseLog(h);

    const std::vector<std::string> lines = ReadLines("shared.log");
    ASSERT_EQ(lines.size(), size_t{kThreads * kMessages});
    const std::regex kLine("T([0-7]) N([0-9]+) ([a-h]{200})");
    std::map<int, int> next; // per thread, the message number expected next
    for (const std::string& line : lines) {
        const std::string text = Unstamped(line);
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, kLine)) << "torn line: " << line;
        const int t = std::stoi(m[1].str());
        ASSERT_EQ(m[3].str(), std::string(200, static_cast<char>('a' + t))) << line;
        ASSERT_EQ(std::stoi(m[2].str()), next[t]++) << "lost or reordered: " << line;
    }
}

} // namespace
