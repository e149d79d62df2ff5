// The built log32.so bound the way the engines bind it (by its six exported
// names), and a scratch folder for the files it writes.
#pragma once

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "log32api.h"

struct TLog32 {
    TSetLogLevel SetLogLevel = nullptr;
    TOpenLog OpenLog = nullptr;
    TCloseLog CloseLog = nullptr;
    TRewindLog RewindLog = nullptr;
    TDumpLog DumpLog = nullptr;
    TMsgLog MsgLog = nullptr;
};

class Log32Test : public ::testing::Test {
protected:
    void SetUp() override {
        void* module = ::dlopen(CORVALEN_BIN_DIR "/log32.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << ::dlerror();
        Bind(module, "SetLogLevel", log_.SetLogLevel);
        Bind(module, "OpenLog", log_.OpenLog);
        Bind(module, "CloseLog", log_.CloseLog);
        Bind(module, "RewindLog", log_.RewindLog);
        Bind(module, "DumpLog", log_.DumpLog);
        Bind(module, "MsgLog", log_.MsgLog);
        char pattern[] = "/tmp/corvalen-log32-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    template <typename F> static void Bind(void* module, const char* name, F& function) {
        function = reinterpret_cast<F>(::dlsym(module, name));
        ASSERT_NE(function, nullptr) << name << " is not exported";
    }

    std::string PathOf(const std::string& name) const { return dir_ + "/" + name; }
    int32_t Open(const std::string& name) const { return log_.OpenLog(PathOf(name).c_str()); }

    std::string Contents(const std::string& name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The file cut at CR LF; a last line without one is kept as it is.
    std::vector<std::string> ReadLines(const std::string& name) const {
        const std::string text = Contents(name);
        std::vector<std::string> lines;
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find("\r\n", start);
            if (end == std::string::npos) {
                lines.push_back(text.substr(start));
                break;
            }
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    // The line without its "HH:MM:SS.mmm " prefix; fails the test when it has none.
    static std::string Unstamped(const std::string& line) {
        static const std::regex kStamp("^[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3} ");
        std::smatch match;
        EXPECT_TRUE(std::regex_search(line, match, kStamp)) << "no timestamp: " << line;
        return match.empty() ? line : line.substr(static_cast<size_t>(match.length(0)));
    }
    static std::vector<std::string> Unstamped(const std::vector<std::string>& lines) {
        std::vector<std::string> out;
        for (const std::string& line : lines)
            out.push_back(Unstamped(line));
        return out;
    }

    TLog32 log_;
    std::string dir_;
};
